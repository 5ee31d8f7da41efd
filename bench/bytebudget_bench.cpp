// The byte budget on a 2-megapixel photograph: how many real encodes a search takes and its
// time beside one encode of the same picture (the goal for JPEG: within three encodes' time).
#include <benchmark/benchmark.h>

#include "budget/bytebudget.h"
#include "codecs/registry.h"
#include "photo_like.h"

namespace {

using namespace imaging;

constexpr int kWidth = 1632, kHeight = 1224;  // 2.0 megapixels

const Bitmap& photo() {
    static const Bitmap picture = kalmira_bench::photoLike(kWidth, kHeight);
    return picture;
}

SaveOptions jpegOptions(int q) {
    SaveOptions o;
    o.format = format::Jpeg422;
    o.qualityFactor = jpegFactorForQuality(q);
    return o;
}

// One plain encode at quality q: 75 is the reference, and the qualities the budgets below lead
// to show what one encode of the answer costs.
void BM_JpegOneEncode(benchmark::State& state) {
    const Image image = Image::fromBitmap(photo());
    const SaveOptions options = jpegOptions(static_cast<int>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(saveMemory(image, options).size());
}

// Budgets just above the sizes at qualities 30..95, as a user would type them ("150 KB"); the
// search transforms once and then only re-quantises and entropy-codes per trial.
void BM_JpegBudgetSearch(benchmark::State& state) {
    const Image image = Image::fromBitmap(photo());
    const std::size_t budget = saveMemory(image, jpegOptions(static_cast<int>(state.range(0)))).size() + 1000;
    int encodes = 0, runs = 0;
    for (auto _ : state) {
        const BudgetResult r = fitByQuality(photo(), jpegOptions(75), budget);
        encodes += r.encodes;
        ++runs;
        benchmark::DoNotOptimize(r.encoded.size());
    }
    state.counters["encodes"] = static_cast<double>(encodes) / runs;
    state.counters["budget"] = static_cast<double>(budget);
}

void BM_GifBudgetSearch(benchmark::State& state) {
    SaveOptions gif;
    gif.format = format::Gif;
    const std::size_t budget = static_cast<std::size_t>(state.range(0)) * 1000;
    int encodes = 0, runs = 0, colours = 0;
    for (auto _ : state) {
        const BudgetResult r = fitByColours(photo(), gif, budget, 0);
        encodes += r.encodes;
        colours = r.colors;
        ++runs;
        benchmark::DoNotOptimize(r.encoded.size());
    }
    state.counters["encodes"] = static_cast<double>(encodes) / runs;
    state.counters["colors"] = colours;
}

}  // namespace

BENCHMARK(BM_JpegOneEncode)->Arg(75)->Arg(30)->Arg(60)->Arg(85)->Arg(95)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JpegBudgetSearch)->Arg(30)->Arg(60)->Arg(85)->Arg(95)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GifBudgetSearch)->Arg(600)->Arg(1200)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK_MAIN();
