#pragma once
// Whether a picture is really transparent somewhere, as the quality numbers, the caption and
// the automatic format choice need to know.

#include "core/bitmap.h"

namespace imaging {

// True when some pixel of the picture is not fully opaque: alpha below 255 at 32 bits, or
// the transparent colour (a palette reference, or an RGB value of a direct-colour picture)
// used by at least one pixel. A transparent colour no pixel has is no transparency.
bool hasTransparency(const Bitmap& bitmap);

}  // namespace imaging
