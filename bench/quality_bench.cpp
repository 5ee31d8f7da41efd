// Quality numbers of a 2-megapixel photograph against its JPEG round trip. Every Variation
// update pays for them, so the figure to watch is SSIM beside one JPEG encode of the same
// picture (and beside PSNR, the cheap number).
#include <benchmark/benchmark.h>

#include "codecs/registry.h"
#include "core/parallel.h"
#include "photo_like.h"
#include "quality/difference.h"
#include "quality/quality.h"

namespace {

using namespace imaging;

constexpr int kWidth = 1632, kHeight = 1224;  // 2.0 megapixels

const Bitmap& photo() {
    static const Bitmap picture = kalmira_bench::photoLike(kWidth, kHeight);
    return picture;
}

const Bitmap& decodedJpeg() {
    static const Bitmap picture = [] {
        SaveOptions o;
        o.format = format::Jpeg444;
        o.qualityFactor = 56;
        return loadMemory(saveMemory(Image::fromBitmap(photo()), o)).first();
    }();
    return picture;
}

// Argument: the engine's threads (0 = one per core). The rows are spread over them, so the
// figure to compare is the wall time; the processor time is the whole process's.
void BM_Ssim(benchmark::State& state) {
    const std::vector<float> a = lumaOf(compositeRgb(photo(), 0xFFFFFF));
    const std::vector<float> b = lumaOf(compositeRgb(decodedJpeg(), 0xFFFFFF));
    setWorkerCount(static_cast<int>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(ssimOfLuma(a, b, kWidth, kHeight));
    setWorkerCount(0);
}

// What an update pays: compositing, luma, PSNR and SSIM.
void BM_MeasureQuality(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(measureQuality(photo(), decodedJpeg()));
}

// PSNR with its compositing, as compare, convert and batch pay for it.
void BM_Psnr(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(psnrRgb(photo(), decodedJpeg()));
}

// What switching the difference view on costs a Variation: the error map and its colours.
void BM_DifferencePicture(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(differencePicture(differenceOf(photo(), decodedJpeg())));
}

// The yardstick: one JPEG encode of the same picture.
void BM_JpegEncode(benchmark::State& state) {
    const Image image = Image::fromBitmap(photo());
    SaveOptions o;
    o.format = format::Jpeg444;
    o.qualityFactor = 56;
    for (auto _ : state) benchmark::DoNotOptimize(saveMemory(image, o).size());
}

}  // namespace

BENCHMARK(BM_Ssim)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();
BENCHMARK(BM_MeasureQuality)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();
BENCHMARK(BM_Psnr)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DifferencePicture)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JpegEncode)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
