// Readers of the open list on files built byte by byte from the formats' descriptions,
// where no program here writes the format, and on long runs that small pictures miss.
#include <gtest/gtest.h>

#include "codecs/registry.h"
#include "core/error.h"
#include "test_support.h"

using namespace imaging;
using namespace testing_formats;

namespace {

Bytes bytes(std::initializer_list<int> values) {
    Bytes out;
    for (int v : values) out.push_back(static_cast<std::uint8_t>(v));
    return out;
}

void append(Bytes& to, const Bytes& more) { to.insert(to.end(), more.begin(), more.end()); }

TEST(DrHaloCut, ReadsRunsAndLiteralsAsGrey) {
    // 4 x 2: a run of four 5s, then the literal 1 2 3 4; each line counted and ended by 0.
    const Bytes file = bytes({4, 0, 2, 0, 0, 0, 3, 0, 0x84, 5, 0, 6, 0, 4, 1, 2, 3, 4, 0});
    ASSERT_EQ(sniffCodec(file), codecForFormat(format::Cut));
    const Bitmap b = loadMemory(file).first();
    ASSERT_EQ(b.bits(), 8);
    EXPECT_EQ(b.data(), bytes({5, 5, 5, 5, 1, 2, 3, 4}));
    EXPECT_EQ(b.pixel(0, 1), makeRgb(1, 1, 1));  // no palette file: grey
    Bytes shortLine = file;
    shortLine[11] = 4;  // second line now claims fewer pixels than the width
    shortLine[13] = 3;
    shortLine.erase(shortLine.begin() + 17);
    EXPECT_THROW(codecForFormat(format::Cut)->read(shortLine, {}), Error);
}

Bytes dib2x2() {
    // Bottom-up 24-bit rows padded to 4 bytes: bottom row red, green; top row blue, white.
    Bytes d = bytes({40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0, 16, 0, 0, 0});
    d.resize(40, 0);
    append(d, bytes({0, 0, 255, 0, 255, 0, 0, 0, 255, 0, 0, 255, 255, 255, 0, 0}));
    return d;
}

TEST(ClipboardFile, ReadsTheDeviceIndependentBitmapOfBothLayouts) {
    for (bool nt : {false, true}) {
        const Bytes dib = dib2x2();
        Bytes file = bytes({nt ? 0x51 : 0x50, 0xC3, 1, 0});
        const std::size_t offset = 4 + (nt ? 170 : 89);
        if (nt) append(file, bytes({8, 0, 0, 0}));
        else append(file, bytes({8, 0}));
        append(file, bytes({static_cast<int>(dib.size()), 0, 0, 0, static_cast<int>(offset), 0, 0, 0}));
        file.resize(offset, 0);
        append(file, dib);
        ASSERT_EQ(sniffCodec(file), codecForFormat(format::Clp));
        const Bitmap b = loadMemory(file).first();
        ASSERT_EQ(b.bits(), 24);
        EXPECT_EQ(b.pixel(0, 0), makeRgb(0, 0, 255));
        EXPECT_EQ(b.pixel(1, 0), makeRgb(255, 255, 255));
        EXPECT_EQ(b.pixel(0, 1), makeRgb(255, 0, 0));
        EXPECT_EQ(b.pixel(1, 1), makeRgb(0, 255, 0));
        file.resize(file.size() - 6);
        EXPECT_THROW(codecForFormat(format::Clp)->read(file, {}), Error) << "cut short";
    }
}

TEST(ClipboardFile, WithoutABitmapIsRefused) {
    Bytes file = bytes({0x50, 0xC3, 1, 0, 1, 0, 4, 0, 0, 0, 93, 0, 0, 0});  // CF_TEXT only
    file.resize(93, 0);
    append(file, bytes({'a', 'b', 'c', 0}));
    try {
        codecForFormat(format::Clp)->read(file, {});
        ADD_FAILURE() << "read a clipboard file without a picture";
    } catch (const Error& e) {
        EXPECT_EQ(e.code(), ErrorCode::Corrupt);
    }
}

// Group 4 run-length codes up to the longest make-up codes: a wide picture of runs from
// one pixel to the whole line, coded by ImageMagick.
TEST(Cals, DecodesShortAndVeryLongRuns) {
    if (!haveTool("/usr/bin/convert")) GTEST_SKIP() << "ImageMagick is not installed";
    const int width = 2700, height = 24;
    Bitmap picture(width, height, 1);
    picture.palette() = {makeRgb(0, 0, 0), makeRgb(255, 255, 255)};
    unsigned seed = 12345;
    for (int y = 0; y < height; ++y) {
        int x = 0, colour = y & 1;
        while (x < width) {
            seed = seed * 1103515245u + 12345u;
            const int limit = y % 4 == 0 ? 2600 : (y % 4 == 1 ? 300 : 9);
            const int run = 1 + static_cast<int>((seed >> 8) % static_cast<unsigned>(limit));
            for (int i = 0; i < run && x < width; ++i, ++x) picture.setPixel(x, y, colour);
            colour ^= 1;
        }
    }
    const auto dir = tempDir();
    writePpm(dir / "runs.ppm", picture);
    ASSERT_EQ(
        run("/usr/bin/convert " + (dir / "runs.ppm").string() + " -type Bilevel cals:" + (dir / "runs.cal").string()),
        0);
    const Bitmap back = loadMemory(readFile(dir / "runs.cal")).first();
    ASSERT_EQ(back.width(), width);
    ASSERT_EQ(back.height(), height);
    int wrong = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) wrong += back.pixel(x, y) != picture.pixel(x, y);
    EXPECT_EQ(wrong, 0);
}

