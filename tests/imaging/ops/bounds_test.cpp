// Operations at the edges of their ranges, where an off-by-one changes the answer.
#include <gtest/gtest.h>

#include "ops/effects.h"
#include "ops/operation_table.h"
#include "ops/point_ops.h"
#include "ops_test_util.h"

using namespace imaging;
using namespace imaging::ops;
using namespace opstest;

namespace {

Bitmap greys(const std::vector<int>& levels) {
    Bitmap b(static_cast<int>(levels.size()), 1, 24);
    for (std::size_t i = 0; i < levels.size(); ++i)
        b.setPixel(static_cast<int>(i), 0, makeRgb(levels[i], levels[i], levels[i]));
    return b;
}

TEST(IntensityDetect, BothBoundsAreInclusive) {
    const Rgb W = makeRgb(255, 255, 255), K = makeRgb(0, 0, 0);
    Bitmap b = greys({19, 20, 21, 89, 90, 91});
    intensityDetect(b, 20, 90);
    EXPECT_EQ(colours(b), (std::vector<Rgb>{K, W, W, W, W, K}));
    // A single level: low == high selects exactly that intensity.
    b = greys({0, 127, 128, 129, 255});
    applyNamedOperation(b, "IntensityDetect", {128, 128});
    EXPECT_EQ(colours(b), (std::vector<Rgb>{K, K, W, K, K}));
    // The whole range selects everything, black and white included.
    b = greys({0, 255});
    intensityDetect(b, 0, 255);
    EXPECT_EQ(colours(b), (std::vector<Rgb>{W, W}));
    // Pure red has intensity 77 (77 * 255 / 256, rounded): in at low 77, out at 78, in at high 77.
    Bitmap red(1, 1, 24);
    for (auto [low, high, expected] : {std::tuple{77, 200, W}, {78, 200, K}, {0, 77, W}, {0, 76, K}}) {
        red.setPixel(0, 0, makeRgb(255, 0, 0));
        intensityDetect(red, low, high);
        EXPECT_EQ(red.pixel(0, 0), expected) << low << ".." << high;
    }
}

// AddNoise's range 0..1000 is the amplitude 0..255 rounded to nearest: range 2 is 0.51 -> 1
// (pixels move by at most one, and some do), range 1 is 0.26 -> 0 (nothing moves), range 1000
// is 255 (a mid grey reaches both ends). Channel 2 touches green alone.
TEST(AddNoise, RangeIsTheRoundedAmplitude) {
    auto spread = [](int range, int channel, int& changed) {
        Bitmap b(64, 64, 24);
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x) b.setPixel(x, y, makeRgb(128, 128, 128));
        addNoise(b, range, channel);
        int lowest = 255, highest = 0;
        changed = 0;
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x)
                for (int c = 0; c < 3; ++c) {
                    const int v = b.row(y)[3 * x + c];
                    if (channel != 0 && c != channel - 1) {
                        EXPECT_EQ(v, 128);
                    }
                    lowest = std::min(lowest, v), highest = std::max(highest, v);
                    changed += v != 128;
                }
        return std::pair{lowest, highest};
    };
    int changed = 0;
    EXPECT_EQ(spread(2, 0, changed), (std::pair{127, 129}));
    EXPECT_GT(changed, 0);
    EXPECT_EQ(spread(1, 0, changed), (std::pair{128, 128}));
    EXPECT_EQ(changed, 0);
    EXPECT_EQ(spread(1000, 2, changed), (std::pair{0, 255}));
}

}  // namespace
