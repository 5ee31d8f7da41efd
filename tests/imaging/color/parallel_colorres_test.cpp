// The palette round trip runs on every core; the result must not depend on how many.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <random>
#include <stdexcept>
#include <tuple>

#include "color/colorres.h"
#include "quality/quality.h"
#include "color/histogram.h"
#include "color/work_image.h"
#include "core/error.h"
#include "core/parallel.h"
#include "test_images.h"

using namespace imaging;
using namespace imaging::color;

namespace {

struct WorkersGuard {
    ~WorkersGuard() { setWorkerCount(0); }
};

// Nearly every pixel a colour of its own in a 700 x 400 picture: more colours than the histogram keeps
// apart, so it must merge colours into bins while the bands are counted and merged.
Bitmap manyColours(int width = 700, int height = 400) {
    Bitmap b(width, height, 24);
    std::mt19937 rng(5);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            b.setPixel(x, y, makeRgb((x * 3 + static_cast<int>(rng() % 5)) & 255, (y * 5 + x / 97) & 255,
                                     static_cast<int>(rng() & 255)));
    return b;
}

std::vector<std::tuple<double, float, float, float>> sortedPoints(const Histogram& h) {
    std::vector<std::tuple<double, float, float, float>> out;
    for (const ColorPoint& p : h.points()) out.emplace_back(p.weight, p.r, p.g, p.b);
    std::sort(out.begin(), out.end());
    return out;
}

}  // namespace

// Counting in bands and merging them gives the very bins of one pass, also when the bands
// had to coarsen to different levels before the merge.
TEST(ParallelPalette, BandedHistogramHasTheBinsOfOnePass) {
    WorkersGuard guard;
    for (const Bitmap& picture : {colortest::ramps(700, 500), manyColours()}) {
        const WorkImage work = makeWorkImage(picture, 0);
        Histogram single(work.pixelCount());
        single.add(work);
        for (int workers : {1, 2, 3}) {
            setWorkerCount(workers);
            Histogram banded(work.pixelCount());
            banded.addParallel(work);
            EXPECT_EQ(banded.shift(), single.shift());
            EXPECT_EQ(sortedPoints(banded), sortedPoints(single)) << workers << " workers";
        }
    }
}

// One core and several give the same palette and the same indices, byte for byte, for every
// path that runs in parallel: the histogram, the refinement on the pixels and the remap.
TEST(ParallelPalette, OneCoreAndSeveralGiveIdenticalResults) {
    WorkersGuard guard;
    Bitmap withAlpha = colortest::ramps(520, 300, 3).toRgba32();
    for (int y = 0; y < 300; y += 3)
        for (int x = 0; x < 520; x += 7) withAlpha.row(y)[4 * x + 3] = 0;
    struct Case {
        const char* name;
        const Bitmap* source;
        int bits, dither, colours;
    };
    const Bitmap many = manyColours();
    const Bitmap ramps = colortest::ramps(640, 480);
    const Bitmap small = colortest::ramps(200, 150);  // error diffusion runs on one core anyway
    const Case cases[] = {
        {"many colours, 256", &many, 8, dither_code::None, 0},
        {"ramps, 256", &ramps, 8, dither_code::None, 0},
        {"ramps, 16, Floyd-Steinberg", &small, 4, dither_code::FloydSteinberg, 0},
        {"ramps, 100, ordered", &ramps, 8, dither_code::Ordered, 100},
        {"alpha, 64", &withAlpha, 6, dither_code::None, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        setWorkerCount(1);
        const Bitmap one = colorRes(*c.source, c.bits, palette_kind::Optimized, c.dither, c.colours);
        for (int workers : {3}) {  // an odd count gives bands of unequal length
            setWorkerCount(workers);
            const Bitmap several = colorRes(*c.source, c.bits, palette_kind::Optimized, c.dither, c.colours);
            EXPECT_TRUE(several.palette() == one.palette());
            EXPECT_TRUE(several.data() == one.data());
            EXPECT_EQ(several.transparentColor(), one.transparentColor());
        }
    }
    // An animation shares one palette over its frames.
    Image animation;
    for (unsigned seed : {1u, 2u, 3u}) animation.frames.push_back(Frame{colortest::ramps(400, 300, seed), 10, 0, 0, 0});
    setWorkerCount(1);
    const Image one = colorRes(animation, 8, palette_kind::Optimized, dither_code::None, 0);
    setWorkerCount(2);
    const Image two = colorRes(animation, 8, palette_kind::Optimized, dither_code::None, 0);
    ASSERT_EQ(one.frames.size(), two.frames.size());
    for (std::size_t i = 0; i < one.frames.size(); ++i) EXPECT_TRUE(one.frames[i].bitmap == two.frames[i].bitmap);
}

// PSNR reads every depth's pixels in place, in bands; a known answer across depths.
TEST(ParallelPalette, PsnrKnownAnswerAtEveryDepth) {
    WorkersGuard guard;
    Bitmap a(3, 20, 24);
    Bitmap b(3, 20, 8);
    b.palette()[1] = makeRgb(10, 0, 0);
    for (int y = 0; y < 20; ++y) b.row(y)[2] = 1;  // one channel off by 10 in a third of the pixels
    const double expected = 10.0 * std::log10(255.0 * 255.0 / (100.0 / 9.0));
    for (int workers : {1, 3}) {
        setWorkerCount(workers);
        EXPECT_NEAR(psnrRgb(a, b), expected, 1e-9);
        EXPECT_NEAR(psnrRgb(b.toRgba32(), a), expected, 1e-9);
        EXPECT_NEAR(psnrRgb(a, b.toRgb24()), expected, 1e-9);
    }
    EXPECT_THROW(psnrRgb(a, Bitmap(3, 19, 24)), Error);
}

// A failing piece does not stop the others half-way, and its error reaches the caller; of
// several, the lowest-numbered one.
TEST(ParallelFor, EveryPieceRunsAndTheFirstErrorIsReported) {
    WorkersGuard guard;
    for (int workers : {1, 2, 4}) {
        setWorkerCount(workers);
        std::vector<int> done(20, 0);
        try {
            parallelFor(done.size(), [&](std::size_t i) {
                done[i] = 1;
                if (i == 13) throw std::runtime_error("thirteen");
                if (i == 7) fail(ErrorCode::Corrupt, "piece", "seven");
            });
            ADD_FAILURE() << "no error reported";
        } catch (const Error& e) {
            EXPECT_EQ(e.code(), ErrorCode::Corrupt);
        }
        EXPECT_EQ(std::count(done.begin(), done.end(), 1), 20);
    }
}

TEST(ParallelFor, StoppingSkipsTheRestAndSaysCancelled) {
    WorkersGuard guard;
    setWorkerCount(2);
    std::atomic<int> ran{0};
    try {
        parallelFor(1000, [&](std::size_t) { ++ran; }, [&] { return ran.load() >= 10; });
        ADD_FAILURE() << "a stopped run must not look finished";
    } catch (const Error& e) {
        EXPECT_EQ(e.code(), ErrorCode::Cancelled);
    }
    EXPECT_LT(ran.load(), 1000);
    EXPECT_GE(ran.load(), 10);
    for (std::size_t total : {0u, 1u, 7u, 1000u})
        for (std::size_t pieces : {1u, 3u, 8u}) {
            EXPECT_EQ(rangeStart(total, pieces, 0), 0u);
            EXPECT_EQ(rangeStart(total, pieces, pieces), total);
            for (std::size_t i = 0; i < pieces; ++i) EXPECT_LE(rangeStart(total, pieces, i + 1) - rangeStart(total, pieces, i), total / pieces + 1);
        }
}
