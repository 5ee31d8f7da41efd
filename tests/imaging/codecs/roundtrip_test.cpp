// Every lossless format reads back exactly what it wrote, at every depth it stores, and what
// it writes opens in an independent reader.
#include <gtest/gtest.h>

#include <filesystem>
#include <cstdlib>
#include <fstream>
#include <unistd.h>
#include <string>

#include "codecs/gif_codec.h"
#include "codecs/registry.h"
#include "core/error.h"
#include "test_images.h"

using namespace imaging;

namespace {

struct RoundTrip {
    const char* name;
    int format;
    int bits;          // depth of the bitmap we save
    int storedBits;    // depth the file holds (the next one the format has)
    bool interlaced = false;
    bool transparent = false;
    int storedFormat = 0;  // the format readInfo reports, when not `format`
};

std::ostream& operator<<(std::ostream& os, const RoundTrip& c) { return os << c.name; }

Bitmap sourceFor(const RoundTrip& c) {
    Bitmap b = c.bits <= 8 ? test::makeIndexed(37, 23, c.bits, static_cast<std::uint32_t>(c.format * 100 + c.bits))
                           : test::makeTrueColour(37, 23, c.bits, static_cast<std::uint32_t>(c.format + c.bits));
    if (c.transparent) {
        b.setTransparent(true);
        b.setTransparentColor(c.bits <= 8 ? kPaletteReference + 1 : b.pixel(3, 0));
    }
    return b;
}

class LosslessRoundTrip : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(LosslessRoundTrip, ReadsBackWhatItWrote) {
    const RoundTrip& c = GetParam();
    const Bitmap source = sourceFor(c);
    SaveOptions options;
    options.format = c.format;
    options.bits = c.bits;
    options.interlaced = c.interlaced;
    const Bytes file = saveMemory(Image::fromBitmap(source), options);

    const ImageInfo info = readInfo(file);
    const int storedFormat = c.storedFormat ? c.storedFormat : c.format;
    EXPECT_EQ(info.format, storedFormat);
    EXPECT_EQ(info.bits, c.storedBits);
    EXPECT_EQ(info.width, source.width());
    EXPECT_EQ(info.height, source.height());
    EXPECT_EQ(info.pages, 1);
    EXPECT_FALSE(info.animated);
    EXPECT_EQ(info.fileSize, file.size());

