#include <gtest/gtest.h>

#include <string>

#include "core/error.h"
#include "ops/operation_table.h"
#include "ops/point_ops.h"
#include "ops/region.h"
#include "ops_test_util.h"

using namespace imaging;
using namespace imaging::ops;
using namespace opstest;

namespace {

struct ColorCase {
    std::string name;
    std::vector<long> args;
    std::vector<Rgb> input;
    std::vector<Rgb> expected;
};

Bitmap row(const std::vector<Rgb>& pixels) {
    Bitmap b(static_cast<int>(pixels.size()), 1, 24);
    for (std::size_t i = 0; i < pixels.size(); ++i) b.setPixel(static_cast<int>(i), 0, pixels[i]);
    return b;
}

const Rgb kMid = makeRgb(100, 150, 200);

class ColorKnownAnswer : public ::testing::TestWithParam<ColorCase> {};

TEST_P(ColorKnownAnswer, MatchesHandComputedPixels) {
    const ColorCase& c = GetParam();
    Bitmap b = row(c.input);
    applyNamedOperation(b, c.name, c.args);
    EXPECT_EQ(b.bits(), 24);
    EXPECT_EQ(colours(b), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Ops, ColorKnownAnswer,
    ::testing::Values(
        // delta = round(255 * 500 / 1000) = 128
        ColorCase{"Intensity", {500}, {0, kMid, grey(255)}, {grey(128), makeRgb(228, 255, 255), grey(255)}},
        ColorCase{"Intensity", {-1000}, {kMid, grey(255)}, {grey(0), grey(0)}},
        // 255 * sqrt(v / 255)
        ColorCase{"GammaCorrect", {200}, {0, kMid, grey(255)}, {grey(0), makeRgb(160, 196, 226), grey(255)}},
        ColorCase{"GammaCorrect", {100}, {kMid}, {kMid}},
        ColorCase{"GammaCorrect", {0}, {kMid, grey(255)}, {grey(0), grey(255)}},
        // f = 2: 128 + (v - 128) * 2
        ColorCase{"Contrast", {500}, {0, kMid}, {grey(0), makeRgb(72, 172, 255)}},
        ColorCase{"Contrast", {-1000}, {kMid, 0}, {grey(128), grey(128)}},
        ColorCase{"Contrast", {1000}, {kMid, grey(127), grey(128)}, {makeRgb(0, 255, 255), grey(0), grey(255)}},
        ColorCase{"Invert", {}, {kMid, 0}, {makeRgb(155, 105, 55), grey(255)}},
        // max and min kept, hue 210 -> 330 degrees
        ColorCase{"Hue", {120}, {makeRgb(255, 0, 0), kMid, grey(77)}, {makeRgb(0, 255, 0), makeRgb(200, 100, 150), grey(77)}},
        ColorCase{"Hue", {-120}, {makeRgb(255, 0, 0)}, {makeRgb(0, 0, 255)}},
        ColorCase{"Hue", {360}, {kMid}, {kMid}},
        // luma of kMid = 141
        ColorCase{"Saturation", {-1000}, {kMid}, {grey(141)}},
        ColorCase{"Saturation", {1000}, {kMid}, {makeRgb(59, 159, 255)}},
        ColorCase{"Posterize", {2}, {grey(127), grey(128), kMid}, {grey(0), grey(255), makeRgb(0, 255, 255)}},
        ColorCase{"Posterize", {3}, {kMid}, {makeRgb(128, 128, 255)}},
        ColorCase{"IntensityDetect", {100, 200}, {kMid, 0, grey(255)}, {grey(255), grey(0), grey(0)}},
        ColorCase{"Fill", {0x030201}, {kMid, 0}, {makeRgb(1, 2, 3), makeRgb(1, 2, 3)}},
        // lo 50, hi 150: (v - 50) * 2.55
        ColorCase{"StretchIntensity", {}, {makeRgb(50, 100, 150), grey(100)}, {makeRgb(0, 128, 255), grey(128)}},
        // cdf 1, 3, 4 of 4 pixels: (cdf - 1) * 255 / 3
        ColorCase{"HistoEqualize", {}, {grey(10), grey(20), grey(20), grey(30)}, {grey(0), grey(170), grey(170), grey(255)}},
        ColorCase{"HistoContrast", {1000}, {grey(50), grey(100), grey(100), grey(150)}, {grey(0), grey(128), grey(128), grey(255)}},
        // halfway to the mean of 100
        ColorCase{"HistoContrast", {-500}, {grey(50), grey(100), grey(100), grey(150)}, {grey(75), grey(100), grey(100), grey(125)}}),
    [](const auto& info) { return info.param.name + std::to_string(info.index); });

// Operations that may keep a palette bitmap change its palette and leave the indices alone.
class PaletteKeepsDepth : public ::testing::TestWithParam<std::pair<std::string, std::vector<long>>> {};

TEST_P(PaletteKeepsDepth, ChangesPaletteNotIndices) {
    Bitmap indexed(3, 1, 4);
    indexed.palette()[1] = kMid;
    indexed.palette()[2] = makeRgb(255, 0, 0);
    indexed.setPixel(0, 0, 1);
    indexed.setPixel(1, 0, 2);
    Bitmap truecolor = indexed.toRgb24();
    applyNamedOperation(indexed, GetParam().first, GetParam().second);
    applyNamedOperation(truecolor, GetParam().first, GetParam().second);
    EXPECT_EQ(indexed.bits(), 4);
    EXPECT_EQ(indexed.rawPixel(0, 0), 1u);
    EXPECT_EQ(indexed.rawPixel(1, 0), 2u);
    EXPECT_EQ(indexed.rawPixel(2, 0), 0u);
    EXPECT_EQ(colours(indexed), colours(truecolor));  // same colours as the 24-bit route
}

INSTANTIATE_TEST_SUITE_P(Ops, PaletteKeepsDepth,
                         ::testing::Values(std::make_pair(std::string("Invert"), std::vector<long>{}),
                                           std::make_pair(std::string("Hue"), std::vector<long>{90}),
                                           std::make_pair(std::string("Intensity"), std::vector<long>{300}),
                                           std::make_pair(std::string("GammaCorrect"), std::vector<long>{150}),
                                           std::make_pair(std::string("Contrast"), std::vector<long>{400}),
                                           std::make_pair(std::string("Saturation"), std::vector<long>{-500}),
                                           std::make_pair(std::string("Posterize"), std::vector<long>{4}),
                                           std::make_pair(std::string("IntensityDetect"), std::vector<long>{10, 200}),
                                           std::make_pair(std::string("HistoEqualize"), std::vector<long>{})),
                         [](const auto& info) { return info.param.first; });

TEST(PointOps, PaletteWithSelectionIsPromotedAndOnlySelectionChanges) {
    Bitmap b(3, 1, 8);
    b.palette()[5] = kMid;
    for (int x = 0; x < 3; ++x) b.setPixel(x, 0, 5);
    const Region middle = Region::rectangle(1, 0, 1, 1);
    invert(b, &middle);
    ASSERT_EQ(b.bits(), 24);
    EXPECT_EQ(colours(b), (std::vector<Rgb>{kMid, makeRgb(155, 105, 55), kMid}));
}

TEST(PointOps, SelectionStatisticsComeFromSelectedPixelsOnly) {
    // Outside the selection lie 0 and 255; inside 50 and 150, which must stretch to 0 and 255.
    Bitmap b = greyImage({{0, 50, 150, 255}});
    const Region inner = Region::rectangle(1, 0, 2, 1);
    stretchIntensity(b, &inner);
    EXPECT_EQ(greys(b), (std::vector<int>{0, 0, 255, 255}));
}

TEST(PointOps, SixteenBitsArePromotedAndThirtyTwoKeepAlpha) {
    Bitmap b16(1, 1, 16);
    b16.setPixel(0, 0, makeRgb(255, 0, 255));
    invert(b16);
    EXPECT_EQ(b16.bits(), 24);
    EXPECT_EQ(b16.pixel(0, 0), makeRgb(0, 255, 0));

    Bitmap b32(1, 1, 32);
    b32.row(0)[0] = 10;
    b32.row(0)[3] = 77;
    invert(b32);
    EXPECT_EQ(b32.bits(), 32);
    EXPECT_EQ(b32.row(0)[0], 245);
    EXPECT_EQ(b32.row(0)[3], 77);
}

TEST(PointOps, FillOnPaletteKeepsDepthOnlyForPaletteColours) {
    Bitmap b(2, 1, 2);  // grey ramp 0, 85, 170, 255
    fill(b, grey(85));
    EXPECT_EQ(b.bits(), 2);
    EXPECT_EQ(b.rawPixel(1, 0), 1u);
    fill(b, kPaletteReference + 3);
    EXPECT_EQ(b.rawPixel(0, 0), 3u);
    fill(b, makeRgb(1, 2, 3));
    EXPECT_EQ(b.bits(), 24);
    EXPECT_EQ(b.pixel(1, 0), makeRgb(1, 2, 3));
}

TEST(PointOps, FillWithEllipseLeavesCorners) {
    Bitmap b = greyImage({{0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}});
    const Region e = Region::ellipse(0, 0, 4, 4);
    fill(b, grey(9), &e);
    EXPECT_EQ(greys(b), (std::vector<int>{0, 9, 9, 0, 9, 9, 9, 9, 9, 9, 9, 9, 0, 9, 9, 0}));
}

}  // namespace

namespace {

TEST(PointOps, TransparentColourFollowsTheMapping) {
    Bitmap b = row({kMid, grey(10)});
    b.setTransparent(true);
    b.setTransparentColor(grey(10));
    invert(b);
    EXPECT_EQ(b.transparentColor(), grey(245));
    hue(b, 120);
    EXPECT_EQ(b.transparentColor(), grey(245));  // grey has no hue
    Bitmap partly = row({kMid, grey(10)});
    partly.setTransparent(true);
    partly.setTransparentColor(grey(10));
    const Region first = Region::rectangle(0, 0, 1, 1);
    invert(partly, &first);  // the transparent pixel is outside: it stays as it was
    EXPECT_EQ(partly.transparentColor(), grey(10));
}

}  // namespace
