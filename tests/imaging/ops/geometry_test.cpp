#include <gtest/gtest.h>

#include "core/error.h"
#include "ops/geometry.h"
#include "ops/operation_table.h"
#include "ops_test_util.h"

using namespace imaging;
using namespace imaging::ops;
using namespace opstest;

namespace {

// 3 x 2 grey levels:  1 2 3
//                     4 5 6
Bitmap sample() { return greyImage({{1, 2, 3}, {4, 5, 6}}); }

struct MoveCase {
    std::string name;
    std::vector<long> args;
    int width, height;
    std::vector<int> expected;
};

class PixelMoves : public ::testing::TestWithParam<MoveCase> {};

TEST_P(PixelMoves, PlacesEveryPixelExactly) {
    const MoveCase& c = GetParam();
    Bitmap b = sample();
    applyNamedOperation(b, c.name, c.args);
    ASSERT_EQ(b.width(), c.width);
    ASSERT_EQ(b.height(), c.height);
    EXPECT_EQ(greys(b), c.expected);

    // The same moves on a palette bitmap keep depth and indices.
    Bitmap indexed(3, 2, 8);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) indexed.setPixel(x, y, static_cast<std::uint32_t>(1 + x + 3 * y));
    applyNamedOperation(indexed, c.name, c.args);
    EXPECT_EQ(indexed.bits(), 8);
    std::vector<int> idx;
    for (int y = 0; y < indexed.height(); ++y)
        for (int x = 0; x < indexed.width(); ++x) idx.push_back(static_cast<int>(indexed.rawPixel(x, y)));
    EXPECT_EQ(idx, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Ops, PixelMoves,
    ::testing::Values(MoveCase{"Reverse", {}, 3, 2, {3, 2, 1, 6, 5, 4}},
                      MoveCase{"Flip", {}, 3, 2, {4, 5, 6, 1, 2, 3}},
                      MoveCase{"Rotate", {9000, 1, 0}, 2, 3, {4, 1, 5, 2, 6, 3}},
                      MoveCase{"Rotate", {18000, 1, 0}, 3, 2, {6, 5, 4, 3, 2, 1}},
                      MoveCase{"Rotate", {27000, 1, 0}, 2, 3, {3, 6, 2, 5, 1, 4}},
                      MoveCase{"Rotate", {-9000, 1, 0}, 2, 3, {3, 6, 2, 5, 1, 4}},
                      MoveCase{"Rotate", {36000, 1, 0}, 3, 2, {1, 2, 3, 4, 5, 6}},
                      // not enlarged: the 2 x 3 result centred on 3 x 2 (odd leftovers
                      // right and below), fill 0 where nothing lands
                      MoveCase{"Rotate", {9000, 0, 0}, 3, 2, {5, 2, 0, 6, 3, 0}},
                      MoveCase{"Trim", {1, 0, 2, 2}, 2, 2, {2, 3, 5, 6}},
                      MoveCase{"Size", {6, 2, 0}, 6, 2, {1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6}},
                      MoveCase{"Size", {2, 1, 0}, 2, 1, {4, 6}}),
    [](const auto& info) { return info.param.name + std::to_string(info.index); });

TEST(Geometry, ShearShiftsRowsIntoAStaircase) {
    // 45 degrees on a 4 x 4 palette bitmap: rows move 0, 1, 2, 3 pixels right; width 8.
    Bitmap b(4, 4, 8);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) b.setPixel(x, y, static_cast<std::uint32_t>(10 * y + x + 1));
    shear(b, 4500, true, kPaletteReference + 0);
    ASSERT_EQ(b.width(), 8);
    ASSERT_EQ(b.height(), 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x) {
            const std::uint32_t want = x >= y && x < y + 4 ? static_cast<std::uint32_t>(10 * y + (x - y) + 1) : 0;
            EXPECT_EQ(b.rawPixel(x, y), want) << x << "," << y;
        }
    Bitmap v(4, 2, 24);
    shear(v, -2000, false, 0);
    EXPECT_EQ(v.width(), 4);
    EXPECT_EQ(v.height(), 2 + 1);  // round(tan 20 deg * 4) = 1
}

