#include "codecs/codec_support.h"

#include <algorithm>
#include <cstdlib>

namespace imaging::codec {

void ByteReader::truncated() const { fail(ErrorCode::Truncated, where_, "the file ends before the image does"); }

void ByteReader::corrupt(const std::string& reason) const { fail(ErrorCode::Corrupt, where_, reason); }

void ByteReader::seek(std::size_t pos) {
    if (pos > data_.size()) truncated();
    pos_ = pos;
}

void ByteReader::skip(std::size_t n) {
    need(n);
    pos_ += n;
}

std::uint8_t ByteReader::u8() {
    need(1);
    return data_[pos_++];
}

std::uint16_t ByteReader::u16le() {
    need(2);
    const std::uint16_t v = static_cast<std::uint16_t>(data_[pos_] | (data_[pos_ + 1] << 8));
    pos_ += 2;
    return v;
}

std::uint16_t ByteReader::u16be() {
    need(2);
    const std::uint16_t v = static_cast<std::uint16_t>((data_[pos_] << 8) | data_[pos_ + 1]);
    pos_ += 2;
    return v;
}

std::uint32_t ByteReader::u32le() {
    need(4);
    const std::uint32_t v =
        static_cast<std::uint32_t>(data_[pos_]) | (static_cast<std::uint32_t>(data_[pos_ + 1]) << 8) |
        (static_cast<std::uint32_t>(data_[pos_ + 2]) << 16) | (static_cast<std::uint32_t>(data_[pos_ + 3]) << 24);
    pos_ += 4;
    return v;
}

std::uint32_t ByteReader::u32be() {
    need(4);
    const std::uint32_t v =
        (static_cast<std::uint32_t>(data_[pos_]) << 24) | (static_cast<std::uint32_t>(data_[pos_ + 1]) << 16) |
        (static_cast<std::uint32_t>(data_[pos_ + 2]) << 8) | static_cast<std::uint32_t>(data_[pos_ + 3]);
    pos_ += 4;
    return v;
}

ByteView ByteReader::bytes(std::size_t n) {
    need(n);
    ByteView v = data_.subspan(pos_, n);
    pos_ += n;
    return v;
}

ByteReader ByteReader::sub(std::size_t n) { return ByteReader(bytes(n), where_); }

PageRange pageRange(int total, const LoadOptions& options, const char* where) {
    if (options.firstPage < 0 || options.firstPage >= total)
        fail(ErrorCode::InvalidArgument, where,
             "page " + std::to_string(options.firstPage) + " does not exist (the file has " + std::to_string(total) +
                 ")");
    const int left = total - options.firstPage;
    const int count = options.pageCount < 0 ? left : std::min(options.pageCount, left);
    if (count == 0) fail(ErrorCode::InvalidArgument, where, "no pages requested");
    return {options.firstPage, count};
}

void checkPixelBudget(long long width, long long height, std::size_t dataBytes, long long pixelsPerByte,
                      const char* where, long long slack) {
    checkDimensions(width, height, where);
    const long long budget = static_cast<long long>(std::min<std::size_t>(dataBytes, 1ULL << 32)) * pixelsPerByte + slack;
    if (width * height > budget)
        fail(ErrorCode::Corrupt, where,
             "an image of " + std::to_string(width) + " x " + std::to_string(height) + " pixels cannot come from " +
                 std::to_string(dataBytes) + " bytes");
}

void normalizePalette(Bitmap& bitmap) {
    if (bitmap.bits() <= 8) bitmap.palette().resize(std::size_t{1} << bitmap.bits(), 0);
}

Bitmap toDirect(const Bitmap& bitmap, int bits) {
    if (bits == 24) return bitmap.toRgb24();
    if (bits == 32) return bitmap.toRgba32();
    Bitmap out(bitmap.width(), bitmap.height(), 16);
    for (int y = 0; y < bitmap.height(); ++y)
        for (int x = 0; x < bitmap.width(); ++x) out.setPixel(x, y, bitmap.pixel(x, y));
    out.setTransparent(bitmap.transparent());
    out.setTransparentColor(bitmap.transparentRgb());
    return out;
}

void convertForLoad(Bitmap& bitmap, int bits, const char* where) {
    if (bits == 0 || bits == bitmap.bits()) return;
    if (bits == 16 || bits == 24 || bits == 32) {
        bitmap = toDirect(bitmap, bits);
        return;
    }
    if (bitmap.isIndexed() && Bitmap::isValidDepth(bits) && bits > bitmap.bits()) {
        Bitmap out(bitmap.width(), bitmap.height(), bits);
        out.data() = std::move(bitmap.data());
        out.palette() = bitmap.palette();
        normalizePalette(out);
        out.userPalette() = bitmap.userPalette();
        out.setTransparent(bitmap.transparent());
        out.setTransparentColor(bitmap.transparentColor());
        bitmap = std::move(out);
        return;
    }
    fail(ErrorCode::Unsupported, where,
         "cannot load at " + std::to_string(bits) + " bits without colour reduction (stored at " +
             std::to_string(bitmap.bits()) + ")");
}

int requestedBits(const Bitmap& bitmap, const SaveOptions& options) {
    return options.bits == 0 ? bitmap.bits() : options.bits;
}

void checkIndexedFits(const Bitmap& bitmap, int bits, const char* where) {
    if (!bitmap.isIndexed())
        fail(ErrorCode::InvalidArgument, where,
             "a " + std::to_string(bitmap.bits()) + "-bit bitmap needs colour reduction before it is saved at " +
                 std::to_string(bits) + " bits");
    if (bits >= bitmap.bits()) return;
    const std::uint8_t limit = static_cast<std::uint8_t>((1 << bits) - 1);
    for (std::uint8_t v : bitmap.data())
        if (v > limit)
            fail(ErrorCode::InvalidArgument, where,
                 "palette index " + std::to_string(v) + " does not fit into " + std::to_string(bits) + " bits");
}

int nearestPaletteIndex(const std::vector<Rgb>& palette, int count, Rgb colour) {
    int best = 0;
    int bestDistance = 1000;
    count = std::min<int>(count, static_cast<int>(palette.size()));
    for (int i = 0; i < count; ++i) {
        const Rgb p = palette[i];
        const int d = std::abs(redOf(p) - redOf(colour)) + std::abs(greenOf(p) - greenOf(colour)) +
                      std::abs(blueOf(p) - blueOf(colour));
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
            if (d == 0) break;
        }
    }
    return best;
}

