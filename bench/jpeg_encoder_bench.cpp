// The size-optimising JPEG encoder beside libjpeg-turbo's plain encoder with optimised Huffman
// tables (what `cjpeg -optimize` runs), in-process on the real photographs of bench/pictures at
// libjpeg quality 75 and 90, 4:2:0, baseline and with ten scans: the time ratio of the two rows
// of a picture is the encoder's cost over libjpeg's. Each row's "bytes" counter is its file
// size at that quality factor (for bytes at equal SSIM see compare_jpeg.sh).
#include <benchmark/benchmark.h>

#include <string>

#include "budget/bytebudget.h"
#include "codecs/registry.h"

namespace {

using namespace imaging;

const Bitmap& photo(int index) {
    static const Bitmap pictures[] = {loadFile(std::string(KALMIRA_BENCH_PICTURES) + "/dune.jpg").first(),
                                      loadFile(std::string(KALMIRA_BENCH_PICTURES) + "/storm.jpg").first(),
                                      loadFile(std::string(KALMIRA_BENCH_PICTURES) + "/meadow.jpg").first()};
    return pictures[index];
}

// Arguments: picture (0 dune, 1 storm, 2 meadow), libjpeg quality, passes, fast (1 = plain).
void BM_JpegEncode(benchmark::State& state) {
    const Image image = Image::fromBitmap(photo(static_cast<int>(state.range(0))));
    SaveOptions o;
    o.format = format::Jpeg411;
    o.bits = 24;
    o.qualityFactor = jpegFactorForQuality(static_cast<int>(state.range(1)));
    o.passes = static_cast<int>(state.range(2));
    o.fastJpeg = state.range(3) != 0;
    std::size_t bytes = 0;
    for (auto _ : state) {
        const Bytes file = saveMemory(image, o);
        bytes = file.size();
        benchmark::DoNotOptimize(file.data());
    }
    state.counters["bytes"] = static_cast<double>(bytes);
}

void arguments(benchmark::internal::Benchmark* b) {
    b->ArgNames({"picture", "q", "passes", "plain"});
    for (int picture = 0; picture < 3; ++picture)
        for (int q : {75, 90})
            for (int passes : {0, 10})
                for (int plain : {1, 0}) b->Args({picture, q, passes, plain});
}
BENCHMARK(BM_JpegEncode)->Apply(arguments)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
