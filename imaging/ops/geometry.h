#pragma once
// Operations that move pixels: size, trim, rotate, shear and the two mirrors.
// Palette and 16-bit bitmaps keep their depth and indices wherever pixels are only moved
// (Trim, Reverse, Flip, nearest-neighbour Size, Rotate and Shear, which sample the nearest
// pixel on these depths); resampling Size promotes them to 24 bits. 32 bits keep alpha.

#include "core/bitmap.h"

namespace imaging::ops {

// Flag bit of Size: resample with a Lanczos-3 filter (widened by the reduction factor when
// shrinking, so that every source pixel contributes). Without it, nearest neighbour.
inline constexpr int kSizeResample = 2;

// New size width x height, 1..2^28 pixels (else InvalidArgument / TooLarge).
void resize(Bitmap& bitmap, int width, int height, int flags);
// Keeps the rectangle left, top, width x height, which must lie inside the bitmap.
void trim(Bitmap& bitmap, int left, int top, int width, int height);
// Mirror left to right.
void reverse(Bitmap& bitmap);
// Mirror top to bottom.
void flip(Bitmap& bitmap);
// Turns clockwise by angle / 100 degrees about the centre. With enlarge the bitmap grows to
// hold the whole turned image, otherwise it keeps its size and the corners are cut. Areas not
// covered by the image take `fill` (RGB, which palette bitmaps take as their nearest entry, or
// a palette reference kPaletteReference + n). Multiples
// of 90 degrees move pixels exactly; other angles interpolate bilinearly at 24 and 32 bits.
void rotate(Bitmap& bitmap, long angle, bool enlarge, Rgb fill);
// Slants the bitmap into a parallelogram by angle / 100 degrees (|angle| < 9000): with
// horizontal each row is shifted right by (y + 0.5 - height / 2) * tan(angle) pixels (positive
// angles move the bottom to the right), otherwise each column down by
// (x + 0.5 - width / 2) * tan(angle). The bitmap widens (or heightens) by
// round(|tan(angle)| * height (or width)) so nothing is cut; the uncovered corners take `fill`.
void shear(Bitmap& bitmap, long angle, bool horizontal, Rgb fill);

}  // namespace imaging::ops
