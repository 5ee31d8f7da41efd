#include "color/dither.h"

#include <algorithm>
#include <array>
#include <cstdlib>

namespace imaging::color {

namespace {

constexpr std::array<DiffusionTap, 4> kFloydSteinberg = {{{1, 0, 7}, {-1, 1, 3}, {0, 1, 5}, {1, 1, 1}}};

constexpr std::array<DiffusionTap, 12> kStucki = {{
    {1, 0, 8}, {2, 0, 4},
    {-2, 1, 2}, {-1, 1, 4}, {0, 1, 8}, {1, 1, 4}, {2, 1, 2},
    {-2, 2, 1}, {-1, 2, 2}, {0, 2, 4}, {1, 2, 2}, {2, 2, 1},
}};

constexpr std::array<DiffusionTap, 7> kBurkes = {{
    {1, 0, 8}, {2, 0, 4},
    {-2, 1, 2}, {-1, 1, 4}, {0, 1, 8}, {1, 1, 4}, {2, 1, 2},
}};

// The three-row Sierra kernel.
constexpr std::array<DiffusionTap, 10> kSierra = {{
    {1, 0, 5}, {2, 0, 3},
    {-2, 1, 2}, {-1, 1, 4}, {0, 1, 5}, {1, 1, 4}, {2, 1, 2},
    {-1, 2, 2}, {0, 2, 3}, {1, 2, 2},
}};

constexpr std::array<DiffusionTap, 12> kStevensonArce = {{
    {2, 0, 32},
    {-3, 1, 12}, {-1, 1, 26}, {1, 1, 30}, {3, 1, 16},
    {-2, 2, 12}, {0, 2, 26}, {2, 2, 12},
    {-3, 3, 5}, {-1, 3, 12}, {1, 3, 12}, {3, 3, 5},
}};

constexpr std::array<DiffusionTap, 12> kJarvisJudiceNinke = {{
    {1, 0, 7}, {2, 0, 5},
    {-2, 1, 3}, {-1, 1, 5}, {0, 1, 7}, {1, 1, 5}, {2, 1, 3},
    {-2, 2, 1}, {-1, 2, 3}, {0, 2, 5}, {1, 2, 3}, {2, 2, 1},
}};

const DiffusionKernel kKernels[] = {
    {kFloydSteinberg, 16}, {kStucki, 42}, {kBurkes, 32}, {kSierra, 32}, {kStevensonArce, 200}, {kJarvisJudiceNinke, 48},
};

}  // namespace

int DiffusionKernel::rows() const {
    int r = 0;
    for (const DiffusionTap& t : taps) r = std::max(r, t.dy);
    return r + 1;
}

int DiffusionKernel::reach() const {
    int r = 0;
    for (const DiffusionTap& t : taps) r = std::max(r, std::abs(t.dx));
    return r;
}

const DiffusionKernel* diffusionKernel(int ditherCode) {
    if (ditherCode < 1 || ditherCode > 6) return nullptr;
    return &kKernels[ditherCode - 1];
}

ErrorBuffer::ErrorBuffer(int width, const DiffusionKernel& kernel)
    : kernel_(kernel),
      pad_(kernel.reach()),
      rowCount_(kernel.rows()),
      rowSize_(static_cast<std::size_t>(width + 2 * pad_) * 3),
      rows_(rowSize_ * rowCount_, 0.0f) {
    for (const DiffusionTap& t : kernel.taps) weights_.push_back(static_cast<float>(t.weight) / kernel.divisor);
}

void ErrorBuffer::spread(int x, int direction, const float* error) {
    for (std::size_t k = 0; k < kernel_.taps.size(); ++k) {
        const DiffusionTap& t = kernel_.taps[k];
        // Shares that fall beyond the edges land in the padding and are dropped with it.
        float* p = row(t.dy) + 3 * (x + direction * t.dx + pad_);
        const float w = weights_[k];
        p[0] += error[0] * w;
        p[1] += error[1] * w;
        p[2] += error[2] * w;
    }
}

void ErrorBuffer::advance() {
    std::fill_n(row(0), rowSize_, 0.0f);
    first_ = (first_ + 1) % rowCount_;
}

int bayer8(int x, int y) {
    // Built by interleaving the bits of x ^ y and y, which is the recursive Bayer construction.
    const int a = (x ^ y) & 7, b = y & 7;
    return ((a & 1) << 5) | ((b & 1) << 4) | ((a & 2) << 2) | ((b & 2) << 1) | ((a & 4) >> 1) | ((b & 4) >> 2);
}

}  // namespace imaging::color
