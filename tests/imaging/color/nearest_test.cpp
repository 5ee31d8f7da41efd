// The nearest-colour search must agree with a plain scan of the palette, ties included.

#include <gtest/gtest.h>

#include <random>

#include "color/nearest.h"

using namespace imaging;
using imaging::color::NearestColor;

namespace {

int bruteForce(const std::vector<Rgb>& pal, int r, int g, int b, int excluded) {
    int best = -1, bestD = 1 << 30;
    for (int i = 0; i < static_cast<int>(pal.size()); ++i) {
        if (i == excluded) continue;
        const int d = color::distance2(r, g, b, redOf(pal[i]), greenOf(pal[i]), blueOf(pal[i]));
        if (d < bestD) bestD = d, best = i;
    }
    return best;
}

struct PaletteCase {
    const char* name;
    int size;
    int levels;  // colours drawn from this many levels per channel: few levels make many ties
};

class NearestAgreesWithScan : public ::testing::TestWithParam<PaletteCase> {};

TEST_P(NearestAgreesWithScan, OnRandomQueries) {
    const PaletteCase c = GetParam();
    std::mt19937 rng(c.size * 31 + c.levels);
    std::uniform_int_distribution<int> level(0, c.levels - 1), any(0, 255);
    auto value = [&] { return c.levels == 256 ? any(rng) : level(rng) * 255 / (c.levels - 1); };
    std::vector<Rgb> pal;
    for (int i = 0; i < c.size; ++i) pal.push_back(makeRgb(value(), value(), value()));
    for (int excluded : {-1, c.size / 2}) {
        const NearestColor nearest(pal, excluded);
        int guess = -1;
        for (int q = 0; q < 20000; ++q) {
            // Queries on the palette's own grid hit exact ties between entries.
            const int r = q % 2 ? any(rng) : value(), g = q % 2 ? any(rng) : value(), b = any(rng);
            const int expected = bruteForce(pal, r, g, b, excluded);
            ASSERT_EQ(nearest.find(r, g, b), expected) << r << "," << g << "," << b;
            const int got = nearest.find(r, g, b, guess);
            ASSERT_EQ(got, expected) << "with guess " << guess;
            guess = got;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Palettes, NearestAgreesWithScan,
                         ::testing::Values(PaletteCase{"one", 1, 256}, PaletteCase{"two", 2, 256},
                                           PaletteCase{"sixteen", 16, 256}, PaletteCase{"full", 256, 256},
                                           PaletteCase{"coarseWithDuplicates", 64, 3},
                                           PaletteCase{"fullCoarse", 256, 5}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
