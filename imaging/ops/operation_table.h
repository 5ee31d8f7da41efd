#pragma once
// The 27 operations on a picture by name, with their arguments in the units the tools window
// passes (and `kalmira-cli convert --op NAME=ARG,...` takes), and what each does to each depth.
//
// Depth rules, one row per operation. "palette" = 1..8-bit palette bitmaps, "16" = 5-5-5.
// Every operation keeps 24 and 32 bits (32 keeps alpha: colour operations and filters leave
// it alone, geometry moves it with the pixels, newly uncovered areas are opaque).
//
//   Operation          Arguments (range; = default)                 palette / 16 bits
//   Size               width, height 1..2^28 px total; flags = 2    nearest (flags 0): kept; resampling (flags & 2): 24
//   Trim               left, top, width, height (inside the bitmap)  kept
//   Reverse, Flip      none                                          kept
//   Rotate             angle 1/100 deg (any); enlarge 0/1 = 1;       kept (nearest pixel); 24/32 interpolate bilinearly;
//                      fill colour = 0                               multiples of 90 deg are exact at every depth
//   Shear              angle 1/100 deg (-8999..8999); horizontal     kept (nearest pixel)
//                      0/1 = 1; fill colour = 0
//   Intensity          -1000..1000                                  palette changed, indices kept; 16: 24
//   GammaCorrect       0..300 (100 = identity)                       palette changed; 16: 24
//   Contrast           -1000..1000                                  palette changed; 16: 24
//   HistoContrast      -1000..1000                                  palette changed; 16: 24
//   StretchIntensity   none                                          palette changed; 16: 24
//   Invert             none                                          palette changed; 16: 24
//   Hue                degrees -360..360                             palette changed; 16: 24
//   Saturation         -1000..1000                                  palette changed; 16: 24
//   HistoEqualize      none                                          palette changed; 16: 24
//   Posterize          levels 2..256                                 palette changed; 16: 24
//   IntensityDetect    low, high 0..255                              palette changed; 16: 24
//   Fill               colour (RGB or 0x1000000 + index)             kept when the colour is in the palette, else 24; 16 kept
//   Halftone           type 0 print / 1 display; angle 1/100 deg = 0 24
//   Sharpen            -1000 (blur) .. 1000 (sharpen)               24
//   Mosaic             tile size >= 1                                24
//   Emboss             direction 0..7 (N, NE, E, SE, S, SW, W, NW);  24
//                      depth 0..1000 = 100
//   Average            window 1..255                                 24
//   Oilify             window 1..255                                 24
//   Median             window 1..255                                 24
//   AddNoise           range 0..1000; channel 0 all, 1 R, 2 G, 3 B = 0   24
//   SpatialFilter      22..25 Sobel/Prewitt horizontal/vertical,     24
//                      29..32 lines horizontal, vertical, \, /
//
// With a selection, the colour operations and filters change only the selected pixels, and a
// palette or 16-bit bitmap is promoted to 24 bits first (a palette entry is shared by pixels
// inside and outside the selection, so it cannot change for only some of them). Geometry
// always works on the whole bitmap; Picture moves the selection along with it.
// The formula of each operation is given where it is declared (point_ops.h, geometry.h,
// filters.h, effects.h). Bad arguments throw imaging::Error with code InvalidArgument
// (TooLarge for a Size, Rotate or Shear result above 2^28 pixels), never clamp silently.

#include <span>
#include <string_view>
#include <vector>

#include "core/bitmap.h"
#include "core/image.h"
#include "ops/region.h"

namespace imaging::ops {

enum class OperationKind {
    Geometry,  // moves pixels; acts on the whole bitmap
    Color,     // point or histogram operation; confined to a selection
    Filter,    // neighbourhood filter or effect; confined to a selection
};

struct OperationInfo {
    std::string_view name;
    OperationKind kind;
    int requiredArgs;
    std::span<const long> defaults;  // values of the optional arguments that follow
};

// All operations, in the order of the tools window.
std::span<const OperationInfo> operations();
// The operation of that name (exact, case-sensitive), or nullptr.
const OperationInfo* findOperation(std::string_view name);

// Runs the named operation. A selection (`region`) confines colour operations and filters and
// is ignored by geometry (use Picture::apply to move it along). Throws imaging::Error:
// InvalidArgument for an unknown name, a wrong argument count or a value out of range.
void applyNamedOperation(Bitmap& bitmap, std::string_view name, const std::vector<long>& args,
                         const Region* region = nullptr);
// The same on every frame. Geometry on an image of several frames is refused (Unsupported):
// the frames' offsets inside the animation would no longer fit.
void applyNamedOperation(Image& image, std::string_view name, const std::vector<long>& args);

}  // namespace imaging::ops
