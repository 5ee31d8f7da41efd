// What readers and writers do with depths they are asked for rather than the stored one.
#include <gtest/gtest.h>

#include "codecs/registry.h"
#include "core/error.h"
#include "formats/format_io.h"
#include "test_support.h"

using namespace imaging;
using namespace testing_formats;

namespace {

Bytes save(const Bitmap& bitmap, int formatNumber, int bits) {
    SaveOptions options;
    options.format = formatNumber;
    options.bits = bits;
    return saveMemory(Image::fromBitmap(bitmap), options);
}

int colourDifferences(const Bitmap& a, const Bitmap& b) {
    int wrong = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) wrong += a.pixel(x, y) != b.pixel(x, y);
    return wrong;
}

TEST(Conversion, WriterBuildsAPaletteFromFewDirectColours) {
    // A 24-bit picture of 16 colours saved at 4 bits keeps every colour.
    const Bitmap few = makePicture(20, 10, 4, 3).toRgb24();
    for (int formatNumber : {format::Pcx, format::Pict, format::Wpg}) {
        const Bitmap back = loadMemory(save(few, formatNumber, 4)).first();
        EXPECT_EQ(back.bits(), 4) << codecForFormat(formatNumber)->name();
        EXPECT_EQ(colourDifferences(back, few), 0) << codecForFormat(formatNumber)->name();
    }
}

TEST(Conversion, WriterRefusesTooManyColoursForTheDepth) {
    const Bitmap many = makePicture(40, 20, 24, 3);
    try {
        save(many, format::Pcx, 8);
        ADD_FAILURE() << "wrote more than 256 colours into an 8-bit file";
    } catch (const Error& e) {
        EXPECT_EQ(e.code(), ErrorCode::InvalidArgument);
    }
}

TEST(Conversion, WriterDropsAlphaAndPacksFiveBitsWhereTheLayoutDemands) {
    const Bitmap rgba = makePicture(9, 7, 32, 2);
    const Bitmap as24 = loadMemory(save(rgba, format::Pcx, 32)).first();
    EXPECT_EQ(as24.bits(), 24);
    EXPECT_EQ(colourDifferences(as24, rgba), 0);
    const Bitmap as16 = loadMemory(save(rgba.toRgb24(), format::Tga, 16)).first();
    ASSERT_EQ(as16.bits(), 16);
    for (int y = 0; y < rgba.height(); ++y)
        for (int x = 0; x < rgba.width(); ++x)
            EXPECT_EQ(as16.rawPixel(x, y), unpackRgb555(packRgb555(rgba.pixel(x, y))));
}

TEST(Conversion, ReaderHonoursTheRequestedDepth) {
    const Bitmap picture = makePicture(12, 8, 8, 5);
    const Bytes file = save(picture, format::Tga, 8);
    LoadOptions options;
    options.bits = 24;
    const Bitmap wide = loadMemory(file, options).first();
    EXPECT_EQ(wide.bits(), 24);
    EXPECT_EQ(colourDifferences(wide, picture), 0);

    const Bitmap two = makePicture(12, 8, 1, 5);
    Bitmap twoIn8(12, 8, 8);  // two colours used, 256 entries stored
    twoIn8.data() = two.data();
    twoIn8.palette()[0] = two.palette()[0];
    twoIn8.palette()[1] = two.palette()[1];
    const Bytes twoColours = save(twoIn8, format::Pcx, 8);
    options.bits = 1;
    const Bitmap narrow = loadMemory(twoColours, options).first();
    EXPECT_EQ(narrow.bits(), 1);
    EXPECT_EQ(colourDifferences(narrow, two), 0);

    options.bits = 1;
    EXPECT_THROW(loadMemory(file, options), Error) << "256 colours do not fit one bit";
}

}  // namespace

namespace {

TEST(Conversion, TransparentColourFollowsItsPixelsIntoTheNewPalette) {
    Bitmap rgb = makePicture(6, 4, 2, 1).toRgb24();
    rgb.setTransparent(true);
    rgb.setTransparentColor(rgb.pixel(5, 3));
    const Bitmap indexed = fio::convertDepth(rgb, 4, "test");
    ASSERT_TRUE(indexed.transparent());
    ASSERT_TRUE(isPaletteReference(indexed.transparentColor()));
    EXPECT_EQ(indexed.palette()[paletteIndexOf(indexed.transparentColor())], rgb.pixel(5, 3));
}

}  // namespace

TEST(Conversion, DirectDepthsKeepTheTransparentColour) {
    // A palette bitmap whose entry 2 is transparent, converted as a reader does when asked
    // for a direct-colour depth: every depth names the entry's colour.
    Bitmap indexed = makePicture(6, 4, 4, 3);
    indexed.palette()[2] = makeRgb(248, 0, 120);  // on the 5-5-5 grid, so 16 bits holds it exactly
    indexed.setTransparent(true);
    indexed.setTransparentColor(kPaletteReference + 2);
    for (int bits : {16, 24, 32}) {
        const Bitmap direct = fio::convertDepth(indexed, bits, "test");
        EXPECT_TRUE(direct.transparent()) << bits;
        EXPECT_EQ(direct.transparentColor(), makeRgb(248, 0, 120)) << bits;
        if (bits != 16) {
            EXPECT_EQ(colourDifferences(direct, indexed), 0) << bits;
        }
    }
}
