// The GIF writer's colour tables and LZW coding: a table holds only the entries in use (a power
// of two), a file comes back at the depth it was saved at, and every way of renewing the code
// table decodes to the same pixels (with our reader and, where installed, ImageMagick's).

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "codecs/gif_writer.h"
#include "codecs/registry.h"
#include "core/codec.h"
#include "core/parallel.h"
#include "test_images.h"

namespace imaging {
namespace {

// A palette bitmap at `bits` whose pixels use entries 0..used-1, with a palette padded as the
// colour reduction pads it: the entries after the used ones repeat the last used one.
Bitmap paddedPalette(int width, int height, int bits, int used) {
    Bitmap b(width, height, bits);
    for (int i = 0; i < (1 << bits); ++i) {
        const int k = std::min(i, used - 1);
        b.palette()[static_cast<std::size_t>(i)] = makeRgb(k * 37 % 256, k * 91 % 256, 255 - k);
    }
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) b.row(y)[x] = static_cast<std::uint8_t>((x * 7 + y * 3) % used);
    return b;
}

Bytes saveGif(const Image& image, int bits, bool interlaced = false) {
    SaveOptions o;
    o.format = format::Gif;
    o.bits = bits;
    o.interlaced = interlaced;
    o.multiPage = image.frames.size() > 1;
    return saveMemory(image, o);
}

// Entries of the global table, from the screen descriptor.
int globalTableEntries(const Bytes& file) { return file[10] & 0x80 ? 2 << (file[10] & 7) : 0; }

// The LZW minimum code size of the first image (global table only, no extensions but the
// depth one and a control block).
int firstCodeSize(const Bytes& file) {
    std::size_t pos = 13 + 3 * static_cast<std::size_t>(globalTableEntries(file));
    while (file[pos] == 0x21) {
        pos += 2;
        while (file[pos] != 0) pos += file[pos] + 1u;
        ++pos;
    }
    EXPECT_EQ(file[pos], 0x2C);
    const int packed = file[pos + 9];
    pos += 10 + (packed & 0x80 ? 3u * (2u << (packed & 7)) : 0u);
    return file[pos];
}

bool hasDepthExtension(const Bytes& file) {
    const std::string text(file.begin(), file.end());
    return text.find(gif::kDepthExtension) != std::string::npos;
}

struct TableCase {
    int bits;
    int used;
    int entries;   // written table
    int codeSize;  // LZW minimum code size
    bool extension;
};

TEST(GifWriter, TheTableHoldsThePowerOfTwoOfTheEntriesUsedAndReadsBackAtTheSavedDepth) {
    const TableCase cases[] = {
        {8, 1, 2, 2, true},     {8, 2, 2, 2, true},     {8, 3, 4, 2, true},     {8, 5, 8, 3, true},
        {8, 16, 16, 4, true},   {8, 17, 32, 5, true},   {8, 100, 128, 7, true}, {8, 128, 128, 7, true},
        {8, 129, 256, 8, false}, {8, 256, 256, 8, false}, {4, 3, 4, 2, true},   {4, 9, 16, 4, false},
        // Too little to gain to pay for the extension: the table stays whole.
        {2, 2, 4, 2, false},    {3, 3, 8, 3, false},    {1, 1, 2, 2, false},    {3, 2, 2, 2, true},
    };
    for (const TableCase& c : cases) {
        SCOPED_TRACE("bits " + std::to_string(c.bits) + ", used " + std::to_string(c.used));
        const Bitmap b = paddedPalette(37, 23, c.bits, c.used);
        const Bytes file = saveGif(Image::fromBitmap(Bitmap(b), format::Gif), c.bits);
        EXPECT_EQ(globalTableEntries(file), c.entries);
        EXPECT_EQ(firstCodeSize(file), c.codeSize);
        EXPECT_EQ(hasDepthExtension(file), c.extension);
        EXPECT_EQ(readInfo(file).bits, c.bits);
        const Image back = loadMemory(file);
        const Bitmap& r = back.first();
        EXPECT_EQ(r.bits(), c.bits);
        EXPECT_EQ(r.palette(), b.palette());
        EXPECT_EQ(r.data(), b.data());
    }
}

TEST(GifWriter, EntriesThatDifferAndTheTransparentOneStayInTheTable) {
    // Unused entries of their own colours are the user's palette: kept.
    Bitmap own = paddedPalette(20, 10, 8, 10);
    own.palette()[200] = makeRgb(1, 2, 3);
    Bytes file = saveGif(Image::fromBitmap(Bitmap(own), format::Gif), 8);
    EXPECT_EQ(globalTableEntries(file), 256);
    EXPECT_EQ(loadMemory(file).first().palette(), own.palette());

    // A transparent entry no pixel uses still needs its place in the table.
    Bitmap clear = paddedPalette(20, 10, 8, 10);
    clear.setTransparent(true);
    clear.setTransparentColor(kPaletteReference + 40);
    file = saveGif(Image::fromBitmap(Bitmap(clear), format::Gif), 8);
    EXPECT_EQ(globalTableEntries(file), 64);
    const Bitmap back = loadMemory(file).first();
    EXPECT_EQ(back.bits(), 8);
    EXPECT_TRUE(back.transparent());
    EXPECT_EQ(back.transparentColor(), kPaletteReference + 40);
    EXPECT_EQ(back.data(), clear.data());
}

TEST(GifWriter, AFileWithoutTheDepthExtensionReadsAtItsTablesDepth) {
    // The other direction: a 16-entry table saved at 4 bits needs no extension and reads as 4
    // bits, and the extension is what widens a table of 16 to the 8 bits saved at.
    const Bitmap b = paddedPalette(30, 20, 4, 16);
    const Bytes four = saveGif(Image::fromBitmap(Bitmap(b), format::Gif), 4);
    EXPECT_FALSE(hasDepthExtension(four));
    EXPECT_EQ(loadMemory(four).first().bits(), 4);

    Bitmap wide = paddedPalette(30, 20, 8, 16);
    const Bytes eight = saveGif(Image::fromBitmap(Bitmap(wide), format::Gif), 8);
    ASSERT_TRUE(hasDepthExtension(eight));
    EXPECT_EQ(globalTableEntries(eight), 16);
    EXPECT_EQ(loadMemory(eight).first().bits(), 8);
    // The same file with the extension's name altered is someone else's: read as stored.
    Bytes foreign = eight;
    const std::string text(foreign.begin(), foreign.end());
    foreign[text.find(gif::kDepthExtension)] = 'X';
    EXPECT_EQ(loadMemory(foreign).first().bits(), 4);
    EXPECT_EQ(readInfo(foreign).bits, 4);
    // A depth out of range is ignored.
    Bytes bad = eight;
    bad[text.find(gif::kDepthExtension) + 12] = 9;
    EXPECT_EQ(loadMemory(bad).first().bits(), 4);
}

TEST(GifWriter, AnAnimationsFramesKeepTheirDepthsWithSharedAndOwnTables) {
    Image anim;
    anim.format = format::Gif;
    anim.logicalWidth = 24;
    anim.logicalHeight = 16;
    // The first two frames share a palette; the first uses 20 entries of it, the second 40.
    Bitmap first = paddedPalette(24, 16, 8, 40);
    for (std::uint8_t& v : first.data()) v = static_cast<std::uint8_t>(v % 20);
    anim.frames.push_back(Frame{first, 10, 1, 0, 0});
    anim.frames.push_back(Frame{paddedPalette(12, 8, 8, 40), 20, 2, 4, 3});
    Bitmap other = paddedPalette(10, 10, 8, 5);
    other.palette()[0] = makeRgb(9, 9, 9);
    anim.frames.push_back(Frame{other, 30, 0, 2, 2});
    const Bytes file = saveGif(anim, 8);
    EXPECT_EQ(globalTableEntries(file), 64);  // the entries both sharing frames use
    const Image back = loadMemory(file);
    ASSERT_EQ(back.frames.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(back.frames[i].bitmap.bits(), 8);
        EXPECT_EQ(back.frames[i].bitmap.palette(), anim.frames[i].bitmap.palette());
        EXPECT_EQ(back.frames[i].bitmap.data(), anim.frames[i].bitmap.data());
        EXPECT_EQ(back.frames[i].delay, anim.frames[i].delay);
        EXPECT_EQ(back.frames[i].left, anim.frames[i].left);
    }
}

// Flat areas, edges and noise: the code table fills many times, so every policy clears or
// keeps it at some point.
Bitmap busyPicture(int width, int height) {
    Bitmap b(width, height, 8);
    std::uint32_t seed = 12345;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            seed = seed * 1103515245u + 12345u;
            const bool flat = (x / 64 + y / 48) % 2 == 0;
            b.row(y)[x] = static_cast<std::uint8_t>(flat ? (x / 64) * 17 % 256 : (seed >> 16) % 256);
        }
    return b;
}

