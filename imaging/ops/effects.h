#pragma once
// Effects that are neither point operations nor plain neighbourhood filters. Palette and
// 16-bit bitmaps are promoted to 24 bits; 32 keeps its alpha; a selection confines them.

#include "core/bitmap.h"
#include "ops/region.h"

namespace imaging::ops {

// Halftone types: a fine screen for looking at on screen, a coarse one that survives printing.
inline constexpr int kHalftonePrint = 0;
inline constexpr int kHalftoneDisplay = 1;

// Black-and-white dot screen turned by angle / 100 degrees, cells of 4 (display) or 8 (print)
// pixels. With (u, v) the pixel centre in cell units on the turned grid, fu, fv their distance
// from the cell centre (-0.5..0.5) and s = (cos 2 pi fu + cos 2 pi fv) / 4 + 0.5, a pixel of
// darkness D = 255 - luma turns black when D > 0 and D >= 255 * (1 - s).
void halftone(Bitmap& bitmap, int type, long angle, const Region* region = nullptr);
// Squares of size x size pixels from the top-left corner each take their mean colour
// (rounded); size >= 1 (larger than the bitmap: one square).
void mosaic(Bitmap& bitmap, int size, const Region* region = nullptr);
// Adds to each pixel an offset drawn evenly from -R..R, R = round(range * 255 / 1000), range
// 0..1000; channel 0 adds the same offset to red, green and blue, 1/2/3 only to that channel.
// The generator starts from a fixed seed on every call, so the result is repeatable.
void addNoise(Bitmap& bitmap, int range, int channel, const Region* region = nullptr);

}  // namespace imaging::ops
