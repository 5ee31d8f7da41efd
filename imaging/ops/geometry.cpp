#include "ops/geometry.h"

#include <array>
#include <cmath>
#include <numbers>
#include <string>

#include "ops/ops_support.h"

namespace imaging::ops {

namespace detail {
Bitmap lanczosResize(const Bitmap& source, int width, int height);  // resample.cpp
}

namespace {

// A bitmap of the same depth, palette and transparency as `like`, of another size.
Bitmap sameKind(const Bitmap& like, int width, int height) {
    Bitmap out(width, height, like.bits());
    if (like.isIndexed()) out.palette() = like.palette();
    out.userPalette() = like.userPalette();
    out.setTransparent(like.transparent());
    out.setTransparentColor(like.transparentColor());
    return out;
}

void checkNewSize(const char* op, long long width, long long height) {
    if (width <= 0 || height <= 0)
        detail::badArgument(op, "new size " + std::to_string(width) + " x " + std::to_string(height) +
                                    " has no pixels");
    if (width > kMaxPixels || height > kMaxPixels || width * height > kMaxPixels)
        fail(ErrorCode::TooLarge, op, "new size " + std::to_string(width) + " x " + std::to_string(height) +
                                          " is larger than the engine accepts");
}

// The bytes one background pixel of `bitmap` is made of.
std::array<std::uint8_t, 4> fillBytes(const Bitmap& bitmap, Rgb colour, const char* op) {
    if (colour > 0xFFFFFF && !isPaletteReference(colour))
        detail::badArgument(op, "fill colour " + std::to_string(colour) + " is neither RGB nor a palette entry");
    Bitmap one = sameKind(bitmap, 1, 1);
    one.setPixel(0, 0, detail::fillValueFor(bitmap, colour));
    std::array<std::uint8_t, 4> b{};
    std::copy_n(one.row(0), one.bytesPerPixel(), b.begin());
    return b;
}

void fillWith(Bitmap& bitmap, const std::array<std::uint8_t, 4>& bytes) {
    const int bpp = bitmap.bytesPerPixel();
    for (int y = 0; y < bitmap.height(); ++y) {
        std::uint8_t* p = bitmap.row(y);
        for (int x = 0; x < bitmap.width(); ++x, p += bpp) std::copy_n(bytes.begin(), bpp, p);
    }
}

// Exact turn by quarter turns (1 = 90 degrees clockwise).
Bitmap quarterTurns(const Bitmap& src, int quarters) {
    const int w = src.width(), h = src.height();
    const int bpp = src.bytesPerPixel();
    const bool swap = quarters % 2 == 1;
    Bitmap out = sameKind(src, swap ? h : w, swap ? w : h);
    for (int y = 0; y < out.height(); ++y) {
        std::uint8_t* d = out.row(y);
        for (int x = 0; x < out.width(); ++x, d += bpp) {
            int sx, sy;
            switch (quarters) {
            case 1: sx = y; sy = h - 1 - x; break;
            case 2: sx = w - 1 - x; sy = h - 1 - y; break;
            default: sx = w - 1 - y; sy = x; break;
            }
            std::copy_n(src.row(sy) + static_cast<std::size_t>(sx) * bpp, bpp, d);
        }
    }
    return out;
}

// Copies `src` centred onto a new canvas of the given size filled with `background`.
Bitmap centredOn(const Bitmap& src, int width, int height, const std::array<std::uint8_t, 4>& background) {
    Bitmap out = sameKind(src, width, height);
    fillWith(out, background);
    const int bpp = src.bytesPerPixel();
    // Floor of the half difference, so an odd leftover goes to the right and bottom.
    auto half = [](int d) { return d >= 0 ? d / 2 : -((-d + 1) / 2); };
    const int dx = half(width - src.width()), dy = half(height - src.height());
    for (int y = 0; y < src.height(); ++y) {
        const int ty = y + dy;
        if (ty < 0 || ty >= height) continue;
        for (int x = 0; x < src.width(); ++x) {
            const int tx = x + dx;
            if (tx < 0 || tx >= width) continue;
            std::copy_n(src.row(y) + static_cast<std::size_t>(x) * bpp, bpp, out.row(ty) + static_cast<std::size_t>(tx) * bpp);
        }
    }
    return out;
}

// Samples `src` at the continuous position (sx, sy) (pixel centres at integer + 0.5 ... here
// already shifted so that pixel (i, j) is at (i, j)). True colour: bilinear, with the fill
// colour standing in for neighbours outside. Other depths: nearest pixel.
void sampleInto(const Bitmap& src, double sx, double sy, const std::array<std::uint8_t, 4>& background,
                std::uint8_t* dst) {
    const int bpp = src.bytesPerPixel();
    const int w = src.width(), h = src.height();
    if (src.bits() >= 24 && sx >= 0.0 && sy >= 0.0 && sx < w - 1 && sy < h - 1) {
        // All four neighbours inside (the common case): fixed-point weights in 1/256.
        const int x0 = static_cast<int>(sx), y0 = static_cast<int>(sy);
        const int fx = static_cast<int>((sx - x0) * 256.0), fy = static_cast<int>((sy - y0) * 256.0);
        const std::uint8_t* p0 = src.row(y0) + static_cast<std::size_t>(x0) * bpp;
        const std::uint8_t* p1 = p0 + src.stride();
        for (int c = 0; c < bpp; ++c) {
            const int top = p0[c] * (256 - fx) + p0[c + bpp] * fx;
            const int bottom = p1[c] * (256 - fx) + p1[c + bpp] * fx;
            dst[c] = static_cast<std::uint8_t>((top * (256 - fy) + bottom * fy + 32768) >> 16);
        }
        return;
    }
    if (src.bits() < 24) {
        // The small bias keeps exact half-way positions (45 degree shears, whose tangent is
        // 0.99999...) from falling to the left by a rounding error.
        const int ix = static_cast<int>(std::floor(sx + 0.5 + 1e-9)), iy = static_cast<int>(std::floor(sy + 0.5 + 1e-9));
        if (ix < 0 || iy < 0 || ix >= w || iy >= h) std::copy_n(background.begin(), bpp, dst);
        else std::copy_n(src.row(iy) + static_cast<std::size_t>(ix) * bpp, bpp, dst);
        return;
    }
    if (sx <= -1.0 || sy <= -1.0 || sx >= w || sy >= h) {
        std::copy_n(background.begin(), bpp, dst);
        return;
    }
    const int x0 = static_cast<int>(std::floor(sx)), y0 = static_cast<int>(std::floor(sy));
    const double fx = sx - x0, fy = sy - y0;
    auto at = [&](int x, int y) -> const std::uint8_t* {
        if (x < 0 || y < 0 || x >= w || y >= h) return background.data();
        return src.row(y) + static_cast<std::size_t>(x) * bpp;
    };
    const std::uint8_t* p00 = at(x0, y0);
    const std::uint8_t* p10 = at(x0 + 1, y0);
    const std::uint8_t* p01 = at(x0, y0 + 1);
    const std::uint8_t* p11 = at(x0 + 1, y0 + 1);
    for (int c = 0; c < bpp; ++c) {
        const double top = p00[c] + (p10[c] - p00[c]) * fx;
        const double bottom = p01[c] + (p11[c] - p01[c]) * fx;
        dst[c] = detail::clampByte(top + (bottom - top) * fy);
    }
}

}  // namespace

void resize(Bitmap& bitmap, int width, int height, int flags) {
    detail::requireImage(bitmap, "Size");
    checkNewSize("Size", width, height);
    if (flags & kSizeResample) {
        detail::promoteToTrueColor(bitmap);
        bitmap = detail::lanczosResize(bitmap, width, height);
        return;
    }
    // Nearest neighbour: output pixel centre (x + 0.5) maps to source column
    // floor((x + 0.5) * sourceWidth / width), likewise for rows.
    const int bpp = bitmap.bytesPerPixel();
    Bitmap out = sameKind(bitmap, width, height);
    std::vector<int> columns(width);
    for (int x = 0; x < width; ++x)
        columns[x] = static_cast<int>(((2LL * x + 1) * bitmap.width()) / (2LL * width)) * bpp;
    for (int y = 0; y < height; ++y) {
        const int sy = static_cast<int>(((2LL * y + 1) * bitmap.height()) / (2LL * height));
        const std::uint8_t* s = bitmap.row(sy);
        std::uint8_t* d = out.row(y);
        for (int x = 0; x < width; ++x, d += bpp) std::copy_n(s + columns[x], bpp, d);
    }
    bitmap = std::move(out);
}

void trim(Bitmap& bitmap, int left, int top, int width, int height) {
    detail::requireImage(bitmap, "Trim");
    const Rect want{left, top, width, height};
    if (width <= 0 || height <= 0 || left < 0 || top < 0 ||
        static_cast<long long>(left) + width > bitmap.width() || static_cast<long long>(top) + height > bitmap.height())
        detail::badArgument("Trim", "rectangle " + std::to_string(left) + ", " + std::to_string(top) + ", " +
                                        std::to_string(width) + " x " + std::to_string(height) +
                                        " does not lie inside the " + std::to_string(bitmap.width()) + " x " +
                                        std::to_string(bitmap.height()) + " bitmap");
    bitmap = detail::cropCopy(bitmap, want);
}

void reverse(Bitmap& bitmap) {
    detail::requireImage(bitmap, "Reverse");
    const int bpp = bitmap.bytesPerPixel();
    for (int y = 0; y < bitmap.height(); ++y) {
        std::uint8_t* row = bitmap.row(y);
        for (int l = 0, r = bitmap.width() - 1; l < r; ++l, --r)
            std::swap_ranges(row + static_cast<std::size_t>(l) * bpp, row + static_cast<std::size_t>(l + 1) * bpp,
                             row + static_cast<std::size_t>(r) * bpp);
    }
}

void flip(Bitmap& bitmap) {
    detail::requireImage(bitmap, "Flip");
    for (int t = 0, b = bitmap.height() - 1; t < b; ++t, --b)
        std::swap_ranges(bitmap.row(t), bitmap.row(t) + bitmap.stride(), bitmap.row(b));
}

void rotate(Bitmap& bitmap, long angle, bool enlarge, Rgb fill) {
    detail::requireImage(bitmap, "Rotate");
    const auto background = fillBytes(bitmap, fill, "Rotate");
    const long turn = ((angle % 36000) + 36000) % 36000;
    if (turn == 0) return;
    const int w = bitmap.width(), h = bitmap.height();
    if (turn % 9000 == 0) {
        Bitmap turned = quarterTurns(bitmap, static_cast<int>(turn / 9000));
        if (!enlarge && (turned.width() != w || turned.height() != h)) turned = centredOn(turned, w, h, background);
        bitmap = std::move(turned);
        return;
    }
    const double theta = turn / 100.0 * std::numbers::pi / 180.0;
    const double c = std::cos(theta), s = std::sin(theta);
    int outW = w, outH = h;
    if (enlarge) {
        const double bw = std::abs(w * c) + std::abs(h * s), bh = std::abs(w * s) + std::abs(h * c);
        checkNewSize("Rotate", std::llround(std::ceil(bw - 1e-6)), std::llround(std::ceil(bh - 1e-6)));
        outW = static_cast<int>(std::ceil(bw - 1e-6));
        outH = static_cast<int>(std::ceil(bh - 1e-6));
    }
    Bitmap out = sameKind(bitmap, outW, outH);
    const double cxIn = w / 2.0, cyIn = h / 2.0, cxOut = outW / 2.0, cyOut = outH / 2.0;
    const int bpp = bitmap.bytesPerPixel();
    for (int y = 0; y < outH; ++y) {
        std::uint8_t* d = out.row(y);
        const double dy = y + 0.5 - cyOut;
        for (int x = 0; x < outW; ++x, d += bpp) {
            const double dx = x + 0.5 - cxOut;
            // Inverse of the clockwise turn (y grows downwards).
            const double sx = dx * c + dy * s + cxIn - 0.5;
            const double sy = -dx * s + dy * c + cyIn - 0.5;
            sampleInto(bitmap, sx, sy, background, d);
        }
    }
    bitmap = std::move(out);
}

void shear(Bitmap& bitmap, long angle, bool horizontal, Rgb fill) {
    detail::requireImage(bitmap, "Shear");
    if (angle <= -9000 || angle >= 9000)
        detail::badArgument("Shear", "angle " + std::to_string(angle) + " is not between -9000 and 9000 hundredths");
    const auto background = fillBytes(bitmap, fill, "Shear");
    if (angle == 0) return;
    const double t = std::tan(angle / 100.0 * std::numbers::pi / 180.0);
    const int w = bitmap.width(), h = bitmap.height();
    const long long grow = std::llround(std::abs(t) * (horizontal ? h : w));
    const long long outW = horizontal ? w + grow : w, outH = horizontal ? h : h + grow;
    checkNewSize("Shear", outW, outH);
    Bitmap out = sameKind(bitmap, static_cast<int>(outW), static_cast<int>(outH));
    const int bpp = bitmap.bytesPerPixel();
    const double centreShift = grow / 2.0;
    for (int y = 0; y < out.height(); ++y) {
        std::uint8_t* d = out.row(y);
        for (int x = 0; x < out.width(); ++x, d += bpp) {
            double sx = x, sy = y;
            if (horizontal) sx = x - centreShift - (y + 0.5 - h / 2.0) * t;
            else sy = y - centreShift - (x + 0.5 - w / 2.0) * t;
            sampleInto(bitmap, sx, sy, background, d);
        }
    }
    bitmap = std::move(out);
}

}  // namespace imaging::ops
