// Reader values pinned exactly where a plausible slip changes a few pixels or the error code.
#include <gtest/gtest.h>

#include <string>

#include "codecs/registry.h"
#include "core/error.h"

using namespace imaging;

namespace {

Bytes bytesOf(const std::string& s) { return Bytes(s.begin(), s.end()); }

ErrorCode errorOf(const Bytes& file) {
    try {
        loadMemory(file);
    } catch (const Error& e) {
        return e.code();
    }
    return ErrorCode::Ok;
}

// Samples below another maximum than 255 are scaled to 0..255 and rounded half up:
// v * 255 / maxval, so 4 of 7 is 145.7 -> 146 and 500 of 1000 is 127.5 -> 128.
TEST(PnmMaxval, ScaledSamplesAreRoundedToNearest) {
    struct Case {
        std::string file;
        std::vector<int> expected;  // grey levels, or R, G, B per pixel
    };
    const Case cases[] = {
        {"P2 5 1 7 0 3 4 6 7", {0, 109, 146, 219, 255}},
        {"P2 4 1 1000 3 500 501 999", {1, 128, 128, 255}},
        {"P2 3 1 2 0 1 2", {0, 128, 255}},
        {"P3 2 1 100 1 50 99 100 0 2", {3, 128, 252, 255, 0, 5}},
        {std::string("P5 3 1 7\n") + std::string("\x01\x04\x07", 3), {36, 146, 255}},
        {std::string("P5 3 1 1000\n") + std::string("\x00\x03\x01\xF4\x03\xE7", 6), {1, 128, 255}},
        {std::string("P6 1 1 300\n") + std::string("\x00\x96\x00\x01\x01\x2B", 6), {128, 1, 254}},
        {"P2 2 1 65535 32768 257", {128, 1}},
    };
    for (const Case& c : cases) {
        const Bitmap b = loadMemory(bytesOf(c.file)).first();
        const std::size_t channels = b.bits() == 24 ? 3 : 1;
        ASSERT_EQ(static_cast<std::size_t>(b.width()) * channels, c.expected.size()) << c.file;
        for (std::size_t i = 0; i < c.expected.size(); ++i) {
            const int got = channels == 3 ? b.row(0)[i] : static_cast<int>(b.pixel(static_cast<int>(i), 0) & 0xFF);
            EXPECT_EQ(got, c.expected[i]) << c.file << " sample " << i;
        }
    }
}

TEST(PnmHeader, AFileEndingInsideTheHeaderOrDataIsTruncated) {
    for (const char* file : {"P5 16", "P5 16 ", "P5 16 8", "P5 16 8\n", "P2 2 2 255 1 2 3", "P6 2 1 255\nabc",
                             "P1 3 1 0 1"}) {
        EXPECT_EQ(errorOf(bytesOf(file)), ErrorCode::Truncated) << file;
    }
    for (const char* file : {"P5 16 x 255\n", "P2 2 1 0 0 0", "P2 2 1 70000 0 0", "P2 2 1 9 3 10"}) {
        EXPECT_EQ(errorOf(bytesOf(file)), ErrorCode::Corrupt) << file;
    }
}

// PCX run counts use the low six bits of the marker byte: runs of up to 63 bytes.
TEST(PcxRuns, SixBitRunCountsReachSixtyThree) {
    Bytes file(128, 0);
    file[0] = 0x0A;  // manufacturer
    file[1] = 5;     // version
    file[2] = 1;     // run-length coded
    file[3] = 8;     // bits per plane
    file[8] = 62;    // xmax: 63 pixels wide, one row
    file[65] = 3;    // planes: red, green, blue
    file[66] = 64;   // bytes per plane line (even)
    for (unsigned value : {10u, 20u, 30u}) {
        for (unsigned b : {0xFFu, value, 0xC1u, 0u}) file.push_back(static_cast<std::uint8_t>(b));
    }
    const Bitmap b = loadMemory(file).first();
    ASSERT_EQ(b.bits(), 24);
    ASSERT_EQ(b.width(), 63);
    for (int x = 0; x < 63; ++x) ASSERT_EQ(b.pixel(x, 0), makeRgb(10, 20, 30)) << x;
}

}  // namespace
