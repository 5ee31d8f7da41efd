// The difference view's numbers: the error of each pixel and the colour it is drawn in.
#include <gtest/gtest.h>

#include <set>

#include "core/error.h"
#include "quality/difference.h"

using namespace imaging;

namespace {

Bitmap flat(int w, int h, int bits, Rgb color) {
    Bitmap b(w, h, bits);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) b.setPixel(x, y, color);
    return b;
}

ErrorCode codeOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const Error& e) {
        return e.code();
    }
    return ErrorCode::Ok;
}

double luma(Rgb c) { return 0.299 * redOf(c) + 0.587 * greenOf(c) + 0.114 * blueOf(c); }

}  // namespace

TEST(DifferenceScale, StopsAndMidpointsOfTheDefaultScale) {
    struct Case {
        int error;
        Rgb colour;
    } cases[] = {
        {-7, makeRgb(0, 0, 0)},      {0, makeRgb(0, 0, 0)},        {1, makeRgb(0, 0, 32)},
        {4, makeRgb(0, 0, 128)},     {8, makeRgb(0, 0, 255)},      {12, makeRgb(128, 0, 128)},
        {16, makeRgb(255, 0, 0)},    {20, makeRgb(255, 128, 0)},   {24, makeRgb(255, 255, 0)},
        {28, makeRgb(255, 255, 128)}, {31, makeRgb(255, 255, 223)}, {32, makeRgb(255, 255, 255)},
        {33, makeRgb(255, 255, 255)}, {255, makeRgb(255, 255, 255)},
    };
    for (const Case& c : cases) EXPECT_EQ(differenceColour(c.error), c.colour) << "error " << c.error;
}

TEST(DifferenceScale, BrighterAlwaysMeansLargerAndEachColourNamesOneError) {
    for (int full : {1, 2, 5, 32, 255}) {
        std::set<Rgb> seen;
        double previous = -1.0;
        for (int e = 0; e <= full; ++e) {
            const Rgb c = differenceColour(e, full);
            EXPECT_GT(luma(c), previous) << "full scale " << full << ", error " << e;
            previous = luma(c);
            EXPECT_TRUE(seen.insert(c).second) << "full scale " << full << ", error " << e;
        }
        EXPECT_EQ(differenceColour(0, full), makeRgb(0, 0, 0));
        EXPECT_EQ(differenceColour(full, full), makeRgb(255, 255, 255));
    }
    // Back from colour to error: the picture's colours identify the errors on the scale.
    for (int e = 0; e <= kDifferenceFullScale; ++e) {
        int found = -1;
        for (int k = 0; k <= kDifferenceFullScale && found < 0; ++k)
            if (differenceColour(k) == differenceColour(e)) found = k;
        EXPECT_EQ(found, e);
    }
    EXPECT_EQ(codeOf([] { differenceColour(3, 0); }), ErrorCode::InvalidArgument);
}

TEST(Difference, LargestChannelErrorOfEachPixelAndItsColour) {
    Bitmap a = flat(5, 3, 24, makeRgb(100, 100, 100));
    Bitmap b = a;
    b.setPixel(1, 0, makeRgb(103, 92, 105));   // 3, 8, 5 -> 8
    b.setPixel(4, 2, makeRgb(100, 100, 116));  // blue alone -> 16
    b.setPixel(0, 2, makeRgb(0, 255, 100));    // 100, 155 -> 155
    const DifferenceMap map = differenceOf(a, b);
    ASSERT_EQ(map.width, 5);
    ASSERT_EQ(map.height, 3);
    EXPECT_FALSE(map.sizesDiffer);
    const std::vector<std::uint8_t> expected = {0, 8, 0, 0, 0,  //
                                                0, 0, 0, 0, 0,  //
                                                155, 0, 0, 0, 16};
    EXPECT_EQ(map.error, expected);
    EXPECT_EQ(map.largest, 155);
    // The direction of the comparison does not matter.
    EXPECT_EQ(differenceOf(b, a).error, expected);

    const Bitmap picture = differencePicture(map);
    ASSERT_EQ(picture.bits(), 24);
    EXPECT_EQ(picture.pixel(0, 0), makeRgb(0, 0, 0));
    EXPECT_EQ(picture.pixel(1, 0), makeRgb(0, 0, 255));
    EXPECT_EQ(picture.pixel(4, 2), makeRgb(255, 0, 0));
    EXPECT_EQ(picture.pixel(0, 2), makeRgb(255, 255, 255));
    // Another full scale: 8 of 16 is red, 16 white.
    const Bitmap coarse = differencePicture(map, 16);
    EXPECT_EQ(coarse.pixel(1, 0), makeRgb(255, 0, 0));
    EXPECT_EQ(coarse.pixel(4, 2), makeRgb(255, 255, 255));
}

