#pragma once
// What the optimised palette is computed from.
//
// DistinctColors answers "does the image have at most N colours, and which?" and gives up as
// soon as it sees one too many, which for a photograph happens within a few hundred pixels.
// Histogram counts every colour of the image; a photograph of millions of pixels typically
// has tens of thousands of colours, so the later stages work on that many weighted points
// and still see the image exactly. Past a cap (to bound memory and time) colours are merged
// into bins of 2 x 2 x 2 levels, then 4 x 4 x 4, ..., each keeping its exact mean, so only
// the spread inside a bin is lost.

#include <cstdint>
#include <vector>

#include "color/work_image.h"
#include "core/color.h"

namespace imaging::color {

class DistinctColors {
public:
    explicit DistinctColors(int limit);
    // Adds the visible pixels of `image`; false once more than `limit` colours were seen.
    bool add(const WorkImage& image);
    bool overflowed() const { return overflow_; }
    // The colours seen, in ascending RGB order (meaningful only when not overflowed).
    std::vector<Rgb> colors() const;

private:
    bool insert(Rgb c);
    int limit_;
    bool overflow_ = false;
    std::vector<std::uint32_t> slots_;  // open addressing, key = colour + 1, 0 = empty
    int count_ = 0;
};

struct ColorPoint {
    float r, g, b;
    double weight;
};

class Histogram {
public:
    // `expectedPixels` sizes the table: a small image needs no table for a large one.
    explicit Histogram(std::size_t expectedPixels);
    void add(const WorkImage& image);
    // The same counted in bands on every core; the result does not depend on their number,
    // though the bins' order may differ from add()'s.
    void addParallel(const WorkImage& image);
    // Adds another histogram's bins (coarsening to the coarser of the two).
    void merge(const Histogram& other);
    // Occupied bins as points at their exact mean colour, weighted by pixel count.
    std::vector<ColorPoint> points() const;
    // Low bits per channel dropped from the bin keys: 0 while every colour has a bin of its
    // own, so the points are the image's exact colours.
    int shift() const { return shift_; }

private:
    // Colours sharing a bin share its key bits, so only the sum of the dropped low bits needs
    // storing; that keeps each bin in 32-bit counters for up to 2^28 pixels per bin.
    struct Bin {
        std::uint32_t key;  // bin key + 1; 0 = empty slot
        std::uint32_t count;
        std::uint32_t lowR, lowG, lowB;
    };
    static constexpr std::size_t kBands = 4;
    static constexpr std::size_t kParallelPixels = std::size_t{1} << 18;
    Bin& slot(std::uint32_t key);
    void coarsen();
    static Bin coarser(const Bin& b, int shift);
    void addBin(const Bin& b);
    std::size_t sampleStep(std::size_t pixels) const;
    void addRange(const WorkImage& image, std::size_t begin, std::size_t end, std::size_t step);

    std::vector<Bin> bins_;  // a power of two in size, at most half full
    std::size_t maxBins_;
    std::size_t used_ = 0;
    int shift_ = 0;
    std::uint64_t total_ = 0;
};

}  // namespace imaging::color
