// Dithering: each kernel's first step, serpentine mirroring, mean preservation and the
// ordered pattern.

#include <gtest/gtest.h>

#include <map>

#include "color/colorres.h"
#include "color/dither.h"
#include "test_images.h"

using namespace imaging;
using namespace imaging::color;

namespace {

// The published weights, written out independently of the implementation: {dx, dy} -> weight.
struct KernelCase {
    const char* name;
    int code;
    int divisor;
    std::map<std::pair<int, int>, int> weights;
};

const KernelCase kKernels[] = {
    {"FloydSteinberg", 1, 16, {{{1, 0}, 7}, {{-1, 1}, 3}, {{0, 1}, 5}, {{1, 1}, 1}}},
    {"Stucki", 2, 42, {{{1, 0}, 8}, {{2, 0}, 4},
                       {{-2, 1}, 2}, {{-1, 1}, 4}, {{0, 1}, 8}, {{1, 1}, 4}, {{2, 1}, 2},
                       {{-2, 2}, 1}, {{-1, 2}, 2}, {{0, 2}, 4}, {{1, 2}, 2}, {{2, 2}, 1}}},
    {"Burkes", 3, 32, {{{1, 0}, 8}, {{2, 0}, 4}, {{-2, 1}, 2}, {{-1, 1}, 4}, {{0, 1}, 8}, {{1, 1}, 4}, {{2, 1}, 2}}},
    {"Sierra", 4, 32, {{{1, 0}, 5}, {{2, 0}, 3},
                       {{-2, 1}, 2}, {{-1, 1}, 4}, {{0, 1}, 5}, {{1, 1}, 4}, {{2, 1}, 2},
                       {{-1, 2}, 2}, {{0, 2}, 3}, {{1, 2}, 2}}},
    {"StevensonArce", 5, 200, {{{2, 0}, 32},
                               {{-3, 1}, 12}, {{-1, 1}, 26}, {{1, 1}, 30}, {{3, 1}, 16},
                               {{-2, 2}, 12}, {{0, 2}, 26}, {{2, 2}, 12},
                               {{-3, 3}, 5}, {{-1, 3}, 12}, {{1, 3}, 12}, {{3, 3}, 5}}},
    {"JarvisJudiceNinke", 6, 48, {{{1, 0}, 7}, {{2, 0}, 5},
                                  {{-2, 1}, 3}, {{-1, 1}, 5}, {{0, 1}, 7}, {{1, 1}, 5}, {{2, 1}, 3},
                                  {{-2, 2}, 1}, {{-1, 2}, 3}, {{0, 2}, 5}, {{1, 2}, 3}, {{2, 2}, 1}}},
};

class Kernel : public ::testing::TestWithParam<KernelCase> {};

// One pixel's error, spread in both directions of travel, lands exactly on the published
// shares and nowhere else.
TEST_P(Kernel, FirstStepSpreadsThePublishedWeights) {
    const KernelCase& c = GetParam();
    const DiffusionKernel* kernel = diffusionKernel(c.code);
    ASSERT_NE(kernel, nullptr);
    const int width = 9, x = 4;
    for (int direction : {1, -1}) {
        ErrorBuffer buffer(width, *kernel);
        const float error[3] = {static_cast<float>(c.divisor), -2.0f * c.divisor, 0};
        buffer.spread(x, direction, error);
        for (int dy = 0; dy < kernel->rows(); ++dy)
            for (int px = 0; px < width; ++px) {
                const auto it = c.weights.find({(px - x) * direction, dy});
                const float w = it == c.weights.end() ? 0.0f : static_cast<float>(it->second);
                EXPECT_NEAR(buffer.pending(px, dy)[0], w, 1e-4) << c.name << " dir " << direction << " at " << px << "," << dy;
                EXPECT_NEAR(buffer.pending(px, dy)[1], -2 * w, 1e-4);
                EXPECT_EQ(buffer.pending(px, dy)[2], 0.0f);
            }
    }
}

// Error diffusion keeps the average: a flat grey reduced to black and white comes out with
// the grey's share of white pixels, whatever the kernel.
TEST_P(Kernel, KeepsTheMeanOfAFlatGrey) {
    const KernelCase& c = GetParam();
    for (int grey : {40, 128, 200}) {
        // Large enough that the error lost over the edges hardly counts.
        const int size = 160;
        const Bitmap out =
            colorRes(colortest::flat(size, size, makeRgb(grey, grey, grey)), 1, palette_kind::Fixed, c.code, 0);
        int white = 0;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) white += out.pixel(x, y) == makeRgb(255, 255, 255);
        EXPECT_NEAR(white / double(size * size), grey / 255.0, 0.008) << c.name << " grey " << grey;
    }
}

INSTANTIATE_TEST_SUITE_P(Published, Kernel, ::testing::ValuesIn(kKernels),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Dither, ErrorMovesDownWithTheRows) {
    const DiffusionKernel& fs = *diffusionKernel(dither_code::FloydSteinberg);
    ErrorBuffer buffer(4, fs);
    const float error[3] = {16, 16, 16};
    buffer.spread(1, 1, error);
    buffer.advance();
    // What was queued one row down is now the current row's error; the old row is cleared.
    EXPECT_NEAR(buffer.current(0)[0], 3, 1e-5);
    EXPECT_NEAR(buffer.current(1)[0], 5, 1e-5);
    EXPECT_NEAR(buffer.current(2)[0], 1, 1e-5);
    EXPECT_EQ(buffer.pending(2, 1)[0], 0.0f);
}

TEST(Dither, NoKernelForNoneOrOrdered) {
    EXPECT_EQ(diffusionKernel(dither_code::None), nullptr);
    EXPECT_EQ(diffusionKernel(dither_code::Ordered), nullptr);
}

TEST(Dither, BayerMatrix) {
    const int firstRows[2][8] = {{0, 32, 8, 40, 2, 34, 10, 42}, {48, 16, 56, 24, 50, 18, 58, 26}};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 8; ++x) EXPECT_EQ(bayer8(x, y), firstRows[y][x]) << x << "," << y;
    std::vector<int> seen(64, 0);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) ++seen[bayer8(x, y)];
    EXPECT_EQ(seen, std::vector<int>(64, 1));
    EXPECT_EQ(bayer8(3, 5), bayer8(11, 13));  // the pattern tiles
}

TEST(Dither, OrderedPatternOnMidGrey) {
    // Grey 128 between black and white: white exactly where the threshold is in the upper half.
    const Bitmap out = colorRes(colortest::flat(16, 8, makeRgb(128, 128, 128)), 1, palette_kind::Fixed,
                                dither_code::Ordered, 0);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x)
            EXPECT_EQ(out.pixel(x, y) == makeRgb(255, 255, 255), bayer8(x, y) >= 32) << x << "," << y;
    // A quarter grey lights a quarter of the cells.
    const Bitmap quarter = colorRes(colortest::flat(8, 8, makeRgb(64, 64, 64)), 1, palette_kind::Fixed,
                                    dither_code::Ordered, 0);
    EXPECT_EQ(quarter.uniqueColorCount(), 2);
    int white = 0;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) white += quarter.pixel(x, y) == makeRgb(255, 255, 255);
    EXPECT_EQ(white, 16);
}

}  // namespace
