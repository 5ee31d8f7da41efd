#pragma once
// Where a decoded picture differs from another: the per-pixel error (the largest of the R, G
// and B differences, both pictures composited on the matte first, as the quality numbers
// compare them) and a colour scale that makes small errors visible.
//
// The scale is fixed, not fitted to each picture, so two Variations shown side by side can be
// compared by eye: an error of 0 is black, fullScale / 4 blue, fullScale / 2 red,
// 3 * fullScale / 4 yellow, fullScale and above white, linear in between. Rec. 601 luma rises
// along the whole scale, so a brighter pixel always means a larger error, in grey too.

#include <cstdint>
#include <vector>

#include "core/bitmap.h"

namespace imaging {

// The error at which the scale reaches white: errors are amplified eight times.
inline constexpr int kDifferenceFullScale = 32;

struct DifferenceMap {
    // The area both pictures cover (their top-left corners laid on each other). It is smaller
    // than one of them when their sizes differ (an Original resized while a Variation waits for
    // its next encoding); nothing outside either picture is read.
    int width = 0;
    int height = 0;
    bool sizesDiffer = false;
    std::vector<std::uint8_t> error;  // width * height values, 0..255, row by row
    int largest = 0;                  // the largest value of `error`
};

// The error of every pixel both pictures cover. Throws Error(NoImage) for an empty bitmap.
DifferenceMap differenceOf(const Bitmap& a, const Bitmap& b, Rgb matte = makeRgb(255, 255, 255));

// The colour of `error` on the scale reaching white at `fullScale` (1 or more; errors from
// fullScale on are white). Throws Error(InvalidArgument) for a full scale below 1.
Rgb differenceColour(int error, int fullScale = kDifferenceFullScale);

// The map drawn on the scale as a 24-bit picture of the map's size.
Bitmap differencePicture(const DifferenceMap& map, int fullScale = kDifferenceFullScale);

}  // namespace imaging