    const Image back = loadMemory(file);
    ASSERT_EQ(back.frames.size(), 1u);
    const Bitmap& b = back.first();
    EXPECT_EQ(back.format, storedFormat);
    EXPECT_EQ(info.memorySize, b.memorySize());
    ASSERT_EQ(b.bits(), c.storedBits);
    if (c.storedBits == c.bits) {
        EXPECT_TRUE(b == source) << "pixels or palette differ";
    } else {
        // stored at a deeper depth: same colours, same indices, the palette padded
        ASSERT_EQ(b.width(), source.width());
        EXPECT_EQ(b.data(), source.data());
        ASSERT_EQ(b.palette().size(), std::size_t{1} << c.storedBits);
        for (std::size_t i = 0; i < source.palette().size(); ++i) EXPECT_EQ(b.palette()[i], source.palette()[i]);
    }
    EXPECT_EQ(b.transparent(), c.transparent);
    if (c.transparent) {
        EXPECT_EQ(b.toRgb24().transparentColor(), source.toRgb24().transparentColor());
    }
}

const RoundTrip kCases[] = {
    {"gif1", format::Gif, 1, 1},
    {"gif2", format::Gif, 2, 2},
    {"gif3", format::Gif, 3, 3},
    {"gif4", format::Gif, 4, 4},
    {"gif5", format::Gif, 5, 5},
    {"gif6", format::Gif, 6, 6},
    {"gif7", format::Gif, 7, 7},
    {"gif8", format::Gif, 8, 8},
    {"gif1_interlaced", format::Gif, 1, 1, true},
    {"gif8_interlaced", format::Gif, 8, 8, true},
    {"gif4_transparent", format::Gif, 4, 4, false, true},
    {"gif8_interlaced_transparent", format::Gif, 8, 8, true, true},
    {"png1", format::Png, 1, 1},
    {"png2", format::Png, 2, 2},
    {"png3", format::Png, 3, 4},
    {"png4", format::Png, 4, 4},
    {"png5", format::Png, 5, 8},
    {"png8", format::Png, 8, 8},
    {"png24", format::Png, 24, 24},
    {"png32", format::Png, 32, 32},
    {"png1_interlaced", format::Png, 1, 1, true},
    {"png8_interlaced", format::Png, 8, 8, true},
    {"png24_interlaced", format::Png, 24, 24, true},
    {"png4_transparent", format::Png, 4, 4, false, true},
    {"png24_transparent", format::Png, 24, 24, false, true},
    {"bmp1", format::BmpWindows, 1, 1},
    {"bmp2", format::BmpWindows, 2, 4},
    {"bmp3", format::BmpWindows, 3, 4},
    {"bmp4", format::BmpWindows, 4, 4},
    {"bmp5", format::BmpWindows, 5, 8},
    {"bmp7", format::BmpWindows, 7, 8},
    {"bmp8", format::BmpWindows, 8, 8},
    {"bmp16", format::BmpWindows, 16, 16},
    {"bmp24", format::BmpWindows, 24, 24},
    {"rle1", format::BmpRle, 1, 1, false, false, format::BmpWindows},
    {"rle2", format::BmpRle, 2, 4},
    {"rle4", format::BmpRle, 4, 4},
    {"rle6", format::BmpRle, 6, 8},
    {"rle8", format::BmpRle, 8, 8},
    {"rle24", format::BmpRle, 24, 24, false, false, format::BmpWindows},
    {"os2_1", format::BmpOs2, 1, 1},
    {"os2_4", format::BmpOs2, 4, 4},
    {"os2_8", format::BmpOs2, 8, 8},
    {"os2_24", format::BmpOs2, 24, 24},
    {"tif1", format::TiffUncompressed, 1, 1},
    {"tif2", format::TiffUncompressed, 2, 2},
    {"tif3", format::TiffUncompressed, 3, 3},
    {"tif4", format::TiffUncompressed, 4, 4},
    {"tif5", format::TiffUncompressed, 5, 5},
    {"tif6", format::TiffUncompressed, 6, 6},
    {"tif7", format::TiffUncompressed, 7, 7},
    {"tif8", format::TiffUncompressed, 8, 8},
    {"tif16", format::TiffUncompressed, 16, 16},
    {"tif24", format::TiffUncompressed, 24, 24},
    {"tif32", format::TiffUncompressed, 32, 32},
    {"lzw1", format::TiffCompressed, 1, 1},
    {"lzw3", format::TiffCompressed, 3, 3},
    {"lzw4", format::TiffCompressed, 4, 4},
    {"lzw7", format::TiffCompressed, 7, 7},
    {"lzw8", format::TiffCompressed, 8, 8},
    {"lzw16", format::TiffCompressed, 16, 16},
    {"lzw24", format::TiffCompressed, 24, 24},
    {"lzw32", format::TiffCompressed, 32, 32},
};

INSTANTIATE_TEST_SUITE_P(Formats, LosslessRoundTrip, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Files we write open in ImageMagick with the size and depth we meant.
TEST_P(LosslessRoundTrip, OpensInImageMagick) {
    if (!test::haveImageMagick()) GTEST_SKIP() << "ImageMagick is not installed";
    const RoundTrip& c = GetParam();
    SaveOptions options;
    options.format = c.format;
    options.bits = c.bits;
    options.interlaced = c.interlaced;
    const Bytes file = saveMemory(Image::fromBitmap(sourceFor(c)), options);
    const auto path = std::filesystem::temp_directory_path() /
                      ("kalmira-codecs-" + std::string(c.name) + "-" + std::to_string(::getpid()));
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(file.data()),
                                                static_cast<std::streamsize>(file.size()));
    bool ok = false;
    const std::string out = test::runCommand("/usr/bin/identify -format '%w %h\\n' '" + path.string() + "'", &ok);
    // Round trip through ImageMagick too: its decoded colours must be ours.
    const auto ppm = path.string() + ".ppm";
    bool converted = false;
    test::runCommand("/usr/bin/convert '" + path.string() + "' -flatten -depth 8 'ppm:" + ppm + "'", &converted);
    std::filesystem::remove(path);
    ASSERT_TRUE(ok) << "identify refused the file";
    EXPECT_EQ(out.substr(0, out.find('\n')), "37 23");
    ASSERT_TRUE(converted);
    std::ifstream in(ppm, std::ios::binary);
    std::string magic;
    int w = 0, h = 0, maxval = 0;
    in >> magic >> w >> h >> maxval;
    in.get();
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(w) * h * 3);
    in.read(reinterpret_cast<char*>(pixels.data()), static_cast<std::streamsize>(pixels.size()));
    std::filesystem::remove(ppm);
    ASSERT_EQ(w, 37);
    const Bitmap mine = loadMemory(file).first();
    int differing = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const Rgb ours = mine.pixel(x, y);
            const std::uint8_t* p = &pixels[(static_cast<std::size_t>(y) * w + x) * 3];
            if (c.transparent && mine.toRgb24().transparentColor() == ours) continue;  // flattened onto white
            if (c.bits == 32) continue;  // flattened onto white as well
            // 5-bit channels may be widened to 8 bits by rounding rather than by repeating bits
            const int tolerance = c.bits == 16 ? 1 : 0;
            if (std::abs(p[0] - redOf(ours)) > tolerance || std::abs(p[1] - greenOf(ours)) > tolerance ||
                std::abs(p[2] - blueOf(ours)) > tolerance)
                ++differing;
        }
    EXPECT_EQ(differing, 0);
}

