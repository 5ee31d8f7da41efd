#pragma once
// How far a decoded Variation is from its Original, as two numbers a web designer can compare:
// PSNR over RGB and SSIM on luma (Wang, Bovik, Sheikh, Simoncelli 2004: Gaussian 11 x 11
// window, sigma 1.5, K1 0.01, K2 0.03, the mean over every window that fits the picture).
//
// Both pictures are first brought to what a page shows: alpha is composited on the matte the
// Variation was encoded with, so a soft edge that the encoder blended over white costs nothing
// when it is compared over white. A transparent colour keeps its RGB value: the colour
// reduction keeps that colour in the Variation's transparent entry, so both sides agree.

#include "core/bitmap.h"

namespace imaging {

struct QualityScore {
    double psnr = 0.0;  // dB; +infinity when the RGB values are identical
    double ssim = 0.0;  // 1 = identical luma structure; can fall below 0 for inverted pictures
};

// The picture as 8-bit R, G, B rows (width * 3 bytes each, no padding) over `matte`. Fully
// transparent pixels take the matte colour; partly transparent ones are blended over it.
std::vector<std::uint8_t> compositeRgb(const Bitmap& bitmap, Rgb matte);

// Rec. 601 luma of 8-bit RGB rows: 0.299 R + 0.587 G + 0.114 B, unrounded.
std::vector<float> lumaOf(const std::vector<std::uint8_t>& rgb);

// The program's one PSNR (captions, convert, compare, batch): `variation` against `original` over
// the three channels of both pictures composited on `matte`, 10 log10(255^2 / MSE); +infinity
// when they agree (and for two empty pictures). Any depth on either side. Throws
// Error(InvalidArgument) when the sizes differ. The same on any number of worker threads.
double psnrRgb(const Bitmap& original, const Bitmap& variation, Rgb matte = makeRgb(255, 255, 255));

// Mean SSIM of two luma planes of `width` x `height`. A picture smaller than the window uses
// the largest odd Gaussian window that fits, renormalised. Throws InvalidArgument for sizes
// that do not match the planes.
double ssimOfLuma(const std::vector<float>& a, const std::vector<float>& b, int width, int height);

// Both numbers for `variation` against `original` over `matte`. Throws Error(InvalidArgument)
// when the sizes differ (an Original resized after the Variation was encoded is the caller's
// case to skip) and Error(NoImage) for an empty bitmap.
QualityScore measureQuality(const Bitmap& original, const Bitmap& variation, Rgb matte = makeRgb(255, 255, 255));

}  // namespace imaging
