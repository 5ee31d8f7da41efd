// Where the tools and palette windows go at the first start: beside the document area where
// the screen has room, never over the area's top left where documents open, always on screen.
#include "common/floatingplacement.h"

#include <gtest/gtest.h>

namespace kalmira {
namespace {

const QRect kScreen(0, 0, 1600, 1000);

struct ToolsCase {
    const char* name;
    QRect mainFrame;
    QRect area;
    QSize frame;
    QPoint expected;
};

class ToolsPlacement : public ::testing::TestWithParam<ToolsCase> {};

TEST_P(ToolsPlacement, BesideTheDocumentArea) {
    const ToolsCase& c = GetParam();
    EXPECT_EQ(FirstToolsPlacement(c.mainFrame, c.area, kScreen, c.frame), c.expected) << c.name;
    // Whatever the case, the window is wholly on the screen.
    EXPECT_TRUE(kScreen.contains(QRect(FirstToolsPlacement(c.mainFrame, c.area, kScreen, c.frame), c.frame))) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ToolsPlacement,
    ::testing::Values(
        // Room right of the main window: there, tops aligned with the document area.
        ToolsCase{"right", {0, 0, 1200, 1000}, {5, 60, 1190, 900}, {300, 500}, {1200, 60}},
        // No room right, room left.
        ToolsCase{"left", {400, 0, 1200, 1000}, {405, 60, 1190, 900}, {300, 500}, {100, 60}},
        // A maximised main window: inside the area at its right edge.
        ToolsCase{"maximised", {0, 0, 1600, 1000}, {0, 60, 1600, 900}, {300, 500}, {1300, 60}},
        // Taller than the room below the area's top: moved up onto the screen.
        ToolsCase{"tall", {0, 0, 1600, 1000}, {0, 60, 1600, 900}, {300, 990}, {1300, 10}}),
    [](const ::testing::TestParamInfo<ToolsCase>& info) { return std::string(info.param.name); });

TEST(PalettePlacement, UnderTheToolsElseBesideThem) {
    // Under the tools window, right edges aligned.
    EXPECT_EQ(FirstPalettePlacement({1300, 60, 300, 500}, {200, 300}, kScreen), QPoint(1400, 560));
    // A palette wider than the tools window on the screen's right half: left edges aligned, so
    // it does not reach back over the main window to the tools window's left; on the left half
    // right edges stay aligned.
    EXPECT_EQ(FirstPalettePlacement({1000, 60, 300, 500}, {400, 300}, kScreen), QPoint(1000, 560));
    EXPECT_EQ(FirstPalettePlacement({200, 60, 300, 500}, {400, 300}, kScreen), QPoint(100, 560));
    // The same width as the tools window: right edges aligned.
    EXPECT_EQ(FirstPalettePlacement({1000, 60, 300, 500}, {300, 300}, kScreen), QPoint(1000, 560));
    // No room below: to the left, tops aligned.
    EXPECT_EQ(FirstPalettePlacement({1300, 600, 300, 390}, {200, 300}, kScreen), QPoint(1100, 600));
    // Left of a tools window at the screen's left edge would be off screen: kept on it.
    EXPECT_EQ(FirstPalettePlacement({0, 600, 300, 390}, {200, 300}, kScreen), QPoint(0, 600));
}

}  // namespace
}  // namespace kalmira
