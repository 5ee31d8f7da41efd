#include "color/kmeans_refine.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "color/nearest.h"

namespace imaging::color {

namespace {

Rgb roundedColor(const Centroid& c) {
    auto clamp8 = [](double v) { return static_cast<int>(std::clamp(std::lround(v), 0L, 255L)); };
    return makeRgb(clamp8(c.r), clamp8(c.g), clamp8(c.b));
}

std::vector<Rgb> roundedColors(const std::vector<Centroid>& cs) {
    std::vector<Rgb> out;
    out.reserve(cs.size());
    for (const Centroid& c : cs) out.push_back(roundedColor(c));
    return out;
}

struct ClusterStats {
    double w = 0, r = 0, g = 0, b = 0, rr = 0, gg = 0, bb = 0;
};

class Lloyd {
public:
    Lloyd(const std::vector<ColorPoint>& points) : points_(points), assigned_(points.size(), -1) {}

    // One assignment pass followed by moving every centroid to its points' mean. Returns the
    // squared error of the assignment; clusters that lost all points are dropped.
    double pass(std::vector<Centroid>& centroids, std::vector<ClusterStats>* statsOut = nullptr) {
        const NearestColor nearest(roundedColors(centroids));
        std::vector<ClusterStats> stats(centroids.size());
        double total = 0;
        for (std::size_t i = 0; i < points_.size(); ++i) {
            const ColorPoint& p = points_[i];
            const int guess = assigned_[i] < static_cast<int>(centroids.size()) ? assigned_[i] : -1;
            const int idx = nearest.find(static_cast<int>(p.r + 0.5f), static_cast<int>(p.g + 0.5f),
                                         static_cast<int>(p.b + 0.5f), guess);
            assigned_[i] = idx;
            const Centroid& c = centroids[idx];
            const double dr = p.r - c.r, dg = p.g - c.g, db = p.b - c.b;
            total += (dr * dr + dg * dg + db * db) * p.weight;
            ClusterStats& s = stats[idx];
            s.w += p.weight;
            s.r += p.r * p.weight, s.g += p.g * p.weight, s.b += p.b * p.weight;
            s.rr += static_cast<double>(p.r) * p.r * p.weight;
            s.gg += static_cast<double>(p.g) * p.g * p.weight;
            s.bb += static_cast<double>(p.b) * p.b * p.weight;
        }
        std::vector<Centroid> moved;
        std::vector<ClusterStats> kept;
        for (std::size_t k = 0; k < centroids.size(); ++k) {
            const ClusterStats& s = stats[k];
            if (s.w <= 0) continue;
            moved.push_back({s.r / s.w, s.g / s.w, s.b / s.w});
            kept.push_back(s);
        }
        centroids = std::move(moved);
        if (statsOut) *statsOut = std::move(kept);
        return total;
    }

    // Runs passes until the error stops falling; returns the error of the last assignment.
    double converge(std::vector<Centroid>& centroids, int passes, std::vector<ClusterStats>* stats) {
        double last = std::numeric_limits<double>::max();
        double total = last;
        for (int p = 0; p < passes; ++p) {
            total = pass(centroids, stats);
            if (last - total <= last * 1e-5) break;
            last = total;
        }
        return total;
    }

