#include "ops/filters.h"

#include <array>
#include <cstdlib>
#include <string>
#include <vector>

#include "ops/ops_support.h"

namespace imaging::ops {

namespace {

void checkKernel(const char* op, int size) {
    if (size < 1 || size > kMaxKernelSize)
        detail::badArgument(op, "window size " + std::to_string(size) + " is outside 1.." + std::to_string(kMaxKernelSize));
}

// Source column (or row) for every padded position -before .. length - 1 + after, clamped
// to the edge: index i + before holds the clamped coordinate of i.
std::vector<int> clampedIndex(int length, int before, int after) {
    std::vector<int> idx(static_cast<std::size_t>(length) + before + after);
    for (int i = 0; i < static_cast<int>(idx.size()); ++i) idx[i] = std::clamp(i - before, 0, length - 1);
    return idx;
}

void averageTrueColor(Bitmap& bmp, int n) {
    const int w = bmp.width(), h = bmp.height(), bpp = bmp.bytesPerPixel();
    const int before = n / 2, after = n - 1 - before;
    const std::vector<int> xs = clampedIndex(w, before, after), ys = clampedIndex(h, before, after);
    // Horizontal running sums per row, then vertical running sums per column.
    std::vector<std::uint32_t> rows(static_cast<std::size_t>(w) * h * 3);
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* s = bmp.row(y);
        std::uint32_t* d = rows.data() + static_cast<std::size_t>(y) * w * 3;
        for (int c = 0; c < 3; ++c) {
            std::uint32_t sum = 0;
            for (int k = 0; k < n; ++k) sum += s[xs[k] * bpp + c];
            d[c] = sum;
            for (int x = 1; x < w; ++x) {
                sum += s[xs[x + n - 1] * bpp + c];
                sum -= s[xs[x - 1] * bpp + c];
                d[x * 3 + c] = sum;
            }
        }
    }
    const std::uint32_t area = static_cast<std::uint32_t>(n) * n;
    std::vector<std::uint64_t> sums(static_cast<std::size_t>(w) * 3, 0);
    for (int k = 0; k < n; ++k) {
        const std::uint32_t* r = rows.data() + static_cast<std::size_t>(ys[k]) * w * 3;
        for (std::size_t i = 0; i < sums.size(); ++i) sums[i] += r[i];
    }
    for (int y = 0; y < h; ++y) {
        if (y > 0) {
            const std::uint32_t* add = rows.data() + static_cast<std::size_t>(ys[y + n - 1]) * w * 3;
            const std::uint32_t* sub = rows.data() + static_cast<std::size_t>(ys[y - 1]) * w * 3;
            for (std::size_t i = 0; i < sums.size(); ++i) sums[i] = sums[i] + add[i] - sub[i];
        }
        std::uint8_t* d = bmp.row(y);
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c)
                d[x * bpp + c] = static_cast<std::uint8_t>((sums[x * 3 + c] + area / 2) / area);
    }
}

// The colour channels of a bitmap padded by `before`/`after` copies of the edge on every
// side, interleaved R, G, B: what the running-window filters slide over.
struct Padded {
    int width = 0;  // padded width
    std::vector<std::uint8_t> rgb;
    const std::uint8_t* at(int px, int py) const { return rgb.data() + (static_cast<std::size_t>(py) * width + px) * 3; }
};

Padded padded(const Bitmap& bmp, int before, int after) {
    const std::vector<int> xs = clampedIndex(bmp.width(), before, after), ys = clampedIndex(bmp.height(), before, after);
    Padded p;
    p.width = static_cast<int>(xs.size());
    p.rgb.resize(xs.size() * ys.size() * 3);
    const int bpp = bmp.bytesPerPixel();
    std::uint8_t* d = p.rgb.data();
    for (int y : ys) {
        const std::uint8_t* s = bmp.row(y);
        for (int x : xs) {
            d[0] = s[x * bpp];
            d[1] = s[x * bpp + 1];
            d[2] = s[x * bpp + 2];
            d += 3;
        }
    }
    return p;
}