TEST(Geometry, RotateByNonRightAngleEnlargesAndFillsCorners) {
    Bitmap b(10, 10, 24);
    std::fill(b.data().begin(), b.data().end(), std::uint8_t{200});
    Bitmap kept = b;
    rotate(b, 4500, true, makeRgb(0, 0, 255));
    EXPECT_EQ(b.width(), 15);  // ceil(10 * sqrt 2)
    EXPECT_EQ(b.height(), 15);
    EXPECT_EQ(b.pixel(0, 0), makeRgb(0, 0, 255));
    EXPECT_EQ(b.pixel(7, 7), grey(200));
    rotate(kept, 4500, false, makeRgb(0, 0, 255));
    EXPECT_EQ(kept.width(), 10);
    EXPECT_EQ(kept.pixel(0, 0), makeRgb(0, 0, 255));
    EXPECT_EQ(kept.pixel(5, 5), grey(200));
}

TEST(Geometry, ResampleKeepsFlatAreasFlatAndAlpha) {
    Bitmap b(7, 5, 32);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) {
            b.setPixel(x, y, makeRgb(10, 120, 240));
            b.row(y)[x * 4 + 3] = 90;
        }
    resize(b, 20, 3, kSizeResample);
    ASSERT_EQ(b.bits(), 32);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 20; ++x) {
            EXPECT_EQ(b.pixel(x, y), makeRgb(10, 120, 240));
            EXPECT_EQ(b.row(y)[x * 4 + 3], 90);
        }
}

TEST(Geometry, ResampledDownscaleFiltersFineDetail) {
    // A one-pixel checkerboard shrunk 4x must become even grey; skipping pixels (nearest)
    // would keep it black or white, which is the aliasing the filter exists to prevent.
    Bitmap b(64, 64, 8);
    b.palette()[1] = grey(255);
    b.palette()[0] = grey(0);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) b.setPixel(x, y, (x + y) % 2);
    Bitmap nearest = b;
    resize(b, 16, 16, kSizeResample);
    EXPECT_EQ(b.bits(), 24);
    for (int v : greys(b)) EXPECT_NEAR(v, 128, 8);
    resize(nearest, 16, 16, 0);
    EXPECT_EQ(nearest.bits(), 8);
    for (int v : greys(nearest)) EXPECT_TRUE(v == 0 || v == 255);
}

struct BadGeometry {
    std::string name;
    std::vector<long> args;
    ErrorCode code;
};

class RefusedGeometry : public ::testing::TestWithParam<BadGeometry> {};

TEST_P(RefusedGeometry, ThrowsWithCodeAndLeavesBitmap) {
    Bitmap b = sample();
    const Bitmap before = b;
    try {
        applyNamedOperation(b, GetParam().name, GetParam().args);
        FAIL() << "accepted";
    } catch (const Error& e) {
        EXPECT_EQ(e.code(), GetParam().code) << e.what();
    }
    EXPECT_EQ(b, before);
}

INSTANTIATE_TEST_SUITE_P(
    Ops, RefusedGeometry,
    ::testing::Values(BadGeometry{"Size", {0, 0, 2}, ErrorCode::InvalidArgument},
                      BadGeometry{"Size", {-5, 10, 0}, ErrorCode::InvalidArgument},
                      BadGeometry{"Size", {1 << 15, 1 << 14, 0}, ErrorCode::TooLarge},
                      BadGeometry{"Size", {1L << 40, 1, 0}, ErrorCode::InvalidArgument},
                      BadGeometry{"Trim", {2, 0, 2, 2}, ErrorCode::InvalidArgument},
                      BadGeometry{"Trim", {-1, 0, 1, 1}, ErrorCode::InvalidArgument},
                      BadGeometry{"Trim", {0, 0, 0, 1}, ErrorCode::InvalidArgument},
                      BadGeometry{"Trim", {2147483647, 0, 1, 1}, ErrorCode::InvalidArgument},
                      BadGeometry{"Shear", {9000, 1, 0}, ErrorCode::InvalidArgument},
                      BadGeometry{"Rotate", {4500, 2, 0}, ErrorCode::InvalidArgument},
                      BadGeometry{"Rotate", {4500, 1, -1}, ErrorCode::InvalidArgument}),
    [](const auto& info) { return info.param.name + std::to_string(info.index); });

}  // namespace
