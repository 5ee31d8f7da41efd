#include "ops/effects.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "ops/ops_support.h"

namespace imaging::ops {

namespace {

template <typename Fn>
void effectInside(Bitmap& bitmap, const Region* region, Fn fn) {
    detail::applyInside(bitmap, region, 0, [&](Bitmap& work, const Region*) {
        detail::promoteToTrueColor(work);
        fn(work);
    });
}

}  // namespace

void halftone(Bitmap& bitmap, int type, long angle, const Region* region) {
    detail::requireImage(bitmap, "Halftone");
    if (type != kHalftonePrint && type != kHalftoneDisplay)
        detail::badArgument("Halftone", "type " + std::to_string(type) + " is neither 0 (print) nor 1 (display)");
    const double cell = type == kHalftoneDisplay ? 4.0 : 8.0;
    const double theta = static_cast<double>(angle % 36000) / 100.0 * std::numbers::pi / 180.0;
    const double c = std::cos(theta) / cell, s = std::sin(theta) / cell;
    // cos(2 pi f) for f in [-0.5, 0.5) sampled finely enough for cells of up to 8 pixels.
    constexpr int kSteps = 1024;
    std::array<double, kSteps> wave;
    for (int i = 0; i < kSteps; ++i) wave[i] = std::cos(2 * std::numbers::pi * (static_cast<double>(i) / kSteps - 0.5));
    auto waveAt = [&](double t) {
        const double f = t - std::floor(t);  // 0..1, distance from the cell centre is f - 0.5
        return wave[std::min(kSteps - 1, static_cast<int>(f * kSteps))];
    };
    effectInside(bitmap, region, [&](Bitmap& b) {
        const int bpp = b.bytesPerPixel();
        for (int y = 0; y < b.height(); ++y) {
            std::uint8_t* p = b.row(y);
            for (int x = 0; x < b.width(); ++x, p += bpp) {
                const double px = x + 0.5, py = y + 0.5;
                // +0.5 puts the cell centre at f = 0.5, where the table holds cos(0).
                const double u = px * c + py * s + 0.5, v = -px * s + py * c + 0.5;
                const double spot = (waveAt(u) + waveAt(v)) / 4.0 + 0.5;
                const int dark = 255 - detail::intensityOf(p[0], p[1], p[2]);
                const std::uint8_t out = dark > 0 && dark >= 255.0 * (1.0 - spot) ? 0 : 255;
                p[0] = p[1] = p[2] = out;
            }
        }
    });
}

void mosaic(Bitmap& bitmap, int size, const Region* region) {
    detail::requireImage(bitmap, "Mosaic");
    if (size < 1) detail::badArgument("Mosaic", "tile size " + std::to_string(size) + " is less than 1");
    effectInside(bitmap, region, [&](Bitmap& b) {
        const int n = std::min(size, std::max(b.width(), b.height()));
        const int bpp = b.bytesPerPixel();
        for (int ty = 0; ty < b.height(); ty += n)
            for (int tx = 0; tx < b.width(); tx += n) {
                const int h = std::min(n, b.height() - ty), w = std::min(n, b.width() - tx);
                std::array<std::uint64_t, 3> sum{};
                for (int y = ty; y < ty + h; ++y) {
                    const std::uint8_t* p = b.row(y) + static_cast<std::size_t>(tx) * bpp;
                    for (int x = 0; x < w; ++x, p += bpp)
                        for (int c = 0; c < 3; ++c) sum[c] += p[c];
                }
                const std::uint64_t count = static_cast<std::uint64_t>(w) * h;
                std::array<std::uint8_t, 3> mean;
                for (int c = 0; c < 3; ++c) mean[c] = static_cast<std::uint8_t>((sum[c] + count / 2) / count);
                for (int y = ty; y < ty + h; ++y) {
                    std::uint8_t* p = b.row(y) + static_cast<std::size_t>(tx) * bpp;
                    for (int x = 0; x < w; ++x, p += bpp) std::copy_n(mean.begin(), 3, p);
                }
            }
    });
}

void addNoise(Bitmap& bitmap, int range, int channel, const Region* region) {
    detail::requireImage(bitmap, "AddNoise");
    if (range < 0 || range > 1000) detail::badArgument("AddNoise", "range " + std::to_string(range) + " is outside 0..1000");
    if (channel < 0 || channel > 3) detail::badArgument("AddNoise", "channel " + std::to_string(channel) + " is outside 0..3");
    const int r = static_cast<int>(std::lround(range * 255.0 / 1000.0));
    if (r == 0) return;
    effectInside(bitmap, region, [&](Bitmap& b) {
        std::uint32_t state = 0x2545F491u;  // xorshift32: small, fast and the same everywhere
        const std::uint32_t span = static_cast<std::uint32_t>(2 * r + 1);
        const int bpp = b.bytesPerPixel();
        for (int y = 0; y < b.height(); ++y) {
            std::uint8_t* p = b.row(y);
            for (int x = 0; x < b.width(); ++x, p += bpp) {
                state ^= state << 13;
                state ^= state >> 17;
                state ^= state << 5;
                const int offset = static_cast<int>(static_cast<std::uint64_t>(state) * span >> 32) - r;
                if (channel == 0)
                    for (int c = 0; c < 3; ++c) p[c] = detail::clampByte(p[c] + offset);
                else p[channel - 1] = detail::clampByte(p[channel - 1] + offset);
            }
        }
    });
}

}  // namespace imaging::ops
