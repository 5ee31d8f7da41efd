#include "formats/xbm_codec.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "formats/format_io.h"

namespace imaging {

using namespace fio;

namespace {

constexpr std::string_view kWhere = "XBM";

std::string_view text(ByteView data) { return {reinterpret_cast<const char*>(data.data()), data.size()}; }

// The number after "#define <name><suffix>", or -1.
long long defined(std::string_view s, std::string_view suffix) {
    for (std::size_t at = s.find("#define"); at != std::string_view::npos; at = s.find("#define", at + 7)) {
        const std::size_t end = s.find('\n', at);
        const std::string_view line = s.substr(at, end == std::string_view::npos ? s.size() - at : end - at);
        const std::size_t key = line.find(suffix);
        if (key == std::string_view::npos) continue;
        std::size_t p = key + suffix.size();
        if (p >= line.size() || (line[p] != ' ' && line[p] != '\t')) continue;
        while (p < line.size() && (line[p] == ' ' || line[p] == '\t')) ++p;
        long long v = 0;
        std::size_t digits = 0;
        while (p < line.size() && line[p] >= '0' && line[p] <= '9' && v < (1LL << 40))
            v = v * 10 + (line[p++] - '0'), ++digits;
        if (digits) return v;
    }
    return -1;
}

struct Header {
    long long width = 0;
    long long height = 0;
    bool shorts = false;  // X10 bitmaps come in 16-bit units
    std::size_t values = 0;
};

Header readHeader(std::string_view s) {
    Header h;
    h.width = defined(s, "_width");
    h.height = defined(s, "_height");
    if (h.width < 0 || h.height < 0) corrupt(kWhere, "no width or height definition");
    checkSize(h.width, h.height, kWhere);
    const std::size_t brace = s.find('{');
    if (brace == std::string_view::npos) corrupt(kWhere, "no bitmap data");
    const std::string_view decl = s.substr(0, brace);
    h.shorts = decl.find("short") != std::string_view::npos;
    h.values = h.shorts ? ((static_cast<std::size_t>(h.width) + 15) / 16) * h.height
                        : packedRowBytes(static_cast<int>(h.width), 1) * h.height;
    return h;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

bool XbmCodec::sniff(ByteView data) const {
    const std::string_view s = text(data.first(std::min<std::size_t>(data.size(), 512)));
    const std::size_t at = s.find("#define");
    return at != std::string_view::npos && s.find("_width", at) != std::string_view::npos &&
           s.substr(0, at).find_first_not_of(" \t\r\n") == std::string_view::npos;
}

ImageInfo XbmCodec::readInfo(ByteView data) const {
    const Header h = readHeader(text(data));
    return makeInfo(format::Xbm, 1, h.width, h.height, data);
}

Image XbmCodec::read(ByteView data, const LoadOptions& options) const {
    const std::string_view s = text(data);
    const Header h = readHeader(s);
    checkExpansion(h.values, data.size(), 1, kWhere);  // every value takes more than one character
    std::vector<std::uint32_t> values;
    values.reserve(h.values);
    std::size_t p = s.find('{') + 1;
    const std::size_t close = std::min(s.find('}', p), s.size());
    while (values.size() < h.values) {
        p = s.find("0x", p);
        if (p == std::string_view::npos || p >= close)
            fail(ErrorCode::Truncated, std::string(kWhere), "fewer values than the size needs");
        p += 2;
        std::uint32_t v = 0;
        int digits = 0;
        for (int d; p < s.size() && (d = hexDigit(s[p])) >= 0 && digits < 8; ++p, ++digits)
            v = v * 16 + static_cast<std::uint32_t>(d);
        if (digits == 0) corrupt(kWhere, "a value without digits");
        values.push_back(v);
    }
    const int width = static_cast<int>(h.width), height = static_cast<int>(h.height);
    const int unitBits = h.shorts ? 16 : 8;
    const std::size_t unitsPerRow = (static_cast<std::size_t>(width) + unitBits - 1) / unitBits;
    Bitmap bmp(width, height, 1);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* d = bmp.row(y);
        for (int x = 0; x < width; ++x) {
            const std::uint32_t unit = values[y * unitsPerRow + x / unitBits];
            const bool set = (unit >> (x % unitBits)) & 1;  // least significant bit is leftmost
            d[x] = set ? 0 : 1;                             // set bits are black foreground
        }
    }
    return finishRead(std::move(bmp), format::Xbm, options, kWhere);
}

}  // namespace imaging
