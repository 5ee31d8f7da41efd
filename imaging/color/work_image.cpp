#include "color/work_image.h"

namespace imaging::color {

namespace {

// Which source pixels count as fully transparent when the bitmap has no alpha channel:
// for palette depths the transparent entry (by index, since two entries may share a colour),
// otherwise every pixel of the transparent colour.
bool transparentByIndex(const Bitmap& source, int& index) {
    if (!source.transparent() || !source.isIndexed()) return false;
    const Rgb t = source.transparentColor();
    if (isPaletteReference(t)) {
        index = paletteIndexOf(t);
        return true;
    }
    const auto& pal = source.palette();
    for (std::size_t i = 0; i < pal.size(); ++i)
        if (pal[i] == t) {
            index = static_cast<int>(i);
            return true;
        }
    return false;
}

}  // namespace

WorkImage makeWorkImage(const Bitmap& source, Rgb matte) {
    WorkImage work;
    work.width = source.width();
    work.height = source.height();
    const std::size_t n = work.pixelCount();
    const bool keyedRgb = source.transparent() && !source.isIndexed() && source.bits() != 32 &&
                          !isPaletteReference(source.transparentColor());

    if (source.bits() == 24 && !keyedRgb) {
        work.rgb = source.data().data();
        return work;
    }

    work.ownRgb.resize(n * 3);
    std::uint8_t* out = work.ownRgb.data();
    bool anyTransparent = false;
    std::vector<std::uint8_t> mask(n, 0);

    if (source.bits() == 32) {
        const int mr = redOf(matte), mg = greenOf(matte), mb = blueOf(matte);
        const std::uint8_t* p = source.data().data();
        for (std::size_t i = 0; i < n; ++i, p += 4, out += 3) {
            const int a = p[3];
            if (a == 255) {
                out[0] = p[0], out[1] = p[1], out[2] = p[2];
            } else if (a == 0) {
                out[0] = static_cast<std::uint8_t>(mr), out[1] = static_cast<std::uint8_t>(mg),
                out[2] = static_cast<std::uint8_t>(mb);
                mask[i] = 1;
                anyTransparent = true;
            } else {
                const int ia = 255 - a;
                out[0] = static_cast<std::uint8_t>((p[0] * a + mr * ia + 127) / 255);
                out[1] = static_cast<std::uint8_t>((p[1] * a + mg * ia + 127) / 255);
                out[2] = static_cast<std::uint8_t>((p[2] * a + mb * ia + 127) / 255);
            }
        }
    } else if (source.isIndexed()) {
        int tIndex = -1;
        const bool keyed = transparentByIndex(source, tIndex);
        const auto& pal = source.palette();
        const std::uint8_t* p = source.data().data();
        for (std::size_t i = 0; i < n; ++i, out += 3) {
            const std::uint8_t v = p[i];
            const Rgb c = v < pal.size() ? pal[v] : 0;
            out[0] = static_cast<std::uint8_t>(redOf(c));
            out[1] = static_cast<std::uint8_t>(greenOf(c));
            out[2] = static_cast<std::uint8_t>(blueOf(c));
            if (keyed && v == tIndex) {
                mask[i] = 1;
                anyTransparent = true;
            }
        }
    } else {
        // 16 bits, or 24 bits keyed by an RGB transparent colour.
        const Rgb key = source.transparentColor() & 0xFFFFFF;
        std::size_t i = 0;
        for (int y = 0; y < source.height(); ++y)
            for (int x = 0; x < source.width(); ++x, ++i, out += 3) {
                const Rgb c = source.rawPixel(x, y);
                out[0] = static_cast<std::uint8_t>(redOf(c));
                out[1] = static_cast<std::uint8_t>(greenOf(c));
                out[2] = static_cast<std::uint8_t>(blueOf(c));
                if (keyedRgb && c == key) {
                    mask[i] = 1;
                    anyTransparent = true;
                }
            }
    }
    if (anyTransparent) work.transparent = std::move(mask);
    work.rgb = work.ownRgb.data();
    work.transparentColor = matte & 0xFFFFFF;
    if (source.bits() != 32 && anyTransparent) {
        const Rgb t = source.transparentColor();
        if (!isPaletteReference(t)) {
            work.transparentColor = t & 0xFFFFFF;
        } else if (source.isIndexed() && static_cast<std::size_t>(paletteIndexOf(t)) < source.palette().size()) {
            work.transparentColor = source.palette()[paletteIndexOf(t)] & 0xFFFFFF;
        }
    }
    return work;
}

}  // namespace imaging::color
