#pragma once
// Colour corrections that map each pixel's colour on its own (point operations), and the
// histogram-driven ones. Palette bitmaps without a selection keep their depth and indices:
// the palette is changed instead of the pixels. With a selection, or at 16 bits, the bitmap
// is promoted to 24 bits first (32 keeps its alpha, which no colour operation changes).
// Each throws imaging::Error (InvalidArgument) for a value outside its range.

#include "core/bitmap.h"
#include "ops/region.h"

namespace imaging::ops {

// v' = clamp(v + round(255 * value / 1000)); value -1000..1000.
void intensity(Bitmap& bitmap, int value, const Region* region = nullptr);
// v' = round(255 * (v / 255) ^ (100 / value)); value 0..300, 100 = identity, larger brightens.
// 0 is the limit of the formula: every channel below 255 becomes 0.
void gammaCorrect(Bitmap& bitmap, int value, const Region* region = nullptr);
// v' = clamp(128 + (v - 128) * f), f = (1000 + value) / 1000 for value <= 0 (-1000 gives flat
// grey) and 1000 / (1000 - value) above (1000 itself thresholds at 128).
void contrast(Bitmap& bitmap, int value, const Region* region = nullptr);
// Contrast from the histogram of all channel values: lo and hi are its 0.5 % and 99.5 %
// points, S(v) = clamp((v - lo) * 255 / (hi - lo)), m its mean.
// value > 0: v' = v + value/1000 * (S(v) - v); value < 0: v' = v + |value|/1000 * (m - v).
void histoContrast(Bitmap& bitmap, int value, const Region* region = nullptr);
// v' = round((v - lo) * 255 / (hi - lo)) with lo, hi the smallest and largest channel value.
void stretchIntensity(Bitmap& bitmap, const Region* region = nullptr);
// v' = 255 - v.
void invert(Bitmap& bitmap, const Region* region = nullptr);
// Turns the hue (the HSV/HSL hue circle) by `degrees` (-360..360; +120 takes red to green),
// keeping each pixel's largest and smallest channel.
void hue(Bitmap& bitmap, int degrees, const Region* region = nullptr);
// v' = clamp(L + (v - L) * (1000 + value) / 1000), L the pixel's luma (0.299 R + 0.587 G +
// 0.114 B); value -1000 (grey) .. 1000 (twice as saturated).
void saturation(Bitmap& bitmap, int value, const Region* region = nullptr);
// Per channel: v' = round((cdf(v) - cdf0) * 255 / (N - cdf0)), cdf the cumulative histogram,
// cdf0 its value at the darkest occurring level, N the pixel count.
void histoEqualize(Bitmap& bitmap, const Region* region = nullptr);
// Every (selected) pixel becomes `colour` (RGB, or kPaletteReference + n on palette bitmaps).
// Palette bitmaps keep their depth when the colour is in the palette or a palette reference;
// another colour promotes them to 24 bits.
void fill(Bitmap& bitmap, Rgb colour, const Region* region = nullptr);
// v' = round(q * 255 / (levels - 1)), q = round(v * (levels - 1) / 255); levels 2..256.
void posterize(Bitmap& bitmap, int levels, const Region* region = nullptr);
// White where low <= luma <= high, black elsewhere; low, high 0..255 (low > high: all black).
void intensityDetect(Bitmap& bitmap, int low, int high, const Region* region = nullptr);

}  // namespace imaging::ops
