#include <gtest/gtest.h>

#include "core/bitmap.h"
#include "core/error.h"

using namespace imaging;

TEST(Bitmap, RejectsBadDepthsAndSizes) {
    EXPECT_THROW(Bitmap(4, 4, 9), Error);
    EXPECT_THROW(Bitmap(4, 4, 12), Error);
    EXPECT_THROW(Bitmap(0, 4, 8), Error);
    EXPECT_THROW(Bitmap(1 << 15, 1 << 14, 24), Error);  // 2^29 pixels, above the cap
}

TEST(Bitmap, PaletteDepthsLookUpTheirPalette) {
    Bitmap b(2, 1, 4);
    ASSERT_EQ(b.palette().size(), 16u);
    b.palette()[3] = makeRgb(10, 20, 30);
    b.setPixel(1, 0, 3);
    EXPECT_EQ(b.rawPixel(1, 0), 3u);
    EXPECT_EQ(b.pixel(1, 0), makeRgb(10, 20, 30));
    EXPECT_EQ(b.uniqueColorCount(), 2);
}

TEST(Bitmap, SixteenBitsExpandFullScale) {
    Bitmap b(1, 1, 16);
    b.setPixel(0, 0, makeRgb(255, 0, 255));
    EXPECT_EQ(b.pixel(0, 0), makeRgb(255, 0, 255));
    b.setPixel(0, 0, makeRgb(8, 16, 24));
    EXPECT_EQ(b.pixel(0, 0), makeRgb(8, 16, 24));
}

TEST(Bitmap, MemorySizePadsRowsToFourBytes) {
    EXPECT_EQ(Bitmap(3, 2, 24).memorySize(), 2u * 12u);
    EXPECT_EQ(Bitmap(9, 1, 1).memorySize(), 4u + 2u * 4u);  // row of 9 bits -> 4 bytes, 2 palette entries
}

TEST(Bitmap, ToRgbResolvesPaletteTransparency) {
    Bitmap b(1, 1, 1);
    b.palette()[1] = makeRgb(1, 2, 3);
    b.setTransparent(true);
    b.setTransparentColor(kPaletteReference + 1);
    EXPECT_EQ(b.transparentRgb(), makeRgb(1, 2, 3));
    for (const Bitmap& direct : {b.toRgb24(), b.toRgba32()}) {
        EXPECT_TRUE(direct.transparent());
        EXPECT_EQ(direct.transparentColor(), makeRgb(1, 2, 3)) << direct.bits();
    }
    // A reference past the palette names no colour and stays what it was.
    b.setTransparentColor(kPaletteReference + 5);
    EXPECT_EQ(b.toRgba32().transparentColor(), kPaletteReference + 5);
}
