// The colour histogram keeps every pixel's weight and the exact mean however coarse it gets.

#include <gtest/gtest.h>

#include "color/histogram.h"
#include "color/work_image.h"

using namespace imaging;
using namespace imaging::color;

namespace {

struct Totals {
    double weight = 0, r = 0, g = 0, b = 0;
};

Totals totalsOf(const std::vector<ColorPoint>& points) {
    Totals t;
    for (const ColorPoint& p : points) t.weight += p.weight, t.r += p.r * p.weight, t.g += p.g * p.weight, t.b += p.b * p.weight;
    return t;
}

}  // namespace

TEST(Histogram, ExactColoursWhileTheyFit) {
    Bitmap bmp(3, 2, 24);
    const Rgb colors[] = {makeRgb(1, 2, 3), makeRgb(1, 2, 3), makeRgb(255, 0, 7), makeRgb(1, 2, 3), makeRgb(9, 9, 9),
                          makeRgb(255, 0, 7)};
    for (int i = 0; i < 6; ++i) bmp.setPixel(i % 3, i / 3, colors[i]);
    Histogram hist(1 << 20);
    hist.add(makeWorkImage(bmp, 0));
    EXPECT_EQ(hist.shift(), 0);
    auto points = hist.points();
    ASSERT_EQ(points.size(), 3u);
    std::sort(points.begin(), points.end(), [](auto& a, auto& b) { return a.weight > b.weight; });
    EXPECT_EQ(points[0].weight, 3);
    EXPECT_FLOAT_EQ(points[0].r, 1);
    EXPECT_FLOAT_EQ(points[0].b, 3);
    EXPECT_EQ(points[1].weight, 2);
    EXPECT_FLOAT_EQ(points[1].r, 255);
}

class Coarsening : public ::testing::TestWithParam<std::size_t> {};

TEST_P(Coarsening, KeepsWeightAndMean) {
    // 512 x 512 distinct colours: more than the exact table holds, so bins merge (with a
    // tiny table, several times over).
    Bitmap bmp(512, 512, 24);
    Totals expected;
    for (int y = 0; y < 512; ++y)
        for (int x = 0; x < 512; ++x) {
            const int r = x & 255, g = y & 255, b = ((x >> 8) | ((y >> 8) << 1)) * 60 + (x * 7 + y) % 17;
            bmp.setPixel(x, y, makeRgb(r, g, b));
            expected.weight += 1, expected.r += r, expected.g += g, expected.b += b;
        }
    Histogram hist(GetParam());
    hist.add(makeWorkImage(bmp, 0));
    EXPECT_GT(hist.shift(), GetParam() < 1000 ? 2 : 0);
    EXPECT_LE(hist.points().size(), std::max<std::size_t>(GetParam(), 128));
    const Totals got = totalsOf(hist.points());
    EXPECT_DOUBLE_EQ(got.weight, expected.weight);
    EXPECT_NEAR(got.r / got.weight, expected.r / expected.weight, 1e-3);
    EXPECT_NEAR(got.g / got.weight, expected.g / expected.weight, 1e-3);
    EXPECT_NEAR(got.b / got.weight, expected.b / expected.weight, 1e-3);
}

INSTANTIATE_TEST_SUITE_P(TableSizes, Coarsening, ::testing::Values(std::size_t{64}, std::size_t{1} << 20));

TEST(Histogram, TransparentPixelsAreLeftOut) {
    Bitmap bmp(2, 1, 32);
    const std::uint8_t px[8] = {10, 20, 30, 255, 200, 200, 200, 0};
    std::copy(px, px + 8, bmp.data().data());
    Histogram hist(1 << 20);
    hist.add(makeWorkImage(bmp, makeRgb(255, 255, 255)));
    const auto points = hist.points();
    ASSERT_EQ(points.size(), 1u);
    EXPECT_FLOAT_EQ(points[0].g, 20);

    DistinctColors distinct(1);
    EXPECT_TRUE(distinct.add(makeWorkImage(bmp, 0)));
    EXPECT_EQ(distinct.colors(), std::vector<Rgb>{makeRgb(10, 20, 30)});
}

TEST(DistinctColors, GivesUpPastTheLimit) {
    Bitmap bmp(17, 1, 24);
    for (int x = 0; x < 17; ++x) bmp.setPixel(x, 0, makeRgb(x, 0, 0));
    DistinctColors sixteen(16), seventeen(17);
    EXPECT_FALSE(sixteen.add(makeWorkImage(bmp, 0)));
    EXPECT_TRUE(sixteen.overflowed());
    EXPECT_TRUE(seventeen.add(makeWorkImage(bmp, 0)));
    EXPECT_EQ(seventeen.colors().size(), 17u);
}
