// The wide colour-conversion kernel must give exactly what the portable one gives, for every
// colour, at both pixel layouts, with row ends that are not a multiple of its 32 pixels.
#include "color/icc_kernel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace {

using namespace imaging::icc;

double srgbEncode(double v) { return v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(v, 1 / 2.4) - 0.055; }

// Tables as a conversion from a gamma-2.2 space with wider primaries builds them, with a matrix
// whose negative entries push saturated colours below zero and above full scale.
KernelTables tables(const std::int32_t (&matrix)[3][3]) {
    KernelTables t;
    for (int c = 0; c < 3; ++c)
        for (int v = 0; v < 256; ++v)
            t.linear[c][v] = static_cast<std::int32_t>(std::lround(std::pow(v / 255.0, 2.2 + 0.05 * c) * kEncodeSteps));
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) t.matrix[r][c] = matrix[r][c];
    t.encode.resize(kEncodeSteps + 1);
    for (int i = 0; i <= kEncodeSteps; ++i)
        t.encode[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(std::lround(srgbEncode(double(i) / kEncodeSteps) * 255));
    return t;
}

constexpr std::int32_t kAdobeToSrgb[3][3] = {{5638, -1542, 0}, {0, 4096, 0}, {0, -172, 4268}};
constexpr std::int32_t kExtreme[3][3] = {{32767, -32767, 100}, {-20000, 30000, -9000}, {1, 2, -3}};

// Every colour once, in rows of `width` pixels (the last row shorter), at `step` bytes a pixel.
std::vector<std::uint8_t> everyColour(int step) {
    std::vector<std::uint8_t> bytes((std::size_t{1} << 24) * static_cast<std::size_t>(step));
    std::mt19937 alpha(7);
    for (std::uint32_t c = 0; c < (1u << 24); ++c) {
        std::uint8_t* p = &bytes[std::size_t{c} * static_cast<std::size_t>(step)];
        p[0] = static_cast<std::uint8_t>(c >> 16), p[1] = static_cast<std::uint8_t>(c >> 8), p[2] = static_cast<std::uint8_t>(c);
        if (step == 4) p[3] = static_cast<std::uint8_t>(alpha());
    }
    return bytes;
}

// Both kernels over the same rows; the index of the first byte that differs, or -1.
long long firstDifference(const KernelTables& t, std::vector<std::uint8_t> bytes, int step, int width) {
    std::vector<std::uint8_t> wide = bytes;
    const std::size_t rowBytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(step);
    for (std::size_t at = 0; at < bytes.size(); at += rowBytes) {
        const int w = static_cast<int>(std::min(rowBytes, bytes.size() - at) / static_cast<std::size_t>(step));
        convertRowPortable(t, bytes.data() + at, w, step);
        convertRow(t, wide.data() + at, w, step);
    }
    for (std::size_t i = 0; i < bytes.size(); ++i)
        if (bytes[i] != wide[i]) return static_cast<long long>(i);
    return -1;
}

TEST(IccKernel, WideKernelGivesThePortableResultForEveryColour) {
    if (!wideKernelAvailable()) GTEST_SKIP() << "this processor has no 512-bit byte permutes";
    for (const auto* matrix : {&kAdobeToSrgb, &kExtreme}) {
        KernelTables t = tables(*matrix);
        ASSERT_TRUE(prepareWide(t));
        for (int step : {3, 4}) {
            // 4099 pixels a row: 128 whole groups of 32 and a tail of 3 on every row.
            std::vector<std::uint8_t> colours = everyColour(step);
            // The extreme matrix clips almost everything: a sample of the colours is enough.
            if (matrix == &kExtreme) colours.resize(colours.size() / 8);
            const long long at = firstDifference(t, std::move(colours), step, 4099);
            EXPECT_EQ(at, -1) << "step " << step << ", pixel " << at / step;
        }
    }
}

TEST(IccKernel, AlphaAndShortRowsAreLeftToTheirOwnBytes) {
    KernelTables t = tables(kAdobeToSrgb);
    ASSERT_TRUE(prepareWide(t));
    std::vector<std::uint8_t> row(4 * 70);
    for (std::size_t i = 0; i < row.size(); ++i) row[i] = static_cast<std::uint8_t>(i * 37 + 11);
    const std::vector<std::uint8_t> before = row;
    convertRow(t, row.data(), 65, 4);  // the last five pixels are beyond the row
    for (std::size_t px = 0; px < 70; ++px) EXPECT_EQ(row[4 * px + 3], before[4 * px + 3]) << "alpha of pixel " << px;
    for (std::size_t i = 4 * 65; i < row.size(); ++i) EXPECT_EQ(row[i], before[i]) << "byte " << i << " beyond the row";
    // The converted pixels are what the portable kernel makes of them.
    std::vector<std::uint8_t> portable = before;
    convertRowPortable(t, portable.data(), 65, 4);
    EXPECT_EQ(std::vector<std::uint8_t>(row.begin(), row.begin() + 4 * 65), std::vector<std::uint8_t>(portable.begin(), portable.begin() + 4 * 65));
}

TEST(IccKernel, TablesTheWideKernelCannotHoldAreLeftToThePortableOne) {
    KernelTables rising = tables(kAdobeToSrgb);
    rising.encode[9000] = 0;  // the encoding falls once
    EXPECT_FALSE(prepareWide(rising));
    const std::int32_t tooLarge[3][3] = {{32768, 0, 0}, {0, 4096, 0}, {0, 0, 4096}};
    KernelTables wide = tables(tooLarge);
    EXPECT_FALSE(prepareWide(wide));
    // Refused tables still convert, through the portable kernel.
    std::vector<std::uint8_t> row(3 * 40, 200), portable = row;
    convertRow(wide, row.data(), 40, 3);
    convertRowPortable(wide, portable.data(), 40, 3);
    EXPECT_EQ(row, portable);
    EXPECT_EQ(row[0], 255);  // 8 x full scale: clipped to white
}

TEST(IccKernel, KnownColoursThroughTheTables) {
    KernelTables t = tables(kAdobeToSrgb);
    ASSERT_TRUE(prepareWide(t));
    std::vector<std::uint8_t> row(3 * 32, 0);
    // Black, white, and a grey stay where they are on every channel whose curve is 2.2;
    // a saturated Adobe green leaves sRGB's gamut: red clips to 0.
    const std::uint8_t colours[4][3] = {{0, 0, 0}, {255, 255, 255}, {0, 255, 0}, {128, 128, 128}};
    for (int i = 0; i < 4; ++i)
        for (int c = 0; c < 3; ++c) row[static_cast<std::size_t>(3 * i + c)] = colours[i][c];
    convertRow(t, row.data(), 32, 3);
    EXPECT_EQ((std::vector<int>{row[0], row[1], row[2]}), (std::vector<int>{0, 0, 0}));
    EXPECT_EQ((std::vector<int>{row[3], row[4], row[5]}), (std::vector<int>{255, 255, 255}));
    EXPECT_EQ(row[6], 0);
    EXPECT_EQ(row[7], 255);
    // Grey 128: red's linear 0.2195 (gamma 2.2) less 1542/4096 of green's 0.2117 (gamma 2.25)
    // is 0.2224, which sRGB's curve puts at 0.509 of full scale: level 130.
    EXPECT_EQ(row[9], 130);
}

}  // namespace
