// Truncated, corrupt and hostile files are refused with an engine error naming the codec,
// never a crash, a hang or a huge allocation.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "codecs/bmp_codec.h"
#include "codecs/load_notes.h"
#include "codecs/registry.h"
#include "core/error.h"
#include "test_images.h"

using namespace imaging;

namespace {

struct Sample {
    const char* name;
    int format;
    int bits;
    int passes = 0;
    bool interlaced = false;
};

std::ostream& operator<<(std::ostream& os, const Sample& s) { return os << s.name; }

Bytes makeFile(const Sample& s) {
    const Bitmap b = s.bits <= 8 ? test::makeIndexed(61, 47, s.bits, 5) : test::makePhoto(61, 47);
    SaveOptions o;
    o.format = s.format;
    o.bits = s.bits;
    o.qualityFactor = 80;
    o.passes = s.passes;
    o.interlaced = s.interlaced;
    return saveMemory(Image::fromBitmap(b), o);
}

// Returns the error code loading threw, or Ok when it loaded. Anything but an engine
// error fails the test.
ErrorCode loadCode(ByteView data, std::string* message = nullptr) {
    try {
        loadMemory(data);
        return ErrorCode::Ok;
    } catch (const Error& e) {
        if (message) *message = e.what();
        return e.code();
    }
}

class Truncation : public ::testing::TestWithParam<Sample> {};

// GIF and JPEG cut inside their pixels show the part that arrived, as browsers do, and say the
// file is damaged; every other format refuses the cut file.
bool showsPartial(int formatNumber) {
    return formatNumber == format::Gif || formatNumber == format::Jpeg444 || formatNumber == format::Jpeg422 ||
           formatNumber == format::Jpeg411;
}

TEST_P(Truncation, EveryCutThroughTheImageIsRefusedOrShownDamaged) {
    const Bytes file = makeFile(GetParam());
    takeLoadNotes();
    ASSERT_EQ(loadCode(file), ErrorCode::Ok);
    EXPECT_FALSE(takeLoadNotes().damaged);
    const bool partial = showsPartial(GetParam().format);
    // The last bytes may be a trailer a complete image does without; everything before
    // them carries pixels.
    const std::size_t limit = file.size() - 16;
    for (std::size_t cut = 0; cut < limit; cut += std::max<std::size_t>(1, file.size() / 97)) {
        const ByteView part(file.data(), cut);
        const ErrorCode code = loadCode(part);
        // Never a silent success: refused, or shown and noted damaged.
        if (partial && code == ErrorCode::Ok) EXPECT_TRUE(takeLoadNotes().damaged) << "cut at " << cut << " of " << file.size();
        else EXPECT_NE(code, ErrorCode::Ok) << "cut at " << cut << " of " << file.size();
        takeLoadNotes();
        try {
            readInfo(part);  // may succeed when the header is complete, must not crash
        } catch (const Error&) {
        }
    }
    std::string message;
    if (partial) {
        // Cut in the pixels, past the header and tables that a small file is mostly made of.
        const ErrorCode late = loadCode(ByteView(file.data(), file.size() * 9 / 10), &message);
        EXPECT_EQ(late, ErrorCode::Ok) << message;
        EXPECT_TRUE(takeLoadNotes().damaged);
        return;
    }
    const ErrorCode half = loadCode(ByteView(file.data(), file.size() / 2), &message);
    EXPECT_EQ(half, ErrorCode::Truncated) << message;
    const std::string codecName(codecForFormat(GetParam().format)->name());
    EXPECT_EQ(message.rfind(codecName + ":", 0), 0u) << message;
}

INSTANTIATE_TEST_SUITE_P(Formats, Truncation,
                         ::testing::Values(Sample{"gif", format::Gif, 8}, Sample{"gif_interlaced", format::Gif, 4, 0, true},
                                           Sample{"jpeg", format::Jpeg422, 24}, Sample{"jpeg_progressive", format::Jpeg444, 24, 10},
                                           Sample{"png", format::Png, 24}, Sample{"png_palette", format::Png, 4, 0, true},
                                           Sample{"bmp", format::BmpWindows, 24}, Sample{"bmp_rle8", format::BmpRle, 8},
                                           Sample{"bmp_rle4", format::BmpRle, 4}, Sample{"tiff", format::TiffUncompressed, 8},
                                           Sample{"tiff_lzw", format::TiffCompressed, 24}),
                         [](const auto& info) { return std::string(info.param.name); });

// Flipping bytes all over a valid file must give an engine error or a picture that keeps the
// bitmap's invariants (pixel bytes for its size, a palette of 2^bits, indices inside it).
TEST_P(Truncation, FlippedBytesGiveAnErrorOrASoundPicture) {
    Bytes file = makeFile(GetParam());
    std::uint32_t state = 12345;
    for (int round = 0; round < 60; ++round) {
        Bytes copy = file;
        for (int k = 0; k < 4; ++k) {
            state = state * 1103515245u + 12345u;
            copy[(state >> 8) % copy.size()] ^= static_cast<std::uint8_t>(1u << (state % 8));
        }
        Image image;
        try {
            image = loadMemory(copy);
        } catch (const Error&) {
            continue;
        }
        ASSERT_FALSE(image.empty()) << "round " << round;
        for (const Frame& f : image.frames) {
            const Bitmap& b = f.bitmap;
            ASSERT_TRUE(Bitmap::isValidDepth(b.bits())) << "round " << round;
            EXPECT_EQ(b.data().size(), static_cast<std::size_t>(b.width()) * b.height() * b.bytesPerPixel())
                << "round " << round;
            if (!b.isIndexed()) continue;
            EXPECT_EQ(b.palette().size(), std::size_t{1} << b.bits()) << "round " << round;
            for (std::uint8_t v : b.data()) ASSERT_LT(v, 1u << b.bits()) << "round " << round;
        }
    }
}

void putLe32(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int k = 0; k < 4; ++k) b[at + k] = static_cast<std::uint8_t>(v >> (8 * k));
}

