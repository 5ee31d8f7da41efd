#include "ops/floater.h"

#include <algorithm>
#include <string>
#include <unordered_map>

#include "ops/geometry.h"
#include "ops/ops_support.h"

namespace imaging::ops {

namespace {

void checkCopyMode(int mode) {
    if (mode != kCopyAll && mode != kCopyMasked)
        detail::badArgument("Paste", "copy mode " + std::to_string(mode) + " is neither 0 nor 288");
}

// Writes source pixels into the target with depth conversion; `inside(x, y)` (source
// coordinates) decides which pixels are written.
template <typename Inside>
void paste(Bitmap& target, const Bitmap& source, long long left, long long top, Inside inside) {
    // In wide integers: a rectangle far off the target must clip to nothing, not overflow.
    const long long l = std::max(0LL, left), t = std::max(0LL, top);
    const long long r = std::min<long long>(target.width(), left + source.width());
    const long long b = std::min<long long>(target.height(), top + source.height());
    if (r <= l || b <= t) return;
    const Rect visible{static_cast<int>(l), static_cast<int>(t), static_cast<int>(r - l), static_cast<int>(b - t)};
    const bool sameLayout = target.bits() == source.bits() &&
                            (!target.isIndexed() || target.palette() == source.palette());
    const int bpp = target.bytesPerPixel();
    std::unordered_map<Rgb, int> nearest;  // palette targets: colour -> index, looked up once each
    for (int y = visible.top; y < visible.bottom(); ++y) {
        const int sy = static_cast<int>(y - top);
        for (int x = visible.left; x < visible.right(); ++x) {
            const int sx = static_cast<int>(x - left);
            if (!inside(sx, sy)) continue;
            if (sameLayout) {
                std::copy_n(source.row(sy) + static_cast<std::size_t>(sx) * bpp, bpp,
                            target.row(y) + static_cast<std::size_t>(x) * bpp);
                continue;
            }
            const Rgb c = source.pixel(sx, sy);
            if (target.isIndexed()) {
                auto it = nearest.find(c);
                if (it == nearest.end()) it = nearest.emplace(c, detail::nearestPaletteIndex(target.palette(), c)).first;
                target.setPixel(x, y, static_cast<std::uint32_t>(it->second));
            } else {
                target.setPixel(x, y, c);
                if (target.bits() == 32 && source.bits() == 32) target.row(y)[x * 4 + 3] = source.row(sy)[sx * 4 + 3];
            }
        }
    }
}

}  // namespace

Floater liftFloater(const Bitmap& source, const Region& region) {
    detail::requireImage(source, "Floater");
    const Region clipped = region.clippedTo(source.width(), source.height());
    if (clipped.empty()) detail::badArgument("Floater", "the selection lies outside the bitmap");
    return Floater{detail::cropCopy(source, clipped.bounds()), clipped};
}

void pasteFloater(Bitmap& target, const Floater& floater, int copyMode) {
    checkCopyMode(copyMode);
    if (floater.pixels.empty() || floater.shape.empty()) return;
    if (floater.pixels.width() != floater.shape.RgnWidth() || floater.pixels.height() != floater.shape.RgnHeight())
        detail::badArgument("Paste", "the floater's pixels and shape differ in size");
    const Rect& at = floater.shape.bounds();
    if (copyMode == kCopyMasked)
        paste(target, floater.pixels, at.left, at.top, [&](int x, int y) { return floater.shape.insideLocal(x, y); });
    else paste(target, floater.pixels, at.left, at.top, [](int, int) { return true; });
}

void pasteBitmap(Bitmap& target, const Bitmap& source, int left, int top, int copyMode) {
    checkCopyMode(copyMode);
    if (source.empty()) return;
    paste(target, source, left, top, [](int, int) { return true; });
}

Bitmap copyRect(const Bitmap& source, const Rect& rect) {
    detail::requireImage(source, "Copy");
    if (rect.empty()) detail::badArgument("Copy", "the rectangle is empty");
    Bitmap out(rect.width, rect.height, source.bits());
    if (source.isIndexed()) out.palette() = source.palette();
    out.userPalette() = source.userPalette();
    paste(out, source, -static_cast<long long>(rect.left), -static_cast<long long>(rect.top), [](int, int) { return true; });
    return out;
}

void paintBitmap(Bitmap& target, const Bitmap& source, const Rect& destination, int copyMode, const Region* sourceShape) {
    checkCopyMode(copyMode);
    detail::requireImage(source, "Paint");
    if (destination.empty()) detail::badArgument("Paint", "the destination rectangle is empty");
    if (sourceShape && (sourceShape->RgnWidth() != source.width() || sourceShape->RgnHeight() != source.height()))
        detail::badArgument("Paint", "the shape and the bitmap differ in size");
    Bitmap scaled = source;
    if (scaled.width() != destination.width || scaled.height() != destination.height)
        resize(scaled, destination.width, destination.height, scaled.bits() >= 24 ? kSizeResample : 0);
    if (!sourceShape || copyMode == kCopyAll) {
        paste(target, scaled, destination.left, destination.top, [](int, int) { return true; });
        return;
    }
    // The shape is scaled with the pixels, by nearest neighbour, so it stays a clean mask.
    Bitmap mask(sourceShape->RgnWidth(), sourceShape->RgnHeight(), 8);
    for (int y = 0; y < mask.height(); ++y)
        for (int x = 0; x < mask.width(); ++x) mask.row(y)[x] = sourceShape->insideLocal(x, y) ? 1 : 0;
    resize(mask, destination.width, destination.height, 0);
    paste(target, scaled, destination.left, destination.top, [&](int x, int y) { return mask.row(y)[x] != 0; });
}

}  // namespace imaging::ops
