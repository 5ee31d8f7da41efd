#pragma once
// Neighbourhood filters. Each promotes palette and 16-bit bitmaps to 24 bits (32 keeps its
// alpha untouched), reads pixels beyond the border as copies of the nearest edge pixel, and with
// a selection changes only the selected pixels (seeing their true surroundings).
// An n x n window covers offsets -(n / 2) .. n - 1 - n / 2 in each direction.

#include "core/bitmap.h"
#include "ops/region.h"

namespace imaging::ops {

// Spatial filter kinds: edge detection and line detection (3 x 3 kernels, see filters.cpp).
enum SpatialFilterKind {
    kSobelHorizontal = 22,
    kSobelVertical = 23,
    kPrewittHorizontal = 24,
    kPrewittVertical = 25,
    kLineHorizontal = 29,
    kLineVertical = 30,
    kLineLeftToRight = 31,
    kLineRightToLeft = 32,
};

// Largest window the running-window filters accept.
inline constexpr int kMaxKernelSize = 255;

// Mean of the n x n window, rounded (soften); n 1..kMaxKernelSize. Running sums: the cost
// does not depend on n.
void average(Bitmap& bitmap, int size, const Region* region = nullptr);
// Per channel the median of the n x n window (the lower middle value when n is even); n
// 1..kMaxKernelSize. Running histograms (Huang): cost grows with n, not n^2.
void median(Bitmap& bitmap, int size, const Region* region = nullptr);
// Oil painting: the window's pixels are sorted into 32 luma bins (luma / 8); the pixel takes
// the mean colour of the fullest bin (the darker bin on a tie). n 1..kMaxKernelSize, running.
void oilify(Bitmap& bitmap, int size, const Region* region = nullptr);
// B = the 3 x 3 [1 2 1] x [1 2 1] / 16 blur of v. value > 0: v' = v + (v - B) * value / 250
// (unsharp mask up to 4x); value < 0: v' = v + (B - v) * |value| / 1000 (-1000 = B).
void sharpen(Bitmap& bitmap, int value, const Region* region = nullptr);
// Grey relief from luma L: v' = clamp(128 + (L(p + d) - L(p - d)) * depth / 100) for the
// direction's unit step d (0 N, 1 NE, 2 E, 3 SE, 4 S, 5 SW, 6 W, 7 NW); depth 0..1000.
void emboss(Bitmap& bitmap, int direction, int depth, const Region* region = nullptr);
// v' = clamp(|sum of the kernel times the 3 x 3 neighbourhood|), per channel.
void spatialFilter(Bitmap& bitmap, int kind, const Region* region = nullptr);

}  // namespace imaging::ops
