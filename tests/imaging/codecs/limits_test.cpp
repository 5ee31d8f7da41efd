// The engine's limits on hostile files: pages that share their data, progressive JPEGs of
// more scans than any encoder writes, and long reads that stop when asked.
#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "codecs/registry.h"
#include "core/bitmap.h"
#include "core/error.h"
#include "core/limits.h"
#include "test_images.h"

using namespace imaging;

namespace {

std::uint32_t le32(const Bytes& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}
void putLe32(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int k = 0; k < 4; ++k) b[at + k] = static_cast<std::uint8_t>(v >> (8 * k));
}

// A one-page TIFF of a flat 8-bit picture, LZW-compressed to a few kilobytes.
Bytes flatTiff(int width, int height, std::uint8_t index) {
    Bitmap bmp(width, height, 8);
    for (int i = 0; i < 256; ++i) bmp.palette()[i] = makeRgb(i, 255 - i, i / 2);
    for (int y = 0; y < height; ++y) std::fill(bmp.row(y), bmp.row(y) + width, index);
    SaveOptions o;
    o.format = format::TiffCompressed;
    return saveMemory(Image::fromBitmap(std::move(bmp)), o);
}

// The file with `copies` more directories, each a copy of the first: every page points to the
// first page's strips.
Bytes withPagesSharingTheFirstStrips(Bytes tiff, int copies) {
    const std::uint32_t first = le32(tiff, 4);
    const std::size_t entries = tiff[first] | (tiff[first + 1] << 8);
    const std::size_t length = 2 + 12 * entries + 4;
    std::size_t next = first + 2 + 12 * entries;
    for (int c = 0; c < copies; ++c) {
        if (tiff.size() % 2) tiff.push_back(0);
        const auto at = static_cast<std::uint32_t>(tiff.size());
        putLe32(tiff, next, at);
        tiff.insert(tiff.end(), tiff.begin() + first, tiff.begin() + static_cast<std::ptrdiff_t>(first + length));
        next = at + 2 + 12 * entries;
        putLe32(tiff, next, 0);
    }
    return tiff;
}

TEST(TiffPages, PagesSharingOneStripAreRefusedAndTheFirstPageAloneIsRead) {
    const Bytes bomb = withPagesSharingTheFirstStrips(flatTiff(2048, 2048, 7), 7);
    ASSERT_LT(bomb.size(), 64u * 1024);
    EXPECT_EQ(readInfo(bomb).pages, 8);
    // All pages: the second claims 4 MB from data the first already used.
    try {
        loadMemory(bomb);
        ADD_FAILURE() << "eight pages of 4 MB were decoded from " << bomb.size() << " bytes";
    } catch (const Error& e) {
        EXPECT_EQ(e.code(), ErrorCode::TooLarge);
        EXPECT_EQ(std::string(e.what()),
                  "TIFF: a page of 2048 x 2048 pixels (4194304 bytes) cannot come from the 0 bytes of data it does "
                  "not share with an earlier page (at most 4096 bytes a stored byte for its compression)");
    }
    // The first page is a sound picture.
    const Image first = loadMemory(bomb, LoadOptions{0, 0, 1});
    ASSERT_EQ(first.frames.size(), 1u);
    EXPECT_EQ(first.first().width(), 2048);
    EXPECT_EQ(first.first().rawPixel(2047, 2047), 7u);
}

TEST(TiffPages, PagesWithTheirOwnDataAreAllRead) {
    // Two real pages written by the engine: each has strips of its own.
    Image two;
    for (std::uint8_t index : {3, 9}) {
        Bitmap bmp(300, 200, 8);
        for (int y = 0; y < 200; ++y) std::fill(bmp.row(y), bmp.row(y) + 300, index);
        two.frames.push_back(Frame{std::move(bmp)});
    }
    SaveOptions o;
    o.format = format::TiffCompressed;
    o.multiPage = true;
    const Image read = loadMemory(saveMemory(two, o));
    ASSERT_EQ(read.frames.size(), 2u);
    EXPECT_EQ(read.frames[0].bitmap.rawPixel(10, 10), 3u);
    EXPECT_EQ(read.frames[1].bitmap.rawPixel(10, 10), 9u);
}

TEST(TiffPages, APageLargerThanItsOwnCompressedDataCanHoldIsRefused) {
    // An uncompressed page holds its bytes one to one: a strip of a few bytes cannot make 16 MB.
    Bitmap bmp(64, 64, 8);
    SaveOptions o;
    o.format = format::TiffUncompressed;
    Bytes tiff = saveMemory(Image::fromBitmap(std::move(bmp)), o);
    // Claim 4096 x 4096 pixels in the directory (width 256, length 257 are the first tags).
    const std::uint32_t ifd = le32(tiff, 4);
    const std::size_t entries = tiff[ifd] | (tiff[ifd + 1] << 8);
    for (std::size_t e = 0; e < entries; ++e) {
        const std::size_t at = ifd + 2 + 12 * e;
        const unsigned tag = tiff[at] | (tiff[at + 1] << 8);
        const unsigned type = tiff[at + 2] | (tiff[at + 3] << 8);
        if (tag == 256 || tag == 257) {
            if (type == 3) tiff[at + 8] = 0x00, tiff[at + 9] = 0x10;  // SHORT 4096
            else putLe32(tiff, at + 8, 4096);
        }
    }
    try {
        loadMemory(tiff);
        ADD_FAILURE() << "a 16 MB page was made from " << tiff.size() << " bytes";
    } catch (const Error& e) {
        EXPECT_EQ(e.code(), ErrorCode::TooLarge) << e.what();
    }
}

