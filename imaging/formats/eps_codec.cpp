#include "formats/eps_codec.h"

#include <algorithm>
#include <cstring>
#include <sstream>

#include "formats/format_io.h"

namespace imaging {

using namespace fio;

namespace {

constexpr std::string_view kWhere = "EPS";
constexpr char kHex[] = "0123456789ABCDEF";
constexpr std::string_view kPaletteKey = "/Indexed /DeviceRGB 255 <";

// The PostScript part: after the binary header of DOS EPS files, or the whole file.
std::string_view postScript(ByteView data) {
    if (data.size() >= 30 && data[0] == 0xC5 && data[1] == 0xD0 && data[2] == 0xD3 && data[3] == 0xC6) {
        ByteReader in(data, kWhere);
        in.skip(4);
        const std::uint32_t offset = in.u32le(), length = in.u32le();
        if (offset > data.size() || length > data.size() - offset) in.truncated();
        return {reinterpret_cast<const char*>(data.data()) + offset, length};
    }
    return {reinterpret_cast<const char*>(data.data()), data.size()};
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

struct Raster {
    long long width = 0;
    long long height = 0;
    std::size_t dataStart = 0;  // first hex digit of the pixels
    std::vector<Rgb> palette;   // empty: grey
};

// Finds the raster this program writes: an %ImageData comment giving size, depth and
// encoding, and the data on the line after the one holding the start string.
Raster findRaster(std::string_view ps) {
    if (ps.substr(0, 10) != "%!PS-Adobe") corrupt(kWhere, "not a PostScript file");
    const std::size_t at = ps.find("\n%ImageData:");
    if (at == std::string_view::npos)
        unsupported(kWhere, "only raster pictures described by an %ImageData comment are read");
    const std::size_t lineEnd = std::min(ps.find('\n', at + 1), ps.size());
    std::istringstream fields(std::string(ps.substr(at + 12, lineEnd - at - 12)));
    long long cols = 0, rows = 0, depth = 0, mode = 0, pad = 0, block = 0, encoding = 0;
    std::string start;
    fields >> cols >> rows >> depth >> mode >> pad >> block >> encoding >> start;
    if (!fields && !fields.eof()) corrupt(kWhere, "an unreadable %ImageData comment");
    if (depth != 8 || mode != 1) unsupported(kWhere, "only 8-bit single-channel rasters are read");
    if (encoding != 2) unsupported(kWhere, "only hexadecimal image data is read");
    if (start.size() < 3 || start.front() != '"' || start.back() != '"')
        corrupt(kWhere, "no start string for the data");
    checkSize(cols, rows, kWhere);
    Raster r;
    r.width = cols;
    r.height = rows;
    const std::size_t startAt = ps.find(start.substr(1, start.size() - 2), lineEnd);
    if (startAt == std::string_view::npos) corrupt(kWhere, "the image data is missing");
    const std::size_t dataLine = ps.find('\n', startAt);
    if (dataLine == std::string_view::npos)
        fail(ErrorCode::Truncated, std::string(kWhere), "the image data is missing");
    r.dataStart = dataLine + 1;

    const std::size_t key = ps.substr(0, startAt).find(kPaletteKey);
    if (key != std::string_view::npos) {
        std::size_t p = key + kPaletteKey.size();
        r.palette.resize(256);
        for (int i = 0; i < 256; ++i) {
            int rgb[3];
            for (int& v : rgb) {
                while (p < ps.size() && (ps[p] == ' ' || ps[p] == '\n' || ps[p] == '\r')) ++p;
                if (p + 1 >= ps.size())
                    fail(ErrorCode::Truncated, std::string(kWhere), "the colour table is cut short");
                const int hi = hexValue(ps[p]), lo = hexValue(ps[p + 1]);
                if (hi < 0 || lo < 0) corrupt(kWhere, "a broken colour table");
                v = hi * 16 + lo;
                p += 2;
            }
            r.palette[i] = makeRgb(rgb[0], rgb[1], rgb[2]);
        }
    }
    return r;
}

void hexLines(std::string& out, const std::uint8_t* bytes, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        out += kHex[bytes[i] >> 4];
        out += kHex[bytes[i] & 15];
        if (i % 36 == 35 || i + 1 == n) out += '\n';
    }
}

}  // namespace

bool EpsCodec::sniff(ByteView data) const {
    if (data.size() >= 4 && data[0] == 0xC5 && data[1] == 0xD0 && data[2] == 0xD3 && data[3] == 0xC6) return true;
    return data.size() >= 10 && std::memcmp(data.data(), "%!PS-Adobe", 10) == 0;
}

ImageInfo EpsCodec::readInfo(ByteView data) const {
    const Raster r = findRaster(postScript(data));
    return makeInfo(format::Eps, 8, r.width, r.height, data);
}

Image EpsCodec::read(ByteView data, const LoadOptions& options) const {
    const std::string_view ps = postScript(data);
    const Raster r = findRaster(ps);
    const int width = static_cast<int>(r.width), height = static_cast<int>(r.height);
    checkExpansion(static_cast<std::uint64_t>(width) * height * 2, ps.size() - r.dataStart, 1, kWhere);
    Bitmap bmp(width, height, 8);
    std::size_t p = r.dataStart;
    for (auto& v : bmp.data()) {
        int digits[2];
        for (int& d : digits) {
            while (p < ps.size() && (ps[p] == ' ' || ps[p] == '\n' || ps[p] == '\r' || ps[p] == '\t')) ++p;
            if (p >= ps.size()) fail(ErrorCode::Truncated, std::string(kWhere), "the file ends before the image does");
            d = hexValue(ps[p++]);
            if (d < 0) corrupt(kWhere, "the image data ends early or holds a non-hexadecimal character");
        }
        v = static_cast<std::uint8_t>(digits[0] * 16 + digits[1]);
    }
    if (!r.palette.empty()) bmp.palette() = r.palette;
    return finishRead(std::move(bmp), format::Eps, options, kWhere);
}

Bytes EpsCodec::write(const Image& image, const SaveOptions& options) const {
    const Bitmap bmp = bitmapForWrite(image, options, {8}, kWhere);
    const int width = bmp.width(), height = bmp.height();
    // A grey ramp is plain grey (PostScript level 1); any other palette needs the indexed
    // colour space of level 2 to keep its colours.
    const bool grey = isGreyRamp(bmp.palette());
    const std::string w = std::to_string(width), h = std::to_string(height);
    std::string out;
    out.reserve(static_cast<std::size_t>(width) * height * 2 + static_cast<std::size_t>(height) * 4 + 4096);
    out += "%!PS-Adobe-3.0 EPSF-3.0\n%%Creator: Kalmira\n%%Title: (image)\n";
    out += "%%BoundingBox: 0 0 " + w + " " + h + "\n";
    out += "%%HiResBoundingBox: 0 0 " + w + " " + h + "\n";
    out += grey ? "%%LanguageLevel: 1\n" : "%%LanguageLevel: 2\n";
    out += "%%Pages: 1\n%%EndComments\n%%BeginProlog\n%%EndProlog\n%%Page: 1 1\n";
    out += "save\n/picstr " + w + " string def\n" + w + " " + h + " scale\n";
    if (!grey) {
        out += "[/Indexed /DeviceRGB 255 <\n";
        std::uint8_t table[768];
        for (int i = 0; i < 256; ++i) {
            table[3 * i] = static_cast<std::uint8_t>(redOf(bmp.palette()[i]));
            table[3 * i + 1] = static_cast<std::uint8_t>(greenOf(bmp.palette()[i]));
            table[3 * i + 2] = static_cast<std::uint8_t>(blueOf(bmp.palette()[i]));
        }
        hexLines(out, table, 768);
        out += ">] setcolorspace\n";
    }
    out += "%ImageData: " + w + " " + h + " 8 1 0 " + w + " 2 \"image\"\n";
    const std::string matrix = "[" + w + " 0 0 -" + h + " 0 " + h + "]";
    if (grey) {
        out += w + " " + h + " 8 " + matrix + " {currentfile picstr readhexstring pop} image\n";
    } else {
        out += "<< /ImageType 1 /Width " + w + " /Height " + h + " /BitsPerComponent 8 /Decode [0 255] /ImageMatrix " +
               matrix + " /DataSource {currentfile picstr readhexstring pop} >> image\n";
    }
    for (int y = 0; y < height; ++y) hexLines(out, bmp.row(y), static_cast<std::size_t>(width));
    out += "restore\nshowpage\n%%Trailer\n%%EOF\n";
    return Bytes(out.begin(), out.end());
}

}  // namespace imaging
