#include "formats/cut_codec.h"

#include <algorithm>

#include "formats/format_io.h"

namespace imaging {

using namespace fio;

namespace {

constexpr std::string_view kWhere = "Dr. Halo CUT";

struct Header {
    long long width = 0;
    long long height = 0;
};

Header readHeader(ByteReader& in) {
    Header h;
    h.width = in.u16le();
    h.height = in.u16le();
    in.u16le();  // reserved
    checkSize(h.width, h.height, kWhere);
    return h;
}

// One line: a byte count, then runs (high bit set: repeat the next byte) and literal
// stretches, ended by a zero. Returns the pixels decoded; `strict` demands an exact line.
std::size_t decodeLine(ByteReader& in, std::uint8_t* dst, std::size_t width, bool strict) {
    ByteReader line = in.sub(in.u16le());
    std::size_t o = 0;
    for (;;) {
        if (line.atEnd()) {
            if (strict) line.corrupt("a line without its end mark");
            break;
        }
        const std::uint8_t code = line.u8();
        const std::size_t count = code & 0x7F;
        if (count == 0) break;
        if (strict && o + count > width) line.corrupt("a line longer than the image");
        if (code & 0x80) {
            const std::uint8_t v = line.u8();
            const std::size_t take = std::min(count, width - o);
            std::fill_n(dst + o, take, v);
            o += take;
        } else {
            ByteView lit = line.bytes(count);
            const std::size_t take = std::min(count, width - o);
            std::copy_n(lit.begin(), take, dst + o);
            o += take;
        }
    }
    return o;
}

}  // namespace

bool CutCodec::sniff(ByteView data) const {
    // No magic number: a sane size, a zero reserved word and the first lines decoding to
    // exactly the width.
    if (data.size() < 10 || data[4] != 0 || data[5] != 0) return false;
    try {
        ByteReader in(data, kWhere);
        const Header h = readHeader(in);
        if (h.width > 16384 || h.height > 16384) return false;
        std::vector<std::uint8_t> line(static_cast<std::size_t>(h.width));
        for (long long y = 0; y < std::min<long long>(h.height, 4); ++y)
            if (decodeLine(in, line.data(), line.size(), true) != line.size()) return false;
        return true;
    } catch (const Error&) {
        return false;
    }
}

ImageInfo CutCodec::readInfo(ByteView data) const {
    ByteReader in(data, kWhere);
    const Header h = readHeader(in);
    return makeInfo(format::Cut, 8, h.width, h.height, data);
}

Image CutCodec::read(ByteView data, const LoadOptions& options) const {
    ByteReader in(data, kWhere);
    const Header h = readHeader(in);
    const int width = static_cast<int>(h.width), height = static_cast<int>(h.height);
    // Each line costs at least its count and end mark; a run covers at most 127 pixels.
    checkExpansion(static_cast<std::uint64_t>(height) * 3, in.remaining(), 1, kWhere);
    checkExpansion(static_cast<std::uint64_t>(width) * height, in.remaining(), 127, kWhere);
    // The palette lives in a separate file; without it the indices show as grey.
    Bitmap bmp(width, height, 8);
    for (int y = 0; y < height; ++y) {
        const std::size_t got = decodeLine(in, bmp.row(y), static_cast<std::size_t>(width), false);
        if (got < static_cast<std::size_t>(width)) in.corrupt("a line shorter than the image");
    }
    return finishRead(std::move(bmp), format::Cut, options, kWhere);
}

}  // namespace imaging
