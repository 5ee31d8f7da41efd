#include "color/remap.h"

#include <algorithm>
#include <cmath>

#include "core/parallel.h"

namespace imaging::color {

constexpr std::size_t kParallelRemapPixels = std::size_t{1} << 16;

namespace {

void remapNearestRange(const WorkImage& image, const NearestColor& nearest, int transparentIndex, std::uint8_t* out,
                       EntrySums* sums, std::size_t begin, std::size_t end) {
    constexpr int kCacheBits = 16;
    std::vector<std::uint32_t> keys(1u << kCacheBits, 0);
    std::vector<std::uint8_t> values(1u << kCacheBits, 0);
    const std::uint8_t* p = image.rgb + 3 * begin;
    std::uint32_t lastKey = 0;
    int last = -1;
    for (std::size_t i = begin; i < end; ++i, p += 3) {
        if (image.isTransparent(i)) {
            out[i] = static_cast<std::uint8_t>(transparentIndex);
            continue;
        }
        const std::uint32_t key = (static_cast<std::uint32_t>(p[0]) | (p[1] << 8) | (p[2] << 16)) + 1;
        int idx;
        if (key == lastKey) {
            idx = last;
        } else {
            const std::uint32_t h = (key * 0x9E3779B1u) >> (32 - kCacheBits);
            if (keys[h] == key) {
                idx = values[h];
            } else {
                idx = nearest.find(p[0], p[1], p[2], last);
                keys[h] = key;
                values[h] = static_cast<std::uint8_t>(idx);
            }
            lastKey = key;
            last = idx;
        }
        out[i] = static_cast<std::uint8_t>(idx);
        if (sums) {
            sums->r[idx] += p[0];
            sums->g[idx] += p[1];
            sums->b[idx] += p[2];
            ++sums->n[idx];
        }
    }
}

}  // namespace

void remapNearest(const WorkImage& image, const NearestColor& nearest, int transparentIndex, std::uint8_t* out,
                  EntrySums* sums) {
    const std::size_t n = image.pixelCount();
    const std::size_t bands = n < kParallelRemapPixels ? 1 : static_cast<std::size_t>(workerCount());
    if (bands == 1) {
        remapNearestRange(image, nearest, transparentIndex, out, sums, 0, n);
        return;
    }
    // Every answer is the exact nearest entry and the sums are integers, so the bands' number
    // and order cannot change the result. The search fills in its cells as it goes, so each
    // band searches with a copy of its own.
    const std::size_t entries = static_cast<std::size_t>(std::max(nearest.size(), 1));
    std::vector<EntrySums> bandSums(sums ? bands : 0, EntrySums(entries));
    parallelFor(bands, [&](std::size_t b) {
        const NearestColor own(nearest);
        remapNearestRange(image, own, transparentIndex, out, sums ? &bandSums[b] : nullptr, rangeStart(n, bands, b),
                          rangeStart(n, bands, b + 1));
    });
    for (const EntrySums& part : bandSums)
        for (std::size_t k = 0; k < entries && k < sums->n.size(); ++k) {
            sums->r[k] += part.r[k];
            sums->g[k] += part.g[k];
            sums->b[k] += part.b[k];
            sums->n[k] += part.n[k];
        }
}

void remapOrdered(const WorkImage& image, const NearestColor& nearest, const float amplitude[3], int transparentIndex,
                  std::uint8_t* out) {
    std::size_t i = 0;
    int last = -1;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x, ++i) {
            if (image.isTransparent(i)) {
                out[i] = static_cast<std::uint8_t>(transparentIndex);
                continue;
            }
            // Thresholds centred on zero, from just above -1/2 to just below +1/2.
            const float t = (static_cast<float>(bayer8(x, y)) + 0.5f) / 64.0f - 0.5f;
            const std::uint8_t* p = image.rgb + 3 * i;
            int c[3];
            for (int k = 0; k < 3; ++k)
                c[k] = static_cast<int>(std::clamp(std::lround(p[k] + t * amplitude[k]), 0L, 255L));
            last = nearest.find(c[0], c[1], c[2], last);
            out[i] = static_cast<std::uint8_t>(last);
        }
}

void remapDiffused(const WorkImage& image, const NearestColor& nearest, std::span<const Rgb> colors,
                   const DiffusionKernel& kernel, int transparentIndex, std::uint8_t* out) {
    ErrorBuffer errors(image.width, kernel);
    // The wanted colours, error included, still repeat often enough for a cache to pay; the
    // whole colour is the key, so answers stay exact.
    constexpr int kCacheBits = 16;
    std::vector<std::uint32_t> keys(1u << kCacheBits, 0);
    std::vector<std::uint8_t> values(1u << kCacheBits, 0);
    int last = -1;
    for (int y = 0; y < image.height; ++y) {
        const int direction = (y & 1) ? -1 : 1;
        for (int step = 0; step < image.width; ++step) {
            const int x = direction > 0 ? step : image.width - 1 - step;
            const std::size_t i = static_cast<std::size_t>(y) * image.width + x;
            if (image.isTransparent(i)) {
                out[i] = static_cast<std::uint8_t>(transparentIndex);
                continue;
            }
            const std::uint8_t* p = image.rgb + 3 * i;
            const float* e = errors.current(x);
            float v[3];
            int c[3];
            for (int k = 0; k < 3; ++k) {
                // Clamping the wanted colour to the cube keeps error from piling up in
                // saturated areas, where no palette entry could ever pay it back.
                v[k] = std::clamp(p[k] + e[k], 0.0f, 255.0f);
                c[k] = static_cast<int>(v[k] + 0.5f);
            }
            const std::uint32_t key = (static_cast<std::uint32_t>(c[0]) | (c[1] << 8) | (c[2] << 16)) + 1;
            const std::uint32_t h = (key * 0x9E3779B1u) >> (32 - kCacheBits);
            if (keys[h] == key) {
                last = values[h];
            } else {
                last = nearest.find(c[0], c[1], c[2], last);
                keys[h] = key;
                values[h] = static_cast<std::uint8_t>(last);
            }
            out[i] = static_cast<std::uint8_t>(last);
            const Rgb chosen = colors[last];
            const float err[3] = {v[0] - redOf(chosen), v[1] - greenOf(chosen), v[2] - blueOf(chosen)};
            errors.spread(x, direction, err);
        }
        errors.advance();
    }
}

}  // namespace imaging::color
