#pragma once
// Helpers shared by the operation units: depth promotion, sub-rectangles, and confining an
// operation to a selection. Not part of the operations' public interface.

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>

#include "core/bitmap.h"
#include "core/error.h"
#include "ops/region.h"

namespace imaging::ops::detail {

inline std::uint8_t clampByte(int v) { return static_cast<std::uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v)); }
inline std::uint8_t clampByte(double v) {
    return static_cast<std::uint8_t>(v <= 0 ? 0 : (v >= 255 ? 255 : static_cast<int>(v + 0.5)));
}

// Luma with Rec. 601 weights in 8-bit fixed point (77 + 150 + 29 = 256).
inline int intensityOf(int r, int g, int b) { return (77 * r + 150 * g + 29 * b + 128) >> 8; }

[[noreturn]] void badArgument(const char* operation, const std::string& reason);
void requireImage(const Bitmap& bitmap, const char* operation);

// 24 bits for palette and 16-bit bitmaps; 24 and 32 bits unchanged (32 keeps its alpha).
void promoteToTrueColor(Bitmap& bitmap);
// Copies a rectangle (inside the bitmap) into a new bitmap of the same depth and palette.
Bitmap cropCopy(const Bitmap& bitmap, const Rect& rect);
// The colour a palette index stands for, black for an index past the palette's end.
inline Rgb paletteColor(const std::vector<Rgb>& palette, int index) {
    return static_cast<std::size_t>(index) < palette.size() ? palette[index] : 0;
}
// Index of the palette entry nearest to c (squared RGB distance).
int nearestPaletteIndex(const std::vector<Rgb>& palette, Rgb c);
// A fill colour for this bitmap: for palette depths the index (palette references taken as
// they are), otherwise the RGB value.
std::uint32_t fillValueFor(const Bitmap& bitmap, Rgb colour);

// Applies a per-byte table to the colour channels of a 24/32-bit bitmap, inside the mask
// (local coordinates of `bounds` == the whole bitmap) or everywhere. Alpha is left alone.
void applyChannelTables(Bitmap& bitmap, const std::uint8_t* red, const std::uint8_t* green,
                        const std::uint8_t* blue, const Region* region);

// Runs `op` on the part of `bitmap` a selection covers and keeps its result only on the
// selected pixels. Without a selection (or one covering the whole bitmap) `op` runs on the
// bitmap itself. `margin` extra pixels around the selection are handed to `op` so that
// neighbourhood filters see the true surroundings at the selection's edge. With a selection
// palette and 16-bit bitmaps are promoted first, since a palette cannot change for only some
// of the pixels using it. `op` receives the bitmap to work on and the selection in that
// bitmap's coordinates (nullptr when it covers everything), for statistics over it.
using ConfinedOp = std::function<void(Bitmap&, const Region*)>;
void applyInside(Bitmap& bitmap, const Region* region, int margin, const ConfinedOp& op);

}  // namespace imaging::ops::detail
