// Every operation on a generated 2-megapixel 24-bit picture, in milliseconds per call.
// The neighbourhood filters also run at window sizes 3 and 25: with running windows the
// larger window must not cost anywhere near (25 / 3)^2 times as much.
// The baseline is a plain copy of the picture: the floor every operation pays once, since
// each iteration starts from a fresh copy (taken outside the timing).

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "core/bitmap.h"
#include "ops/operation_table.h"

namespace {

using imaging::Bitmap;

const Bitmap& picture() {
    static const Bitmap b = [] {
        Bitmap p(1600, 1250, 24);  // 2,000,000 pixels
        for (int y = 0; y < p.height(); ++y) {
            std::uint8_t* row = p.row(y);
            for (int x = 0; x < p.width(); ++x) {
                // Smooth gradients with a sprinkle of detail, like a photograph.
                row[3 * x] = static_cast<std::uint8_t>((x * 255) / p.width());
                row[3 * x + 1] = static_cast<std::uint8_t>((y * 255) / p.height());
                row[3 * x + 2] = static_cast<std::uint8_t>(((x ^ y) & 31) * 4 + 64);
            }
        }
        return p;
    }();
    return b;
}

void BM_CopyBaseline(benchmark::State& state) {
    for (auto _ : state) {
        Bitmap b = picture();
        benchmark::DoNotOptimize(b.data().data());
    }
    state.SetLabel("memory copy of the picture");
}
BENCHMARK(BM_CopyBaseline)->Unit(benchmark::kMillisecond);

void runOperation(benchmark::State& state, const std::string& name, const std::vector<long>& args) {
    for (auto _ : state) {
        state.PauseTiming();
        Bitmap b = picture();
        state.ResumeTiming();
        imaging::ops::applyNamedOperation(b, name, args);
        benchmark::DoNotOptimize(b.data().data());
    }
}

struct Call {
    const char* label;
    const char* name;
    std::vector<long> args;
};

const std::vector<Call>& calls() {
    static const std::vector<Call> all = {
        {"Size_half_resample", "Size", {800, 625, 2}},
        {"Size_half_nearest", "Size", {800, 625, 0}},
        {"Size_double_resample", "Size", {3200, 2500, 2}},
        {"Trim", "Trim", {100, 100, 1200, 900}},
        {"Intensity", "Intensity", {300}},
        {"GammaCorrect", "GammaCorrect", {180}},
        {"Contrast", "Contrast", {400}},
        {"HistoContrast", "HistoContrast", {500}},
        {"StretchIntensity", "StretchIntensity", {}},
        {"Invert", "Invert", {}},
        {"Hue", "Hue", {60}},
        {"Saturation", "Saturation", {500}},
        {"HistoEqualize", "HistoEqualize", {}},
        {"Fill", "Fill", {0x336699}},
        {"Halftone", "Halftone", {1, 4500}},
        {"Sharpen", "Sharpen", {500}},
        {"Posterize", "Posterize", {8}},
        {"Mosaic", "Mosaic", {10}},
        {"Emboss", "Emboss", {1, 300}},
        {"Average_3", "Average", {3}},
        {"Average_25", "Average", {25}},
        {"Oilify_3", "Oilify", {3}},
        {"Oilify_25", "Oilify", {25}},
        {"Median_3", "Median", {3}},
        {"Median_25", "Median", {25}},
        {"AddNoise", "AddNoise", {300, 0}},
        {"IntensityDetect", "IntensityDetect", {60, 180}},
        {"SpatialFilter_Sobel", "SpatialFilter", {22}},
        {"SpatialFilter_Line", "SpatialFilter", {31}},
        {"Rotate_90", "Rotate", {9000, 1, 0}},
        {"Rotate_30", "Rotate", {3000, 1, 0}},
        {"Shear_20", "Shear", {2000, 1, 0}},
        {"Reverse", "Reverse", {}},
        {"Flip", "Flip", {}},
    };
    return all;
}

const bool registered = [] {
    for (const Call& c : calls())
        benchmark::RegisterBenchmark((std::string("BM_Op/") + c.label).c_str(),
                                     [&c](benchmark::State& s) { runOperation(s, c.name, c.args); })
            ->Unit(benchmark::kMillisecond)
            ->MinTime(0.2);
    return true;
}();

}  // namespace

BENCHMARK_MAIN();
