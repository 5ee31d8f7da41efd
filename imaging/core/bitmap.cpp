#include "core/bitmap.h"

#include <algorithm>
#include <string>
#include <unordered_set>

#include "core/error.h"

namespace imaging {

bool Bitmap::isValidDepth(int bits) {
    return (bits >= 1 && bits <= 8) || bits == 16 || bits == 24 || bits == 32;
}

int Bitmap::bytesPerPixel(int bits) {
    if (bits <= 8) return 1;
    return bits / 8;
}

Bitmap::Bitmap(int width, int height, int bits) {
    if (!isValidDepth(bits))
        fail(ErrorCode::InvalidArgument, "Bitmap", "unsupported depth of " + std::to_string(bits) + " bits");
    checkDimensions(width, height, "Bitmap");
    width_ = width;
    height_ = height;
    bits_ = bits;
    data_.assign(static_cast<std::size_t>(width) * height * bytesPerPixel(bits), 0);
    if (bits <= 8) {
        const int n = 1 << bits;
        palette_.resize(n);
        for (int i = 0; i < n; ++i) {
            const int v = n == 1 ? 0 : i * 255 / (n - 1);
            palette_[i] = makeRgb(v, v, v);
        }
    }
}

std::uint16_t packRgb555(Rgb c) {
    return static_cast<std::uint16_t>(((redOf(c) >> 3) << 10) | ((greenOf(c) >> 3) << 5) | (blueOf(c) >> 3));
}

Rgb unpackRgb555(std::uint16_t v) {
    const int r = (v >> 10) & 31, g = (v >> 5) & 31, b = v & 31;
    return makeRgb((r << 3) | (r >> 2), (g << 3) | (g >> 2), (b << 3) | (b >> 2));
}

std::uint32_t Bitmap::rawPixel(int x, int y) const {
    const std::uint8_t* p = row(y) + static_cast<std::size_t>(x) * bytesPerPixel();
    switch (bits_) {
    case 16: return unpackRgb555(static_cast<std::uint16_t>(p[0] | (p[1] << 8)));
    case 24:
    case 32: return makeRgb(p[0], p[1], p[2]);
    default: return p[0];
    }
}

Rgb Bitmap::pixel(int x, int y) const {
    const std::uint32_t v = rawPixel(x, y);
    if (bits_ <= 8) return v < palette_.size() ? palette_[v] : 0;
    return v;
}

void Bitmap::setPixel(int x, int y, std::uint32_t value) {
    std::uint8_t* p = row(y) + static_cast<std::size_t>(x) * bytesPerPixel();
    switch (bits_) {
    case 16: {
        const std::uint16_t v = packRgb555(value);
        p[0] = static_cast<std::uint8_t>(v & 0xFF);
        p[1] = static_cast<std::uint8_t>(v >> 8);
        break;
    }
    case 32: p[3] = 255; [[fallthrough]];
    case 24:
        p[0] = static_cast<std::uint8_t>(redOf(value));
        p[1] = static_cast<std::uint8_t>(greenOf(value));
        p[2] = static_cast<std::uint8_t>(blueOf(value));
        break;
    default: p[0] = static_cast<std::uint8_t>(value); break;
    }
}

std::size_t Bitmap::memorySize() const {
    if (empty()) return 0;
    const std::size_t rowBytes = ((static_cast<std::size_t>(width_) * bits_ + 31) / 32) * 4;
    return rowBytes * height_ + palette_.size() * 4;
}

int Bitmap::uniqueColorCount() const {
    if (empty()) return 0;
    if (bits_ <= 8) {
        std::vector<bool> used(palette_.size(), false);
        for (std::uint8_t v : data_)
            if (v < used.size()) used[v] = true;
        std::unordered_set<Rgb> colours;
        for (std::size_t i = 0; i < used.size(); ++i)
            if (used[i]) colours.insert(palette_[i]);
        return static_cast<int>(colours.size());
    }
    // A bit set over the 2^24 colour cube: 2 MiB, faster than hashing millions of pixels. The
    // tools window counts on every refill, so the direct depths read their bytes straight.
    std::vector<std::uint64_t> seen((1u << 24) / 64, 0);
    int count = 0;
    const auto mark = [&](Rgb c) {
        std::uint64_t& word = seen[c >> 6];
        const std::uint64_t bit = 1ULL << (c & 63);
        count += (word & bit) == 0;
        word |= bit;
    };
    const int step = bytesPerPixel();
    for (int y = 0; y < height_; ++y) {
        const std::uint8_t* p = row(y);
        const std::uint8_t* end = p + stride();
        if (bits_ == 16) {
            for (; p < end; p += 2) mark(unpackRgb555(static_cast<std::uint16_t>(p[0] | (p[1] << 8))));
        } else {
            for (; p < end; p += step) mark(makeRgb(p[0], p[1], p[2]));
        }
    }
    return count;
}

Rgb Bitmap::transparentRgb() const {
    if (!isPaletteReference(transparentColor_) || bits_ > 8) return transparentColor_;
    const auto i = static_cast<std::size_t>(paletteIndexOf(transparentColor_));
    return i < palette_.size() ? palette_[i] : transparentColor_;
}

Bitmap Bitmap::toRgb24() const {
    Bitmap out(width_, height_, 24);
    for (int y = 0; y < height_; ++y) {
        std::uint8_t* d = out.row(y);
        if (bits_ == 24) {
            std::copy_n(row(y), stride(), d);
            continue;
        }
        for (int x = 0; x < width_; ++x) {
            const Rgb c = pixel(x, y);
            d[3 * x] = static_cast<std::uint8_t>(redOf(c));
            d[3 * x + 1] = static_cast<std::uint8_t>(greenOf(c));
            d[3 * x + 2] = static_cast<std::uint8_t>(blueOf(c));
        }
    }
    out.transparent_ = transparent_;
    out.transparentColor_ = transparentRgb();
    return out;
}

Bitmap Bitmap::toRgba32() const {
    Bitmap out(width_, height_, 32);
    for (int y = 0; y < height_; ++y) {
        std::uint8_t* d = out.row(y);
        if (bits_ == 32) {
            std::copy_n(row(y), stride(), d);
            continue;
        }
        for (int x = 0; x < width_; ++x) {
            const Rgb c = pixel(x, y);
            d[4 * x] = static_cast<std::uint8_t>(redOf(c));
            d[4 * x + 1] = static_cast<std::uint8_t>(greenOf(c));
            d[4 * x + 2] = static_cast<std::uint8_t>(blueOf(c));
            d[4 * x + 3] = 255;
        }
    }
    out.transparent_ = transparent_;
    out.transparentColor_ = transparentRgb();
    return out;
}

bool Bitmap::operator==(const Bitmap& other) const {
    return width_ == other.width_ && height_ == other.height_ && bits_ == other.bits_ && data_ == other.data_ &&
           palette_ == other.palette_;
}

}  // namespace imaging
