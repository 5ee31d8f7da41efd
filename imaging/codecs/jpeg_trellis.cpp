#include "codecs/jpeg_trellis.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace imaging::jpeg {

const int kZigzag[64] = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                         12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                         35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                         58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

namespace {

// The example tables of the JPEG standard (its annex K), which libjpeg uses.
constexpr unsigned int kStandardLuma[64] = {16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
                                            14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
                                            18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
                                            49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};
constexpr unsigned int kStandardChroma[64] = {17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99,
                                              24, 26, 56, 99, 99, 99, 99, 99, 47, 66, 99, 99, 99, 99, 99, 99,
                                              99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
                                              99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99};

// Luminance tables from the contrast sensitivity of the eye (Mannos and Sakrison 1974):
//   S(f) = 2.6 (0.0192 + 0.114 f) exp(-(0.114 f)^1.1),  f in cycles per degree,
// held at its peak below the peak frequency (a quantiser step must not grow toward DC). Basis
// function (u, v) has f = sqrt(u^2 + v^2) / 16 cycles per pixel times the viewing distance in
// pixels per degree; the step is proportional to S^-power. Each table is scaled so the
// geometric mean of its steps is kMeanStep times the standard table's: trellis quantisation
// gives up some quality for its bits, and at 0.9 a file at a given quality factor measures
// about the SSIM the plain encoder's does (-0.006..+0.002 at quality 60-90 on the benchmark's
// photographs) while it is 8-33 % smaller, so the quality factor keeps its meaning. Chrominance keeps the standard's table: the
// quality measure the tables are tuned by sees luma only, and must not be allowed to trade
// away colour it cannot see.
struct CsfParameters {
    double pixelsPerDegree;
    double power;
};
// Sets 1 to 6. Set 3, the one in use, steps about as the standard table does up to the middle
// frequencies (17 for DC and the lowest, where the standard has 10-16; 31-43 where it has
// 40-60) and much more coarsely at the highest diagonal ones (206 against 99), the same in
// both directions.
constexpr CsfParameters kCsfSets[] = {{30, 1.0}, {45, 1.0}, {60, 1.0}, {45, 0.7}, {60, 0.7}, {90, 0.6}};

double sensitivity(double f) { return 2.6 * (0.0192 + 0.114 * f) * std::exp(-std::pow(0.114 * f, 1.1)); }

std::array<unsigned int, 64> csfTable(const CsfParameters& p) {
    constexpr double kPeak = 8.0;  // cycles per degree where S(f) is largest
    double steps[64];
    double logSum = 0, standardLogSum = 0;
    for (int v = 0; v < 8; ++v)
        for (int u = 0; u < 8; ++u) {
            const double f = std::max(kPeak, std::hypot(u, v) / 16.0 * p.pixelsPerDegree);
            steps[v * 8 + u] = std::pow(sensitivity(kPeak) / sensitivity(f), p.power);
            logSum += std::log(steps[v * 8 + u]);
            standardLogSum += std::log(static_cast<double>(kStandardLuma[v * 8 + u]));
        }
    constexpr double kMeanStep = 0.9;
    const double scale = kMeanStep * std::exp((standardLogSum - logSum) / 64);
    std::array<unsigned int, 64> table{};
    for (int i = 0; i < 64; ++i) table[i] = static_cast<unsigned int>(std::clamp(std::lround(steps[i] * scale), 1L, 255L));
    return table;
}

const std::vector<std::array<unsigned int, 64>>& csfTables() {
    static const std::vector<std::array<unsigned int, 64>> tables = [] {
        std::vector<std::array<unsigned int, 64>> t;
        for (const CsfParameters& p : kCsfSets) t.push_back(csfTable(p));
        return t;
    }();
    return tables;
}

}  // namespace

int tableSetCount() { return 1 + static_cast<int>(std::size(kCsfSets)); }

const unsigned int* baseTable(int set, int which) {
    if (which != 0 || set <= 0 || set >= tableSetCount()) return which == 0 ? kStandardLuma : kStandardChroma;
    return csfTables()[static_cast<std::size_t>(set - 1)].data();
}

void countSymbols(const std::int16_t* block, std::uint32_t (&counts)[256]) {
    int run = 0;
    for (int k = 1; k < 64; ++k) {
        const int v = block[kZigzag[k]];
        if (v == 0) {
            ++run;
            continue;
        }
        for (; run > 15; run -= 16) ++counts[0xF0];
        ++counts[(run << 4) | std::bit_width(static_cast<unsigned>(std::abs(v)))];
        run = 0;
    }
    if (run > 0) ++counts[0x00];
}