TEST(Icon, ReadsEveryEntryAsAPage) {
    if (!haveTool("/usr/bin/convert")) GTEST_SKIP() << "ImageMagick is not installed";
    const auto dir = tempDir();
    writePpm(dir / "a.ppm", makePicture(16, 16, 4, 1));
    writePpm(dir / "b.ppm", makePicture(32, 32, 8, 2));
    ASSERT_EQ(run("/usr/bin/convert " + (dir / "a.ppm").string() + " " + (dir / "b.ppm").string() + " " +
                  (dir / "two.ico").string()),
              0);
    const Bytes file = readFile(dir / "two.ico");
    const ImageInfo info = readInfo(file);
    EXPECT_EQ(info.pages, 2);
    EXPECT_EQ(info.format, format::Ico);
    const Image all = loadMemory(file);
    ASSERT_EQ(all.frames.size(), 2u);
    EXPECT_EQ(all.frames[1].bitmap.width(), 32);
    LoadOptions second;
    second.firstPage = 1;
    second.pageCount = 1;
    const Image one = loadMemory(file, second);
    ASSERT_EQ(one.frames.size(), 1u);
    EXPECT_EQ(one.first().width(), 32);
}

}  // namespace

namespace {

// Large icon entries are PNG files; the icon reader hands them to the PNG codec.
TEST(Icon, ReadsPngEntries) {
    if (!haveTool("/usr/bin/convert")) GTEST_SKIP() << "ImageMagick is not installed";
    if (!codecForFormat(format::Png)) GTEST_SKIP() << "no PNG codec in this build";
    const auto dir = tempDir();
    const Bitmap picture = makePicture(256, 256, 24, 8);
    writePpm(dir / "big.ppm", picture);
    ASSERT_EQ(run("/usr/bin/convert " + (dir / "big.ppm").string() + " " + (dir / "big.ico").string()), 0);
    const Bytes file = readFile(dir / "big.ico");
    ASSERT_GT(file.size(), 30u);
    ASSERT_EQ(file[22], 0x89) << "ImageMagick did not store a PNG entry";
    const Bitmap back = loadMemory(file).first();
    ASSERT_EQ(back.width(), 256);
    int wrong = 0;
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) wrong += back.pixel(x, y) != picture.pixel(x, y);
    EXPECT_EQ(wrong, 0);
}

}  // namespace

namespace {

// Dumps from little-endian machines: header, colours and pixels all least significant first.
TEST(WindowDump, ReadsLittleEndianDumps) {
    const std::uint32_t fields[25] = {104, 7,        2,      24,   2, 2,   0, 0, 32, 0, 32, 32, 8,
                                      4,   0xFF0000, 0xFF00, 0xFF, 8, 256, 0, 2, 2,  0, 0,  0};
    Bytes file;
    for (std::uint32_t f : fields)
        for (int i = 0; i < 4; ++i) file.push_back(static_cast<std::uint8_t>(f >> (8 * i)));
    file.resize(104, 0);  // window name
    append(file, bytes({0x30, 0x20, 0x10, 0, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0xFF, 0, 0, 0x80, 0, 0}));
    ASSERT_EQ(sniffCodec(file), codecForFormat(format::Xwd));
    const Bitmap b = loadMemory(file).first();
    ASSERT_EQ(b.bits(), 24);
    EXPECT_EQ(b.pixel(0, 0), makeRgb(0x10, 0x20, 0x30));
    EXPECT_EQ(b.pixel(1, 0), makeRgb(255, 255, 255));
    EXPECT_EQ(b.pixel(0, 1), makeRgb(255, 0, 0));
    EXPECT_EQ(b.pixel(1, 1), makeRgb(0, 0x80, 0));
}

}  // namespace
