#pragma once
// First cut of the optimised palette: Wu's variance-minimising split of the colour cube.
// Boxes of a 32 x 32 x 32 grid of colour moments are split, always the box with the largest
// variance and always where the split removes the most of it, until there are as many boxes as
// colours wanted. The box means are a good start for k-means, which then moves them to where
// the finer histogram says they belong.

#include <vector>

#include "color/histogram.h"

namespace imaging::color {

struct Centroid {
    double r, g, b;
};

// Up to `count` starting colours; fewer when the points do not spread over that many boxes.
std::vector<Centroid> wuSplit(const std::vector<ColorPoint>& points, int count);

}  // namespace imaging::color