RateModel rateFromCounts(const std::uint32_t (&counts)[256]) {
    double total = 0;
    for (std::uint32_t c : counts) total += c;
    RateModel m{};
    for (int s = 0; s < 256; ++s) {
        // A symbol never seen would get its code from the tail of the table: as long as the
        // longest codes. Seen ones cost their information content, within 1..16 bits.
        const double bits = counts[s] ? -std::log2(counts[s] / std::max(1.0, total)) : 16.0;
        m.acBits[s] = static_cast<float>(std::clamp(bits, 1.0, 16.0));
    }
    return m;
}

void trellisBlock(const std::int16_t* raw, std::int16_t* out, const float* inverseStep, const RateModel& rate,
                  float lambda) {
    // Only coefficients that round to non-zero are choices: the others stay zero whatever is
    // chosen, so their error is the same on every path and drops out of the comparison. For
    // each candidate i (at zig-zag position position[i]) the programme keeps the least cost of
    // coding up to it with i the last non-zero so far, and the candidate before it (-1: none,
    // the DC is coded apart). Which value i holds does not change what follows (the next code
    // depends on the run and its own size only), so one entry per candidate is all it needs.
    int position[63];
    float magnitude[63];
    float zeroCost[64];  // zeroCost[i]: error of zeroing candidates 0..i-1
    int count = 0;
    zeroCost[0] = 0;
    for (int k = 1; k < 64; ++k) {
        const int n = kZigzag[k];
        if (out[n] == 0) continue;
        position[count] = k;
        magnitude[count] = static_cast<float>(std::abs(raw[n])) * inverseStep[n];
        zeroCost[count + 1] = zeroCost[count] + magnitude[count] * magnitude[count];
        ++count;
    }
    if (count == 0) return;
    // A run may start after any earlier candidate; those more than kReach back (zeroing that
    // many values that round to non-zero in one run) practically never win and would make busy
    // blocks cost the square of their length, so only the block's start stands in for them.
    constexpr int kReach = 12;
    float cost[63];
    int previous[63];
    int value[63];
    for (int i = 0; i < count; ++i) {
        const int rounded = std::max(1, static_cast<int>(magnitude[i] + 0.5f));
        float best = INFINITY;
        int bestFrom = -1, bestValue = 0;
        const int nearest = std::max(0, i - kReach);
        // The rounded value and the one below it; zero is the choice not to end a run here.
        for (int m = rounded; m >= std::max(1, rounded - 1); --m) {
            const int size = std::bit_width(static_cast<unsigned>(m));
            const float error = (magnitude[i] - static_cast<float>(m)) * (magnitude[i] - static_cast<float>(m));
            for (int j = -1; j < i; j = j == -1 ? nearest : j + 1) {
                const int run = position[i] - (j < 0 ? 0 : position[j]) - 1;
                const float bits = static_cast<float>(run >> 4) * rate.acBits[0xF0] +
                                   rate.acBits[((run & 15) << 4) | size] + static_cast<float>(size);
                const float total = (j < 0 ? 0.0f : cost[j]) + (zeroCost[i] - zeroCost[j + 1]) + lambda * bits + error;
                if (total < best) {
                    best = total;
                    bestFrom = j;
                    bestValue = m;
                }
            }
        }
        cost[i] = best;
        previous[i] = bestFrom;
        value[i] = bestValue;
    }
    // Where the block ends: after the last position (no end-of-block code) or with one.
    float best = INFINITY;
    int last = -1;
    for (int j = -1; j < count; ++j) {
        const bool ends = j >= 0 && position[j] == 63;
        const float total =
            (j < 0 ? 0.0f : cost[j]) + (zeroCost[count] - zeroCost[j + 1]) + (ends ? 0.0f : lambda * rate.acBits[0x00]);
        if (total < best) {
            best = total;
            last = j;
        }
    }
    for (int i = 0; i < count; ++i) out[kZigzag[position[i]]] = 0;
    for (int i = last; i >= 0; i = previous[i]) {
        const int n = kZigzag[position[i]];
        out[n] = static_cast<std::int16_t>(raw[n] < 0 ? -value[i] : value[i]);
    }
}

}  // namespace imaging::jpeg
