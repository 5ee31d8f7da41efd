// Conversions to the direct-colour depths.

#include <gtest/gtest.h>

#include "color/colorres.h"
#include "quality/quality.h"
#include "test_images.h"

using namespace imaging;

TEST(Conversion, SixteenBitsRoundsToTheNearestLevel) {
    // Each channel goes to the nearest 5-bit level c, which stands for (c << 3) | (c >> 2).
    const Bitmap src = colortest::cycling(4, 1, {makeRgb(132, 135, 137), makeRgb(255, 0, 6), makeRgb(3, 5, 250),
                                                 makeRgb(100, 100, 100)});
    const Bitmap out = colorRes(src, 16, 0, 0, 0);
    ASSERT_EQ(out.bits(), 16);
    for (int x = 0; x < 4; ++x) {
        const Rgb in = src.pixel(x, 0), got = out.pixel(x, 0);
        for (int shift : {0, 8, 16}) {
            const int v = (in >> shift) & 0xFF, g = (got >> shift) & 0xFF;
            // No other 5-bit level is nearer than the one chosen.
            for (int c = 0; c < 32; ++c) EXPECT_LE(std::abs(g - v), std::abs(((c << 3) | (c >> 2)) - v)) << x;
        }
    }
    EXPECT_EQ(out.pixel(1, 0), makeRgb(255, 0, 8));
}

TEST(Conversion, AlphaIsBlendedForTwentyFourAndKeptForThirtyTwo) {
    Bitmap src(2, 1, 32);
    const std::uint8_t px[8] = {0, 0, 0, 0, 0, 0, 200, 51};
    std::copy(px, px + 8, src.data().data());
    ColorResOptions grey;
    grey.matte = makeRgb(100, 100, 100);
    const Bitmap rgb = colorRes(src, 24, 0, 0, 0, grey);
    EXPECT_EQ(rgb.pixel(0, 0), makeRgb(100, 100, 100));
    EXPECT_EQ(rgb.pixel(1, 0), makeRgb(80, 80, 120));  // (200 * 51 + 100 * 204) / 255 = 120
    const Bitmap rgba = colorRes(src, 32, 0, 0, 0);
    EXPECT_EQ(rgba.data(), src.data());
}

TEST(Conversion, IndexedTransparencyBecomesAlpha) {
    Bitmap src(2, 1, 4);
    src.palette()[3] = makeRgb(1, 2, 3);
    src.setPixel(0, 0, 3);
    src.setPixel(1, 0, 5);
    src.setTransparent(true);
    src.setTransparentColor(kPaletteReference + 3);
    const Bitmap out = colorRes(src, 32, 0, 0, 0);
    EXPECT_EQ(out.data()[3], 0);
    EXPECT_EQ(out.data()[7], 255);
    EXPECT_EQ(out.pixel(1, 0), src.pixel(1, 0));
    const Bitmap rgb = colorRes(src, 24, 0, 0, 0);
    EXPECT_TRUE(rgb.transparent());
    EXPECT_EQ(rgb.transparentColor(), makeRgb(1, 2, 3));
}

TEST(Conversion, PsnrOfKnownError) {
    const Bitmap a = colortest::flat(4, 4, makeRgb(10, 10, 10));
    const Bitmap b = colortest::flat(4, 4, makeRgb(11, 10, 10));
    // MSE = 1/3 over the three channels.
    EXPECT_NEAR(psnrRgb(a, b), 10 * std::log10(255.0 * 255.0 * 3), 1e-9);
    EXPECT_EQ(psnrRgb(a, a), std::numeric_limits<double>::infinity());
}
