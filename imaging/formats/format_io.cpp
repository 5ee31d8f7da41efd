#include "formats/format_io.h"

#include <algorithm>
#include <unordered_map>

namespace imaging::fio {

void corrupt(std::string_view where, const std::string& reason) {
    fail(ErrorCode::Corrupt, std::string(where), reason);
}

void unsupported(std::string_view where, const std::string& reason) {
    fail(ErrorCode::Unsupported, std::string(where), reason);
}

void ByteWriter::u16le(unsigned v) {
    u8(v & 0xFF);
    u8((v >> 8) & 0xFF);
}
void ByteWriter::u16be(unsigned v) {
    u8((v >> 8) & 0xFF);
    u8(v & 0xFF);
}
void ByteWriter::u32le(std::uint32_t v) {
    u16le(v & 0xFFFF);
    u16le(v >> 16);
}
void ByteWriter::u32be(std::uint32_t v) {
    u16be(v >> 16);
    u16be(v & 0xFFFF);
}
void ByteWriter::patchU16be(std::size_t at, unsigned v) {
    out_.at(at) = static_cast<std::uint8_t>(v >> 8);
    out_.at(at + 1) = static_cast<std::uint8_t>(v);
}
void ByteWriter::patchU16le(std::size_t at, unsigned v) {
    out_.at(at) = static_cast<std::uint8_t>(v);
    out_.at(at + 1) = static_cast<std::uint8_t>(v >> 8);
}
void ByteWriter::patchU32be(std::size_t at, std::uint32_t v) {
    patchU16be(at, v >> 16);
    patchU16be(at + 2, v & 0xFFFF);
}
void ByteWriter::patchU32le(std::size_t at, std::uint32_t v) {
    patchU16le(at, v & 0xFFFF);
    patchU16le(at + 2, v >> 16);
}

void packBitsEncode(const std::uint8_t* src, std::size_t n, Bytes& out) {
    std::size_t i = 0;
    while (i < n) {
        std::size_t run = 1;
        while (i + run < n && run < 128 && src[i + run] == src[i]) ++run;
        if (run >= 2) {
            out.push_back(static_cast<std::uint8_t>(257 - run));
            out.push_back(src[i]);
            i += run;
            continue;
        }
        // A literal stretch ends where a run of three begins (a run of two inside literals
        // costs no more than copying it).
        std::size_t j = i;
        while (j < n && j - i < 128) {
            if (j + 2 < n && src[j] == src[j + 1] && src[j] == src[j + 2]) break;
            ++j;
        }
        if (j == i) j = i + 1;
        out.push_back(static_cast<std::uint8_t>(j - i - 1));
        out.insert(out.end(), src + i, src + j);
        i = j;
    }
}

void packBitsDecode(ByteReader& in, std::uint8_t* dst, std::size_t n) {
    std::size_t o = 0;
    while (o < n) {
        const int c = static_cast<std::int8_t>(in.u8());
        if (c >= 0) {
            const std::size_t count = static_cast<std::size_t>(c) + 1;
            ByteView lit = in.bytes(count);
            const std::size_t take = std::min(count, n - o);
            std::copy_n(lit.begin(), take, dst + o);
            o += take;
        } else if (c != -128) {
            const std::size_t count = static_cast<std::size_t>(1 - c);
            const std::uint8_t v = in.u8();
            const std::size_t take = std::min(count, n - o);
            std::fill_n(dst + o, take, v);
            o += take;
        }
    }
}

std::size_t packedRowBytes(int width, int bits) { return (static_cast<std::size_t>(width) * bits + 7) / 8; }

void unpackRow(const std::uint8_t* src, int bits, int width, std::uint8_t* dst) {
    if (bits == 8) {
        std::copy_n(src, width, dst);
        return;
    }
    const int perByte = 8 / bits;
    const int mask = (1 << bits) - 1;
    for (int x = 0; x < width; ++x) {
        const int shift = 8 - bits * (x % perByte + 1);
        dst[x] = static_cast<std::uint8_t>((src[x / perByte] >> shift) & mask);
    }
}

void packRow(const std::uint8_t* src, int bits, int width, std::uint8_t* dst) {
    if (bits == 8) {
        std::copy_n(src, width, dst);
        return;
    }
    std::fill_n(dst, packedRowBytes(width, bits), 0);
    const int perByte = 8 / bits;
    const int mask = (1 << bits) - 1;
    for (int x = 0; x < width; ++x) {
        const int shift = 8 - bits * (x % perByte + 1);
        dst[x / perByte] = static_cast<std::uint8_t>(dst[x / perByte] | ((src[x] & mask) << shift));
    }
}

std::vector<Rgb> paddedPalette(std::vector<Rgb> palette, int bits) {
    palette.resize(std::size_t{1} << bits, 0);
    return palette;
}

bool isGreyRamp(const std::vector<Rgb>& palette) {
    const std::size_t n = palette.size();
    if (n < 2) return false;
    for (std::size_t i = 0; i < n; ++i) {
        const int v = static_cast<int>(i * 255 / (n - 1));
        if (palette[i] != makeRgb(v, v, v)) return false;
    }
    return true;
}

int luminance(Rgb c) { return (redOf(c) * 299 + greenOf(c) * 587 + blueOf(c) * 114) / 1000; }

int bitsForColours(std::size_t colours) {
    int bits = 1;
    while (bits < 8 && (std::size_t{1} << bits) < colours) ++bits;
    return bits;
}

static Bitmap toPaletteBits(const Bitmap& source, int bits, std::string_view where) {
    Bitmap out(source.width(), source.height(), bits);
    const std::size_t capacity = std::size_t{1} << bits;
    if (source.isIndexed()) {
        // Keep the indices where they fit: palette order matters to the user.
        const bool fits =
            std::all_of(source.data().begin(), source.data().end(), [&](std::uint8_t v) { return v < capacity; });
        if (fits) {
            out.data() = source.data();
            std::vector<Rgb> pal = source.palette();
            pal.resize(std::min(pal.size(), capacity));
            out.palette() = paddedPalette(std::move(pal), bits);
            out.setTransparent(source.transparent());
            out.setTransparentColor(source.transparentColor());
            out.userPalette() = source.userPalette();
            return out;
        }
    }
    std::unordered_map<Rgb, std::uint8_t> index;
    std::vector<Rgb> pal;
    for (int y = 0; y < source.height(); ++y) {
        std::uint8_t* d = out.row(y);
        for (int x = 0; x < source.width(); ++x) {
            const Rgb c = source.pixel(x, y);
            auto it = index.find(c);
            if (it == index.end()) {
                if (pal.size() == capacity)
                    fail(ErrorCode::InvalidArgument, std::string(where),
                         "the image has more than " + std::to_string(capacity) + " colours for " +
                             std::to_string(bits) + " bits per pixel");
                it = index.emplace(c, static_cast<std::uint8_t>(pal.size())).first;
                pal.push_back(c);
            }
            d[x] = it->second;
        }
    }
    out.palette() = paddedPalette(std::move(pal), bits);
    out.userPalette() = source.userPalette();
    // The transparent colour follows its pixels into the new palette.
    if (source.transparent()) {
        Rgb c = source.transparentColor();
        if (isPaletteReference(c) && source.isIndexed())
            c = static_cast<std::size_t>(paletteIndexOf(c)) < source.palette().size()
                    ? source.palette()[paletteIndexOf(c)]
                    : 0;
        const auto it = index.find(c);
        out.setTransparent(true);
        out.setTransparentColor(it != index.end() ? kPaletteReference + it->second : c);
    }
    return out;
}

Bitmap convertDepth(const Bitmap& source, int bits, std::string_view where) {
    if (source.bits() == bits) return source;
    if (bits <= 8) return toPaletteBits(source, bits, where);
    if (bits == 16 || bits == 24 || bits == 32) return codec::toDirect(source, bits);
    fail(ErrorCode::InvalidArgument, std::string(where), "unsupported depth of " + std::to_string(bits) + " bits");
}

Bitmap bitmapForWrite(const Image& image, const SaveOptions& options, std::initializer_list<int> native,
                      std::string_view where) {
    if (image.empty() || image.first().empty())
        fail(ErrorCode::NoImage, std::string(where), "there is no image to save");
    const Bitmap& source = image.first();
    const int requested = options.bits ? options.bits : source.bits();
    if (!Bitmap::isValidDepth(requested))
        fail(ErrorCode::InvalidArgument, std::string(where),
             "unsupported depth of " + std::to_string(requested) + " bits");
    int target = 0;
    for (int b : native)
        if (b >= requested && (target == 0 || b < target)) target = b;
    if (target == 0) target = *std::max_element(native.begin(), native.end());
    return convertDepth(source, target, where);
}

std::vector<bool> inkIndices(const Bitmap& bitmap) {
    // The darker of the two entries is ink; equal entries print as paper.
    const auto& pal = bitmap.palette();
    const int l0 = luminance(pal.at(0)), l1 = luminance(pal.at(1));
    if (l0 == l1) return {l0 < 128, l1 < 128};
    return {l0 < l1, l1 < l0};
}

ImageInfo makeInfo(int format, int bits, long long width, long long height, ByteView data) {
    ImageInfo info;
    info.format = format;
    info.bits = bits;
    info.width = static_cast<int>(width);
    info.height = static_cast<int>(height);
    info.fileSize = data.size();
    const int memBits = bits <= 8 ? bits : (bits <= 16 ? 16 : (bits <= 24 ? 24 : 32));
    info.memorySize = codec::memorySizeOf(info.width, info.height, memBits);
    return info;
}

Image finishRead(Bitmap bitmap, int format, const LoadOptions& options, std::string_view where) {
    if (options.bits != 0 && options.bits != bitmap.bits()) {
        if (!Bitmap::isValidDepth(options.bits))
            fail(ErrorCode::InvalidArgument, std::string(where),
                 "unsupported depth of " + std::to_string(options.bits) + " bits");
        bitmap = convertDepth(bitmap, options.bits, where);
    }
    return Image::fromBitmap(std::move(bitmap), format);
}

void checkSize(long long width, long long height, std::string_view where) {
    checkDimensions(width, height, std::string(where));
}

void checkExpansion(std::uint64_t outputBytes, std::size_t available, std::uint64_t maxRatio, std::string_view where) {
    if (outputBytes > static_cast<std::uint64_t>(available) * maxRatio)
        fail(ErrorCode::Truncated, std::string(where), "the file is too short for the image size its header states");
}

}  // namespace imaging::fio
