// Peak heap of one Variation round trip (colour reduction, encoding into memory, decoding
// again) of a 2-megapixel 24-bit photograph, above what holding the Original costs. A
// counting allocator sees every byte the engine and the codec libraries allocate through
// malloc, the codec libraries' buffers included; /usr/bin/time -v on kalmira-cli convert
// is the cross-check from outside. The goal: under 3x the image's
// 24-bit size. Counters: peak_MB and peak_x24 (peak / the 24-bit size).

#include <benchmark/benchmark.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>

#include <malloc.h>

#include "codecs/registry.h"
#include "color/colorres.h"
#include "photo_like.h"

namespace {

std::atomic<std::size_t> gCurrent{0};
std::atomic<std::size_t> gPeak{0};

void count(void* p) {
    if (!p) return;
    const std::size_t n = malloc_usable_size(p);
    const std::size_t now = gCurrent.fetch_add(n) + n;
    std::size_t peak = gPeak.load();
    while (now > peak && !gPeak.compare_exchange_weak(peak, now)) {
    }
}

void uncount(void* p) {
    if (p) gCurrent.fetch_sub(malloc_usable_size(p));
}

}  // namespace

// glibc's allocator under a counting layer. Defined in the program, these take the place of
// malloc for every library it loads, so libjpeg's, libpng's and giflib's buffers count too;
// operator new allocates through malloc.
extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void* __libc_memalign(std::size_t, std::size_t);
void __libc_free(void*);

void* malloc(std::size_t n) {
    void* p = __libc_malloc(n);
    count(p);
    return p;
}
void* calloc(std::size_t k, std::size_t n) {
    void* p = __libc_calloc(k, n);
    count(p);
    return p;
}
void* realloc(void* old, std::size_t n) {
    uncount(old);
    void* p = __libc_realloc(old, n);
    count(p ? p : (n == 0 ? nullptr : old));
    return p;
}
void free(void* p) {
    uncount(p);
    __libc_free(p);
}
void* memalign(std::size_t align, std::size_t n) {
    void* p = __libc_memalign(align, n);
    count(p);
    return p;
}
void* aligned_alloc(std::size_t align, std::size_t n) { return memalign(align, n); }
int posix_memalign(void** out, std::size_t align, std::size_t n) {
    *out = memalign(align, n);
    return *out || n == 0 ? 0 : ENOMEM;
}
}

namespace {

constexpr int kWidth = 1632, kHeight = 1224;  // 2 megapixels

const imaging::Bitmap& original() {
    static const imaging::Bitmap bmp = kalmira_bench::photoLike(kWidth, kHeight);
    return bmp;
}

// The Variation's picture starts as a copy of the Original (as the document makes it before
// the trip) and goes through colour reduction, encoding into memory and decoding, each result
// taking the place of what it came from, as in the document. The picture is part of the
// baseline, since the document holds one before and after the trip; counted as part of the
// trip (a trip from the Original alone), it adds the 24-bit size at most: peak_x24 + 1.
// state.range(0): engine format number; range(1): bits.
void BM_VariationPeakMemory(benchmark::State& state) {
    const int format = static_cast<int>(state.range(0));
    const int bits = static_cast<int>(state.range(1));
    const double size24 = 3.0 * kWidth * kHeight;
    // The whole trip's peak and each step's, all above the heap before the trip.
    std::size_t peak = 0, reducePeak = 0, encodePeak = 0, decodePeak = 0;
    auto stepPeak = [](std::size_t base, std::size_t& into) {
        const std::size_t top = gPeak.load();
        into = std::max(into, top > base ? top - base : 0);
        gPeak.store(gCurrent.load());
        return into;
    };
    for (auto _ : state) {
        imaging::Bitmap picture = original();
        const std::size_t base = gCurrent.load();
        gPeak.store(base);
        std::size_t tripPeak = 0;
        {
            picture = bits > 8 ? imaging::colorRes(std::move(picture), bits, 0, 0, 0)
                               : imaging::colorRes(std::move(picture), bits, imaging::palette_kind::Optimized,
                                                   imaging::dither_code::None, 0);
            tripPeak = std::max(tripPeak, stepPeak(base, reducePeak));
            imaging::SaveOptions save;
            save.format = format;
            save.bits = bits;
            save.qualityFactor = 56;
            imaging::Image image = imaging::Image::fromBitmap(std::move(picture));
            const imaging::Bytes encoded = imaging::saveMemory(image, save);
            picture = std::move(image.first());
            tripPeak = std::max(tripPeak, stepPeak(base, encodePeak));
            // The document keeps the encoded bytes, and the decoded picture replaces the reduced one.
            picture = std::move(imaging::loadMemory(encoded).first());
            tripPeak = std::max(tripPeak, stepPeak(base, decodePeak));
            benchmark::DoNotOptimize(picture);
        }
        peak = std::max(peak, tripPeak);
    }
    state.counters["reduce_MB"] = static_cast<double>(reducePeak) / 1e6;
    state.counters["encode_MB"] = static_cast<double>(encodePeak) / 1e6;
    state.counters["decode_MB"] = static_cast<double>(decodePeak) / 1e6;
    state.counters["peak_MB"] = static_cast<double>(peak) / 1e6;
    state.counters["peak_x24"] = static_cast<double>(peak) / size24;
}

}  // namespace

BENCHMARK(BM_VariationPeakMemory)
    ->Args({imaging::format::Gif, 8})
    ->Args({imaging::format::Jpeg444, 24})
    ->Args({imaging::format::Png, 24})
    ->Args({imaging::format::BmpWindows, 24})
    ->ArgNames({"format", "bits"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);

BENCHMARK_MAIN();
