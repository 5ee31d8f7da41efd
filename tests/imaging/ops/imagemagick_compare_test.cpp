// Where ImageMagick has an operation with the same meaning, our result must agree with it
// within the tolerance of each case (maximum difference per channel). Skipped when
// /usr/bin/convert is missing.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "ops/operation_table.h"
#include "ops_test_util.h"

using namespace imaging;
using namespace imaging::ops;

namespace {

const char* kConvert = "/usr/bin/convert";

void writePpm(const Bitmap& b, const std::string& path) {
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << b.width() << ' ' << b.height() << "\n255\n";
    out.write(reinterpret_cast<const char*>(b.data().data()), static_cast<std::streamsize>(b.data().size()));
}

Bitmap readPpm(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int w = 0, h = 0, max = 0;
    in >> magic >> w >> h >> max;
    in.get();
    if (magic != "P6" || max != 255 || w <= 0 || h <= 0) return Bitmap();
    Bitmap b(w, h, 24);
    in.read(reinterpret_cast<char*>(b.data().data()), static_cast<std::streamsize>(b.data().size()));
    return in ? b : Bitmap();
}

// A smooth picture with some edges: gradients plus a few sharp bands, 48 x 32.
Bitmap testPicture() {
    Bitmap b(48, 32, 24);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 48; ++x) {
            const int band = (x / 8 + y / 8) % 2 ? 60 : 0;
            b.setPixel(x, y, makeRgb(std::min(255, x * 5 + band), y * 7 + band / 2, (x * y) % 200 + 20));
        }
    return b;
}

struct Comparison {
    std::string label;
    std::string operation;
    std::vector<long> args;
    std::string convertArgs;
    int tolerance;
};

class AgreesWithImageMagick : public ::testing::TestWithParam<Comparison> {};

TEST_P(AgreesWithImageMagick, WithinTolerance) {
    if (!std::filesystem::exists(kConvert)) GTEST_SKIP() << "ImageMagick is not installed";
    const Comparison& c = GetParam();
    const std::string dir = ::testing::TempDir();
    // The process id keeps concurrent runs of the suite (other build folders) apart.
    const std::string stem = dir + "/kalmira_ops_" + std::to_string(::getpid()) + "_" + c.label;
    const std::string in = stem + "_in.ppm", out = stem + "_out.ppm";
    const Bitmap source = c.operation == "Median" ? opstest::noiseImage(48, 32) : testPicture();
    writePpm(source, in);
    const std::string command = std::string(kConvert) + " " + in + " " + c.convertArgs + " " + out;
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const Bitmap theirs = readPpm(out);
    ASSERT_FALSE(theirs.empty());
    Bitmap ours = source;
    applyNamedOperation(ours, c.operation, c.args);
    ASSERT_EQ(ours.width(), theirs.width());
    ASSERT_EQ(ours.height(), theirs.height());
    int worst = 0;
    for (std::size_t i = 0; i < ours.data().size(); ++i)
        worst = std::max(worst, std::abs(ours.data()[i] - theirs.data()[i]));
    EXPECT_LE(worst, c.tolerance) << command;
    std::filesystem::remove(in);
    std::filesystem::remove(out);
}

INSTANTIATE_TEST_SUITE_P(
    Ops, AgreesWithImageMagick,
    ::testing::Values(Comparison{"negate", "Invert", {}, "-negate", 0},
                      Comparison{"flip", "Flip", {}, "-flip", 0},
                      Comparison{"flop", "Reverse", {}, "-flop", 0},
                      Comparison{"rotate90", "Rotate", {9000, 1, 0}, "-rotate 90", 0},
                      Comparison{"rotate270", "Rotate", {-9000, 1, 0}, "-rotate -90", 0},
                      Comparison{"gamma", "GammaCorrect", {200}, "-gamma 2", 1},
                      Comparison{"hue", "Hue", {120}, "-modulate 100,100,166.6666667", 2},
                      Comparison{"autolevel", "StretchIntensity", {}, "-auto-level", 1},
                      Comparison{"median", "Median", {3}, "-statistic Median 3x3", 0},
                      Comparison{"mean", "Average", {3}, "-statistic Mean 3x3", 1},
                      // The same Lanczos-3 filter, but ImageMagick evaluates sinc by a polynomial
                      // approximation; across the picture's steps of up to 200 levels that
                      // shows as a few levels of difference in the ringing.
                      Comparison{"shrink", "Size", {20, 13, 2}, "-filter Lanczos -resize 20x13!", 3},
                      Comparison{"enlarge", "Size", {100, 70, 2}, "-filter Lanczos -resize 100x70!", 6}),
    [](const auto& info) { return info.param.label; });

}  // namespace
