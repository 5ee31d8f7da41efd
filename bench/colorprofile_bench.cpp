// What reading a colour-managed photo costs beside reading a plain one: the photographs of
// bench/pictures, re-saved with an embedded Adobe RGB (1998) or Display P3 profile (pixels
// converted into it, as a camera or an editor writes them), decoded
//   - by the JPEG reader alone (libjpeg-turbo: the bare decode),
//   - through the loading entry point, which converts them into sRGB,
// and the conversion alone on the decoded pixels. The figure that matters is the conversion's
// time over the bare decode's, in the same run (goal: at most 15 %).
#include <benchmark/benchmark.h>

#include <string>

#include "codecs/registry.h"
#include "color/icc_kernel.h"
#include "color/icc_transform.h"
#include "core/parallel.h"

namespace {

using namespace imaging;

const char* const kPictures[] = {"dune.jpg", "storm.jpg", "meadow.jpg"};

Bytes profileFor(int which) {
    // Both with D65 white; Adobe RGB with its gamma 563/256, Display P3 with sRGB's primaries'
    // neighbour and a 2.2 gamma standing in for sRGB's curve (the cost is the same).
    return which == 0 ? icc::makeRgbProfile({0.64, 0.33, 0.21, 0.71, 0.15, 0.06, 0.3127, 0.3290}, 563.0 / 256.0, "Adobe RGB (1998)")
                      : icc::makeRgbProfile({0.680, 0.320, 0.265, 0.690, 0.150, 0.060, 0.3127, 0.3290}, 2.2, "Display P3");
}

struct Tagged {
    Bytes file;
    Bytes untagged;  // the same pixels without the profile
    Bitmap decoded;  // the file's pixels as stored (not converted)
};

// The file with its APP2 segments (the profile) left out: the same scans, the same decode.
Bytes withoutApp2(const Bytes& file) {
    Bytes out(file.begin(), file.begin() + 2);
    std::size_t at = 2;
    while (at + 4 <= file.size() && file[at] == 0xFF && file[at + 1] != 0xDA) {
        const std::size_t length = 2 + (std::size_t{file[at + 2]} << 8 | file[at + 3]);
        if (file[at + 1] != 0xE2) out.insert(out.end(), file.begin() + static_cast<std::ptrdiff_t>(at),
                                             file.begin() + static_cast<std::ptrdiff_t>(at + length));
        at += length;
    }
    out.insert(out.end(), file.begin() + static_cast<std::ptrdiff_t>(at), file.end());
    return out;
}

const Tagged& tagged(int picture, int profile) {
    static Tagged cache[3][2];
    Tagged& t = cache[picture][profile];
    if (t.file.empty()) {
        const Image photo = loadFile(std::string(KALMIRA_BENCH_PICTURES) + "/" + kPictures[picture]);
        SaveOptions o;
        o.format = format::Jpeg422;
        o.qualityFactor = 30;  // quality 89, about what the pictures were saved at
        o.iccProfile = profileFor(profile);
        t.file = saveMemory(photo, o);
        t.untagged = withoutApp2(t.file);
        t.decoded = codecForFormat(format::Jpeg444)->read(t.file, {}).first();
    }
    return t;
}

void setLabel(benchmark::State& state) {
    state.SetLabel(std::string(kPictures[state.range(0)]) + (state.range(1) == 0 ? " Adobe RGB" : " Display P3"));
}

// The bare decode: the JPEG reader, no conversion.
void BM_JpegDecode(benchmark::State& state) {
    const Tagged& t = tagged(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    const Codec& jpeg = *codecForFormat(format::Jpeg444);
    for (auto _ : state) benchmark::DoNotOptimize(jpeg.read(t.file, {}).first().data().data());
    setLabel(state);
}

// What opening the file costs: decode, profile found, converted into sRGB.
void BM_LoadConverted(benchmark::State& state) {
    const Tagged& t = tagged(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    for (auto _ : state) benchmark::DoNotOptimize(loadMemory(t.file).first().data().data());
    setLabel(state);
}

// Opening the same pixels without a profile: what loading costs beside the decode anyway
// (metadata scan, orientation), so the conversion's own cost is LoadConverted less this.
void BM_LoadUntagged(benchmark::State& state) {
    const Tagged& t = tagged(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    for (auto _ : state) benchmark::DoNotOptimize(loadMemory(t.untagged).first().data().data());
    setLabel(state);
}

// The conversion alone (the transform comes from the cache after the first round): as the
// program runs it (third argument 0), on one thread (1), and on one thread with the portable
// kernel instead of the wide one (2), which shows what the wide kernel and the threads bring.
void BM_ConversionOnly(benchmark::State& state) {
    const Tagged& t = tagged(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    const Bytes profile = profileFor(static_cast<int>(state.range(1)));
    const int mode = static_cast<int>(state.range(2));
    Bitmap work = t.decoded;
    setWorkerCount(mode == 0 ? 0 : 1);
    icc::setWideKernelEnabled(mode != 2);
    for (auto _ : state) {
        // Converting the same pixels again costs what the first conversion does.
        icc::convertToSrgb(work, profile);
        benchmark::DoNotOptimize(work.data().data());
    }
    setWorkerCount(0);
    icc::setWideKernelEnabled(true);
    state.SetLabel(std::string(kPictures[state.range(0)]) + (state.range(1) == 0 ? " Adobe RGB" : " Display P3") +
                   (mode == 1 ? ", one thread" : mode == 2 ? ", one thread, portable kernel" : ""));
}

void pictureArgs(benchmark::internal::Benchmark* b) {
    for (int p = 0; p < 3; ++p)
        for (int profile = 0; profile < 2; ++profile) b->Args({p, profile});
    b->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_JpegDecode)->Apply(pictureArgs);
BENCHMARK(BM_LoadConverted)->Apply(pictureArgs);
BENCHMARK(BM_LoadUntagged)->Apply(pictureArgs);
void conversionArgs(benchmark::internal::Benchmark* b) {
    for (int p = 0; p < 3; ++p)
        for (int profile = 0; profile < 2; ++profile)
            for (int mode = 0; mode < 3; ++mode) b->Args({p, profile, mode});
    b->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_ConversionOnly)->Apply(conversionArgs);

}  // namespace

BENCHMARK_MAIN();
