#pragma once
// The form every reduction stage reads: packed RGB bytes plus an optional mask of fully
// transparent pixels. Partly transparent pixels are already blended over the matte here, so
// no later stage has to know about alpha.

#include <cstdint>
#include <vector>

#include "core/bitmap.h"

namespace imaging::color {

struct WorkImage {
    int width = 0;
    int height = 0;
    // Points either into `ownRgb` or straight into a 24-bit source bitmap (no copy needed).
    const std::uint8_t* rgb = nullptr;
    std::vector<std::uint8_t> ownRgb;
    // One byte per pixel, non-zero = fully transparent; empty when no pixel is.
    std::vector<std::uint8_t> transparent;
    // The colour the source gave its transparent pixels: the transparent colour or entry of a
    // source without alpha, the matte for an alpha channel.
    Rgb transparentColor = 0;

    WorkImage() = default;
    WorkImage(const WorkImage&) = delete;
    WorkImage& operator=(const WorkImage&) = delete;
    WorkImage(WorkImage&&) = default;
    WorkImage& operator=(WorkImage&&) = default;

    std::size_t pixelCount() const { return static_cast<std::size_t>(width) * height; }
    bool hasTransparency() const { return !transparent.empty(); }
    bool isTransparent(std::size_t i) const { return !transparent.empty() && transparent[i] != 0; }
};

// Brings any bitmap into working form. A 24-bit source without transparency is referenced,
// not copied, so it must outlive the result.
WorkImage makeWorkImage(const Bitmap& source, Rgb matte);

}  // namespace imaging::color