int transparentIndex(const Bitmap& bitmap, int paletteEntries, bool nearest) {
    if (!bitmap.transparent() || !bitmap.isIndexed()) return -1;
    const Rgb c = bitmap.transparentColor();
    if (isPaletteReference(c)) {
        const int i = paletteIndexOf(c);
        return i < paletteEntries ? i : -1;
    }
    const int i = nearestPaletteIndex(bitmap.palette(), paletteEntries, c);
    return nearest || paletteEntry(bitmap, i) == c ? i : -1;
}

std::uint64_t memorySizeOf(int width, int height, int bits) {
    if (width <= 0 || height <= 0) return 0;
    const std::uint64_t rowBytes = ((static_cast<std::uint64_t>(width) * bits + 31) / 32) * 4;
    return rowBytes * static_cast<std::uint64_t>(height) + (bits <= 8 ? (4ULL << bits) : 0);
}

void rowToRgb(const Bitmap& bitmap, int y, std::uint8_t* out) {
    const std::uint8_t* s = bitmap.row(y);
    const int w = bitmap.width();
    switch (bitmap.bits()) {
    case 24: std::copy_n(s, 3 * static_cast<std::size_t>(w), out); return;
    case 32:
        for (int x = 0; x < w; ++x, s += 4, out += 3) out[0] = s[0], out[1] = s[1], out[2] = s[2];
        return;
    case 16:
        for (int x = 0; x < w; ++x, s += 2, out += 3) {
            const Rgb c = unpackRgb555(static_cast<std::uint16_t>(s[0] | (s[1] << 8)));
            out[0] = static_cast<std::uint8_t>(redOf(c));
            out[1] = static_cast<std::uint8_t>(greenOf(c));
            out[2] = static_cast<std::uint8_t>(blueOf(c));
        }
        return;
    default: {
        const auto& pal = bitmap.palette();
        for (int x = 0; x < w; ++x, out += 3) {
            const Rgb c = s[x] < pal.size() ? pal[s[x]] : 0;
            out[0] = static_cast<std::uint8_t>(redOf(c));
            out[1] = static_cast<std::uint8_t>(greenOf(c));
            out[2] = static_cast<std::uint8_t>(blueOf(c));
        }
    }
    }
}

}  // namespace imaging::codec
