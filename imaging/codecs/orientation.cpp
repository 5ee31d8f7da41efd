#include "codecs/orientation.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace imaging {
namespace {

// For the upright pixel (x, y) of a picture stored `w` x `h`: the stored pixel it shows.
std::pair<int, int> storedPixel(int orientation, int x, int y, int w, int h) {
    switch (orientation) {
    case 2: return {w - 1 - x, y};
    case 3: return {w - 1 - x, h - 1 - y};
    case 4: return {x, h - 1 - y};
    case 5: return {y, x};
    case 6: return {y, h - 1 - x};
    case 7: return {w - 1 - y, h - 1 - x};
    case 8: return {w - 1 - y, x};
    default: return {x, y};
    }
}

void mirrorRows(Bitmap& bitmap) {
    const int bpp = bitmap.bytesPerPixel();
    std::uint8_t pixel[4];
    for (int y = 0; y < bitmap.height(); ++y) {
        std::uint8_t* row = bitmap.row(y);
        for (int l = 0, r = bitmap.width() - 1; l < r; ++l, --r) {
            std::memcpy(pixel, row + l * bpp, static_cast<std::size_t>(bpp));
            std::memcpy(row + l * bpp, row + r * bpp, static_cast<std::size_t>(bpp));
            std::memcpy(row + r * bpp, pixel, static_cast<std::size_t>(bpp));
        }
    }
}

void mirrorColumns(Bitmap& bitmap) {
    const std::size_t stride = bitmap.stride();
    for (int t = 0, b = bitmap.height() - 1; t < b; ++t, --b) std::swap_ranges(bitmap.row(t), bitmap.row(t) + stride, bitmap.row(b));
}

}  // namespace

void applyOrientation(Bitmap& bitmap, int orientation) {
    if (!isValidOrientation(orientation) || orientation == 1 || bitmap.empty()) return;
    if (orientation == 2 || orientation == 3) mirrorRows(bitmap);
    if (orientation == 3 || orientation == 4) mirrorColumns(bitmap);
    if (!orientationSwapsSides(orientation)) return;

    const int w = bitmap.width(), h = bitmap.height(), bpp = bitmap.bytesPerPixel();
    Bitmap turned(h, w, bitmap.bits());
    turned.palette() = bitmap.palette();
    turned.userPalette() = bitmap.userPalette();
    turned.setTransparent(bitmap.transparent());
    turned.setTransparentColor(bitmap.transparentColor());
    for (int y = 0; y < turned.height(); ++y) {
        std::uint8_t* out = turned.row(y);
        for (int x = 0; x < turned.width(); ++x, out += bpp) {
            const auto [sx, sy] = storedPixel(orientation, x, y, w, h);
            std::memcpy(out, bitmap.row(sy) + static_cast<std::size_t>(sx) * bpp, static_cast<std::size_t>(bpp));
        }
    }
    bitmap = std::move(turned);
}

void applyOrientation(Image& image, int orientation) {
    if (!isValidOrientation(orientation) || orientation == 1) return;
    for (Frame& frame : image.frames) applyOrientation(frame.bitmap, orientation);
    if (orientationSwapsSides(orientation)) {
        std::swap(image.logicalWidth, image.logicalHeight);
        for (Frame& frame : image.frames) std::swap(frame.left, frame.top);
    }
    image.notes.orientation = orientation;
}

int orientationFromRotation(int quarterTurnsAnticlockwise, int mirror) {
    // The upright picture after a turn and a mirror, written as the stored pixel each upright
    // pixel shows, matched against the eight EXIF values on a picture with distinct sides.
    constexpr int w = 3, h = 2;
    auto turnedThenMirrored = [&](int x, int y) {
        // Undo the mirror first (it was applied last), then the turns.
        const bool sides = (quarterTurnsAnticlockwise & 1) != 0;
        const int tw = sides ? h : w, th = sides ? w : h;
        if (mirror == 1) x = tw - 1 - x;
        if (mirror == 0) y = th - 1 - y;
        for (int t = 0; t < (quarterTurnsAnticlockwise & 3); ++t) {
            // One anticlockwise quarter turn of a picture whose turned width is cw: the upright
            // pixel (x, y) came from (cw' - 1 - y, x) of the picture before that turn.
            const int beforeW = ((quarterTurnsAnticlockwise - t - 1) & 1) ? h : w;
            const int nx = beforeW - 1 - y, ny = x;
            x = nx, y = ny;
        }
        return std::pair{x, y};
    };
    const bool sides = (quarterTurnsAnticlockwise & 1) != 0;
    for (int o = 1; o <= 8; ++o) {
        if (orientationSwapsSides(o) != sides) continue;
        bool same = true;
        const int uw = sides ? h : w, uh = sides ? w : h;
        for (int y = 0; y < uh && same; ++y)
            for (int x = 0; x < uw && same; ++x) same = storedPixel(o, x, y, w, h) == turnedThenMirrored(x, y);
        if (same) return o;
    }
    return 1;
}

}  // namespace imaging
