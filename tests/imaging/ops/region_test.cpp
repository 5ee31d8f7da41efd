#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "core/error.h"
#include "ops/floater.h"
#include "ops/picture.h"
#include "ops/region.h"
#include "ops_test_util.h"

using namespace imaging;
using namespace imaging::ops;
using namespace opstest;

namespace {

std::string maskText(const Region& r) {
    std::string s;
    for (int y = 0; y < r.RgnHeight(); ++y) {
        for (int x = 0; x < r.RgnWidth(); ++x) s += r.insideLocal(x, y) ? '#' : '.';
        s += '\n';
    }
    return s;
}

struct ShapeCase {
    std::string label;
    Region region;
    Rect bounds;
    std::string mask;
};

class RegionShapes : public ::testing::TestWithParam<ShapeCase> {};

TEST_P(RegionShapes, MaskAndBoundsAsDrawn) {
    const ShapeCase& c = GetParam();
    EXPECT_EQ(c.region.bounds(), c.bounds);
    EXPECT_EQ(maskText(c.region), c.mask);
}

INSTANTIATE_TEST_SUITE_P(
    Ops, RegionShapes,
    ::testing::Values(
        ShapeCase{"rectangle", Region::rectangle(2, 3, 3, 2), {2, 3, 3, 2}, "###\n###\n"},
        ShapeCase{"ellipse", Region::ellipse(1, 1, 5, 5), {1, 1, 5, 5}, ".###.\n#####\n#####\n#####\n.###.\n"},
        ShapeCase{"ellipse4", Region::ellipse(0, 0, 4, 4), {0, 0, 4, 4}, ".##.\n####\n####\n.##.\n"},
        ShapeCase{"rounded", Region::roundedRectangle(0, 0, 8, 6, 4, 4), {0, 0, 8, 6},
                  ".######.\n########\n########\n########\n########\n.######.\n"},
        ShapeCase{"triangle", Region::polygon({{10, 20}, {14, 20}, {10, 24}}), {10, 20, 4, 4}, "###.\n##..\n#...\n....\n"},
        // an outline that crosses itself: two wings meeting in the middle
        ShapeCase{"bowtie", Region::polygon({{0, 0}, {6, 4}, {6, 0}, {0, 4}}), {0, 0, 6, 4},
                  "#....#\n##..##\n##..##\n#....#\n"}),
    [](const auto& info) { return info.param.label; });

TEST(Region, ClippingTightensBoundsAndMovingKeepsShape) {
    const Region e = Region::ellipse(-2, -2, 4, 4);
    const Region clipped = e.clippedTo(10, 10);
    EXPECT_EQ(clipped.bounds(), (Rect{0, 0, 2, 2}));
    EXPECT_EQ(maskText(clipped), "##\n#.\n");
    EXPECT_TRUE(Region::rectangle(20, 20, 2, 2).clippedTo(10, 10).empty());
    const Region moved = e.movedBy(5, 7);
    EXPECT_EQ(moved.RgnLeft(), 3);
    EXPECT_EQ(moved.RgnTop(), 5);
    EXPECT_TRUE(moved.contains(4, 5));
    EXPECT_FALSE(moved.contains(3, 5));
    EXPECT_THROW(Region::rectangle(0, 0, 0, 3), Error);
    EXPECT_THROW(Region::polygon({{0, 0}, {5, 0}, {9, 0}}), Error);
}

// 8 x 6 grey levels 10 * y + x.
Bitmap ramp() {
    Bitmap b(8, 6, 24);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x) b.setPixel(x, y, grey(10 * y + x));
    return b;
}

TEST(Floater, MoveAndDropPastesOnlyTheShapeAndReturnsTheBackground) {
    Picture pic(ramp());
    pic.setRegion(Region::ellipse(0, 0, 4, 4));
    pic.liftFloater();
    pic.moveFloater(4, 2);
    const Bitmap background = pic.dropFloater();
    EXPECT_FALSE(pic.hasFloater());
    ASSERT_TRUE(pic.HasRgn());
    EXPECT_EQ(pic.RgnLeft(), 4);
    EXPECT_EQ(pic.RgnTop(), 2);
    EXPECT_EQ(pic.RgnWidth(), 4);
    // The background is what lay under the new place before the paste.
    EXPECT_EQ(background.width(), 4);
    EXPECT_EQ(redOf(background.pixel(0, 0)), 24);
    EXPECT_EQ(redOf(background.pixel(3, 3)), 57);
    const Bitmap& b = pic.bitmap();
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            const bool corner = (x == 0 || x == 3) && (y == 0 || y == 3);
            const int want = corner ? 10 * (y + 2) + (x + 4) : 10 * y + x;
            EXPECT_EQ(redOf(b.pixel(x + 4, y + 2)), want) << x << "," << y;
        }
    EXPECT_EQ(redOf(b.pixel(1, 1)), 11);  // the old place keeps its pixels until restored

    // Restoring the background in mode 288 undoes the drop exactly.
    pic.pasteBitmap(background, pic.RgnLeft(), pic.RgnTop(), kCopyMasked);
    EXPECT_EQ(pic.bitmap(), ramp());
}

TEST(Floater, CopyAllModeWritesTheWholeRectangle) {
    Bitmap target(8, 6, 24);
    const Floater f = liftFloater(ramp(), Region::ellipse(0, 0, 4, 4));
    pasteFloater(target, f, kCopyAll);
    EXPECT_EQ(redOf(target.pixel(0, 0)), 0 + 0);
    EXPECT_EQ(redOf(target.pixel(3, 3)), 33);
    Bitmap masked(8, 6, 24);
    pasteFloater(masked, f, kCopyMasked);
    EXPECT_EQ(redOf(masked.pixel(3, 3)), 0);
    EXPECT_EQ(redOf(masked.pixel(2, 3)), 32);
    EXPECT_THROW(pasteFloater(masked, f, 5), Error);
}

