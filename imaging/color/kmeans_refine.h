#pragma once
// Refines starting colours by weighted k-means (Lloyd's iterations) over the histogram
// points: each point goes to its nearest colour, each colour moves to the weighted mean of its
// points. Every pass lowers the squared RGB error, the very quantity PSNR measures. Colours
// left without points, and missing colours when the start had fewer than wanted, are re-seeded
// at the points that are currently worst served.

#include <vector>

#include "color/histogram.h"
#include "color/wu_quantizer.h"
#include "core/color.h"

namespace imaging::color {

// Returns at most `count` colours, rounded to 8 bits per channel.
std::vector<Rgb> kmeansRefine(const std::vector<ColorPoint>& points, std::vector<Centroid> start, int count,
                              int passes);

}  // namespace imaging::color