TEST(GifWriter, EveryWayOfRenewingTheCodeTableDecodesToTheSamePixels) {
    const Bitmap b = busyPicture(401, 297);
    const gif::TablePolicy policies[] = {gif::TablePolicy::ClearWhenFull, gif::TablePolicy::KeepWhenFull,
                                         gif::TablePolicy::Watch, gif::TablePolicy::Smallest};
    for (bool interlaced : {false, true}) {
        std::size_t smallest = 0, others = SIZE_MAX;
        for (gif::TablePolicy policy : policies) {
            SCOPED_TRACE(std::to_string(static_cast<int>(policy)) + (interlaced ? " interlaced" : ""));
            const Bytes data = gif::lzwImageData(b, 8, interlaced, policy);
            // Frame it as a file by hand and read it back.
            Bytes file = {'G', 'I', 'F', '8', '9', 'a', 0x91, 0x01, 0x29, 0x01, 0xF7, 0, 0};
            for (int i = 0; i < 256; ++i) file.insert(file.end(), {std::uint8_t(i), std::uint8_t(i), std::uint8_t(i)});
            file.insert(file.end(), {0x2C, 0, 0, 0, 0, 0x91, 0x01, 0x29, 0x01, std::uint8_t(interlaced ? 0x40 : 0)});
            file.insert(file.end(), data.begin(), data.end());
            file.push_back(0x3B);
            const Image back = loadMemory(file);
            EXPECT_EQ(back.first().data(), b.data());
            // The shortest of its trials, the watch with the default window among them.
            if (policy == gif::TablePolicy::Smallest) smallest = data.size();
            else if (policy == gif::TablePolicy::Watch) others = data.size();
        }
        EXPECT_LE(smallest, others);
    }
}

