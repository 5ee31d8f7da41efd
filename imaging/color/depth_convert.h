#pragma once
// Conversions to the direct-colour depths. Nothing is dithered here: 24 and 32 bits hold
// every colour, and 16 bits rounds each channel to its nearest 5-bit level.

#include "core/bitmap.h"

namespace imaging::color {

// 32 -> 24 and 32 -> 16 blend alpha over `matte`; to 32 bits, the pixels of an indexed
// source's transparent entry get alpha 0 and all others 255.
Bitmap convertToDirect(const Bitmap& source, int bits, Rgb matte);

}  // namespace imaging::color