// The start of every marker segment of a JPEG with its marker byte, up to the end marker.
std::size_t lastScanStart(const Bytes& jpeg) {
    std::size_t last = 0;
    for (std::size_t i = 2; i + 1 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xDA) last = i;
    return last;
}

// A progressive JPEG whose last scan is repeated until the file has `scans` scans.
Bytes withScans(const Bytes& progressive, int scans, int have) {
    const std::size_t from = lastScanStart(progressive);
    const std::size_t end = progressive.size() - 2;  // before FF D9
    Bytes out(progressive.begin(), progressive.begin() + static_cast<std::ptrdiff_t>(end));
    for (int s = have; s < scans; ++s)
        out.insert(out.end(), progressive.begin() + static_cast<std::ptrdiff_t>(from),
                   progressive.begin() + static_cast<std::ptrdiff_t>(end));
    out.push_back(0xFF);
    out.push_back(0xD9);
    return out;
}

Bytes progressiveJpeg(int width, int height) {
    SaveOptions o;
    o.format = format::Jpeg444;
    o.qualityFactor = 60;
    o.passes = 10;
    return saveMemory(Image::fromBitmap(test::makePhoto(width, height)), o);
}

TEST(JpegScans, AsManyScansAsTheLimitAreReadAndOneMoreIsRefused) {
    const Bytes ten = progressiveJpeg(64, 48);
    ASSERT_EQ(withScans(ten, 10, 10), ten);
    const Bytes atLimit = withScans(ten, kMaxJpegScans, 10);
    EXPECT_EQ(loadMemory(atLimit).first().width(), 64);
    for (int scans : {kMaxJpegScans + 1, 995}) {
        try {
            loadMemory(withScans(ten, scans, 10));
            ADD_FAILURE() << scans << " scans were read";
        } catch (const Error& e) {
            EXPECT_EQ(e.code(), ErrorCode::TooLarge);
            EXPECT_EQ(std::string(e.what()), "JPEG: the file has " + std::to_string(scans) +
                                                 " scans, more than the 100 any encoder writes; each costs a pass "
                                                 "over the whole picture");
        }
    }
}

TEST(StopFlag, AJpegReadStopsWhenAskedAndOtherThreadsReadOn) {
    const Bytes progressive = progressiveJpeg(256, 192);
    SaveOptions o;
    o.format = format::Jpeg444;
    o.qualityFactor = 60;
    const Bytes baseline = saveMemory(Image::fromBitmap(test::makePhoto(256, 192)), o);
    std::atomic<bool> stop{true};
    setStopFlag(&stop);
    for (const Bytes* file : {&progressive, &baseline}) {
        try {
            loadMemory(*file);
            ADD_FAILURE() << "read although asked to stop";
        } catch (const Error& e) {
            EXPECT_EQ(e.code(), ErrorCode::Stopped);
            EXPECT_EQ(std::string(e.what()), "JPEG: stopped on request before the picture was read");
        }
    }
    // Not asked any more: the same files read; and a thread without a flag is never stopped.
    stop = false;
    EXPECT_EQ(loadMemory(progressive).first().width(), 256);
    stop = true;
    setStopFlag(nullptr);
    EXPECT_EQ(loadMemory(baseline).first().width(), 256);
}

Bytes gifOfFrames(int frames) {
    Image animation;
    for (int i = 0; i < frames; ++i) {
        Bitmap bmp(1, 1, 1);
        bmp.palette()[0] = 0;
        bmp.palette()[1] = 0xFFFFFF;
        animation.frames.push_back(Frame{std::move(bmp)});
    }
    SaveOptions o;
    o.format = format::Gif;
    o.multiPage = true;
    return saveMemory(animation, o);
}

TEST(GifFrames, AsManyFramesAsTheLimitAreReadAndOneMoreIsRefused) {
    EXPECT_EQ(loadMemory(gifOfFrames(kMaxFrames)).frames.size(), static_cast<std::size_t>(kMaxFrames));
    try {
        loadMemory(gifOfFrames(kMaxFrames + 1));
        ADD_FAILURE() << "more frames than the limit were read";
    } catch (const Error& e) {
        EXPECT_EQ(e.code(), ErrorCode::TooLarge);
        EXPECT_EQ(std::string(e.what()), "GIF: the animation has more than 10000 frames; every frame is kept in memory");
    }
}

TEST(Limits, WorkingMemoryOfAPictureAndTheMachine) {
    // 14 bytes a pixel and 8 MB: the 2^28-pixel picture needs 3.5 GiB and more.
    EXPECT_EQ(workingBytesFor(1000, 1000), 14'000'000u + (8u << 20));
    EXPECT_EQ(workingBytesFor(16384, 16384), 14ull * (1ull << 28) + (8u << 20));
    EXPECT_EQ(workingBytesFor(-1, 5), 8u << 20);
    EXPECT_GT(machineMemoryBytes(), 0u);
}

}  // namespace
