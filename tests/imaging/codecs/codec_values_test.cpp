// Codec values pinned exactly: JPEG's quality factor for every factor, as the written
// quantisation tables show it, CMYK files turned into RGB on flat patches, and GIF's
// transparent palette index where it is 0.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>

#include "codecs/jpeg_codec.h"
#include "codecs/jpeg_trellis.h"
#include "codecs/registry.h"
#include "core/error.h"

using namespace imaging;

namespace {

// libjpeg's own base luminance table in zig-zag order and its quality scaling.
constexpr int kBaseLuminance[64] = {16, 11, 12, 14, 12, 10, 16, 14, 13, 14, 18, 17, 16, 19, 24, 40,
                                    26, 24, 22, 22, 24, 49, 35, 37, 29, 40, 58, 51, 61, 60, 57, 51,
                                    56, 55, 64, 72, 92, 78, 64, 68, 87, 69, 55, 56, 80, 109, 81, 87,
                                    95, 98, 103, 104, 103, 62, 77, 113, 121, 112, 100, 120, 92, 101, 103, 99};

int scaledEntry(int base, int quality) {
    const int scale = quality < 50 ? 5000 / quality : 200 - 2 * quality;
    return std::clamp((base * scale + 50) / 100, 1, 255);
}

TEST(JpegQuality, EveryFactorMapsToTheNearestQualityOnTheLinearScale) {
    // The user's quality 256 - factor (1..254) spread over libjpeg's 1..100: the nearest
    // integer to (256 - factor) * 100 / 254 (no factor lies on a tie), at least 1.
    for (int factor = 2; factor <= 255; ++factor) {
        const int q = JpegCodec::libjpegQuality(factor);
        const int error = 254 * q - 100 * (256 - factor);  // 254 times the distance
        EXPECT_GE(error, -127) << "factor " << factor << " gave " << q;
        if (q > 1) EXPECT_LE(error, 127) << "factor " << factor << " gave " << q;
        else EXPECT_LE(100 * (256 - factor), 254 + 127) << "factor " << factor << " gave 1";
    }
    const std::pair<int, int> known[] = {{2, 100}, {3, 100}, {4, 99}, {56, 79}, {57, 78}, {100, 61}, {128, 50},
                                         {129, 50}, {130, 50}, {200, 22}, {250, 2}, {253, 1}, {254, 1}, {255, 1}};
    for (auto [factor, quality] : known) EXPECT_EQ(JpegCodec::libjpegQuality(factor), quality) << factor;
}

// The first quantisation table of a written file, in zig-zag order.
std::vector<int> luminanceTable(const Bytes& file) {
    for (std::size_t i = 0; i + 5 + 64 <= file.size(); ++i)
        if (file[i] == 0xFF && file[i + 1] == 0xDB && (file[i + 4] & 0xF0) == 0)
            return std::vector<int>(file.begin() + static_cast<std::ptrdiff_t>(i) + 5,
                                    file.begin() + static_cast<std::ptrdiff_t>(i) + 69);
    return {};
}

// The plain encoder writes libjpeg's tables at the mapped quality; the size-optimising one its
// own tables at libjpeg's scaling for the same quality.
TEST(JpegQuality, TheWrittenTablesAreThoseOfTheMappedQuality) {
    Bitmap flat(8, 8, 24);
    const unsigned int* tuned = jpeg::baseTable(jpeg::EncoderTuning{}.tableSet, 0);
    for (bool fast : {true, false})
        for (int factor = 2; factor <= 255; ++factor) {
            SaveOptions o;
            o.format = format::Jpeg444;
            o.qualityFactor = factor;
            o.fastJpeg = fast;
            const std::vector<int> table = luminanceTable(saveMemory(Image::fromBitmap(flat), o));
            ASSERT_EQ(table.size(), 64u) << factor;
            const int q = JpegCodec::libjpegQuality(factor);
            for (int k = 0; k < 64; ++k) {
                const int base = fast ? kBaseLuminance[k] : static_cast<int>(tuned[jpeg::kZigzag[k]]);
                ASSERT_EQ(table[static_cast<std::size_t>(k)], scaledEntry(base, q))
                    << "factor " << factor << " entry " << k << (fast ? " plain" : " tuned");
            }
        }
    // The profiles' default factor writes quality 79: a luminance DC step of 7 from either; the
    // tuned tables step the highest frequency twice as coarsely (87 against 42).
    SaveOptions o;
    o.format = format::Jpeg444;
    o.qualityFactor = 56;
    o.fastJpeg = true;
    EXPECT_EQ(luminanceTable(saveMemory(Image::fromBitmap(flat), o)).at(0), 7);
    o.fastJpeg = false;
    const std::vector<int> tunedTable = luminanceTable(saveMemory(Image::fromBitmap(flat), o));
    EXPECT_EQ(tunedTable.at(0), 7);
    EXPECT_EQ(tunedTable.at(63), 87);
    EXPECT_EQ(scaledEntry(kBaseLuminance[63], 79), 42);
}

// A 16 x 8 CMYK JPEG at quality 100 of two flat patches (flat blocks decode exactly), with or
// without the Adobe marker that says the values are stored inverted.
Bytes cmykJpeg(const std::uint8_t left[4], const std::uint8_t right[4], bool adobe) {
    jpeg_compress_struct info{};
    jpeg_error_mgr err{};
    info.err = jpeg_std_error(&err);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = 16;
    info.image_height = 8;
    info.input_components = 4;
    info.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&info);
    jpeg_set_colorspace(&info, JCS_CMYK);
    jpeg_set_quality(&info, 100, TRUE);
    info.write_Adobe_marker = adobe ? TRUE : FALSE;
    jpeg_start_compress(&info, TRUE);
    std::uint8_t row[64];
    for (int x = 0; x < 16; ++x)
        for (int c = 0; c < 4; ++c) row[4 * x + c] = (x < 8 ? left : right)[c];
    while (info.next_scanline < info.image_height) {
        JSAMPROW r = row;
        jpeg_write_scanlines(&info, &r, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    Bytes out(buffer, buffer + size);
    std::free(buffer);
    return out;
}

TEST(JpegCmyk, FlatPatchesBecomeTheRoundedProductOfInkAndBlack) {
    struct Case {
        std::uint8_t left[4], right[4];
        bool adobe;
        Rgb expectLeft, expectRight;
    };
    // Plain: each channel is (255 - ink) * (255 - black) / 255, rounded to nearest.
    // 150 * 200 / 255 = 117.6 -> 118; 200 * 100 / 255 = 78.4 -> 78; 254 * 254 / 255 = 253.004.
    // Adobe: the stored bytes already are 255 - ink, so the product is of the bytes themselves.
    const Case cases[] = {
        {{105, 55, 0, 55}, {1, 1, 255, 1}, false, makeRgb(118, 157, 200), makeRgb(253, 253, 0)},
        {{0, 0, 0, 0}, {255, 255, 255, 255}, false, makeRgb(255, 255, 255), makeRgb(0, 0, 0)},
        {{150, 200, 255, 200}, {200, 254, 1, 100}, true, makeRgb(118, 157, 200), makeRgb(78, 100, 0)},
        {{255, 255, 255, 255}, {0, 128, 255, 128}, true, makeRgb(255, 255, 255), makeRgb(0, 64, 128)},
    };
    for (const Case& c : cases) {
        const Image image = loadMemory(cmykJpeg(c.left, c.right, c.adobe));
        const Bitmap& b = image.first();
        ASSERT_EQ(b.bits(), 24);
        EXPECT_EQ(b.pixel(3, 4), c.expectLeft) << (c.adobe ? "adobe " : "plain ") << std::hex << b.pixel(3, 4);
        EXPECT_EQ(b.pixel(12, 4), c.expectRight) << (c.adobe ? "adobe " : "plain ") << std::hex << b.pixel(12, 4);
    }
}

// Palette index 0 is as good a transparent index as any other: written with the flag set and
// index 0 in the graphic control extension, read back as entry 0.
TEST(GifTransparency, IndexZeroIsWrittenAndReadBack) {
    Bitmap b(4, 2, 2);
    b.palette() = {makeRgb(10, 20, 30), makeRgb(255, 0, 0), makeRgb(0, 255, 0), makeRgb(0, 0, 255)};
    for (int x = 0; x < 4; ++x) b.row(0)[x] = b.row(1)[x] = static_cast<std::uint8_t>(x);
    for (Rgb key : {kPaletteReference + 0, makeRgb(11, 20, 30)}) {
        b.setTransparent(true);
        b.setTransparentColor(key);
        SaveOptions o;
        o.format = format::Gif;
        const Bytes file = saveMemory(Image::fromBitmap(b), o);
        std::size_t gce = 0;
        for (std::size_t i = 0; i + 7 < file.size() && !gce; ++i)
            if (file[i] == 0x21 && file[i + 1] == 0xF9 && file[i + 2] == 4) gce = i;
        ASSERT_NE(gce, 0u) << "no graphic control extension";
        EXPECT_EQ(file[gce + 3] & 1, 1) << "transparency flag";
        EXPECT_EQ(file[gce + 6], 0) << "transparent index";
        const Bitmap back = loadMemory(file).first();
        EXPECT_TRUE(back.transparent());
        EXPECT_EQ(back.transparentColor(), kPaletteReference + 0);
        EXPECT_EQ(back.transparentRgb(), makeRgb(10, 20, 30));
    }
}

TEST(GifTransparency, AFileWithIndexZeroTransparentReadsSo) {
    // 2 x 1 pixels, a four-entry global table, transparency on index 0, pixels 0 and 1.
    const Bytes file = {'G', 'I', 'F', '8', '9', 'a', 2, 0, 1, 0, 0x81, 0, 0,
                        1, 2, 3, 255, 0, 0, 0, 255, 0, 0, 0, 255,
                        0x21, 0xF9, 4, 1, 0, 0, 0, 0,
                        0x2C, 0, 0, 0, 0, 2, 0, 1, 0, 0,
                        2, 2, 0x44, 0x0A, 0, 0x3B};
    const Bitmap b = loadMemory(file).first();
    ASSERT_TRUE(b.isIndexed());
    EXPECT_TRUE(b.transparent());
    EXPECT_EQ(b.transparentColor(), kPaletteReference + 0);
    EXPECT_EQ(b.row(0)[0], 0);
    EXPECT_EQ(b.row(0)[1], 1);
}

// A caller comparing sizes gives the GIF writer a limit: within it the file is exactly the
// unlimited one, one byte below its size the write stops with SizeLimit, for a picture of a few bytes
// (where the trailer is what overflows) as for large ones.
TEST(GifSizeLimit, TheFileIsWholeWithinTheLimitAndRefusedOneByteBelow) {
    for (int side : {3, 64, 300}) {
        Bitmap b(side, side, 8);
        b.palette().resize(256);
        for (int i = 0; i < 256; ++i) b.palette()[i] = makeRgb(i, 255 - i, (i * 7) & 255);
        std::uint32_t seed = 12345;
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x) b.row(y)[x] = static_cast<std::uint8_t>((seed = seed * 1103515245 + 12345) >> 24);
        SaveOptions o;
        o.format = format::Gif;
        const Bytes whole = saveMemory(Image::fromBitmap(b), o);
        o.sizeLimit = whole.size();
        EXPECT_EQ(saveMemory(Image::fromBitmap(b), o), whole) << side;
        o.sizeLimit = whole.size() - 1;
        try {
            saveMemory(Image::fromBitmap(b), o);
            ADD_FAILURE() << side << ": a file of " << whole.size() << " bytes passed a limit one byte below";
        } catch (const Error& e) {
            EXPECT_EQ(e.code(), ErrorCode::SizeLimit) << side << ": " << e.what();
        }
    }
}

}  // namespace
