#pragma once
// Tiny bitmaps written out pixel by pixel, for known-answer tests.

#include <initializer_list>
#include <vector>

#include "core/bitmap.h"

namespace opstest {

using imaging::Bitmap;
using imaging::Rgb;

// A 24-bit bitmap from rows of colours.
inline Bitmap rgbImage(std::initializer_list<std::initializer_list<Rgb>> rows) {
    const int h = static_cast<int>(rows.size());
    const int w = static_cast<int>(rows.begin()->size());
    Bitmap b(w, h, 24);
    int y = 0;
    for (const auto& row : rows) {
        int x = 0;
        for (Rgb c : row) b.setPixel(x++, y, c);
        ++y;
    }
    return b;
}

inline Rgb grey(int v) { return imaging::makeRgb(v, v, v); }

// A 24-bit bitmap of grey levels.
inline Bitmap greyImage(std::initializer_list<std::initializer_list<int>> rows) {
    const int h = static_cast<int>(rows.size());
    const int w = static_cast<int>(rows.begin()->size());
    Bitmap b(w, h, 24);
    int y = 0;
    for (const auto& row : rows) {
        int x = 0;
        for (int v : row) b.setPixel(x++, y, grey(v));
        ++y;
    }
    return b;
}

// The colours of a bitmap row by row (palette looked up).
inline std::vector<Rgb> colours(const Bitmap& b) {
    std::vector<Rgb> out;
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x) out.push_back(b.pixel(x, y));
    return out;
}

// The red channel of a grey bitmap row by row.
inline std::vector<int> greys(const Bitmap& b) {
    std::vector<int> out;
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x) out.push_back(imaging::redOf(b.pixel(x, y)));
    return out;
}

// Deterministic pseudo-random 24-bit bitmap.
inline Bitmap noiseImage(int w, int h, unsigned seed = 12345) {
    Bitmap b(w, h, 24);
    for (auto& v : b.data()) {
        seed = seed * 1103515245u + 12345u;
        v = static_cast<std::uint8_t>(seed >> 16);
    }
    return b;
}

}  // namespace opstest
