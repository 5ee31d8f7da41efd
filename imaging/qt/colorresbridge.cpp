#include "qt/colorresbridge.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdlib>
#include <unordered_map>

#include "core/error.h"

// Interim reduction until the engine's colour resolution is linked in: depth conversions are
// exact; palette depths take the most used colours of a 5-5-5 histogram (every colour when they
// fit) and map each pixel to the nearest entry. Good enough to encode and measure.

namespace imaging::detail {

namespace {

Bitmap toDepthAbove8(const Bitmap& source, int bits) {
    if (source.bits() == bits) return source;
    const Bitmap rgb = source.bits() == 24 ? source : source.toRgb24();
    if (bits == 24) return rgb;
    if (bits == 32) return rgb.toRgba32();
    Bitmap out(rgb.width(), rgb.height(), 16);
    for (int y = 0; y < rgb.height(); ++y) {
        const std::uint8_t* s = rgb.row(y);
        std::uint8_t* d = out.row(y);
        for (int x = 0; x < rgb.width(); ++x, s += 3, d += 2) {
            const std::uint16_t v = packRgb555(makeRgb(s[0], s[1], s[2]));
            d[0] = static_cast<std::uint8_t>(v & 0xFF);
            d[1] = static_cast<std::uint8_t>(v >> 8);
        }
    }
    return out;
}

std::vector<Rgb> choosePalette(const Bitmap& rgb, std::size_t entries) {
    std::unordered_map<Rgb, int> exact;
    bool fits = true;
    for (int y = 0; y < rgb.height() && fits; ++y) {
        const std::uint8_t* s = rgb.row(y);
        for (int x = 0; x < rgb.width(); ++x, s += 3) {
            exact[makeRgb(s[0], s[1], s[2])]++;
            if (exact.size() > entries) {
                fits = false;
                break;
            }
        }
    }
    std::vector<std::pair<int, Rgb>> ranked;
    if (fits) {
        for (const auto& [colour, count] : exact) ranked.emplace_back(count, colour);
    } else {
        std::vector<int> histogram(1 << 15, 0);
        for (int y = 0; y < rgb.height(); ++y) {
            const std::uint8_t* s = rgb.row(y);
            for (int x = 0; x < rgb.width(); ++x, s += 3) histogram[packRgb555(makeRgb(s[0], s[1], s[2]))]++;
        }
        for (int v = 0; v < (1 << 15); ++v)
            if (histogram[v]) ranked.emplace_back(histogram[v], unpackRgb555(static_cast<std::uint16_t>(v)));
    }
    std::sort(ranked.begin(), ranked.end(), [](const auto& a, const auto& b) {
        return a.first != b.first ? a.first > b.first : a.second < b.second;
    });
    std::vector<Rgb> palette;
    for (std::size_t i = 0; i < ranked.size() && palette.size() < entries; ++i) palette.push_back(ranked[i].second);
    if (palette.empty()) palette.push_back(0);
    return palette;
}

}  // namespace

Bitmap reduceColors(const Bitmap& source, int bits, int paletteKind, int ditherCode, int colorCount) {
    (void)paletteKind;
    (void)ditherCode;
    if (source.empty()) fail(ErrorCode::NoImage, "colour resolution", "there is no bitmap");
    if (!Bitmap::isValidDepth(bits)) fail(ErrorCode::InvalidArgument, "colour resolution", "invalid depth");
    if (bits > 8) return toDepthAbove8(source, bits);
    const Bitmap rgb = source.bits() == 24 ? source : source.toRgb24();
    std::size_t entries = std::size_t{1} << bits;
    if (colorCount > 0) entries = std::min<std::size_t>(entries, static_cast<std::size_t>(colorCount));
    const std::vector<Rgb> used = choosePalette(rgb, entries);
    Bitmap out(rgb.width(), rgb.height(), bits);
    auto& palette = out.palette();
    for (std::size_t i = 0; i < palette.size(); ++i) palette[i] = i < used.size() ? used[i] : used.back();
    std::unordered_map<Rgb, std::uint8_t> nearest;
    for (int y = 0; y < rgb.height(); ++y) {
        const std::uint8_t* s = rgb.row(y);
        std::uint8_t* d = out.row(y);
        for (int x = 0; x < rgb.width(); ++x, s += 3) {
            const Rgb c = makeRgb(s[0], s[1], s[2]);
            auto it = nearest.find(c);
            if (it == nearest.end()) {
                int best = 0;
                int bestDistance = INT_MAX;
                for (std::size_t j = 0; j < used.size(); ++j) {
                    const int dist = std::abs(redOf(c) - redOf(used[j])) + std::abs(greenOf(c) - greenOf(used[j])) +
                                     std::abs(blueOf(c) - blueOf(used[j]));
                    if (dist < bestDistance) {
                        bestDistance = dist;
                        best = static_cast<int>(j);
                    }
                }
                it = nearest.emplace(c, static_cast<std::uint8_t>(best)).first;
            }
            d[x] = it->second;
        }
    }
    return out;
}

Image reduceColors(const Image& source, int bits, int paletteKind, int ditherCode, int colorCount) {
    Image out = source;
    for (Frame& frame : out.frames) frame.bitmap = reduceColors(frame.bitmap, bits, paletteKind, ditherCode, colorCount);
    return out;
}

}  // namespace imaging::detail
