#pragma once
// Exact nearest-colour search in RGB (squared Euclidean distance) over a palette of up to
// 256 colours. Ties go to the lower palette index, so results never depend on search order.
//
// The RGB cube is divided into 16 x 16 x 16 cells. For a cell, only entries whose distance to
// the nearest point of the cell is no more than the smallest distance to the farthest point of
// the cell over all entries can be nearest to anything inside it; those candidates are found
// the first time a query lands in the cell, sorted by that lower bound, and scanned until the
// bound exceeds the best distance found. Typically a handful of entries are looked at.
// Palettes of a few entries are simply scanned.
// A guess (usually the previous pixel's answer) is accepted without a search when it lies
// within half the distance to its own nearest neighbour, where no other entry can be closer.
//
// An object is not safe to share between threads: cells are filled in on first use.

#include <cstdint>
#include <span>
#include <vector>

#include "core/color.h"

namespace imaging::color {

class NearestColor {
public:
    // `excluded` (an index, or -1) is an entry that must never be returned, such as the
    // entry reserved for transparent pixels.
    explicit NearestColor(std::span<const Rgb> palette, int excluded = -1);

    int size() const { return static_cast<int>(colors_.size()); }
    // Index of the nearest entry to (r, g, b), each 0..255; -1 when no entry may be returned.
    int find(int r, int g, int b) const { return find(r, g, b, -1); }
    // The same, trying `guess` (an index, or -1) first.
    int find(int r, int g, int b, int guess) const;

private:
    struct Candidate {
        int lowerBound;
        int index;
    };
    struct Cell {
        int start = -1;  // into candidates_; -1 = not yet built
        int count = 0;
    };
    const Cell& cell(int r, int g, int b) const;

    std::vector<int> rgb_;  // r, g, b per entry
    std::vector<Rgb> colors_;
    int excluded_;
    std::vector<int> quarterNeighbourDist_;  // per index: (distance to nearest other entry)^2 / 4
    mutable std::vector<Cell> cells_;
    mutable std::vector<Candidate> candidates_;
    mutable std::vector<Candidate> scratch_;
};

inline int distance2(int r1, int g1, int b1, int r2, int g2, int b2) {
    const int dr = r1 - r2, dg = g1 - g2, db = b1 - b2;
    return dr * dr + dg * dg + db * db;
}

}  // namespace imaging::color