struct Hostile {
    const char* name;
    Bytes data;
    ErrorCode expected;
};

std::vector<Hostile> hostileFiles() {
    std::vector<Hostile> list;
    SaveOptions o;
    o.format = format::Gif;
    Bytes gif = saveMemory(Image::fromBitmap(test::makeIndexed(4, 4, 1)), o);
    Bytes gifHuge = gif;
    // logical screen and the image descriptor both 65535 x 65535 in a file of a few dozen bytes
    for (std::size_t i = 0; i + 10 < gifHuge.size(); ++i)
        if (gifHuge[i] == 0x2C) {
            gifHuge[i + 5] = gifHuge[i + 7] = 0x80;  // 16000 x 16000, just under the cap
            gifHuge[i + 6] = gifHuge[i + 8] = 0x3E;
            break;
        }
    gifHuge[6] = gifHuge[8] = 0x80;
    gifHuge[7] = gifHuge[9] = 0x3E;
    list.push_back({"gif_huge_frame", gifHuge, ErrorCode::Corrupt});
    Bytes gifZero = gif;
    gifZero[6] = gifZero[7] = 0;
    for (std::size_t i = 0; i + 10 < gifZero.size(); ++i)
        if (gifZero[i] == 0x2C) {
            gifZero[i + 5] = gifZero[i + 6] = 0;
            break;
        }
    list.push_back({"gif_zero_width", gifZero, ErrorCode::Corrupt});

    o.format = format::Png;
    Bytes png = saveMemory(Image::fromBitmap(test::makeIndexed(4, 4, 8)), o);
    Bytes pngHuge = png;
    pngHuge[16] = 0x00, pngHuge[17] = 0x00, pngHuge[18] = 0x40, pngHuge[19] = 0x00;  // width 16384
    pngHuge[20] = 0x00, pngHuge[21] = 0x00, pngHuge[22] = 0x40, pngHuge[23] = 0x00;  // height 16384
    list.push_back({"png_huge_ihdr", pngHuge, ErrorCode::Corrupt});
    Bytes pngCrc = png;
    pngCrc[29] ^= 0xFF;  // the IHDR CRC
    list.push_back({"png_bad_crc", pngCrc, ErrorCode::Corrupt});

    o.format = format::BmpWindows;
    Bytes bmp = saveMemory(Image::fromBitmap(test::makeIndexed(4, 4, 8)), o);
    Bytes bmpHuge = bmp;
    putLe32(bmpHuge, 18, 1u << 20);
    putLe32(bmpHuge, 22, 1u << 20);
    list.push_back({"bmp_above_cap", bmpHuge, ErrorCode::TooLarge});
    Bytes bmpLarge = bmp;
    putLe32(bmpLarge, 18, 8000);
    putLe32(bmpLarge, 22, 8000);
    list.push_back({"bmp_larger_than_data", bmpLarge, ErrorCode::Truncated});
    Bytes bmpDepth = bmp;
    bmpDepth[28] = 7;
    list.push_back({"bmp_bad_depth", bmpDepth, ErrorCode::Corrupt});
    Bytes bmpHeader = bmp;
    putLe32(bmpHeader, 14, 1000);
    list.push_back({"bmp_bad_header_size", bmpHeader, ErrorCode::UnknownFormat});

    o.format = format::Jpeg444;
    o.qualityFactor = 100;
    Bytes jpeg = saveMemory(Image::fromBitmap(test::makePhoto(16, 16)), o);
    Bytes jpegHuge = jpeg;
    for (std::size_t i = 0; i + 8 < jpegHuge.size(); ++i)
        if (jpegHuge[i] == 0xFF && jpegHuge[i + 1] == 0xC0) {
            jpegHuge[i + 5] = jpegHuge[i + 6] = jpegHuge[i + 7] = jpegHuge[i + 8] = 0xFF;
            break;
        }
    list.push_back({"jpeg_huge_frame", jpegHuge, ErrorCode::Corrupt});
    Bytes jpegNoFrame = {0xFF, 0xD8, 0xFF, 0xDA, 0x00, 0x02, 0xFF, 0xD9};
    list.push_back({"jpeg_scan_without_frame", jpegNoFrame, ErrorCode::Corrupt});

    o.format = format::TiffUncompressed;
    Bytes tiff = saveMemory(Image::fromBitmap(test::makeIndexed(4, 4, 8)), o);
    Bytes tiffNoIfd = tiff;
    putLe32(tiffNoIfd, 4, 0x7FFFFFF0);  // first directory far beyond the end
    list.push_back({"tiff_directory_outside", tiffNoIfd, ErrorCode::Truncated});
    return list;
}

