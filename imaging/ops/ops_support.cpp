#include "ops/ops_support.h"

#include <limits>

namespace imaging::ops::detail {

void badArgument(const char* operation, const std::string& reason) {
    fail(ErrorCode::InvalidArgument, operation, reason);
}

void requireImage(const Bitmap& bitmap, const char* operation) {
    if (bitmap.empty()) fail(ErrorCode::NoImage, operation, "there is no bitmap to work on");
}

void promoteToTrueColor(Bitmap& bitmap) {
    if (bitmap.bits() == 24 || bitmap.bits() == 32 || bitmap.empty()) return;
    Bitmap promoted = bitmap.toRgb24();
    promoted.userPalette() = bitmap.userPalette();
    bitmap = std::move(promoted);
}

Bitmap cropCopy(const Bitmap& bitmap, const Rect& rect) {
    Bitmap out(rect.width, rect.height, bitmap.bits());
    if (bitmap.isIndexed()) out.palette() = bitmap.palette();
    out.userPalette() = bitmap.userPalette();
    out.setTransparent(bitmap.transparent());
    out.setTransparentColor(bitmap.transparentColor());
    const std::size_t bpp = static_cast<std::size_t>(bitmap.bytesPerPixel());
    for (int y = 0; y < rect.height; ++y)
        std::copy_n(bitmap.row(rect.top + y) + rect.left * bpp, rect.width * bpp, out.row(y));
    return out;
}

int nearestPaletteIndex(const std::vector<Rgb>& palette, Rgb c) {
    int best = 0;
    long bestDistance = std::numeric_limits<long>::max();
    for (std::size_t i = 0; i < palette.size(); ++i) {
        const long dr = redOf(palette[i]) - redOf(c), dg = greenOf(palette[i]) - greenOf(c),
                   db = blueOf(palette[i]) - blueOf(c);
        const long d = dr * dr + dg * dg + db * db;
        if (d < bestDistance) {
            bestDistance = d;
            best = static_cast<int>(i);
        }
    }
    return best;
}

std::uint32_t fillValueFor(const Bitmap& bitmap, Rgb colour) {
    if (bitmap.isIndexed()) {
        if (isPaletteReference(colour)) {
            const int index = paletteIndexOf(colour);
            if (static_cast<std::size_t>(index) >= bitmap.palette().size())
                badArgument("Fill", "palette entry " + std::to_string(index) + " does not exist");
            return static_cast<std::uint32_t>(index);
        }
        return static_cast<std::uint32_t>(nearestPaletteIndex(bitmap.palette(), colour & 0xFFFFFF));
    }
    if (isPaletteReference(colour)) badArgument("Fill", "a palette entry needs a palette bitmap");
    return colour & 0xFFFFFF;
}

void applyChannelTables(Bitmap& bitmap, const std::uint8_t* red, const std::uint8_t* green,
                        const std::uint8_t* blue, const Region* region) {
    const int bpp = bitmap.bytesPerPixel();
    for (int y = 0; y < bitmap.height(); ++y) {
        std::uint8_t* p = bitmap.row(y);
        if (!region) {
            for (int x = 0; x < bitmap.width(); ++x, p += bpp) {
                p[0] = red[p[0]];
                p[1] = green[p[1]];
                p[2] = blue[p[2]];
            }
            continue;
        }
        for (int x = 0; x < bitmap.width(); ++x, p += bpp)
            if (region->contains(x, y)) {
                p[0] = red[p[0]];
                p[1] = green[p[1]];
                p[2] = blue[p[2]];
            }
    }
}

void applyInside(Bitmap& bitmap, const Region* region, int margin, const ConfinedOp& op) {
    const Region clipped = region ? region->clippedTo(bitmap.width(), bitmap.height()) : Region();
    const bool whole = !region || (clipped.isFull() && clipped.bounds() == Rect{0, 0, bitmap.width(), bitmap.height()});
    if (whole) {
        op(bitmap, nullptr);
        return;
    }
    if (clipped.empty()) return;  // the selection lies outside the bitmap: nothing to change
    promoteToTrueColor(bitmap);
    const Rect inner = clipped.bounds();
    const Rect outer = inner.expanded(margin).intersected({0, 0, bitmap.width(), bitmap.height()});
    Bitmap work = cropCopy(bitmap, outer);
    const Region local = clipped.movedBy(-outer.left, -outer.top);
    op(work, &local);
    if (work.bits() != bitmap.bits() || work.width() != outer.width || work.height() != outer.height)
        fail(ErrorCode::InvalidArgument, "Region", "the operation cannot be confined to a selection");
    const int bpp = bitmap.bytesPerPixel();
    for (int y = inner.top; y < inner.bottom(); ++y) {
        const std::uint8_t* s = work.row(y - outer.top);
        std::uint8_t* d = bitmap.row(y);
        for (int x = inner.left; x < inner.right(); ++x)
            if (clipped.insideLocal(x - inner.left, y - inner.top))
                std::copy_n(s + static_cast<std::size_t>(x - outer.left) * bpp, bpp,
                            d + static_cast<std::size_t>(x) * bpp);
    }
}

}  // namespace imaging::ops::detail