// Every page of a multi-page TIFF comes back, each at its own depth.
TEST(TiffPages, WritesAndReadsEveryPage) {
    Image doc;
    doc.frames.push_back(Frame{test::makeIndexed(20, 10, 4)});
    doc.frames.push_back(Frame{test::makeTrueColour(15, 12, 24)});
    doc.frames.push_back(Frame{test::makeIndexed(9, 9, 1)});
    SaveOptions options;
    options.format = format::TiffCompressed;
    options.multiPage = true;
    const Bytes file = saveMemory(doc, options);
    const ImageInfo info = readInfo(file);
    EXPECT_EQ(info.pages, 3);
    EXPECT_EQ(info.bits, 4);
    const Image back = loadMemory(file);
    ASSERT_EQ(back.frames.size(), 3u);
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(back.frames[i].bitmap == doc.frames[i].bitmap) << "page " << i;
    LoadOptions last;
    last.firstPage = 2;
    const Image third = loadMemory(file, last);
    ASSERT_EQ(third.frames.size(), 1u);
    EXPECT_TRUE(third.first() == doc.frames[2].bitmap);
}

// An animation keeps its frames, offsets, delays, disposals, loop count and background.
TEST(GifAnimation, KeepsEveryFrameAndTheAnimationState) {
    Image anim;
    anim.loopCount = 3;
    anim.logicalWidth = 40;
    anim.logicalHeight = 30;
    for (int i = 0; i < 3; ++i) {
        Frame f{test::makeIndexed(10 + i, 8 + i, i == 1 ? 4 : 8, static_cast<std::uint32_t>(i + 7)), 10 * (i + 1),
                i, 3 * i, 2 * i};
        if (i == 2) {
            f.bitmap.setTransparent(true);
            f.bitmap.setTransparentColor(kPaletteReference + 5);
        }
        anim.frames.push_back(std::move(f));
    }
    anim.backgroundColor = anim.frames[0].bitmap.palette()[9];
    SaveOptions options;
    options.format = format::Gif;
    options.multiPage = true;
    const Bytes file = saveMemory(anim, options);

    const ImageInfo info = readInfo(file);
    EXPECT_EQ(info.pages, 3);
    EXPECT_TRUE(info.animated);
    EXPECT_EQ(info.width, 40);
    EXPECT_EQ(info.height, 30);

    const Image back = loadMemory(file);
    ASSERT_EQ(back.frames.size(), 3u);
    EXPECT_EQ(back.loopCount, 3);
    EXPECT_EQ(back.logicalWidth, 40);
    EXPECT_EQ(back.logicalHeight, 30);
    EXPECT_EQ(back.backgroundColor, anim.backgroundColor);
    for (int i = 0; i < 3; ++i) {
        const Frame& f = back.frames[i];
        EXPECT_TRUE(f.bitmap == anim.frames[i].bitmap) << "frame " << i;
        EXPECT_EQ(f.delay, 10 * (i + 1));
        EXPECT_EQ(f.disposal, i);
        EXPECT_EQ(f.left, 3 * i);
        EXPECT_EQ(f.top, 2 * i);
        EXPECT_EQ(f.bitmap.transparent(), i == 2);
    }
    EXPECT_EQ(back.frames[2].bitmap.transparentColor(), kPaletteReference + 5);

    if (test::haveImageMagick()) {
        const auto path = std::filesystem::temp_directory_path() / ("kalmira-anim-" + std::to_string(::getpid()) + ".gif");
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
        bool ok = false;
        const std::string frames = test::runCommand("/usr/bin/identify -format '%T,%wx%h,%g;' '" + path.string() + "'", &ok);
        std::filesystem::remove(path);
        EXPECT_TRUE(ok);
        EXPECT_EQ(frames, "10,10x8,40x30+0+0;20,11x9,40x30+3+2;30,12x10,40x30+6+4;");  // delay, size, screen + offset
    }

    // Page selection: just the second frame, as the document asks for one page.
    LoadOptions one;
    one.firstPage = 1;
    one.pageCount = 1;
    const Image second = loadMemory(file, one);
    ASSERT_EQ(second.frames.size(), 1u);
    EXPECT_TRUE(second.first() == anim.frames[1].bitmap);
    one.firstPage = 3;
    EXPECT_THROW(loadMemory(file, one), Error);
}