void medianTrueColor(Bitmap& bmp, int n) {
    const int w = bmp.width(), h = bmp.height(), bpp = bmp.bytesPerPixel();
    const int before = n / 2, after = n - 1 - before;
    const Padded p = padded(bmp, before, after);
    const int rank = (n * n - 1) / 2;  // zero-based rank of the (lower) median
    std::array<std::array<int, 256>, 3> hist;
    for (int y = 0; y < h; ++y) {
        for (auto& hc : hist) hc.fill(0);
        for (int wy = 0; wy < n; ++wy)
            for (int wx = 0; wx < n; ++wx) {
                const std::uint8_t* q = p.at(wx, y + wy);
                for (int c = 0; c < 3; ++c) ++hist[c][q[c]];
            }
        // Per channel: the median m and the count of window values below it.
        std::array<int, 3> m{}, below{};
        for (int c = 0; c < 3; ++c) {
            int count = 0, v = 0;
            while (count + hist[c][v] <= rank) count += hist[c][v++];
            m[c] = v;
            below[c] = count;
        }
        std::uint8_t* d = bmp.row(y);
        for (int x = 0;; ++x) {
            for (int c = 0; c < 3; ++c) d[x * bpp + c] = static_cast<std::uint8_t>(m[c]);
            if (x + 1 == w) break;
            // Slide right: drop column x, take column x + n.
            for (int wy = 0; wy < n; ++wy) {
                const std::uint8_t* out = p.at(x, y + wy);
                const std::uint8_t* in = p.at(x + n, y + wy);
                for (int c = 0; c < 3; ++c) {
                    --hist[c][out[c]];
                    if (out[c] < m[c]) --below[c];
                    ++hist[c][in[c]];
                    if (in[c] < m[c]) ++below[c];
                }
            }
            for (int c = 0; c < 3; ++c) {
                auto& hc = hist[c];
                while (below[c] > rank) below[c] -= hc[--m[c]];
                while (below[c] + hc[m[c]] <= rank) below[c] += hc[m[c]++];
            }
        }
    }
}

void oilifyTrueColor(Bitmap& bmp, int n) {
    constexpr int kBins = 32;
    const int w = bmp.width(), h = bmp.height(), bpp = bmp.bytesPerPixel();
    const int before = n / 2, after = n - 1 - before;
    const Padded p = padded(bmp, before, after);
    std::vector<std::uint8_t> bins(p.rgb.size() / 3);
    for (std::size_t i = 0; i < bins.size(); ++i)
        bins[i] = static_cast<std::uint8_t>(detail::intensityOf(p.rgb[3 * i], p.rgb[3 * i + 1], p.rgb[3 * i + 2]) >> 3);
    auto binAt = [&](int px, int py) { return bins[static_cast<std::size_t>(py) * p.width + px]; };
    std::array<int, kBins> count;
    std::array<std::array<std::uint32_t, 3>, kBins> sum;
    auto add = [&](int px, int py, int sign) {
        const int b = binAt(px, py);
        const std::uint8_t* q = p.at(px, py);
        count[b] += sign;
        for (int c = 0; c < 3; ++c) sum[b][c] += static_cast<std::uint32_t>(sign * q[c]);
    };
    for (int y = 0; y < h; ++y) {
        count.fill(0);
        for (auto& s : sum) s.fill(0);
        for (int wy = 0; wy < n; ++wy)
            for (int wx = 0; wx < n; ++wx) add(wx, y + wy, 1);
        std::uint8_t* d = bmp.row(y);
        for (int x = 0;; ++x) {
            int best = 0;
            for (int b = 1; b < kBins; ++b)
                if (count[b] > count[best]) best = b;
            const std::uint32_t k = static_cast<std::uint32_t>(count[best]);
            for (int c = 0; c < 3; ++c) d[x * bpp + c] = static_cast<std::uint8_t>((sum[best][c] + k / 2) / k);
            if (x + 1 == w) break;
            for (int wy = 0; wy < n; ++wy) {
                add(x, y + wy, -1);
                add(x + n, y + wy, 1);
            }
        }
    }
}

// 3 x 3 kernel per colour channel: v' = clamp(|sum(k * p)| / divisor).
void convolve3(Bitmap& bmp, const std::array<int, 9>& k, int divisor, bool absolute) {
    const int w = bmp.width(), h = bmp.height(), bpp = bmp.bytesPerPixel();
    const Padded p = padded(bmp, 1, 1);
    for (int y = 0; y < h; ++y) {
        std::uint8_t* d = bmp.row(y);
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c) {
                int s = 0;
                for (int j = 0; j < 3; ++j)
                    for (int i = 0; i < 3; ++i) s += k[j * 3 + i] * p.at(x + i, y + j)[c];
                if (absolute) s = std::abs(s);
                d[x * bpp + c] = detail::clampByte((s + (s >= 0 ? divisor / 2 : -divisor / 2)) / divisor);
            }
    }
}

template <typename Fn>
void filterInside(Bitmap& bitmap, const Region* region, int margin, Fn fn) {
    detail::applyInside(bitmap, region, margin, [&](Bitmap& work, const Region*) {
        detail::promoteToTrueColor(work);
        fn(work);
    });
}

}  // namespace

