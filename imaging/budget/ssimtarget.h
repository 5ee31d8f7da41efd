#pragma once
// The smallest file whose quality the user sees is at least a target: the lowest JPEG, WebP or
// AVIF quality, or the fewest GIF/PNG palette colours, whose decoded picture has an SSIM (luma,
// as the caption shows it) of at least the target against the Original. Every trial is a real
// encode and decode (for palettes, lossless, the reduced picture itself), so the SSIM reported
// is the one the written file has.
//
// SSIM grows with quality and colours nearly everywhere; the search assumes it does, brackets
// the target and interpolates on log(1 - SSIM) (see ssimtarget.cpp). When no
// setting reaches the target, the result is the best the format can do (quality 100, 256
// colours) with `reached` false.

#include "core/codec.h"

namespace imaging {

struct SsimTargetResult {
    bool reached = false;
    Bytes encoded;          // the chosen file
    SaveOptions options;    // what it was written with (quality, bits, ...)
    int colors = 0;         // palette formats: the colour count chosen
    double ssim = 0;        // of the chosen file, decoded, against the Original
    int encodes = 0;        // trials made
};

// A target the search takes: above 0 and at most 1.
bool validSsimTarget(double target);

// JPEG, WebP, AVIF. `original` is what the SSIM is measured against (the Original, before any
// depth conversion), `picture` what the encoder receives. `base` as for fitByQuality. Throws
// Error(InvalidArgument) for another format or a target outside (0, 1].
SsimTargetResult fitQualityToSsim(const Bitmap& original, const Bitmap& picture, SaveOptions base, double target);

// GIF or PNG with an optimised palette of 2..256 colours (dithered with `ditherCode`), at the
// depth the count needs.
SsimTargetResult fitColoursToSsim(const Bitmap& original, SaveOptions base, double target, int ditherCode);

}  // namespace imaging
