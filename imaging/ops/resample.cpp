// Separable Lanczos-3 resampling for Size with the resample flag.

#include <cmath>
#include <numbers>
#include <vector>

#include "ops/ops_support.h"

namespace imaging::ops::detail {

namespace {

double sinc(double x) {
    if (x == 0.0) return 1.0;
    const double px = std::numbers::pi * x;
    return std::sin(px) / px;
}

double lanczos3(double x) { return std::abs(x) < 3.0 ? sinc(x) * sinc(x / 3.0) : 0.0; }

// For every output sample: the first source index and the normalised weights. When
// shrinking, the kernel is stretched by the reduction factor so it acts as a low-pass filter
// and no source pixel is skipped (that is what keeps downscaled images free of aliasing).
struct Contributions {
    std::vector<int> first;
    std::vector<int> count;
    std::vector<float> weights;  // count[i] entries per output sample, packed at offset[i]
    std::vector<std::size_t> offset;
};

Contributions contributions(int sourceSize, int targetSize) {
    Contributions c;
    const double scale = static_cast<double>(sourceSize) / targetSize;
    const double stretch = std::max(1.0, scale);
    const double support = 3.0 * stretch;
    c.first.resize(targetSize);
    c.count.resize(targetSize);
    c.offset.resize(targetSize);
    for (int i = 0; i < targetSize; ++i) {
        const double centre = (i + 0.5) * scale;
        // Taps beyond the edge are left out and the rest renormalised, rather than repeating
        // the edge pixel, which would weigh it several times over.
        const int from = std::max(0, static_cast<int>(std::floor(centre - support)));
        const int to = std::min(sourceSize - 1, static_cast<int>(std::ceil(centre + support)));
        c.first[i] = from;
        c.offset[i] = c.weights.size();
        double sum = 0;
        for (int j = from; j <= to; ++j) {
            const double w = lanczos3((j + 0.5 - centre) / stretch);
            c.weights.push_back(static_cast<float>(w));
            sum += w;
        }
        c.count[i] = to - from + 1;
        if (sum != 0)
            for (int k = 0; k < c.count[i]; ++k) c.weights[c.offset[i] + k] = static_cast<float>(c.weights[c.offset[i] + k] / sum);
    }
    return c;
}

}  // namespace

// `source` is 24 or 32 bits. At 32 bits the colour is weighted by alpha (premultiplied) so
// that the colour of fully transparent pixels does not bleed into their neighbours.
Bitmap lanczosResize(const Bitmap& source, int width, int height) {
    const int channels = source.bytesPerPixel();
    const int sw = source.width(), sh = source.height();
    const bool alpha = channels == 4;
    // Source as floats, premultiplied at 32 bits.
    std::vector<float> in(static_cast<std::size_t>(sw) * sh * channels);
    for (int y = 0; y < sh; ++y) {
        const std::uint8_t* s = source.row(y);
        float* d = in.data() + static_cast<std::size_t>(y) * sw * channels;
        for (int x = 0; x < sw; ++x, s += channels, d += channels) {
            const float a = alpha ? s[3] / 255.0f : 1.0f;
            for (int c = 0; c < 3; ++c) d[c] = s[c] * a;
            if (alpha) d[3] = s[3];
        }
    }
    // Horizontal pass: sh rows of width samples.
    const Contributions hx = contributions(sw, width);
    std::vector<float> mid(static_cast<std::size_t>(width) * sh * channels);
    for (int y = 0; y < sh; ++y) {
        const float* row = in.data() + static_cast<std::size_t>(y) * sw * channels;
        float* d = mid.data() + static_cast<std::size_t>(y) * width * channels;
        for (int x = 0; x < width; ++x, d += channels) {
            float acc[4] = {0, 0, 0, 0};
            const float* w = hx.weights.data() + hx.offset[x];
            for (int k = 0; k < hx.count[x]; ++k) {
                const int sx = hx.first[x] + k;
                const float* p = row + static_cast<std::size_t>(sx) * channels;
                for (int c = 0; c < channels; ++c) acc[c] += w[k] * p[c];
            }
            for (int c = 0; c < channels; ++c) d[c] = acc[c];
        }
    }
    // Vertical pass straight into the result.
    const Contributions vy = contributions(sh, height);
    Bitmap out(width, height, source.bits());
    out.userPalette() = source.userPalette();
    out.setTransparent(source.transparent());
    out.setTransparentColor(source.transparentColor());
    std::vector<float> acc(static_cast<std::size_t>(width) * channels);
    for (int y = 0; y < height; ++y) {
        std::fill(acc.begin(), acc.end(), 0.0f);
        const float* w = vy.weights.data() + vy.offset[y];
        for (int k = 0; k < vy.count[y]; ++k) {
            const int sy = vy.first[y] + k;
            const float* row = mid.data() + static_cast<std::size_t>(sy) * width * channels;
            const float wk = w[k];
            for (std::size_t i = 0; i < acc.size(); ++i) acc[i] += wk * row[i];
        }
        std::uint8_t* d = out.row(y);
        for (int x = 0; x < width; ++x, d += channels) {
            const float* a = acc.data() + static_cast<std::size_t>(x) * channels;
            if (alpha) {
                const float al = std::clamp(a[3], 0.0f, 255.0f);
                d[3] = clampByte(static_cast<double>(al));
                const float unscale = al > 0.0f ? 255.0f / al : 0.0f;
                for (int c = 0; c < 3; ++c) d[c] = clampByte(static_cast<double>(a[c] * unscale));
            } else {
                for (int c = 0; c < 3; ++c) d[c] = clampByte(static_cast<double>(a[c]));
            }
        }
    }
    return out;
}

}  // namespace imaging::ops::detail
