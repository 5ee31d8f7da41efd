#include "color/wu_quantizer.h"

#include <algorithm>
#include <array>

namespace imaging::color {

namespace {

constexpr int kSide = 33;  // 32 levels per channel plus the zero row of the prefix sums

inline int at(int r, int g, int b) { return (r * kSide + g) * kSide + b; }

struct Moments {
    std::vector<double> w, r, g, b, m2;
    Moments() : w(kSide * kSide * kSide, 0), r(w), g(w), b(w), m2(w) {}
};

struct Box {
    int r0, r1, g0, g1, b0, b1;  // exclusive lower, inclusive upper bounds in prefix space
    int volume() const { return (r1 - r0) * (g1 - g0) * (b1 - b0); }
};

double vol(const Box& c, const std::vector<double>& m) {
    return m[at(c.r1, c.g1, c.b1)] - m[at(c.r1, c.g1, c.b0)] - m[at(c.r1, c.g0, c.b1)] + m[at(c.r1, c.g0, c.b0)] -
           m[at(c.r0, c.g1, c.b1)] + m[at(c.r0, c.g1, c.b0)] + m[at(c.r0, c.g0, c.b1)] - m[at(c.r0, c.g0, c.b0)];
}

enum Axis { Red, Green, Blue };

// The part of vol() that does not depend on the cut position along `axis`.
double bottom(const Box& c, Axis axis, const std::vector<double>& m) {
    switch (axis) {
    case Red:
        return -m[at(c.r0, c.g1, c.b1)] + m[at(c.r0, c.g1, c.b0)] + m[at(c.r0, c.g0, c.b1)] - m[at(c.r0, c.g0, c.b0)];
    case Green:
        return -m[at(c.r1, c.g0, c.b1)] + m[at(c.r1, c.g0, c.b0)] + m[at(c.r0, c.g0, c.b1)] - m[at(c.r0, c.g0, c.b0)];
    default:
        return -m[at(c.r1, c.g1, c.b0)] + m[at(c.r1, c.g0, c.b0)] + m[at(c.r0, c.g1, c.b0)] - m[at(c.r0, c.g0, c.b0)];
    }
}

double top(const Box& c, Axis axis, int pos, const std::vector<double>& m) {
    switch (axis) {
    case Red:
        return m[at(pos, c.g1, c.b1)] - m[at(pos, c.g1, c.b0)] - m[at(pos, c.g0, c.b1)] + m[at(pos, c.g0, c.b0)];
    case Green:
        return m[at(c.r1, pos, c.b1)] - m[at(c.r1, pos, c.b0)] - m[at(c.r0, pos, c.b1)] + m[at(c.r0, pos, c.b0)];
    default:
        return m[at(c.r1, c.g1, pos)] - m[at(c.r1, c.g0, pos)] - m[at(c.r0, c.g1, pos)] + m[at(c.r0, c.g0, pos)];
    }
}

double variance(const Box& c, const Moments& m) {
    const double w = vol(c, m.w);
    if (w <= 0) return 0;
    const double dr = vol(c, m.r), dg = vol(c, m.g), db = vol(c, m.b);
    return vol(c, m.m2) - (dr * dr + dg * dg + db * db) / w;
}

// Best cut of `c` along `axis`: the position maximising the between-halves sum of squares.
double maximize(const Box& c, Axis axis, int first, int last, int& cut, const Moments& m, double wr, double wg,
                double wb, double ww) {
    const double baseR = bottom(c, axis, m.r), baseG = bottom(c, axis, m.g), baseB = bottom(c, axis, m.b),
                 baseW = bottom(c, axis, m.w);
    double best = 0;
    cut = -1;
    for (int i = first; i < last; ++i) {
        double hr = baseR + top(c, axis, i, m.r), hg = baseG + top(c, axis, i, m.g),
               hb = baseB + top(c, axis, i, m.b), hw = baseW + top(c, axis, i, m.w);
        if (hw <= 0) continue;
        double score = (hr * hr + hg * hg + hb * hb) / hw;
        hr = wr - hr, hg = wg - hg, hb = wb - hb, hw = ww - hw;
        if (hw <= 0) continue;
        score += (hr * hr + hg * hg + hb * hb) / hw;
        if (score > best) best = score, cut = i;
    }
    return best;
}

bool cutBox(Box& a, Box& b, const Moments& m) {
    const double wr = vol(a, m.r), wg = vol(a, m.g), wb = vol(a, m.b), ww = vol(a, m.w);
    int cutR, cutG, cutB;
    const double maxR = maximize(a, Red, a.r0 + 1, a.r1, cutR, m, wr, wg, wb, ww);
    const double maxG = maximize(a, Green, a.g0 + 1, a.g1, cutG, m, wr, wg, wb, ww);
    const double maxB = maximize(a, Blue, a.b0 + 1, a.b1, cutB, m, wr, wg, wb, ww);
    Axis axis;
    if (maxR >= maxG && maxR >= maxB) {
        if (cutR < 0) return false;
        axis = Red;
    } else if (maxG >= maxR && maxG >= maxB) {
        axis = Green;
    } else {
        axis = Blue;
    }
    b.r1 = a.r1, b.g1 = a.g1, b.b1 = a.b1;
    switch (axis) {
    case Red: b.r0 = a.r1 = cutR, b.g0 = a.g0, b.b0 = a.b0; break;
    case Green: b.g0 = a.g1 = cutG, b.r0 = a.r0, b.b0 = a.b0; break;
    case Blue: b.b0 = a.b1 = cutB, b.r0 = a.r0, b.g0 = a.g0; break;
    }
    return true;
}

}  // namespace

std::vector<Centroid> wuSplit(const std::vector<ColorPoint>& points, int count) {
    Moments m;
    for (const ColorPoint& p : points) {
        const int i = at(static_cast<int>(p.r) / 8 + 1, static_cast<int>(p.g) / 8 + 1, static_cast<int>(p.b) / 8 + 1);
        m.w[i] += p.weight;
        m.r[i] += p.r * p.weight;
        m.g[i] += p.g * p.weight;
        m.b[i] += p.b * p.weight;
        m.m2[i] += (static_cast<double>(p.r) * p.r + static_cast<double>(p.g) * p.g + static_cast<double>(p.b) * p.b) *
                   p.weight;
    }
    // Turn the cells into prefix sums, one axis at a time.
    for (std::vector<double>* arr : {&m.w, &m.r, &m.g, &m.b, &m.m2}) {
        std::vector<double>& a = *arr;
        for (int r = 1; r < kSide; ++r)
            for (int g = 0; g < kSide; ++g)
                for (int b = 0; b < kSide; ++b) a[at(r, g, b)] += a[at(r - 1, g, b)];
        for (int r = 0; r < kSide; ++r)
            for (int g = 1; g < kSide; ++g)
                for (int b = 0; b < kSide; ++b) a[at(r, g, b)] += a[at(r, g - 1, b)];
        for (int r = 0; r < kSide; ++r)
            for (int g = 0; g < kSide; ++g)
                for (int b = 1; b < kSide; ++b) a[at(r, g, b)] += a[at(r, g, b - 1)];
    }

    std::vector<Box> boxes(std::max(count, 1));
    std::vector<double> var(boxes.size(), 0);
    boxes[0] = {0, kSide - 1, 0, kSide - 1, 0, kSide - 1};
    int made = 1;
    int next = 0;
    while (made < count) {
        if (cutBox(boxes[next], boxes[made], m)) {
            var[next] = boxes[next].volume() > 1 ? variance(boxes[next], m) : 0;
            var[made] = boxes[made].volume() > 1 ? variance(boxes[made], m) : 0;
            ++made;
        } else {
            var[next] = 0;
        }
        next = 0;
        double best = var[0];
        for (int k = 1; k < made; ++k)
            if (var[k] > best) best = var[k], next = k;
        if (best <= 0) break;
    }

    std::vector<Centroid> out;
    for (int k = 0; k < made; ++k) {
        const double w = vol(boxes[k], m.w);
        if (w <= 0) continue;
        out.push_back({vol(boxes[k], m.r) / w, vol(boxes[k], m.g) / w, vol(boxes[k], m.b) / w});
    }
    return out;
}

}  // namespace imaging::color