void average(Bitmap& bitmap, int size, const Region* region) {
    detail::requireImage(bitmap, "Average");
    checkKernel("Average", size);
    filterInside(bitmap, region, size, [&](Bitmap& b) { averageTrueColor(b, size); });
}

void median(Bitmap& bitmap, int size, const Region* region) {
    detail::requireImage(bitmap, "Median");
    checkKernel("Median", size);
    filterInside(bitmap, region, size, [&](Bitmap& b) { medianTrueColor(b, size); });
}

void oilify(Bitmap& bitmap, int size, const Region* region) {
    detail::requireImage(bitmap, "Oilify");
    checkKernel("Oilify", size);
    filterInside(bitmap, region, size, [&](Bitmap& b) { oilifyTrueColor(b, size); });
}

void sharpen(Bitmap& bitmap, int value, const Region* region) {
    detail::requireImage(bitmap, "Sharpen");
    if (value < -1000 || value > 1000) detail::badArgument("Sharpen", "value " + std::to_string(value) + " is outside -1000..1000");
    if (value == 0) return;
    filterInside(bitmap, region, 1, [&](Bitmap& b) {
        const Bitmap original = b;
        convolve3(b, {1, 2, 1, 2, 4, 2, 1, 2, 1}, 16, false);
        const int bpp = b.bytesPerPixel();
        for (int y = 0; y < b.height(); ++y) {
            const std::uint8_t* o = original.row(y);
            std::uint8_t* d = b.row(y);
            for (int x = 0; x < b.width(); ++x)
                for (int c = 0; c < 3; ++c) {
                    const int v = o[x * bpp + c], blur = d[x * bpp + c];
                    const double out = value > 0 ? v + (v - blur) * value / 250.0 : v + (blur - v) * -value / 1000.0;
                    d[x * bpp + c] = detail::clampByte(out);
                }
        }
    });
}

void emboss(Bitmap& bitmap, int direction, int depth, const Region* region) {
    detail::requireImage(bitmap, "Emboss");
    if (direction < 0 || direction > 7) detail::badArgument("Emboss", "direction " + std::to_string(direction) + " is outside 0..7");
    if (depth < 0 || depth > 1000) detail::badArgument("Emboss", "depth " + std::to_string(depth) + " is outside 0..1000");
    static constexpr int kDx[8] = {0, 1, 1, 1, 0, -1, -1, -1};
    static constexpr int kDy[8] = {-1, -1, 0, 1, 1, 1, 0, -1};
    filterInside(bitmap, region, 1, [&](Bitmap& b) {
        const Padded p = padded(b, 1, 1);
        auto luma = [&](int px, int py) {
            const std::uint8_t* q = p.at(px, py);
            return detail::intensityOf(q[0], q[1], q[2]);
        };
        const int bpp = b.bytesPerPixel(), dx = kDx[direction], dy = kDy[direction];
        for (int y = 0; y < b.height(); ++y) {
            std::uint8_t* d = b.row(y);
            for (int x = 0; x < b.width(); ++x) {
                const int diff = luma(x + 1 + dx, y + 1 + dy) - luma(x + 1 - dx, y + 1 - dy);
                const std::uint8_t v = detail::clampByte(128.0 + diff * depth / 100.0);
                d[x * bpp] = d[x * bpp + 1] = d[x * bpp + 2] = v;
            }
        }
    });
}

void spatialFilter(Bitmap& bitmap, int kind, const Region* region) {
    detail::requireImage(bitmap, "SpatialFilter");
    std::array<int, 9> k;
    switch (kind) {
    case kSobelHorizontal: k = {-1, -2, -1, 0, 0, 0, 1, 2, 1}; break;
    case kSobelVertical: k = {-1, 0, 1, -2, 0, 2, -1, 0, 1}; break;
    case kPrewittHorizontal: k = {-1, -1, -1, 0, 0, 0, 1, 1, 1}; break;
    case kPrewittVertical: k = {-1, 0, 1, -1, 0, 1, -1, 0, 1}; break;
    case kLineHorizontal: k = {-1, -1, -1, 2, 2, 2, -1, -1, -1}; break;
    case kLineVertical: k = {-1, 2, -1, -1, 2, -1, -1, 2, -1}; break;
    case kLineLeftToRight: k = {2, -1, -1, -1, 2, -1, -1, -1, 2}; break;
    case kLineRightToLeft: k = {-1, -1, 2, -1, 2, -1, 2, -1, -1}; break;
    default: detail::badArgument("SpatialFilter", "unknown filter kind " + std::to_string(kind));
    }
    filterInside(bitmap, region, 1, [&](Bitmap& b) { convolve3(b, k, 1, true); });
}

}  // namespace imaging::ops
