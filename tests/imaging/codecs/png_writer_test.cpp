// The PNG writer's smaller layouts, filters and deflate trials: every file decodes to exactly
// the pixels and depth it was given, and one core writes the same bytes as several.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "codecs/png_writer.h"
#include "codecs/registry.h"
#include "core/codec.h"
#include "core/parallel.h"
#include "test_images.h"

namespace imaging {
namespace {

Bytes savePng(const Bitmap& b, int bits = 0, bool interlaced = false) {
    SaveOptions o;
    o.format = format::Png;
    o.bits = bits;
    o.interlaced = interlaced;
    return saveMemory(Image::fromBitmap(Bitmap(b), format::Png), o);
}

// The IHDR colour type and bit depth a file stores.
std::pair<int, int> storedLayout(const Bytes& file) { return {file[25], file[24]}; }

Bitmap withColours(int width, int height, int colours, bool grey, int bits = 24) {
    Bitmap b(width, height, bits);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int k = (x * 7 + y * 13 + (x * y) % 5) % colours;
            const int v = grey ? k * 255 / std::max(1, colours - 1) : 0;
            b.setPixel(x, y, grey ? makeRgb(v, v, v) : makeRgb(k % 256, k * 11 % 256, 50 + k / 256 * 100));
        }
    return b;
}

struct LayoutCase {
    const char* name;
    Bitmap bitmap;
    int colourType;
    int depth;
};

// Each picture comes back identical (pixels and depth) from the layout its pixels allow.
TEST(PngWriter, SmallerLayoutsDecodeToTheSamePixelsAndDepth) {
    Bitmap opaque32 = test::makeTrueColour(61, 37, 24, 3).toRgba32();
    Bitmap greyAlpha(40, 30, 32);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) {
            std::uint8_t* p = greyAlpha.row(y) + x * 4;
            p[0] = p[1] = p[2] = static_cast<std::uint8_t>(x * 6);
            p[3] = static_cast<std::uint8_t>(y * 8);
        }
    Bitmap few32 = withColours(33, 21, 200, false).toRgba32();
    std::vector<LayoutCase> cases;
    cases.push_back({"2 colours", withColours(45, 19, 2, false), 3, 1});
    cases.push_back({"4 colours", withColours(45, 19, 4, false), 3, 2});
    cases.push_back({"16 colours", withColours(45, 19, 16, false), 3, 4});
    cases.push_back({"256 colours", withColours(64, 64, 256, false), 3, 8});
    cases.push_back({"257 colours", withColours(64, 64, 257, false), 2, 8});
    cases.push_back({"12 greys", withColours(45, 19, 12, true), 3, 4});
    cases.push_back({"200 greys", withColours(45, 19, 200, true), 0, 8});
    cases.push_back({"photo", test::makeTrueColour(61, 37, 24, 5), 2, 8});
    cases.push_back({"opaque 32", opaque32, 2, 8});
    cases.push_back({"grey alpha 32", greyAlpha, 4, 8});
    cases.push_back({"alpha 32", test::makeTrueColour(61, 37, 32, 5), 6, 8});
    cases.push_back({"few colours 32", few32, 3, 8});
    for (const LayoutCase& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes file = savePng(c.bitmap);
        EXPECT_EQ(storedLayout(file), std::make_pair(c.colourType, c.depth));
        const Image back = loadMemory(file);
        EXPECT_EQ(back.first().bits(), c.bitmap.bits());
        EXPECT_TRUE(back.first() == c.bitmap);
        EXPECT_EQ(readInfo(file).bits, c.bitmap.bits());
        // An explicit depth still wins over the stored one.
        EXPECT_EQ(loadMemory(file, LoadOptions{32}).first().bits(), 32);
    }
}

TEST(PngWriter, PaletteBitmapsAndTransparencyKeepTheirLayout) {
    for (int bits : {1, 2, 4, 8}) {
        SCOPED_TRACE(bits);
        Bitmap b = test::makeIndexed(53, 29, bits, 9);
        b.setTransparent(true);
        b.setTransparentColor(kPaletteReference + 1);
        const Bytes file = savePng(b);
        EXPECT_EQ(storedLayout(file), std::make_pair(3, bits));
        const Bitmap back = loadMemory(file).first();
        EXPECT_TRUE(back.data() == b.data());
        EXPECT_TRUE(back.palette() == b.palette());
        EXPECT_EQ(back.transparentColor(), kPaletteReference + 1);
    }
    // A 24-bit picture with a transparent colour keeps RGB and its tRNS colour, even when few
    // colours would allow a palette.
    Bitmap few = withColours(30, 20, 5, false);
    few.setTransparent(true);
    few.setTransparentColor(makeRgb(1, 11, 50));
    const Bytes file = savePng(few);
    EXPECT_EQ(storedLayout(file).first, 2);
    const Bitmap back = loadMemory(file).first();
    EXPECT_TRUE(back.data() == few.data());
    EXPECT_TRUE(back.transparent());
    EXPECT_EQ(back.transparentColor(), makeRgb(1, 11, 50));
}

