#include "ops/point_ops.h"

#include <array>
#include <cmath>
#include <string>

#include "ops/ops_support.h"

namespace imaging::ops {

using detail::applyInside;
using detail::clampByte;

namespace {

using Table = std::array<std::uint8_t, 256>;

void checkRange(const char* op, int value, int low, int high) {
    if (value < low || value > high)
        detail::badArgument(op, "value " + std::to_string(value) + " is outside " + std::to_string(low) + ".." +
                                    std::to_string(high));
}

Rgb mapThroughTables(Rgb c, const Table& r, const Table& g, const Table& b) {
    return makeRgb(r[redOf(c)], g[greenOf(c)], b[blueOf(c)]);
}

// A true colour bitmap's transparent colour names the pixels that are see-through; when every
// pixel goes through a colour mapping, the colour must go through it too, or the picture would
// lose (or gain) transparent pixels.
template <typename Map>
void mapTransparentColor(Bitmap& work, const Region* local, Map map) {
    if (local || work.isIndexed() || !work.transparent() || isPaletteReference(work.transparentColor())) return;
    work.setTransparentColor(map(work.transparentColor() & 0xFFFFFF));
}

// One table for all three channels. Palette bitmaps change their palette, true colour
// bitmaps run the table over their bytes in one pass.
void applyTables(Bitmap& bitmap, const Region* region, const Table& r, const Table& g, const Table& b) {
    applyInside(bitmap, region, 0, [&](Bitmap& work, const Region* local) {
        if (work.isIndexed()) {
            for (Rgb& c : work.palette()) c = mapThroughTables(c, r, g, b);
            return;
        }
        detail::promoteToTrueColor(work);
        detail::applyChannelTables(work, r.data(), g.data(), b.data(), local);
        mapTransparentColor(work, local, [&](Rgb c) { return mapThroughTables(c, r, g, b); });
    });
}

void applyTable(Bitmap& bitmap, const Region* region, const Table& t) { applyTables(bitmap, region, t, t, t); }

// The same, for a colour mapping that needs all three channels at once: `fn` rewrites the
// R, G, B bytes it is handed in place.
template <typename Fn>
void applyColorFunction(Bitmap& bitmap, const Region* region, Fn fn) {
    applyInside(bitmap, region, 0, [&](Bitmap& work, const Region* local) {
        if (work.isIndexed()) {
            for (Rgb& c : work.palette()) {
                std::uint8_t p[3] = {static_cast<std::uint8_t>(redOf(c)), static_cast<std::uint8_t>(greenOf(c)),
                                     static_cast<std::uint8_t>(blueOf(c))};
                fn(p);
                c = makeRgb(p[0], p[1], p[2]);
            }
            return;
        }
        detail::promoteToTrueColor(work);
        mapTransparentColor(work, local, [&](Rgb c) {
            std::uint8_t p[3] = {static_cast<std::uint8_t>(redOf(c)), static_cast<std::uint8_t>(greenOf(c)),
                                 static_cast<std::uint8_t>(blueOf(c))};
            fn(p);
            return makeRgb(p[0], p[1], p[2]);
        });
        const int bpp = work.bytesPerPixel();
        for (int y = 0; y < work.height(); ++y) {
            std::uint8_t* p = work.row(y);
            if (!local) {
                for (int x = 0; x < work.width(); ++x, p += bpp) fn(p);
                continue;
            }
            for (int x = 0; x < work.width(); ++x, p += bpp)
                if (local->contains(x, y)) fn(p);
        }
    });
}

// Histograms of the pixels a statistic is taken over: the selected ones, or all. Palette
// bitmaps count each pixel's palette colour.
struct Histograms {
    std::array<std::array<long long, 256>, 3> channel{};
    long long pixels = 0;
};

Histograms histogramsOf(const Bitmap& bitmap, const Region* local) {
    Histograms h;
    const int bpp = bitmap.bytesPerPixel();
    for (int y = 0; y < bitmap.height(); ++y) {
        const std::uint8_t* p = bitmap.row(y);
        for (int x = 0; x < bitmap.width(); ++x, p += bpp) {
            if (local && !local->contains(x, y)) continue;
            Rgb c;
            if (bitmap.isIndexed()) c = detail::paletteColor(bitmap.palette(), p[0]);
            else if (bitmap.bits() == 16) c = unpackRgb555(static_cast<std::uint16_t>(p[0] | (p[1] << 8)));
            else c = makeRgb(p[0], p[1], p[2]);
            ++h.channel[0][redOf(c)];
            ++h.channel[1][greenOf(c)];
            ++h.channel[2][blueOf(c)];
            ++h.pixels;
        }
    }
    return h;
}

// Runs a histogram-driven correction: the tables are built from the statistics of exactly
// the pixels they will be applied to.
template <typename Build>
void applyFromHistogram(Bitmap& bitmap, const Region* region, Build build) {
    applyInside(bitmap, region, 0, [&](Bitmap& work, const Region* local) {
        const Histograms h = histogramsOf(work, local);
        std::array<Table, 3> t;
        build(h, t);
        if (work.isIndexed()) {
            for (Rgb& c : work.palette()) c = mapThroughTables(c, t[0], t[1], t[2]);
            return;
        }
        detail::promoteToTrueColor(work);
        detail::applyChannelTables(work, t[0].data(), t[1].data(), t[2].data(), local);
        mapTransparentColor(work, local, [&](Rgb c) { return mapThroughTables(c, t[0], t[1], t[2]); });
    });
}

std::array<long long, 256> combined(const Histograms& h) {
    std::array<long long, 256> all{};
    for (int v = 0; v < 256; ++v) all[v] = h.channel[0][v] + h.channel[1][v] + h.channel[2][v];
    return all;
}

Table stretchTable(int lo, int hi) {
    Table t;
    for (int v = 0; v < 256; ++v)
        t[v] = hi > lo ? clampByte(static_cast<int>(std::lround((v - lo) * 255.0 / (hi - lo)))) : static_cast<std::uint8_t>(v);
    return t;
}

}  // namespace

void intensity(Bitmap& bitmap, int value, const Region* region) {
    detail::requireImage(bitmap, "Intensity");
    checkRange("Intensity", value, -1000, 1000);
    const int delta = static_cast<int>(std::lround(255.0 * value / 1000.0));
    Table t;
    for (int v = 0; v < 256; ++v) t[v] = clampByte(v + delta);
    applyTable(bitmap, region, t);
}

void gammaCorrect(Bitmap& bitmap, int value, const Region* region) {
    detail::requireImage(bitmap, "GammaCorrect");
    checkRange("GammaCorrect", value, 0, 300);
    Table t;
    for (int v = 0; v < 256; ++v) {
        if (value == 0) t[v] = v == 255 ? 255 : 0;
        else t[v] = clampByte(255.0 * std::pow(v / 255.0, 100.0 / value));
    }
    applyTable(bitmap, region, t);
}

void contrast(Bitmap& bitmap, int value, const Region* region) {
    detail::requireImage(bitmap, "Contrast");
    checkRange("Contrast", value, -1000, 1000);
    Table t;
    for (int v = 0; v < 256; ++v) {
        if (value == 1000) t[v] = v >= 128 ? 255 : 0;
        else {
            const double f = value <= 0 ? (1000.0 + value) / 1000.0 : 1000.0 / (1000.0 - value);
            t[v] = clampByte(128.0 + (v - 128) * f);
        }
    }
    applyTable(bitmap, region, t);
}

void histoContrast(Bitmap& bitmap, int value, const Region* region) {
    detail::requireImage(bitmap, "HistoContrast");
    checkRange("HistoContrast", value, -1000, 1000);
    applyFromHistogram(bitmap, region, [&](const Histograms& h, std::array<Table, 3>& t) {
        const auto all = combined(h);
        const long long total = h.pixels * 3;
        long long sum = 0, running = 0;
        int lo = 0, hi = 255;
        for (int v = 0; v < 256; ++v) sum += all[v] * v;
        // lo: first level where the share at or below reaches 0.5 %; hi: the same from the top.
        for (int v = 0; v < 256; ++v) {
            running += all[v];
            if (running * 200 >= total) {
                lo = v;
                break;
            }
        }
        running = 0;
        for (int v = 255; v >= 0; --v) {
            running += all[v];
            if (running * 200 >= total) {
                hi = v;
                break;
            }
        }
        const double mean = total ? static_cast<double>(sum) / total : 128.0;
        const Table s = stretchTable(lo, hi);
        const double k = std::abs(value) / 1000.0;
        for (int v = 0; v < 256; ++v) {
            const double target = value >= 0 ? s[v] : mean;
            t[0][v] = clampByte(v + k * (target - v));
        }
        t[1] = t[2] = t[0];
    });
}

void stretchIntensity(Bitmap& bitmap, const Region* region) {
    detail::requireImage(bitmap, "StretchIntensity");
    applyFromHistogram(bitmap, region, [&](const Histograms& h, std::array<Table, 3>& t) {
        const auto all = combined(h);
        int lo = 0, hi = 255;
        while (lo < 255 && all[lo] == 0) ++lo;
        while (hi > 0 && all[hi] == 0) --hi;
        t[0] = t[1] = t[2] = stretchTable(lo, hi);
    });
}

void invert(Bitmap& bitmap, const Region* region) {
    detail::requireImage(bitmap, "Invert");
    Table t;
    for (int v = 0; v < 256; ++v) t[v] = static_cast<std::uint8_t>(255 - v);
    applyTable(bitmap, region, t);
}

void hue(Bitmap& bitmap, int degrees, const Region* region) {
    detail::requireImage(bitmap, "Hue");
    checkRange("Hue", degrees, -360, 360);
    const int turn = ((degrees % 360) + 360) % 360;
    if (turn == 0) return;
    // The hue position of a colour with chroma c = max - min runs over 6 sectors of c steps
    // each; a turn by d degrees adds d * c / 60 steps, precomputed per chroma.
    std::array<int, 256> shift{};
    for (int c = 0; c < 256; ++c) shift[c] = static_cast<int>(std::lround(turn * c / 60.0));
    applyColorFunction(bitmap, region, [&](std::uint8_t* p) {
        const int r = p[0], g = p[1], b = p[2];
        const int mx = std::max({r, g, b}), mn = std::min({r, g, b}), c = mx - mn;
        if (c == 0) return;
        int h;
        if (mx == r) h = g >= b ? g - b : 6 * c + (g - b);
        else if (mx == g) h = 2 * c + (b - r);
        else h = 4 * c + (r - g);
        h += shift[c];  // shift < 6c, so one wrap at most
        if (h >= 6 * c) h -= 6 * c;
        const int sector = h < 3 * c ? (h < c ? 0 : (h < 2 * c ? 1 : 2)) : (h < 4 * c ? 3 : (h < 5 * c ? 4 : 5));
        const int f = h - sector * c;
        int nr, ng, nb;
        switch (sector) {
        case 0: nr = mx, ng = mn + f, nb = mn; break;
        case 1: nr = mx - f, ng = mx, nb = mn; break;
        case 2: nr = mn, ng = mx, nb = mn + f; break;
        case 3: nr = mn, ng = mx - f, nb = mx; break;
        case 4: nr = mn + f, ng = mn, nb = mx; break;
        default: nr = mx, ng = mn, nb = mx - f; break;
        }
        p[0] = static_cast<std::uint8_t>(nr);
        p[1] = static_cast<std::uint8_t>(ng);
        p[2] = static_cast<std::uint8_t>(nb);
    });
}

void saturation(Bitmap& bitmap, int value, const Region* region) {
    detail::requireImage(bitmap, "Saturation");
    checkRange("Saturation", value, -1000, 1000);
    if (value == 0) return;
    // Factor in 1/1024 steps so the inner loop stays in integers.
    const int k = static_cast<int>(std::lround((1000.0 + value) * 1024.0 / 1000.0));
    applyColorFunction(bitmap, region, [&](std::uint8_t* p) {
        const int l = detail::intensityOf(p[0], p[1], p[2]);
        for (int ch = 0; ch < 3; ++ch) p[ch] = clampByte(l + (((p[ch] - l) * k + 512) >> 10));
    });
}

void histoEqualize(Bitmap& bitmap, const Region* region) {
    detail::requireImage(bitmap, "HistoEqualize");
    applyFromHistogram(bitmap, region, [&](const Histograms& h, std::array<Table, 3>& t) {
        for (int ch = 0; ch < 3; ++ch) {
            long long cdf = 0, cdf0 = -1;
            for (int v = 0; v < 256; ++v) {
                cdf += h.channel[ch][v];
                if (cdf0 < 0 && cdf > 0) cdf0 = cdf;
                if (cdf0 < 0 || h.pixels == cdf0) t[ch][v] = static_cast<std::uint8_t>(v);
                else t[ch][v] = clampByte(static_cast<int>(std::lround((cdf - cdf0) * 255.0 / (h.pixels - cdf0))));
            }
        }
    });
}

void fill(Bitmap& bitmap, Rgb colour, const Region* region) {
    detail::requireImage(bitmap, "Fill");
    if (colour > 0xFFFFFF && !isPaletteReference(colour))
        detail::badArgument("Fill", "colour " + std::to_string(colour) + " is neither RGB nor a palette entry");
    if (bitmap.isIndexed() && !isPaletteReference(colour)) {
        const auto& pal = bitmap.palette();
        if (std::find(pal.begin(), pal.end(), colour) == pal.end()) detail::promoteToTrueColor(bitmap);
    }
    const std::uint32_t value = detail::fillValueFor(bitmap, colour);
    const Region clipped = region ? region->clippedTo(bitmap.width(), bitmap.height()) : Region();
    if (region && clipped.empty()) return;
    const Rect area = region ? clipped.bounds() : Rect{0, 0, bitmap.width(), bitmap.height()};
    for (int y = area.top; y < area.bottom(); ++y)
        for (int x = area.left; x < area.right(); ++x)
            if (!region || clipped.insideLocal(x - area.left, y - area.top)) bitmap.setPixel(x, y, value);
}

void posterize(Bitmap& bitmap, int levels, const Region* region) {
    detail::requireImage(bitmap, "Posterize");
    checkRange("Posterize", levels, 2, 256);
    const int steps = levels - 1;
    Table t;
    for (int v = 0; v < 256; ++v) {
        const int q = (v * steps + 127) / 255;
        t[v] = static_cast<std::uint8_t>((q * 255 + steps / 2) / steps);
    }
    applyTable(bitmap, region, t);
}

void intensityDetect(Bitmap& bitmap, int low, int high, const Region* region) {
    detail::requireImage(bitmap, "IntensityDetect");
    checkRange("IntensityDetect", low, 0, 255);
    checkRange("IntensityDetect", high, 0, 255);
    applyColorFunction(bitmap, region, [&](std::uint8_t* p) {
        const int l = detail::intensityOf(p[0], p[1], p[2]);
        p[0] = p[1] = p[2] = l >= low && l <= high ? 255 : 0;
    });
}

}  // namespace imaging::ops
