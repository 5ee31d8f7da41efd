// Colour conversions pinned where rounding decides: 5-bit levels on a tie, alpha blended over
// the matte, palette entries moved to the rounded mean of their pixels.
#include <gtest/gtest.h>

#include "color/colorres.h"
#include "color/depth_convert.h"

using namespace imaging;
using namespace imaging::color;

namespace {

TEST(FiveBitLevels, TiesGoToTheLowerLevel) {
    // 12 lies 4 from level 1 (8) and level 2 (16); 20 lies 4 from 16 and from 24; 4 from 0 and 8.
    Bitmap b(2, 1, 24);
    b.setPixel(0, 0, makeRgb(4, 12, 20));
    b.setPixel(1, 0, makeRgb(3, 13, 255));
    const Bitmap out = convertToDirect(b, 16, makeRgb(255, 255, 255));
    ASSERT_EQ(out.bits(), 16);
    EXPECT_EQ(out.pixel(0, 0), makeRgb(0, 8, 16));
    EXPECT_EQ(out.pixel(1, 0), makeRgb(0, 16, 255));
}

TEST(AlphaOverMatte, BlendsAreRoundedToNearest) {
    // 201 at alpha 128 over white: (201 * 128 + 255 * 127) / 255 = 227.9 -> 228;
    // 0 over white: 127.0 -> 127; 1 at alpha 128 over black: 0.502 -> 1.
    Bitmap b(2, 1, 32);
    std::uint8_t* p = b.row(0);
    const std::uint8_t pixels[] = {201, 0, 0, 128, 1, 1, 1, 128};
    std::copy(std::begin(pixels), std::end(pixels), p);
    const Bitmap onWhite = convertToDirect(b, 24, makeRgb(255, 255, 255));
    EXPECT_EQ(onWhite.pixel(0, 0), makeRgb(228, 127, 127));
    const Bitmap onBlack = convertToDirect(b, 24, makeRgb(0, 0, 0));
    EXPECT_EQ(onBlack.pixel(1, 0), makeRgb(1, 1, 1));
}

TEST(OptimizedPalette, EntriesSitAtTheRoundedMeanOfTheirPixels) {
    // Two dark greys one apart and a light one, reduced to two colours: the dark entry is the
    // mean of 10 and 11, 10.5, rounded to 11.
    Bitmap b(4, 1, 24);
    b.setPixel(0, 0, makeRgb(10, 10, 10));
    b.setPixel(1, 0, makeRgb(11, 11, 11));
    b.setPixel(2, 0, makeRgb(200, 200, 200));
    b.setPixel(3, 0, makeRgb(200, 200, 200));
    const Bitmap out = colorRes(b, 1, palette_kind::Optimized, 0, 0);
    ASSERT_EQ(out.bits(), 1);
    EXPECT_EQ(out.pixel(0, 0), makeRgb(11, 11, 11));
    EXPECT_EQ(out.pixel(1, 0), makeRgb(11, 11, 11));
    EXPECT_EQ(out.pixel(2, 0), makeRgb(200, 200, 200));
}

}  // namespace