// The colour reduction pads a palette with repeats of its last colour; those are left out of
// the file and come back as they were.
TEST(PngWriter, PaddedPaletteIsStoredShortAndReadBackWhole) {
    Bitmap b(40, 20, 8);
    for (int i = 0; i < 256; ++i) b.palette()[i] = i < 10 ? makeRgb(i * 20, 255 - i, i) : makeRgb(180, 246, 9);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 40; ++x) b.row(y)[x] = static_cast<std::uint8_t>((x + y) % 10);
    const Bytes file = savePng(b);
    const auto plte = std::search(file.begin(), file.end(), std::begin("PLTE"), std::end("PLTE") - 1);
    ASSERT_NE(plte, file.end());
    EXPECT_EQ(plte[-1], 30);  // ten entries: the last used one is the padding colour itself
    const Bitmap back = loadMemory(file).first();
    EXPECT_TRUE(back == b);
}

// Every filter type reverses exactly, at every pixel distance PNG uses.
TEST(PngWriter, FiltersUndoExactly) {
    const Bitmap noise = test::makeTrueColour(97, 3, 32, 11);
    const std::size_t n = noise.stride();
    for (int bpp : {1, 2, 3, 4})
        for (int type = 0; type < 5; ++type) {
            std::vector<std::uint8_t> out(n), back(n);
            png::filterRow(type, noise.row(1), noise.row(0), out.data(), n, bpp);
            for (std::size_t i = 0; i < n; ++i) {
                const int a = i >= static_cast<std::size_t>(bpp) ? back[i - bpp] : 0, b = noise.row(0)[i];
                const int c = i >= static_cast<std::size_t>(bpp) ? noise.row(0)[i - bpp] : 0;
                const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
                const int predictor[5] = {0, a, b, (a + b) / 2, pa <= pb && pa <= pc ? a : pb <= pc ? b : c};
                back[i] = static_cast<std::uint8_t>(out[i] + predictor[type]);
            }
            EXPECT_EQ(0, std::memcmp(back.data(), noise.row(1), n)) << "type " << type << " bpp " << bpp;
        }
}

// Row filtering and the deflate trials run in parallel; one core must give the same file.
TEST(PngWriter, OneCoreWritesTheSameBytesAsSeveral) {
    const Bitmap photo = test::makePhoto(700, 300);
    const Bitmap flat = withColours(500, 300, 600, false);
    for (const Bitmap* b : {&photo, &flat}) {
        setWorkerCount(1);
        const Bytes single = savePng(*b);
        setWorkerCount(4);
        const Bytes several = savePng(*b);
        setWorkerCount(0);
        EXPECT_TRUE(single == several);
        EXPECT_TRUE(loadMemory(single).first() == *b);
    }
}

TEST(PngWriter, DepthChunkIsIgnoredWhenMalformed) {
    Bytes file = savePng(withColours(20, 10, 3, false));
    ASSERT_EQ(png::storedDepth(file), 24);
    // A depth that is no direct depth is not trusted: the palette bitmap comes back as stored.
    for (std::size_t i = 8; i + 9 < file.size(); ++i)
        if (std::memcmp(file.data() + i + 4, png::kDepthChunk, 4) == 0) file[i + 8] = 7;
    EXPECT_EQ(png::storedDepth(file), 0);
}

// On screenshots and flat graphics the truecolour file is no larger than `optipng -o2` makes of
// the same pixels, and decodes to exactly them.
TEST(PngWriter, ScreenshotsAndFlatGraphicsAreNoLargerThanOptipngs) {
    if (!std::filesystem::exists("/usr/bin/optipng")) GTEST_SKIP() << "optipng is not installed";
    const auto dir = std::filesystem::temp_directory_path() / ("kalmira_png_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    for (const char* name : {"screenshot.png", "flat.png"}) {
        SCOPED_TRACE(name);
        const Bitmap source = loadFile(std::string(KALMIRA_PICTURES) + "/" + name).first().toRgb24();
        const Bytes ours = savePng(source, 24);
        const Image back = loadMemory(ours);
        EXPECT_EQ(back.first().bits(), 24);
        EXPECT_EQ(back.first().data(), source.data());
        const auto in = dir / "in.ppm", out = dir / "out.png";
        {
            std::ofstream ppm(in, std::ios::binary);
            ppm << "P6\n" << source.width() << ' ' << source.height() << "\n255\n";
            for (int y = 0; y < source.height(); ++y)
                ppm.write(reinterpret_cast<const char*>(source.row(y)), std::streamsize{3} * source.width());
        }
        bool ok = false;
        test::runCommand("optipng -quiet -o2 -out '" + out.string() + "' '" + in.string() + "'", &ok);
        ASSERT_TRUE(ok);
        EXPECT_LE(ours.size(), std::filesystem::file_size(out));
        std::filesystem::remove(out);
    }
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace imaging