TEST(Difference, AlphaIsCompositedOnTheMatteAndPalettesAreLookedUp) {
    Bitmap rgba = flat(3, 1, 32, makeRgb(0, 0, 0));
    rgba.data()[3] = 0;    // fully transparent: the matte
    rgba.data()[7] = 128;  // half: (0 * 128 + 255 * 127 + 127) / 255 = 127
    const Bitmap grey = [] {
        Bitmap b(3, 1, 24);
        b.setPixel(0, 0, makeRgb(255, 255, 255));
        b.setPixel(1, 0, makeRgb(100, 127, 127));
        b.setPixel(2, 0, makeRgb(0, 0, 0));
        return b;
    }();
    EXPECT_EQ(differenceOf(rgba, grey).error, (std::vector<std::uint8_t>{0, 27, 0}));
    // Over a black matte both the transparent and the half-covered black pixel are black.
    EXPECT_EQ(differenceOf(rgba, grey, makeRgb(0, 0, 0)).error, (std::vector<std::uint8_t>{255, 127, 0}));

    Bitmap indexed(3, 1, 8);
    indexed.palette() = {makeRgb(255, 255, 255), makeRgb(100, 130, 127), makeRgb(0, 0, 9)};
    for (int x = 0; x < 3; ++x) indexed.setPixel(x, 0, static_cast<std::uint32_t>(x));
    EXPECT_EQ(differenceOf(indexed, grey).error, (std::vector<std::uint8_t>{0, 3, 9}));
}

TEST(Difference, PicturesOfDifferentSizesCompareTheirCommonArea) {
    // Every value depends on the position, so a row read at the wrong width shows.
    auto pattern = [](int w, int h, int bits) {
        Bitmap b(w, h, bits);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) b.setPixel(x, y, makeRgb(x * 10, y * 10, 50));
        return b;
    };
    const Bitmap wide = pattern(10, 4, 24);
    Bitmap changed = pattern(6, 9, 32);
    changed.setPixel(5, 3, makeRgb(50 + 7, 30, 50));
    const Bitmap tall = changed;  // the common area's last pixel
    for (const auto& [a, b] : {std::pair{&wide, &tall}, std::pair{&tall, &wide}}) {
        const DifferenceMap map = differenceOf(*a, *b);
        ASSERT_EQ(map.width, 6);
        ASSERT_EQ(map.height, 4);
        EXPECT_TRUE(map.sizesDiffer);
        std::vector<std::uint8_t> expected(24, 0);
        expected[23] = 7;
        EXPECT_EQ(map.error, expected);
        EXPECT_EQ(map.largest, 7);
        const Bitmap picture = differencePicture(map);
        EXPECT_EQ(picture.width(), 6);
        EXPECT_EQ(picture.height(), 4);
    }
    // Sizes that differ in one direction only are still told apart; equal ones are not.
    const Bitmap shorter = pattern(10, 3, 24), narrower = pattern(9, 4, 24);
    EXPECT_TRUE(differenceOf(wide, shorter).sizesDiffer);
    EXPECT_TRUE(differenceOf(shorter, wide).sizesDiffer);
    EXPECT_TRUE(differenceOf(wide, narrower).sizesDiffer);
    EXPECT_TRUE(differenceOf(narrower, wide).sizesDiffer);
    EXPECT_FALSE(differenceOf(wide, pattern(10, 4, 8)).sizesDiffer);
    EXPECT_EQ(codeOf([&] { differenceOf(Bitmap(), wide); }), ErrorCode::NoImage);
    EXPECT_EQ(codeOf([&] { differenceOf(wide, Bitmap()); }), ErrorCode::NoImage);
}
