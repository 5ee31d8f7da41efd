#pragma once
// The floating selection and the copies around it: lifting a selection's pixels, moving
// them, pasting them back, saving and restoring the background under a selection, and
// painting one bitmap into a rectangle of another.

#include "core/bitmap.h"
#include "ops/region.h"

namespace imaging::ops {

// How a paste writes its pixels.
//   kCopyAll    every pixel of the source rectangle.
//   kCopyMasked only the pixels inside the source's shape; the rest of the target stays as it
//               was. A source without a shape (a saved background) is all shape, so for it the
//               two modes agree. This is the mode the document uses for every paste, which is
//               what lets a moved ellipse leave the corners of its bounding box alone.
inline constexpr int kCopyAll = 0;
inline constexpr int kCopyMasked = 288;

// A copy of a selection's pixels with the selection's shape. `shape.bounds()` is where the
// floater lies on the bitmap it came from (or will be pasted to); `pixels` has that size and
// the depth and palette of its source.
struct Floater {
    Bitmap pixels;
    Region shape;

    void moveBy(int dx, int dy) { shape = shape.movedBy(dx, dy); }
    void moveTo(int left, int top) { shape = shape.movedTo(left, top); }
};

// Lifts the selected pixels (the selection clipped to the bitmap). The source is not changed.
// Throws InvalidArgument when the selection lies wholly outside the bitmap.
Floater liftFloater(const Bitmap& source, const Region& region);

// Pastes the floater at its position; the parts beyond the target's edges are dropped.
void pasteFloater(Bitmap& target, const Floater& floater, int copyMode = kCopyMasked);

// Pastes a whole bitmap with its top-left corner at (left, top), clipped to the target.
// Colours are converted when depths differ (to the nearest palette entry on palette targets).
void pasteBitmap(Bitmap& target, const Bitmap& source, int left, int top, int copyMode = kCopyMasked);

// A new bitmap with the target's depth and palette holding the pixels of `rect` (the
// background under a selection); parts of `rect` beyond the bitmap are black / index 0.
Bitmap copyRect(const Bitmap& source, const Rect& rect);

// Paints `source` into `destination` of the target, scaled to its size (resampled at 24 and
// 32 bits, nearest neighbour otherwise), with the source's shape when one is given.
void paintBitmap(Bitmap& target, const Bitmap& source, const Rect& destination, int copyMode = kCopyMasked,
                 const Region* sourceShape = nullptr);

}  // namespace imaging::ops
