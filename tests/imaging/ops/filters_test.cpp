#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "core/error.h"
#include "ops/effects.h"
#include "ops/filters.h"
#include "ops/operation_table.h"
#include "ops/ops_support.h"
#include "ops_test_util.h"

using namespace imaging;
using namespace imaging::ops;
using namespace opstest;

namespace {

// 3 x 3, a spike of 90 in the middle.
Bitmap spike() { return greyImage({{0, 0, 0}, {0, 90, 0}, {0, 0, 0}}); }

struct FilterCase {
    std::string name;
    std::vector<long> args;
    Bitmap input;
    std::vector<int> expected;
};

class FilterKnownAnswer : public ::testing::TestWithParam<FilterCase> {};

TEST_P(FilterKnownAnswer, MatchesHandComputedPixels) {
    Bitmap b = GetParam().input;
    applyNamedOperation(b, GetParam().name, GetParam().args);
    EXPECT_EQ(greys(b), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Ops, FilterKnownAnswer,
    ::testing::Values(
        // every 3 x 3 window (edges repeated) holds the spike exactly once: 90 / 9
        FilterCase{"Average", {3}, spike(), {10, 10, 10, 10, 10, 10, 10, 10, 10}},
        FilterCase{"Median", {3}, spike(), {0, 0, 0, 0, 0, 0, 0, 0, 0}},
        FilterCase{"Median", {1}, spike(), {0, 0, 0, 0, 90, 0, 0, 0, 0}},
        FilterCase{"Oilify", {3}, greyImage({{100, 100, 100}, {100, 200, 100}, {100, 100, 100}}),
                   {100, 100, 100, 100, 100, 100, 100, 100, 100}},
        // the [1 2 1]^2 / 16 blur: corners 90/16, edges 180/16, centre 360/16, rounded
        FilterCase{"Sharpen", {-1000}, spike(), {6, 11, 6, 11, 23, 11, 6, 11, 6}},
        // v + (v - blur): centre 90 + 67; the rest clamps at 0
        FilterCase{"Sharpen", {250}, spike(), {0, 0, 0, 0, 157, 0, 0, 0, 0}},
        // east: 128 + (L(x + 1) - L(x - 1)) * depth / 100
        FilterCase{"Emboss", {2, 50}, greyImage({{0, 100, 200}}), {178, 228, 178}},
        FilterCase{"Emboss", {6, 100}, greyImage({{0, 100, 200}}), {28, 0, 28}},
        FilterCase{"Emboss", {0, 100}, greyImage({{0, 100, 200}}), {128, 128, 128}},
        FilterCase{"SpatialFilter", {23}, greyImage({{0, 0, 30}, {0, 0, 30}}), {0, 120, 120, 0, 120, 120}},
        FilterCase{"SpatialFilter", {22}, greyImage({{0, 0, 30}, {0, 0, 30}}), {0, 0, 0, 0, 0, 0}},
        FilterCase{"SpatialFilter", {25}, greyImage({{0, 0, 30}, {0, 0, 30}}), {0, 90, 90, 0, 90, 90}},
        FilterCase{"SpatialFilter", {30}, greyImage({{0, 30, 0}}), {90, 180, 90}},
        FilterCase{"SpatialFilter", {29}, greyImage({{0, 30, 0}}), {0, 0, 0}},
        // a point answers with the kernel itself, mirrored: 2 on the diagonal, |-1| elsewhere
        FilterCase{"SpatialFilter", {31}, spike(), {180, 90, 90, 90, 180, 90, 90, 90, 180}},
        // tiles from the top-left corner: 2 x 2, 1 x 2, 2 x 1, 1 x 1
        FilterCase{"Mosaic", {2}, greyImage({{0, 10, 20}, {30, 40, 50}, {60, 70, 80}}), {20, 20, 35, 20, 20, 35, 65, 65, 80}},
        FilterCase{"Mosaic", {1000}, greyImage({{0, 10}, {20, 30}}), {15, 15, 15, 15}},
        FilterCase{"Halftone", {1, 3000}, greyImage({{255, 255}, {255, 255}}), {255, 255, 255, 255}},
        // display screen at 0 degrees: the cell centres fall on every fourth pixel corner, so
        // the spot function is 0.85 at pixels 0 and 3 of each 4 in both directions, 0.5 where
        // one of them meets 1 or 2, 0.15 at (1|2, 1|2); mid grey (darkness 127) inks only the
        // 0.85 pixels, darkness 155 also the 0.5 ones
        FilterCase{"Halftone", {1, 0}, greyImage({{128, 128, 128, 128}, {128, 128, 128, 128}, {128, 128, 128, 128}, {128, 128, 128, 128}}),
                   {0, 255, 255, 0, 255, 255, 255, 255, 255, 255, 255, 255, 0, 255, 255, 0}},
        FilterCase{"Halftone", {1, 0}, greyImage({{100, 100, 100, 100}, {100, 100, 100, 100}, {100, 100, 100, 100}, {100, 100, 100, 100}}),
                   {0, 0, 0, 0, 0, 255, 255, 0, 0, 255, 255, 0, 0, 0, 0, 0}},
        FilterCase{"Halftone", {0, 0}, greyImage({{0, 0}, {0, 0}}), {0, 0, 0, 0}},
        FilterCase{"AddNoise", {0, 0}, spike(), {0, 0, 0, 0, 90, 0, 0, 0, 0}}),
    [](const auto& info) { return info.param.name + std::to_string(info.index); });

// Plain reference implementations: what the running-window versions must equal exactly.
int clampTo(int v, int n) { return std::clamp(v, 0, n - 1); }

Bitmap referenceWindow(const Bitmap& in, int n, const char* kind) {
    Bitmap out = in;
    const int before = n / 2;
    for (int y = 0; y < in.height(); ++y)
        for (int x = 0; x < in.width(); ++x) {
            std::vector<Rgb> window;
            for (int j = 0; j < n; ++j)
                for (int i = 0; i < n; ++i)
                    window.push_back(in.pixel(clampTo(x - before + i, in.width()), clampTo(y - before + j, in.height())));
            std::array<int, 3> v{};
            if (std::string(kind) == "Median") {
                for (int c = 0; c < 3; ++c) {
                    std::vector<int> ch;
                    for (Rgb p : window) ch.push_back(static_cast<int>((p >> (8 * c)) & 0xFF));
                    std::nth_element(ch.begin(), ch.begin() + (n * n - 1) / 2, ch.end());
                    v[c] = ch[(n * n - 1) / 2];
                }
            } else if (std::string(kind) == "Average") {
                for (int c = 0; c < 3; ++c) {
                    int sum = 0;
                    for (Rgb p : window) sum += static_cast<int>((p >> (8 * c)) & 0xFF);
                    v[c] = (sum + n * n / 2) / (n * n);
                }
            } else {  // Oilify
                std::array<int, 32> count{};
                for (Rgb p : window) ++count[detail::intensityOf(redOf(p), greenOf(p), blueOf(p)) >> 3];
                const int best = static_cast<int>(std::max_element(count.begin(), count.end()) - count.begin());
                std::array<int, 3> sum{};
                for (Rgb p : window)
                    if ((detail::intensityOf(redOf(p), greenOf(p), blueOf(p)) >> 3) == best)
                        for (int c = 0; c < 3; ++c) sum[c] += static_cast<int>((p >> (8 * c)) & 0xFF);
                for (int c = 0; c < 3; ++c) v[c] = (sum[c] + count[best] / 2) / count[best];
            }
            out.setPixel(x, y, makeRgb(v[0], v[1], v[2]));
        }
    return out;
}

class RunningWindow : public ::testing::TestWithParam<std::tuple<std::string, int>> {};

TEST_P(RunningWindow, EqualsPlainWindow) {
    const auto& [kind, n] = GetParam();
    // Few grey levels so oil painting's bins are well filled.
    Bitmap in = noiseImage(13, 9);
    for (auto& v : in.data()) v = static_cast<std::uint8_t>(v & 0xE0);
    Bitmap got = in;
    applyNamedOperation(got, kind, {n});
    EXPECT_EQ(colours(got), colours(referenceWindow(in, n, kind.c_str())));
}

INSTANTIATE_TEST_SUITE_P(Ops, RunningWindow,
                         ::testing::Combine(::testing::Values("Median", "Average", "Oilify"),
                                            ::testing::Values(1, 2, 3, 4, 7, 20)),
                         [](const auto& info) { return std::get<0>(info.param) + std::to_string(std::get<1>(info.param)); });

TEST(Filters, SelectionSeesNeighboursButChangesOnlyItself) {
    Bitmap b = spike();
    const Region corner = Region::rectangle(0, 0, 1, 1);
    average(b, 3, &corner);
    EXPECT_EQ(greys(b), (std::vector<int>{10, 0, 0, 0, 90, 0, 0, 0, 0}));
}

TEST(Filters, PaletteIsPromotedAndAlphaKept) {
    Bitmap p(3, 3, 8);
    p.palette()[1] = grey(90);
    p.setPixel(1, 1, 1);
    median(p, 3);
    EXPECT_EQ(p.bits(), 24);
    EXPECT_EQ(greys(p), std::vector<int>(9, 0));

    Bitmap a(2, 2, 32);
    for (int i = 0; i < 4; ++i) a.data()[i * 4 + 3] = static_cast<std::uint8_t>(40 * i);
    emboss(a, 1, 100);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(a.data()[i * 4 + 3], 40 * i);
}

TEST(Filters, NoiseIsRepeatableBoundedAndOnItsChannel) {
    Bitmap a(32, 8, 24);
    std::fill(a.data().begin(), a.data().end(), std::uint8_t{128});
    Bitmap b = a;
    addNoise(a, 100, 2);
    addNoise(b, 100, 2);
    EXPECT_EQ(a, b);
    bool changed = false;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const Rgb c = a.pixel(x, y);
            EXPECT_EQ(redOf(c), 128);
            EXPECT_EQ(blueOf(c), 128);
            EXPECT_LE(std::abs(greenOf(c) - 128), 26);  // round(100 * 255 / 1000)
            changed |= greenOf(c) != 128;
        }
    EXPECT_TRUE(changed);
}

TEST(Filters, HalftoneOfMidGreyIsAboutHalfBlack) {
    Bitmap b(64, 64, 24);
    std::fill(b.data().begin(), b.data().end(), std::uint8_t{128});
    halftone(b, kHalftonePrint, 4500);
    int black = 0;
    for (int v : greys(b)) {
        ASSERT_TRUE(v == 0 || v == 255);
        black += v == 0;
    }
    EXPECT_GT(black, 64 * 64 * 3 / 10);
    EXPECT_LT(black, 64 * 64 * 7 / 10);
}

struct BadFilter {
    std::string name;
    std::vector<long> args;
};

class RefusedFilter : public ::testing::TestWithParam<BadFilter> {};

TEST_P(RefusedFilter, ThrowsInvalidArgument) {
    Bitmap b = spike();
    try {
        applyNamedOperation(b, GetParam().name, GetParam().args);
        FAIL() << "accepted";
    } catch (const Error& e) {
        EXPECT_EQ(e.code(), ErrorCode::InvalidArgument) << e.what();
    }
    EXPECT_EQ(greys(b), greys(spike()));
}

INSTANTIATE_TEST_SUITE_P(Ops, RefusedFilter,
                         ::testing::Values(BadFilter{"Mosaic", {0}}, BadFilter{"Posterize", {1}},
                                           BadFilter{"Median", {0}}, BadFilter{"Average", {256}},
                                           BadFilter{"Oilify", {-3}}, BadFilter{"SpatialFilter", {26}},
                                           BadFilter{"Emboss", {8, 100}}, BadFilter{"AddNoise", {100, 4}},
                                           BadFilter{"Halftone", {2, 0}}, BadFilter{"Sharpen", {1001}},
                                           BadFilter{"Intensity", {-1001}}, BadFilter{"GammaCorrect", {301}},
                                           BadFilter{"Hue", {361}}, BadFilter{"IntensityDetect", {0, 256}},
                                           BadFilter{"Fill", {0x2000000}}),
                         [](const auto& info) { return info.param.name + std::to_string(info.index); });

}  // namespace
