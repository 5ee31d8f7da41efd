#pragma once
// What a Variation's bitmap marks as transparent: the palette entry, or the colour.

#include <optional>

#include "core/bitmap.h"

namespace kalmira {

// The palette entry a bitmap marks as transparent, or -1.
inline int transparentEntryOf(const imaging::Bitmap& bitmap) {
    if (!bitmap.transparent() || !imaging::isPaletteReference(bitmap.transparentColor())) return -1;
    return imaging::paletteIndexOf(bitmap.transparentColor());
}

// The colour a bitmap's transparent pixels carry, when it has any.
inline std::optional<imaging::Rgb> transparentColourOf(const imaging::Bitmap& bitmap) {
    if (!bitmap.transparent()) return std::nullopt;
    const imaging::Rgb colour = bitmap.transparentColor();
    if (!imaging::isPaletteReference(colour)) return colour & 0xFFFFFF;
    const auto entry = static_cast<std::size_t>(imaging::paletteIndexOf(colour));
    if (entry >= bitmap.palette().size()) return std::nullopt;
    return bitmap.palette()[entry] & 0xFFFFFF;
}

}  // namespace kalmira
