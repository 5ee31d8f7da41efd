#include "color/depth_convert.h"

#include <algorithm>
#include <cstdlib>

#include "color/work_image.h"

namespace imaging::color {

namespace {

// Nearest 5-bit level of an 8-bit value under the expansion (v << 3) | (v >> 2).
int level5(int v) {
    int best = 0, bestErr = 256;
    for (int c = std::max(0, (v >> 3) - 1); c <= std::min(31, (v >> 3) + 1); ++c) {
        const int e = std::abs(((c << 3) | (c >> 2)) - v);
        if (e < bestErr) bestErr = e, best = c;
    }
    return best;
}

}  // namespace

Bitmap convertToDirect(const Bitmap& source, int bits, Rgb matte) {
    Bitmap out(source.width(), source.height(), bits);
    out.userPalette() = source.userPalette();
    const std::size_t n = static_cast<std::size_t>(source.width()) * source.height();

    if (bits == 32) {
        if (source.bits() == 32) {
            out.data() = source.data();
        } else {
            const WorkImage work = makeWorkImage(source, matte);
            std::uint8_t* d = out.data().data();
            for (std::size_t i = 0; i < n; ++i, d += 4) {
                d[0] = work.rgb[3 * i], d[1] = work.rgb[3 * i + 1], d[2] = work.rgb[3 * i + 2];
                d[3] = work.isTransparent(i) ? 0 : 255;
            }
        }
        return out;
    }

    const WorkImage work = makeWorkImage(source, matte);
    if (bits == 24) {
        std::copy_n(work.rgb, n * 3, out.data().data());
    } else {
        int table[256];
        for (int v = 0; v < 256; ++v) table[v] = level5(v);
        std::uint8_t* d = out.data().data();
        for (std::size_t i = 0; i < n; ++i, d += 2) {
            const std::uint8_t* p = work.rgb + 3 * i;
            const int v = (table[p[0]] << 10) | (table[p[1]] << 5) | table[p[2]];
            d[0] = static_cast<std::uint8_t>(v & 0xFF);
            d[1] = static_cast<std::uint8_t>(v >> 8);
        }
    }
    // Without an alpha channel a transparent colour still marks the transparent pixels.
    if (source.transparent() && source.bits() != 32) {
        out.setTransparent(true);
        Rgb t = source.transparentColor();
        if (isPaletteReference(t) && source.isIndexed()) {
            const auto& pal = source.palette();
            t = static_cast<std::size_t>(paletteIndexOf(t)) < pal.size() ? pal[paletteIndexOf(t)] : 0;
        }
        if (bits == 16) t = unpackRgb555(packRgb555(makeRgb(
                            (level5(redOf(t)) << 3) | (level5(redOf(t)) >> 2),
                            (level5(greenOf(t)) << 3) | (level5(greenOf(t)) >> 2),
                            (level5(blueOf(t)) << 3) | (level5(blueOf(t)) >> 2))));
        out.setTransparentColor(t);
    }
    return out;
}

}  // namespace imaging::color
