#pragma once
// The image control's one road to colour reduction, kept in one place so the control does
// not depend on how the reduction is built.

#include "core/bitmap.h"
#include "core/image.h"

namespace imaging::detail {

Bitmap reduceColors(const Bitmap& source, int bits, int paletteKind, int ditherCode, int colorCount);
// For a bitmap the caller gives up; left as it was when the reduction fails.
Bitmap reduceColors(Bitmap&& source, int bits, int paletteKind, int ditherCode, int colorCount);
Image reduceColors(const Image& source, int bits, int paletteKind, int ditherCode, int colorCount);

}  // namespace imaging::detail
