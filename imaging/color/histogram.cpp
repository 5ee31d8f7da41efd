#include "color/histogram.h"

#include <algorithm>

#include "core/parallel.h"

namespace imaging::color {

namespace {
inline std::uint32_t hashColor(std::uint32_t c) { return c * 0x9E3779B1u; }
}  // namespace

DistinctColors::DistinctColors(int limit) : limit_(limit) {
    std::size_t size = 64;
    while (size < static_cast<std::size_t>(limit) * 4 + 4) size *= 2;
    slots_.assign(size, 0);
}

bool DistinctColors::insert(Rgb c) {
    const std::size_t mask = slots_.size() - 1;
    std::size_t h = (hashColor(c) >> 7) & mask;
    const std::uint32_t key = c + 1;
    while (slots_[h] != 0) {
        if (slots_[h] == key) return true;
        h = (h + 1) & mask;
    }
    if (count_ == limit_) {
        overflow_ = true;
        return false;
    }
    slots_[h] = key;
    ++count_;
    return true;
}

bool DistinctColors::add(const WorkImage& image) {
    if (overflow_) return false;
    const std::uint8_t* p = image.rgb;
    const std::size_t n = image.pixelCount();
    Rgb last = 0xFFFFFFFF;
    for (std::size_t i = 0; i < n; ++i, p += 3) {
        if (image.isTransparent(i)) continue;
        const Rgb c = makeRgb(p[0], p[1], p[2]);
        if (c == last) continue;  // runs of one colour are the common case in graphics
        last = c;
        if (!insert(c)) return false;
    }
    return true;
}

std::vector<Rgb> DistinctColors::colors() const {
    std::vector<Rgb> out;
    out.reserve(count_);
    for (std::uint32_t k : slots_)
        if (k != 0) out.push_back(k - 1);
    std::sort(out.begin(), out.end());
    return out;
}

namespace {
// At most this many bins: 2^17 bins in a table of twice the size is 5 MiB.
constexpr std::size_t kMaxBins = std::size_t{1} << 17;
}  // namespace

Histogram::Histogram(std::size_t expectedPixels) {
    std::size_t slots = 256;
    while (slots < kMaxBins * 2 && slots < expectedPixels * 2) slots *= 2;
    bins_.assign(slots, Bin{0, 0, 0, 0, 0});
    maxBins_ = slots / 2;
}

Histogram::Bin& Histogram::slot(std::uint32_t key) {
    const std::size_t mask = bins_.size() - 1;
    std::size_t h = (hashColor(key) >> 8) & mask;
    while (bins_[h].key != 0 && bins_[h].key != key) h = (h + 1) & mask;
    return bins_[h];
}

Histogram::Bin Histogram::coarser(const Bin& b, int s) {
    const std::uint32_t levelMask = (1u << (8 - s)) - 1;  // key bits per channel before
    const std::uint32_t k = b.key - 1;
    const std::uint32_t r = (k >> 16) & levelMask, g = (k >> 8) & levelMask, bl = k & levelMask;
    Bin d{((r >> 1) << 16 | (g >> 1) << 8 | (bl >> 1)) + 1, b.count, 0, 0, 0};
    // The bit that moves out of the key joins the low sums at its weight.
    d.lowR = b.lowR + ((r & 1) << s) * b.count;
    d.lowG = b.lowG + ((g & 1) << s) * b.count;
    d.lowB = b.lowB + ((bl & 1) << s) * b.count;
    return d;
}

void Histogram::coarsen() {
    std::vector<Bin> old(bins_.size(), Bin{0, 0, 0, 0, 0});
    old.swap(bins_);
    used_ = 0;
    const int s = shift_;
    ++shift_;
    for (const Bin& b : old)
        if (b.key != 0) addBin(coarser(b, s));
}

void Histogram::addBin(const Bin& b) {
    Bin& d = slot(b.key);
    if (d.key == 0) d.key = b.key, ++used_;
    d.count += b.count;
    d.lowR += b.lowR;
    d.lowG += b.lowG;
    d.lowB += b.lowB;
}

std::size_t Histogram::sampleStep(std::size_t pixels) const {
    // Animations can add up to more pixels than the counters hold; sampling every k-th pixel
    // changes the weights proportionally and the palette hardly at all.
    constexpr std::uint64_t kCap = 1ull << 28;
    return total_ + pixels > kCap ? static_cast<std::size_t>((total_ + pixels) / kCap + 1) : 1;
}

void Histogram::add(const WorkImage& image) {
    const std::size_t n = image.pixelCount();
    addRange(image, 0, n, sampleStep(n));
}

void Histogram::addRange(const WorkImage& image, std::size_t begin, std::size_t end, std::size_t step) {
    const bool masked = image.hasTransparency();
    std::uint32_t lastKey = 0;
    Bin* last = nullptr;
    for (std::size_t i = (begin + step - 1) / step * step; i < end; i += step) {
        if (masked && image.transparent[i]) continue;
        const std::uint8_t* p = image.rgb + 3 * i;
        const std::uint32_t colorKey = (static_cast<std::uint32_t>(p[0]) << 16) | (p[1] << 8) | p[2];
        if (colorKey + 1 != lastKey || !last) {
            // Runs of one colour skip the table; bins are never moved except by coarsen().
            for (;;) {
                const int s = shift_;
                const std::uint32_t key = ((p[0] >> s) << 16 | (p[1] >> s) << 8 | (p[2] >> s)) + 1;
                Bin& bin = slot(key);
                if (bin.key == key) {
                    last = &bin;
                    break;
                }
                if (used_ < maxBins_) {
                    bin.key = key;
                    ++used_;
                    last = &bin;
                    break;
                }
                coarsen();
            }
            lastKey = colorKey + 1;
        }
        const std::uint32_t low = (1u << shift_) - 1;
        ++last->count;
        last->lowR += p[0] & low;
        last->lowG += p[1] & low;
        last->lowB += p[2] & low;
        ++total_;
    }
}

void Histogram::merge(const Histogram& other) {
    while (shift_ < other.shift_) coarsen();
    for (const Bin& from : other.bins_) {
        if (from.key == 0) continue;
        Bin b = from;
        int s = other.shift_;
        for (;;) {
            while (s < shift_) b = coarser(b, s++);
            const Bin& d = slot(b.key);
            if (d.key == b.key || used_ < maxBins_) break;
            coarsen();
        }
        addBin(b);
    }
    total_ += other.total_;
}

void Histogram::addParallel(const WorkImage& image) {
    const std::size_t n = image.pixelCount();
    const std::size_t step = sampleStep(n);
    if (n < kParallelPixels) {
        addRange(image, 0, n, step);
        return;
    }
    // A fixed number of bands, merged in their order: the bins and their order in the table
    // (which the palette search sees) are the same whatever number of cores counts them.
    std::vector<Histogram> bands;
    bands.reserve(kBands);
    for (std::size_t i = 0; i < kBands; ++i) bands.emplace_back(n / kBands + 1);
    parallelFor(kBands, [&](std::size_t i) {
        bands[i].addRange(image, rangeStart(n, kBands, i), rangeStart(n, kBands, i + 1), step);
    });
    for (const Histogram& band : bands) merge(band);
}

std::vector<ColorPoint> Histogram::points() const {
    std::vector<ColorPoint> out;
    out.reserve(used_);
    const int s = shift_;
    for (const Bin& bin : bins_) {
        if (bin.key == 0) continue;
        const std::uint32_t k = bin.key - 1;
        const double n = bin.count;
        const float r = static_cast<float>((((k >> 16) & 0xFF) << s) + bin.lowR / n);
        const float g = static_cast<float>((((k >> 8) & 0xFF) << s) + bin.lowG / n);
        const float b = static_cast<float>(((k & 0xFF) << s) + bin.lowB / n);
        out.push_back({r, g, b, n});
    }
    return out;
}

}  // namespace imaging::color
