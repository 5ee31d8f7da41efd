#pragma once
// Colour resolution: turning a bitmap of any depth into the depth, palette and dithering a
// Variation asks for. This is the one entry point the document, the palette editor and the
// command-line tool call; the stages live in their own files beside it.

#include <vector>

#include "core/bitmap.h"
#include "core/image.h"

namespace imaging {

// Palette kinds, as the windows pass them (they are flags in the settings, hence the values).
namespace palette_kind {
inline constexpr int Fixed = 1;      // the engine's fixed palette for the depth (fixed_palettes.h)
inline constexpr int Optimized = 2;  // computed from the image
inline constexpr int Windows = 8;    // the 20 static system colours
inline constexpr int Custom = 16;    // the bitmap's userPalette()
inline constexpr int Netscape = 64;  // the 216-colour web cube
}  // namespace palette_kind

// Dither codes: 0 none, 1..6 error diffusion kernels, 7 ordered (Bayer 8 x 8).
namespace dither_code {
inline constexpr int None = 0;
inline constexpr int FloydSteinberg = 1;
inline constexpr int Stucki = 2;
inline constexpr int Burkes = 3;
inline constexpr int Sierra = 4;
inline constexpr int StevensonArce = 5;
inline constexpr int JarvisJudiceNinke = 6;
inline constexpr int Ordered = 7;
}  // namespace dither_code

struct ColorResOptions {
    // Partly transparent pixels are blended over this colour before reduction, so soft
    // edges fade into the page colour instead of into black.
    Rgb matte = makeRgb(255, 255, 255);
    // Weighted k-means passes that refine the optimised palette after the box split.
    int refinePasses = 8;
    // Further passes on the real pixels when the image had too many colours for the histogram
    // to keep them all apart and no dithering follows (each pass costs one remap).
    int pixelPasses = 1;
};

// Reduces (or converts) `source` to `bits` bits per pixel.
//   bits 1..8: an indexed bitmap whose palette has exactly 2^bits entries. Entries past the
//     colours in use repeat the last colour in use, so a search of the palette by colour
//     always lands on an entry that pixels actually use first.
//   bits 16, 24, 32: a conversion; paletteKind, ditherCode and colorCount are ignored
//     (callers pass 0).
// colorCount limits an Optimized palette (0 = up to 2^bits); other kinds ignore it.
// Fully transparent source pixels (alpha 0, or the source's transparent colour) keep a palette
// entry of their own: the result is marked transparent with that entry (kPaletteReference + n)
// as its transparent colour. The entry holds the source's transparent colour, or the matte for
// an alpha channel, nudged if a visible entry already has that colour, so that no visible
// pixel ever shares the transparent entry's colour.
// Throws Error(InvalidArgument) for a depth, kind, code or count outside these ranges and
// Error(NoImage) for an empty bitmap.
Bitmap colorRes(const Bitmap& source, int bits, int paletteKind, int ditherCode, int colorCount,
                const ColorResOptions& options = {});

// The same for a bitmap the caller gives up: when both `bits` and the bitmap are 24 bits, the
// conversion would only copy it, so its pixels are handed back as they are. A
// Variation's 24-bit round trip then holds no second 24-bit copy beside the encoder's own
// buffers. On an error `source` is left as it was.
Bitmap colorRes(Bitmap&& source, int bits, int paletteKind, int ditherCode, int colorCount,
                const ColorResOptions& options = {});

// Reduces every frame of an animation to one shared palette (GIF animations share one colour
// table, and frames flicker if each picks its own). Frame timing and placement are kept.
Image colorRes(const Image& source, int bits, int paletteKind, int ditherCode, int colorCount,
               const ColorResOptions& options = {});

}  // namespace imaging
