#include "color/nearest.h"

#include <algorithm>
#include <limits>

namespace imaging::color {

namespace {
constexpr int kCellShift = 4;  // 16 levels per cell side
constexpr int kCellsPerSide = 256 >> kCellShift;
// Up to this many entries a plain scan beats building cells.
constexpr int kScanAll = 20;
}  // namespace

NearestColor::NearestColor(std::span<const Rgb> palette, int excluded)
    : colors_(palette.begin(), palette.end()), excluded_(excluded) {
    rgb_.reserve(colors_.size() * 3);
    for (Rgb c : colors_) rgb_.insert(rgb_.end(), {redOf(c), greenOf(c), blueOf(c)});
    quarterNeighbourDist_.assign(colors_.size(), 0);
    const int n = size();
    for (int i = 0; i < n; ++i) {
        int best = std::numeric_limits<int>::max();
        for (int j = 0; j < n; ++j)
            if (j != i && j != excluded_)
                best = std::min(best, distance2(rgb_[3 * i], rgb_[3 * i + 1], rgb_[3 * i + 2], rgb_[3 * j],
                                                rgb_[3 * j + 1], rgb_[3 * j + 2]));
        // A single entry is nearest to everything. With duplicates the distance is 0 and the
        // shortcut is off, which keeps the lower-index rule for ties.
        quarterNeighbourDist_[i] = best == std::numeric_limits<int>::max() ? best : best / 4;
    }
    if (n > kScanAll) cells_.resize(kCellsPerSide * kCellsPerSide * kCellsPerSide);
}

const NearestColor::Cell& NearestColor::cell(int r, int g, int b) const {
    Cell& c = cells_[((r >> kCellShift) * kCellsPerSide + (g >> kCellShift)) * kCellsPerSide + (b >> kCellShift)];
    if (c.start >= 0) return c;
    const int lo[3] = {r >> kCellShift << kCellShift, g >> kCellShift << kCellShift, b >> kCellShift << kCellShift};
    const int hi[3] = {lo[0] + (1 << kCellShift) - 1, lo[1] + (1 << kCellShift) - 1, lo[2] + (1 << kCellShift) - 1};
    const int n = size();
    std::vector<Candidate>& all = scratch_;
    all.clear();
    int bound = std::numeric_limits<int>::max();
    for (int i = 0; i < n; ++i) {
        if (i == excluded_) continue;
        int minD = 0, maxD = 0;
        for (int k = 0; k < 3; ++k) {
            const int v = rgb_[3 * i + k];
            const int below = lo[k] - v, above = v - hi[k];
            const int m = below > 0 ? below : above > 0 ? above : 0;
            minD += m * m;
            const int far = std::max(std::abs(v - lo[k]), std::abs(v - hi[k]));
            maxD += far * far;
        }
        all.push_back({minD, i});
        bound = std::min(bound, maxD);
    }
    c.start = static_cast<int>(candidates_.size());
    for (const Candidate& cand : all)
        if (cand.lowerBound <= bound) candidates_.push_back(cand);
    c.count = static_cast<int>(candidates_.size()) - c.start;
    std::sort(candidates_.begin() + c.start, candidates_.end(), [](const Candidate& a, const Candidate& b) {
        return a.lowerBound != b.lowerBound ? a.lowerBound < b.lowerBound : a.index < b.index;
    });
    return c;
}

int NearestColor::find(int r, int g, int b, int guess) const {
    const int n = size();
    if (n == 0) return -1;
    int bestIndex = -1;
    int bestDist = std::numeric_limits<int>::max();
    if (guess >= 0 && guess < n && guess != excluded_) {
        const int d = distance2(r, g, b, rgb_[3 * guess], rgb_[3 * guess + 1], rgb_[3 * guess + 2]);
        // Strictly inside half the neighbour distance: no other entry can be as near, so no
        // tie either. (The quarter is rounded down, which keeps the test on the safe side.)
        if (d < quarterNeighbourDist_[guess]) return guess;
        bestIndex = guess;
        bestDist = d;
    }
    if (n <= kScanAll) {
        for (int i = 0; i < n; ++i) {
            if (i == excluded_) continue;
            const int d = distance2(r, g, b, rgb_[3 * i], rgb_[3 * i + 1], rgb_[3 * i + 2]);
            if (d < bestDist || (d == bestDist && i < bestIndex)) bestDist = d, bestIndex = i;
        }
        return bestIndex;
    }
    const Cell& c = cell(r, g, b);
    const Candidate* cand = candidates_.data() + c.start;
    for (int k = 0; k < c.count; ++k) {
        if (cand[k].lowerBound > bestDist) break;
        const int i = cand[k].index;
        const int d = distance2(r, g, b, rgb_[3 * i], rgb_[3 * i + 1], rgb_[3 * i + 2]);
        if (d < bestDist || (d == bestDist && i < bestIndex)) bestDist = d, bestIndex = i;
    }
    return bestIndex;
}

}  // namespace imaging::color
