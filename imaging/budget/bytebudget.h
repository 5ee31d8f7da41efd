#pragma once
// The best picture that fits a byte budget. Every trial is a real encode, so the size reported
// is the size of the file that will be written.
//
//  - JPEG, WebP, AVIF: the highest quality whose file fits. The search brackets the budget and
//    interpolates on the logarithm of the size (file size grows about exponentially with
//    quality), so it typically needs five to seven encodes instead of a hundred. JPEG transforms
//    the picture once and re-quantises it per trial (JpegRequantizer), each trial byte for byte
//    the file a plain write makes; sampled encodes and an estimate guide it to the answer and
//    its neighbour, two or three trials.
//  - GIF and palette PNG: the most colours of an optimised palette that fit, dithered when the
//    caller allows dithering and a dithered picture fits, else without.
// When nothing fits, the result is the smallest encoding the search made (the lowest quality,
// two colours) with `fits` false.

#include <cstddef>

#include "core/codec.h"

namespace imaging {

struct BudgetResult {
    bool fits = false;
    Bytes encoded;              // the chosen encoding
    SaveOptions options;        // what it was written with (quality, bits, ...)
    int colors = 0;             // palette formats: the colour count chosen
    int ditherCode = 0;         // palette formats: the dithering used (0 none)
    int encodes = 0;            // real encodes the search made
};

// Which search a format number takes.
bool budgetByQuality(int format);   // JPEG (10, 21, 23), WebP, AVIF
bool budgetByColours(int format);   // GIF, PNG

// JPEG: `base` gives the format number (subsampling), passes and bits (24 or 8 for grey);
// its qualityFactor is replaced. WebP/AVIF: `base` gives lossless off and effort; quality is
// replaced. Throws Error(InvalidArgument) for a format without a quality or a budget of 0.
BudgetResult fitByQuality(const Bitmap& picture, SaveOptions base, std::size_t budget);

// GIF or PNG with an optimised palette of 2..256 colours at the depth the count needs.
// `ditherCode` 0 searches without dithering only; another code tries that dithering first.
BudgetResult fitByColours(const Bitmap& picture, SaveOptions base, std::size_t budget, int ditherCode);

// The JPEG quality factor (2..255, what SaveOptions carries) that gives libjpeg quality q
// (1..100): the best (lowest) factor that maps to it.
int jpegFactorForQuality(int q);

}  // namespace imaging