    // Points ranked by how badly the centroids serve them (weighted squared error).
    std::vector<std::size_t> worstPoints(const std::vector<Centroid>& centroids, std::size_t count) const {
        const NearestColor nearest(roundedColors(centroids));
        std::vector<double> error(points_.size());
        for (std::size_t i = 0; i < points_.size(); ++i) {
            const ColorPoint& p = points_[i];
            if (centroids.empty()) {
                error[i] = p.weight;
                continue;
            }
            const Centroid& c = centroids[nearest.find(static_cast<int>(p.r + 0.5f), static_cast<int>(p.g + 0.5f),
                                                       static_cast<int>(p.b + 0.5f))];
            const double dr = p.r - c.r, dg = p.g - c.g, db = p.b - c.b;
            error[i] = (dr * dr + dg * dg + db * db) * p.weight;
        }
        std::vector<std::size_t> order(points_.size());
        for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
        count = std::min(count, order.size());
        std::partial_sort(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(count), order.end(),
                          [&](std::size_t a, std::size_t b) { return error[a] > error[b]; });
        order.resize(count);
        return order;
    }

private:
    const std::vector<ColorPoint>& points_;
    std::vector<int> assigned_;
};

double squaredSpread(const ClusterStats& s) {
    return s.rr - s.r * s.r / s.w + s.gg - s.g * s.g / s.w + s.bb - s.b * s.b / s.w;
}

// One attempt to leave a local minimum: merge away a cluster that costs little to lose and
// split one with a large spread along its widest channel. `splitRank` and `mergeRank` pick
// the candidates (0 = the widest / the cheapest), so failed attempts can try the next ones.
std::vector<Centroid> splitAndMerge(const std::vector<Centroid>& centroids, const std::vector<ClusterStats>& stats,
                                    std::size_t splitRank, std::size_t mergeRank) {
    const std::size_t n = centroids.size();
    std::vector<std::pair<double, std::size_t>> spread(n), cost(n);
    for (std::size_t k = 0; k < n; ++k) {
        spread[k] = {-squaredSpread(stats[k]), k};
        double nearest = std::numeric_limits<double>::max();
        for (std::size_t j = 0; j < n; ++j) {
            if (j == k) continue;
            const double dr = centroids[k].r - centroids[j].r, dg = centroids[k].g - centroids[j].g,
                         db = centroids[k].b - centroids[j].b;
            nearest = std::min(nearest, dr * dr + dg * dg + db * db);
        }
        cost[k] = {stats[k].w * nearest, k};
    }
    std::sort(spread.begin(), spread.end());
    std::sort(cost.begin(), cost.end());
    if (splitRank >= n || mergeRank >= n) return {};
    const std::size_t widest = spread[splitRank].second, cheapest = cost[mergeRank].second;
    if (widest == cheapest) return {};
    const ClusterStats& s = stats[widest];
    const double vr = s.rr / s.w - (s.r / s.w) * (s.r / s.w), vg = s.gg / s.w - (s.g / s.w) * (s.g / s.w),
                 vb = s.bb / s.w - (s.b / s.w) * (s.b / s.w);
    Centroid a = centroids[widest], b = a;
    if (vr >= vg && vr >= vb) {
        const double d = std::sqrt(std::max(vr, 0.0)) * 0.8;
        a.r -= d, b.r += d;
    } else if (vg >= vb) {
        const double d = std::sqrt(std::max(vg, 0.0)) * 0.8;
        a.g -= d, b.g += d;
    } else {
        const double d = std::sqrt(std::max(vb, 0.0)) * 0.8;
        a.b -= d, b.b += d;
    }
    std::vector<Centroid> out = centroids;
    out[widest] = a;
    out[cheapest] = b;
    return out;
}


// The points merged into bins of 2^shift levels per side at their weighted means: a stand-in
// of a few thousand points even for a noisy photograph, good enough to search for the layout
// of a small palette before the exact points fix the details.
std::vector<ColorPoint> binned(const std::vector<ColorPoint>& points, int shift) {
    struct Sum {
        double r = 0, g = 0, b = 0, w = 0;
    };
    const int side = 256 >> shift;
    std::vector<Sum> bins(static_cast<std::size_t>(side) * side * side);
    for (const ColorPoint& p : points) {
        Sum& s = bins[((static_cast<std::size_t>(p.r) >> shift) * side + (static_cast<std::size_t>(p.g) >> shift)) * side +
                      (static_cast<std::size_t>(p.b) >> shift)];
        s.r += p.r * p.weight, s.g += p.g * p.weight, s.b += p.b * p.weight, s.w += p.weight;
    }
    std::vector<ColorPoint> out;
    for (const Sum& s : bins)
        if (s.w > 0)
            out.push_back({static_cast<float>(s.r / s.w), static_cast<float>(s.g / s.w), static_cast<float>(s.b / s.w), s.w});
    return out;
}

// Lloyd's iterations from `centroids`, filling gaps, then for small palettes a search for a
// better local minimum by moving one colour at a time.
double refine(const std::vector<ColorPoint>& points, std::vector<Centroid>& centroids, std::size_t wanted, int passes,
              int attempts) {
    Lloyd lloyd(points);
    std::vector<ClusterStats> stats;
    double error = std::numeric_limits<double>::max();
    // Colours the split could not provide, or that lost all their points, are re-seeded at
    // the worst-served points; a few rounds suffice because each round fills every gap.
    for (int round = 0; round < 4; ++round) {
        if (centroids.size() < wanted) {
            for (std::size_t i : lloyd.worstPoints(centroids, wanted - centroids.size()))
                centroids.push_back({points[i].r, points[i].g, points[i].b});
        }
        error = lloyd.converge(centroids, passes, &stats);
        if (centroids.size() >= wanted) break;
    }
    std::size_t splitRank = 0, mergeRank = 0;
    for (int a = 0; a < attempts && centroids.size() >= 3; ++a) {
        std::vector<Centroid> trial = splitAndMerge(centroids, stats, splitRank, mergeRank);
        std::vector<ClusterStats> trialStats;
        const double trialError = trial.empty() ? error : lloyd.converge(trial, passes * 2, &trialStats);
        if (trialError < error && trial.size() == centroids.size()) {
            centroids = std::move(trial);
            stats = std::move(trialStats);
            error = trialError;
            splitRank = mergeRank = 0;
        } else if (++mergeRank == 3) {
            mergeRank = 0;
            if (++splitRank == 3) break;
        }
    }
    return error;
}

}  // namespace

std::vector<Rgb> kmeansRefine(const std::vector<ColorPoint>& points, std::vector<Centroid> centroids, int count,
                              int passes) {
    if (points.empty()) return {};
    const std::size_t wanted = static_cast<std::size_t>(std::min<std::size_t>(count, points.size()));
    // Small palettes are where k-means most often settles in a poor local minimum, and where
    // trying alternatives is cheap: on binned points, move one colour from where it is least
    // needed to where the error is largest, and keep the move when the converged error is
    // lower. The exact points then settle the result.
    if (wanted <= 64) {
        std::vector<ColorPoint> coarse = binned(points, 3);
        if (coarse.size() > 6000) coarse = binned(points, 4);
        if (coarse.size() > wanted * 4) refine(coarse, centroids, wanted, passes * 2, 24);
    }
    refine(points, centroids, wanted, passes, 0);

    std::vector<Rgb> out = roundedColors(centroids);
    // Two centroids closer than half a level round to one colour; one entry serves both.
    std::vector<Rgb> unique;
    unique.reserve(out.size());
    for (Rgb c : out)
        if (std::find(unique.begin(), unique.end(), c) == unique.end()) unique.push_back(c);
    return unique;
}

}  // namespace imaging::color
