// The stages of the optimised palette: Wu's split and the k-means refinement.

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "color/histogram.h"
#include "color/kmeans_refine.h"
#include "color/nearest.h"
#include "color/wu_quantizer.h"
#include "test_images.h"

using namespace imaging;
using namespace imaging::color;

namespace {

std::vector<ColorPoint> pointsOf(const Bitmap& bmp) {
    Histogram hist(static_cast<std::size_t>(bmp.width()) * bmp.height());
    hist.add(makeWorkImage(bmp, 0));
    return hist.points();
}

double squaredError(const std::vector<ColorPoint>& points, const std::vector<Rgb>& palette) {
    const NearestColor nearest(palette);
    double sum = 0;
    for (const ColorPoint& p : points) {
        const Rgb c = palette[nearest.find(static_cast<int>(std::lround(p.r)), static_cast<int>(std::lround(p.g)),
                                           static_cast<int>(std::lround(p.b)))];
        const double dr = p.r - redOf(c), dg = p.g - greenOf(c), db = p.b - blueOf(c);
        sum += (dr * dr + dg * dg + db * db) * p.weight;
    }
    return sum;
}

std::vector<Rgb> rounded(const std::vector<Centroid>& cs) {
    std::vector<Rgb> out;
    for (const Centroid& c : cs)
        out.push_back(makeRgb(static_cast<int>(std::lround(c.r)), static_cast<int>(std::lround(c.g)),
                              static_cast<int>(std::lround(c.b))));
    return out;
}

}  // namespace

TEST(WuSplit, FindsSeparatedClusters) {
    // Four tight clusters far apart: four boxes, each at its cluster's mean.
    const Rgb centres[] = {makeRgb(20, 30, 40), makeRgb(220, 40, 60), makeRgb(60, 200, 90), makeRgb(200, 210, 230)};
    Bitmap bmp(64, 64, 24);
    std::mt19937 rng(3);
    std::uniform_int_distribution<int> jitter(-3, 3);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const Rgb c = centres[(x / 16 + y / 16) % 4];
            bmp.setPixel(x, y, makeRgb(redOf(c) + jitter(rng), greenOf(c) + jitter(rng), blueOf(c) + jitter(rng)));
        }
    const std::vector<Centroid> boxes = wuSplit(pointsOf(bmp), 4);
    ASSERT_EQ(boxes.size(), 4u);
    for (Rgb centre : centres) {
        double best = 1e9;
        for (const Centroid& b : boxes)
            best = std::min(best, std::hypot(b.r - redOf(centre), b.g - greenOf(centre), b.b - blueOf(centre)));
        EXPECT_LT(best, 1.5) << std::hex << centre;
    }
}

TEST(KmeansRefine, LowersTheErrorOfTheSplit) {
    const std::vector<ColorPoint> points = pointsOf(colortest::ramps(80, 60));
    for (int count : {4, 16, 64, 200}) {
        const std::vector<Centroid> start = wuSplit(points, count);
        const std::vector<Rgb> refined = kmeansRefine(points, start, count, 8);
        EXPECT_LE(refined.size(), static_cast<std::size_t>(count));
        EXPECT_GE(refined.size(), static_cast<std::size_t>(count) * 9 / 10);
        EXPECT_LT(squaredError(points, refined), squaredError(points, rounded(start))) << count;
    }
}

TEST(KmeansRefine, FillsColoursTheSplitCouldNotProvide) {
    // All points inside one cell of the split's grid: the split gives one box, k-means the rest.
    std::vector<ColorPoint> points;
    for (int i = 0; i < 6; ++i) points.push_back({static_cast<float>(100 + i), 50, 60, 1.0 + i});
    const std::vector<Rgb> colors = kmeansRefine(points, wuSplit(points, 6), 6, 8);
    EXPECT_EQ(colors.size(), 6u);
    EXPECT_EQ(squaredError(points, colors), 0.0);
}
