// Colour reduction on a generated 2-megapixel photograph: time and PSNR at 256 and 16
// colours, without dithering and with Floyd-Steinberg. The peer (pngquant) is measured on the
// same picture by bench/compare_pngquant.sh, which takes the picture this program writes with
// --write-ppm.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "codecs/registry.h"
#include "color/colorres.h"
#include "quality/quality.h"
#include "photo_like.h"

namespace {

const imaging::Bitmap& photo() {
    static const imaging::Bitmap bmp = kalmira_bench::photoLike(1632, 1224);  // 2.0 megapixels
    return bmp;
}

void BM_ColorRes(benchmark::State& state) {
    const int colors = static_cast<int>(state.range(0));
    const int dither = static_cast<int>(state.range(1));
    const int bits = colors > 16 ? 8 : 4;
    imaging::Bitmap out;
    for (auto _ : state) {
        out = imaging::colorRes(photo(), bits, imaging::palette_kind::Optimized, dither, colors);
        benchmark::DoNotOptimize(out.data().data());
    }
    state.counters["psnr_dB"] = imaging::psnrRgb(photo(), out);
    state.counters["megapixels"] = photo().width() * photo().height() / 1e6;
}
BENCHMARK(BM_ColorRes)
    ->ArgsProduct({{256, 16}, {imaging::dither_code::None, imaging::dither_code::FloydSteinberg}})
    ->ArgNames({"colors", "dither"})
    ->Unit(benchmark::kMillisecond);

// The GIF Variation as the document builds it: reduce, encode into memory, decode again.
void BM_GifRoundTrip(benchmark::State& state) {
    const int colors = static_cast<int>(state.range(0));
    const int bits = colors > 16 ? 8 : 4;
    imaging::SaveOptions save;
    save.format = imaging::format::Gif;
    save.bits = bits;
    std::size_t size = 0;
    for (auto _ : state) {
        const imaging::Bitmap reduced =
            imaging::colorRes(photo(), bits, imaging::palette_kind::Optimized, imaging::dither_code::None, colors);
        const imaging::Bytes gif = imaging::saveMemory(imaging::Image::fromBitmap(reduced), save);
        const imaging::Image back = imaging::loadMemory(gif);
        benchmark::DoNotOptimize(back.first().data().data());
        size = gif.size();
    }
    state.counters["bytes"] = static_cast<double>(size);
}
BENCHMARK(BM_GifRoundTrip)->Arg(256)->Arg(16)->ArgName("colors")->Unit(benchmark::kMillisecond);

// Real pictures: a photograph whole and as a 160 x 120 thumbnail cut from its middle (a few
// thousand scattered colours, where the nearest-colour search's set-up costs most), and a
// screenshot.
const imaging::Bitmap& realPicture(int which) {
    static const imaging::Bitmap dune = imaging::loadFile(KALMIRA_BENCH_PICTURES "/dune.jpg").first();
    static const imaging::Bitmap screenshot = imaging::loadFile(KALMIRA_BENCH_PICTURES "/screenshot.png").first();
    static const imaging::Bitmap thumbnail = [] {
        imaging::Bitmap cut(160, 120, 24);
        const int left = dune.width() / 2 - 80, top = dune.height() / 2 - 60;
        for (int y = 0; y < 120; ++y)
            for (int x = 0; x < 160; ++x) cut.setPixel(x, y, dune.pixel(left + x, top + y));
        return cut;
    }();
    return which == 0 ? dune : which == 1 ? thumbnail : screenshot;
}

void BM_ColorResReal(benchmark::State& state) {
    const imaging::Bitmap& picture = realPicture(static_cast<int>(state.range(0)));
    const int colors = static_cast<int>(state.range(1));
    imaging::Bitmap out;
    for (auto _ : state) {
        out = imaging::colorRes(picture, 8, imaging::palette_kind::Optimized, imaging::dither_code::None, colors);
        benchmark::DoNotOptimize(out.data().data());
    }
    state.counters["psnr_dB"] = imaging::psnrRgb(picture, out);
}
BENCHMARK(BM_ColorResReal)
    ->ArgsProduct({{0, 1, 2}, {256, 32}})
    ->ArgNames({"picture", "colors"})
    ->Unit(benchmark::kMillisecond);

void BM_FixedPaletteOrdered(benchmark::State& state) {
    for (auto _ : state) {
        auto out = imaging::colorRes(photo(), 8, imaging::palette_kind::Netscape, imaging::dither_code::Ordered, 0);
        benchmark::DoNotOptimize(out.data().data());
    }
}
BENCHMARK(BM_FixedPaletteOrdered)->Unit(benchmark::kMillisecond);

bool writePpm(const char* path, const imaging::Bitmap& bmp) {
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << bmp.width() << ' ' << bmp.height() << "\n255\n";
    out.write(reinterpret_cast<const char*>(bmp.data().data()), static_cast<std::streamsize>(bmp.data().size()));
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    // --write-ppm FILE [WIDTH HEIGHT]: write the generated photograph for the peer comparison.
    if (argc >= 3 && std::strcmp(argv[1], "--write-ppm") == 0) {
        const int w = argc >= 5 ? std::atoi(argv[3]) : 1632;
        const int h = argc >= 5 ? std::atoi(argv[4]) : 1224;
        if (w <= 0 || h <= 0) return 2;
        return writePpm(argv[2], kalmira_bench::photoLike(w, h)) ? 0 : 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
