#pragma once
// Small generated inputs shared by the colour tests.

#include <cstdint>
#include <random>
#include <vector>

#include "core/bitmap.h"

namespace colortest {

// A 24-bit bitmap whose pixels cycle through `colors` in reading order.
inline imaging::Bitmap cycling(int width, int height, const std::vector<imaging::Rgb>& colors) {
    imaging::Bitmap bmp(width, height, 24);
    std::size_t k = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) bmp.setPixel(x, y, colors[k++ % colors.size()]);
    return bmp;
}

inline imaging::Bitmap flat(int width, int height, imaging::Rgb color) { return cycling(width, height, {color}); }

// Smooth two-dimensional ramps with mild noise: many colours, like a small photograph.
inline imaging::Bitmap ramps(int width, int height, unsigned seed = 7) {
    imaging::Bitmap bmp(width, height, 24);
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> noise(-4, 4);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            auto clamp = [](int v) { return v < 0 ? 0 : v > 255 ? 255 : v; };
            const int r = clamp(x * 255 / width + noise(rng));
            const int g = clamp(y * 255 / height + noise(rng));
            const int b = clamp((x + y) * 127 / (width + height) + 60 + noise(rng));
            bmp.setPixel(x, y, imaging::makeRgb(r, g, b));
        }
    return bmp;
}

}  // namespace colortest
