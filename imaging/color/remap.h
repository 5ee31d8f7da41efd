#pragma once
// Mapping pixels onto a palette: plainly (each pixel to its exact nearest entry), with an
// ordered threshold pattern, or with error diffusion. Fully transparent pixels get
// `transparentIndex` and take no part in any error bookkeeping.

#include <cstdint>
#include <span>
#include <vector>

#include "color/dither.h"
#include "color/nearest.h"
#include "color/work_image.h"

namespace imaging::color {

// Per-entry sums of the pixels mapped to it, for a last centroid step on the real pixels.
struct EntrySums {
    std::vector<std::uint64_t> r, g, b, n;
    explicit EntrySums(std::size_t size) : r(size, 0), g(size, 0), b(size, 0), n(size, 0) {}
};

// Each pixel to its exact nearest colour. Repeated colours are answered from a cache that
// stores the whole colour as its key, so the cache never changes an answer.
void remapNearest(const WorkImage& image, const NearestColor& nearest, int transparentIndex, std::uint8_t* out,
                  EntrySums* sums = nullptr);

// Ordered dithering: each channel is offset by the Bayer threshold of its position times
// the spacing of the palette in that channel before the nearest entry is taken.
void remapOrdered(const WorkImage& image, const NearestColor& nearest, const float amplitude[3], int transparentIndex,
                  std::uint8_t* out);

// Error diffusion in serpentine order.
void remapDiffused(const WorkImage& image, const NearestColor& nearest, std::span<const Rgb> colors,
                   const DiffusionKernel& kernel, int transparentIndex, std::uint8_t* out);

}  // namespace imaging::color