TEST(Floater, PasteIntoPaletteBitmapPicksNearestEntries) {
    Bitmap target(4, 1, 1);  // black and white
    Bitmap source = greyImage({{10, 240, 100, 200}});
    pasteBitmap(target, source, 0, 0);
    EXPECT_EQ(target.bits(), 1);
    EXPECT_EQ(target.rawPixel(0, 0), 0u);
    EXPECT_EQ(target.rawPixel(1, 0), 1u);
    EXPECT_EQ(target.rawPixel(2, 0), 0u);
    EXPECT_EQ(target.rawPixel(3, 0), 1u);
}

TEST(Picture, CropToRegionKeepsTheBoundingBox) {
    Picture pic(ramp());
    pic.setRegion(Region::ellipse(2, 1, 3, 4));
    pic.cropToRegion();
    EXPECT_FALSE(pic.HasRgn());
    EXPECT_FALSE(pic.hasFloater());
    ASSERT_EQ(pic.bitmap().width(), 3);
    ASSERT_EQ(pic.bitmap().height(), 4);
    EXPECT_EQ(redOf(pic.bitmap().pixel(0, 0)), 12);
    EXPECT_EQ(redOf(pic.bitmap().pixel(2, 3)), 44);
    EXPECT_THROW(pic.cropToRegion(), Error);

    // A smaller bitmap cuts the selection down with it.
    pic.setBitmap(ramp());
    pic.setRegion(Region::rectangle(4, 2, 4, 4));
    pic.setBitmap(Bitmap(6, 4, 24));
    ASSERT_TRUE(pic.HasRgn());
    EXPECT_EQ(pic.region()->bounds(), (Rect{4, 2, 2, 2}));
    pic.setBitmap(Bitmap(3, 3, 24));
    EXPECT_FALSE(pic.HasRgn());
}

TEST(Picture, ColourOperationStaysInsideTheShape) {
    Bitmap indexed(4, 4, 8);  // all index 0 = black
    Picture pic(indexed);
    pic.setRegion(Region::ellipse(0, 0, 4, 4));
    pic.apply("Invert", {});
    ASSERT_EQ(pic.bitmap().bits(), 24);
    EXPECT_EQ(greys(pic.bitmap()),
              (std::vector<int>{0, 255, 255, 0, 255, 255, 255, 255, 255, 255, 255, 255, 0, 255, 255, 0}));
}

TEST(Picture, GeometryCarriesTheSelectionAlong) {
    // The work picture of a selection transform: the floater's pixels with its shape.
    Picture work(ramp());
    work.setRegion(Region::rectangle(0, 0, 2, 1));
    work.apply("Rotate", {9000, 1, 0});
    EXPECT_EQ(work.bitmap().width(), 6);
    EXPECT_EQ(work.bitmap().height(), 8);
    ASSERT_TRUE(work.HasRgn());
    EXPECT_EQ(work.region()->bounds(), (Rect{5, 0, 1, 2}));
    work.apply("Size", {3, 4, 2});
    ASSERT_TRUE(work.HasRgn());
    EXPECT_EQ(work.region()->bounds(), (Rect{2, 0, 1, 1}));
    work.apply("Trim", {0, 1, 3, 3});
    EXPECT_FALSE(work.HasRgn());  // trimmed away
}

TEST(Picture, PaintBitmapScalesIntoTheRectangleWithItsShape) {
    Picture pic(Bitmap(6, 6, 24));
    const Bitmap red = rgbImage({{makeRgb(255, 0, 0), makeRgb(255, 0, 0)}, {makeRgb(255, 0, 0), makeRgb(255, 0, 0)}});
    pic.paintBitmap(red, {1, 1, 4, 4});
    int painted = 0;
    for (Rgb c : colours(pic.bitmap())) painted += c == makeRgb(255, 0, 0);
    EXPECT_EQ(painted, 16);
    EXPECT_EQ(pic.bitmap().pixel(0, 0), 0u);
    EXPECT_EQ(pic.bitmap().pixel(5, 5), 0u);

    Picture shaped(Bitmap(4, 4, 24));
    const Region diagonal = Region::fromMask(0, 0, 2, 2, {1, 0, 0, 1});
    shaped.paintBitmap(red, {0, 0, 4, 4}, kCopyMasked, &diagonal);
    EXPECT_EQ(shaped.bitmap().pixel(1, 1), makeRgb(255, 0, 0));
    EXPECT_EQ(shaped.bitmap().pixel(2, 1), 0u);
    EXPECT_EQ(shaped.bitmap().pixel(3, 3), makeRgb(255, 0, 0));
}

}  // namespace

namespace {

TEST(Floater, RectanglesFarOffTheBitmapClipToNothing) {
    Bitmap target = ramp();
    const Bitmap before = target;
    pasteBitmap(target, ramp(), INT_MIN, INT_MAX);
    pasteBitmap(target, ramp(), INT_MAX - 2, 0);
    EXPECT_EQ(target, before);
    const Bitmap far = copyRect(ramp(), {INT_MIN, INT_MIN, 2, 2});
    EXPECT_EQ(far.pixel(1, 1), 0u);
    Picture pic(ramp());
    pic.setRegion(Region::rectangle(INT_MAX - 1, 0, 1, 1));
    EXPECT_FALSE(pic.HasRgn());
    pic.setRegion(Region::rectangle(1, 1, 2, 2));
    pic.liftFloater();
    pic.moveFloater(INT_MAX, INT_MAX);
    pic.moveFloater(INT_MAX, INT_MAX);
    pic.pasteFloater();
    EXPECT_EQ(pic.bitmap(), ramp());
}

}  // namespace