TEST(GifAnimation, ComposesFramesWithDisposalAndTransparency) {
    Image anim;
    anim.logicalWidth = 4;
    anim.logicalHeight = 1;
    Bitmap red(4, 1, 1);
    red.palette()[0] = makeRgb(255, 0, 0);
    Bitmap blue(2, 1, 1);
    blue.palette() = {makeRgb(0, 0, 255), makeRgb(0, 255, 0)};
    blue.row(0)[1] = 1;  // the second pixel is the transparent one
    blue.setTransparent(true);
    blue.setTransparentColor(kPaletteReference + 1);
    anim.frames.push_back(Frame{red, 0, 1, 0, 0});
    anim.frames.push_back(Frame{blue, 0, 2, 1, 0});
    anim.frames.push_back(Frame{Bitmap(1, 1, 1), 0, 0, 3, 0});
    const Bitmap second = composeGifFrame(anim, 1);
    EXPECT_EQ(second.pixel(0, 0), makeRgb(255, 0, 0));
    EXPECT_EQ(second.pixel(1, 0), makeRgb(0, 0, 255));
    EXPECT_EQ(second.pixel(2, 0), makeRgb(255, 0, 0));  // transparent pixel shows the frame below
    const Bitmap third = composeGifFrame(anim, 2);
    EXPECT_EQ(third.row(0)[4 * 1 + 3], 0);  // frame 1 was disposed to transparent
    EXPECT_EQ(third.pixel(0, 0), makeRgb(255, 0, 0));
}

// A transparent colour given as RGB is matched to the palette when saving.
TEST(GifTransparency, RgbColourIsMatchedToThePalette) {
    Bitmap b = test::makeIndexed(8, 8, 3);
    b.palette()[6] = makeRgb(200, 100, 50);
    b.setTransparent(true);
    b.setTransparentColor(makeRgb(201, 99, 50));
    SaveOptions options;
    options.format = format::Gif;
    const Bitmap back = loadMemory(saveMemory(Image::fromBitmap(b), options)).first();
    EXPECT_TRUE(back.transparent());
    EXPECT_EQ(back.transparentColor(), kPaletteReference + 6);
}

// PNG marks a palette entry transparent only when it has the transparent colour exactly;
// GIF falls back to the nearest entry.
TEST(Transparency, PngMatchesExactlyGifToTheNearestEntry) {
    Bitmap b = test::makeIndexed(8, 8, 4);
    b.palette()[6] = makeRgb(200, 100, 50);
    b.setTransparent(true);
    for (int fmt : {format::Png, format::Gif}) {
        SaveOptions options;
        options.format = fmt;
        b.setTransparentColor(makeRgb(200, 100, 50));
        Bitmap back = loadMemory(saveMemory(Image::fromBitmap(b), options)).first();
        EXPECT_TRUE(back.transparent());
        EXPECT_EQ(back.transparentColor(), kPaletteReference + 6);
        b.setTransparentColor(makeRgb(201, 100, 50));
        back = loadMemory(saveMemory(Image::fromBitmap(b), options)).first();
        EXPECT_EQ(back.transparent(), fmt == format::Gif);
    }
}

// LoadOptions::bits converts after decoding where no colour reduction is needed.
TEST(LoadDepth, ConvertsUpwardsAndRefusesReduction) {
    SaveOptions options;
    options.format = format::Png;
    const Bitmap source = test::makeIndexed(9, 7, 4);
    const Bytes file = saveMemory(Image::fromBitmap(source), options);
    for (int bits : {8, 16, 24, 32}) {
        LoadOptions load;
        load.bits = bits;
        const Bitmap b = loadMemory(file, load).first();
        ASSERT_EQ(b.bits(), bits);
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 9; ++x) {
                const Rgb want = bits == 16 ? unpackRgb555(packRgb555(source.pixel(x, y))) : source.pixel(x, y);
                ASSERT_EQ(b.pixel(x, y), want) << bits << " bits at " << x << "," << y;
            }
    }
    LoadOptions reduce;
    reduce.bits = 1;
    try {
        loadMemory(file, reduce);
        FAIL() << "reduced colours while loading";
    } catch (const Error& e) {
        EXPECT_EQ(e.code(), ErrorCode::Unsupported);
    }
}

// A bitmap whose indices do not fit the requested depth is refused, not silently masked.
TEST(GifWrite, RefusesIndicesAboveTheDepthAndTrueColour) {
    SaveOptions options;
    options.format = format::Gif;
    options.bits = 4;
    try {
        saveMemory(Image::fromBitmap(test::makeIndexed(8, 8, 8)), options);
        FAIL() << "saved 8-bit indices at 4 bits";
    } catch (const Error& e) {
        EXPECT_EQ(e.code(), ErrorCode::InvalidArgument);
    }
    options.bits = 0;
    EXPECT_THROW(saveMemory(Image::fromBitmap(test::makeTrueColour(8, 8, 24)), options), Error);
}

}  // namespace
