#pragma once
// EXIF orientation: how the stored rows must be turned to show the picture upright.
//   1 as stored         2 mirrored left-right   3 turned 180°     4 mirrored top-bottom
//   5 transposed        6 turned 90° clockwise   7 transversed     8 turned 90° anticlockwise

#include "core/bitmap.h"
#include "core/image.h"

namespace imaging {

// True for the values 1..8; anything else in a file is ignored.
constexpr bool isValidOrientation(int orientation) { return orientation >= 1 && orientation <= 8; }
// True for the values that exchange width and height.
constexpr bool orientationSwapsSides(int orientation) { return orientation >= 5 && orientation <= 8; }

// Turns the bitmap upright for `orientation`; values outside 2..8 leave it as it is. Flips and
// the half turn work in place; the quarter turns need one copy of the pixels.
void applyOrientation(Bitmap& bitmap, int orientation);
// Every frame of the image, and its animation canvas.
void applyOrientation(Image& image, int orientation);

// The orientation of a picture turned `quarterTurnsAnticlockwise` times and then, when
// `mirror` is 1 (left-right) or 0 (top-bottom), mirrored; `mirror` < 0 mirrors nothing. This
// is how HEIF/AVIF files describe it (irot, then imir).
int orientationFromRotation(int quarterTurnsAnticlockwise, int mirror);

}  // namespace imaging
