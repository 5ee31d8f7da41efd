// Round trips (encode + decode in memory) of a 2-megapixel photo-like picture through the
// main codecs, beside bare libjpeg-turbo doing the same JPEG work on the same pixels, so the
// cost of our layer shows as the ratio of the two in one run.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

#include "codecs/jpeg_codec.h"
#include "codecs/registry.h"

namespace {

using namespace imaging;

constexpr int kWidth = 1632;  // 1632 x 1224 = 2.0 megapixels, a 4:3 camera frame
constexpr int kHeight = 1224;
constexpr int kQualityFactor = 56;  // the default profile's quality of 200

// Smooth gradients, a fine texture and noise, as a photograph has: flat colour would
// flatter every codec.
const Bitmap& photo() {
    static const Bitmap picture = [] {
        Bitmap b(kWidth, kHeight, 24);
        std::uint32_t state = 2024;
        for (int y = 0; y < kHeight; ++y) {
            std::uint8_t* p = b.row(y);
            for (int x = 0; x < kWidth; ++x, p += 3) {
                state = state * 1664525u + 1013904223u;
                const double noise = static_cast<double>((state >> 24) & 15) - 7.5;
                const double fx = x / static_cast<double>(kWidth), fy = y / static_cast<double>(kHeight);
                const double texture = 12 * std::sin(x * 0.31 + std::sin(y * 0.07) * 3) * std::cos(y * 0.23);
                const double r = 200 * fx + 40 * std::sin(fy * 9) + texture + noise;
                const double g = 60 + 120 * fy * (1 - fx) + 30 * std::cos(fx * 13 + fy * 5) + texture + noise;
                const double bl = 90 + 80 * std::sin(fx * 4 + fy * 3) + 0.5 * texture + noise;
                p[0] = static_cast<std::uint8_t>(std::clamp(r, 0.0, 255.0));
                p[1] = static_cast<std::uint8_t>(std::clamp(g, 0.0, 255.0));
                p[2] = static_cast<std::uint8_t>(std::clamp(bl, 0.0, 255.0));
            }
        }
        return b;
    }();
    return picture;
}

// An 8-bit palette version (a 6x7x6 cube), for the palette formats.
const Bitmap& palettePhoto() {
    static const Bitmap picture = [] {
        const Bitmap& src = photo();
        Bitmap b(kWidth, kHeight, 8);
        for (int i = 0; i < 252; ++i) b.palette()[i] = makeRgb(i / 42 * 51, i / 6 % 7 * 42, i % 6 * 51);
        for (int y = 0; y < kHeight; ++y) {
            const std::uint8_t* s = src.row(y);
            std::uint8_t* d = b.row(y);
            for (int x = 0; x < kWidth; ++x, s += 3)
                d[x] = static_cast<std::uint8_t>((s[0] * 5 + 127) / 255 * 42 + (s[1] * 6 + 127) / 255 * 6 + (s[2] * 5 + 127) / 255);
        }
        return b;
    }();
    return picture;
}

void roundTrip(benchmark::State& state, const Bitmap& bitmap, SaveOptions options) {
    const Image image = Image::fromBitmap(bitmap);
    LoadOptions one;
    one.pageCount = 1;
    std::size_t size = 0;
    for (auto _ : state) {
        const Bytes file = saveMemory(image, options);
        const ImageInfo info = readInfo(file);
        Image back = loadMemory(file, one);
        benchmark::DoNotOptimize(back.first().data().data());
        benchmark::DoNotOptimize(info.memorySize);
        size = file.size();
    }
    state.counters["bytes"] = static_cast<double>(size);
}

void BM_Jpeg_Kalmira(benchmark::State& state) {
    SaveOptions o;
    o.format = static_cast<int>(state.range(0));
    o.qualityFactor = kQualityFactor;
    roundTrip(state, photo(), o);
}

// The same work on bare libjpeg-turbo: compress with optimised Huffman tables into memory,
// decompress into a buffer of the same layout.
void BM_Jpeg_Libjpeg(benchmark::State& state) {
    const Bitmap& bitmap = photo();
    const int format = static_cast<int>(state.range(0));
    const int h = format == format::Jpeg444 ? 1 : 2, v = format == format::Jpeg411 ? 2 : 1;
    const int quality = JpegCodec::libjpegQuality(kQualityFactor);
    std::vector<std::uint8_t> decoded(static_cast<std::size_t>(kWidth) * kHeight * 3);
    std::size_t size = 0;
    for (auto _ : state) {
        jpeg_compress_struct c{};
        jpeg_error_mgr cerr{};
        c.err = jpeg_std_error(&cerr);
        jpeg_create_compress(&c);
        unsigned char* buffer = nullptr;
        unsigned long length = 0;
        jpeg_mem_dest(&c, &buffer, &length);
        c.image_width = kWidth;
        c.image_height = kHeight;
        c.input_components = 3;
        c.in_color_space = JCS_RGB;
        jpeg_set_defaults(&c);
        jpeg_set_quality(&c, quality, TRUE);
        c.optimize_coding = TRUE;
        c.comp_info[0].h_samp_factor = h;
        c.comp_info[0].v_samp_factor = v;
        jpeg_start_compress(&c, TRUE);
        while (c.next_scanline < c.image_height) {
            JSAMPROW row = const_cast<JSAMPROW>(bitmap.row(static_cast<int>(c.next_scanline)));
            jpeg_write_scanlines(&c, &row, 1);
        }
        jpeg_finish_compress(&c);
        jpeg_destroy_compress(&c);

        jpeg_decompress_struct d{};
        jpeg_error_mgr derr{};
        d.err = jpeg_std_error(&derr);
        jpeg_create_decompress(&d);
        jpeg_mem_src(&d, buffer, length);
        jpeg_read_header(&d, TRUE);
        d.out_color_space = JCS_RGB;
        jpeg_start_decompress(&d);
        while (d.output_scanline < d.output_height) {
            JSAMPROW row = decoded.data() + static_cast<std::size_t>(d.output_scanline) * kWidth * 3;
            jpeg_read_scanlines(&d, &row, 1);
        }
        jpeg_finish_decompress(&d);
        jpeg_destroy_decompress(&d);
        benchmark::DoNotOptimize(decoded.data());
        size = length;
        std::free(buffer);
    }
    state.counters["bytes"] = static_cast<double>(size);
}

void BM_JpegProgressive_Kalmira(benchmark::State& state) {
    SaveOptions o;
    o.format = format::Jpeg444;
    o.qualityFactor = kQualityFactor;
    o.passes = static_cast<int>(state.range(0));
    roundTrip(state, photo(), o);
}

void BM_Png24_Kalmira(benchmark::State& state) {
    SaveOptions o;
    o.format = format::Png;
    roundTrip(state, photo(), o);
}

void BM_Png8_Kalmira(benchmark::State& state) {
    SaveOptions o;
    o.format = format::Png;
    roundTrip(state, palettePhoto(), o);
}

void BM_Gif8_Kalmira(benchmark::State& state) {
    SaveOptions o;
    o.format = format::Gif;
    roundTrip(state, palettePhoto(), o);
}

void BM_Bmp24_Kalmira(benchmark::State& state) {
    SaveOptions o;
    o.format = format::BmpWindows;
    roundTrip(state, photo(), o);
}

void BM_BmpRle8_Kalmira(benchmark::State& state) {
    SaveOptions o;
    o.format = format::BmpRle;
    roundTrip(state, palettePhoto(), o);
}

void BM_TiffLzw24_Kalmira(benchmark::State& state) {
    SaveOptions o;
    o.format = format::TiffCompressed;
    roundTrip(state, photo(), o);
}

}  // namespace

BENCHMARK(BM_Jpeg_Kalmira)->Arg(imaging::format::Jpeg444)->Arg(imaging::format::Jpeg411)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Jpeg_Libjpeg)->Arg(imaging::format::Jpeg444)->Arg(imaging::format::Jpeg411)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JpegProgressive_Kalmira)->Arg(2)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Png24_Kalmira)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Png8_Kalmira)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Gif8_Kalmira)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Bmp24_Kalmira)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BmpRle8_Kalmira)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TiffLzw24_Kalmira)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