TEST(GifWriter, OneCoreWritesTheSameBytesAsSeveral) {
    const Image image = Image::fromBitmap(busyPicture(300, 200), format::Gif);
    setWorkerCount(1);
    const Bytes one = saveGif(image, 8);
    setWorkerCount(3);
    const Bytes three = saveGif(image, 8);
    setWorkerCount(0);
    EXPECT_EQ(one, three);
}

TEST(GifWriter, ImageMagickDecodesTheSamePixels) {
    if (!test::haveImageMagick()) GTEST_SKIP() << "ImageMagick is not installed";
    const auto dir = std::filesystem::temp_directory_path() / ("kalmira_gif_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const Bitmap photo = busyPicture(257, 190);
    const Bitmap few = paddedPalette(57, 31, 8, 11);
    int n = 0;
    for (const Bitmap* b : {&photo, &few}) {
        const auto gifPath = dir / ("p" + std::to_string(n) + ".gif");
        const auto ppmPath = dir / ("p" + std::to_string(n++) + ".ppm");
        const Bytes file = saveGif(Image::fromBitmap(Bitmap(*b), format::Gif), 8);
        std::ofstream(gifPath, std::ios::binary).write(reinterpret_cast<const char*>(file.data()), std::ssize(file));
        bool ok = false;
        test::runCommand("convert '" + gifPath.string() + "' '" + ppmPath.string() + "'", &ok);
        ASSERT_TRUE(ok);
        const Image theirs = loadFile(ppmPath);
        ASSERT_EQ(theirs.first().width(), b->width());
        for (int y = 0; y < b->height(); ++y)
            for (int x = 0; x < b->width(); ++x)
                ASSERT_EQ(theirs.first().pixel(x, y) & 0xFFFFFF, b->pixel(x, y) & 0xFFFFFF) << x << "," << y;
    }
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace imaging