TEST(HostileInput, RefusedWithTheRightCode) {
    for (const Hostile& h : hostileFiles()) {
        std::string message;
        EXPECT_EQ(loadCode(h.data, &message), h.expected) << h.name << ": " << message;
        try {
            readInfo(h.data);
        } catch (const Error&) {
        }
    }
}

TEST(HostileInput, UnknownDataIsUnknownFormat) {
    const Bytes junk = {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'};
    EXPECT_EQ(loadCode(junk), ErrorCode::UnknownFormat);
    EXPECT_EQ(loadCode(ByteView()), ErrorCode::Truncated);
}

// Run-length data that runs past its row, jumps outside the picture or ends without an
// end-of-bitmap marker is clipped or refused; it never writes outside the bitmap.
Bytes rleBmp(int width, int height, const Bytes& codes, bool four = false) {
    Bitmap b(width, height, four ? 4 : 8);
    SaveOptions o;
    o.format = format::BmpRle;
    Bytes file = saveMemory(Image::fromBitmap(b), o);
    const std::size_t offset = file[10] | (file[11] << 8);
    file.resize(offset);
    file.insert(file.end(), codes.begin(), codes.end());
    return file;
}

TEST(BmpRle, OverlongRunsAndDeltasStayInsideTheBitmap) {
    // row 0: a run of 255 pixels of 7 on a 4-pixel row, then a delta far outside, then an
    // absolute run of 5 on the next row, clipped to 4
    const Bytes codes = {255, 7, 0, 0, 0, 3, 1, 2, 3, 0, 0, 2, 200, 200, 0, 1};
    const Image image = loadMemory(rleBmp(4, 3, codes));
    const Bitmap& b = image.first();
    for (int x = 0; x < 4; ++x) EXPECT_EQ(b.rawPixel(x, 2), 7u);  // bottom row first
    EXPECT_EQ(b.rawPixel(0, 1), 1u);
    EXPECT_EQ(b.rawPixel(2, 1), 3u);
    EXPECT_EQ(b.rawPixel(3, 1), 0u);
    EXPECT_EQ(b.rawPixel(0, 0), 0u);

    const Bytes rle4 = {9, 0x12, 0, 0, 0, 5, 0x34, 0x56, 0x70, 0, 0, 1};
    const Bitmap b4 = loadMemory(rleBmp(4, 2, rle4, true)).first();
    EXPECT_EQ(b4.rawPixel(0, 1), 1u);
    EXPECT_EQ(b4.rawPixel(1, 1), 2u);
    EXPECT_EQ(b4.rawPixel(3, 1), 2u);
    EXPECT_EQ(b4.rawPixel(0, 0), 3u);
    EXPECT_EQ(b4.rawPixel(3, 0), 6u);

    EXPECT_EQ(loadCode(rleBmp(4, 3, {2, 1, 0, 0})), ErrorCode::Truncated);  // no end marker, rows missing
    EXPECT_EQ(loadCode(rleBmp(4, 3, {0, 5, 1, 2})), ErrorCode::Truncated);  // absolute run cut off
}

// The encoders use runs and absolute mode: flat rows shrink to a few bytes, noise stays
// close to its uncompressed size, and both read back exactly.
TEST(BmpRle, EncoderUsesRunsAndAbsoluteMode) {
    for (int bits : {4, 8}) {
        Bitmap flat(200, 20, bits);
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 200; ++x) flat.row(y)[x] = static_cast<std::uint8_t>(x < 100 ? 1 : 2);
        SaveOptions o;
        o.format = format::BmpRle;
        const Bytes flatFile = saveMemory(Image::fromBitmap(flat), o);
        EXPECT_LT(flatFile.size(), 54u + (4u << bits) + 20u * 8u) << bits << " bits";
        EXPECT_TRUE(loadMemory(flatFile).first() == flat);

        const Bitmap noise = test::makeIndexed(203, 31, bits, 99);
        const Bytes noiseFile = saveMemory(Image::fromBitmap(noise), o);
        o.format = format::BmpWindows;
        const Bytes plain = saveMemory(Image::fromBitmap(noise), o);
        EXPECT_LT(noiseFile.size(), plain.size() * 11 / 10) << bits << " bits";
        EXPECT_TRUE(loadMemory(noiseFile).first() == noise);

        // alternating pairs, the dither pattern RLE4 draws with one code
        Bitmap checker(64, 8, bits);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 64; ++x) checker.row(y)[x] = static_cast<std::uint8_t>((x + y) % 2 ? 3 : 5);
        o.format = format::BmpRle;
        const Bytes checkerFile = saveMemory(Image::fromBitmap(checker), o);
        EXPECT_TRUE(loadMemory(checkerFile).first() == checker);
        if (bits == 4) {
            EXPECT_LE(checkerFile.size(), 54u + 64u + 8u * 4u);  // one code and an end of line a row
        }
    }
}

}  // namespace
