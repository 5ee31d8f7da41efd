#include "formats/xpm_codec.h"

#include <algorithm>
#include <cctype>
#include <sstream>
#include <string>
#include <unordered_map>

#include "formats/format_io.h"

namespace imaging {

using namespace fio;

namespace {

constexpr std::string_view kWhere = "XPM";

std::string_view text(ByteView data) { return {reinterpret_cast<const char*>(data.data()), data.size()}; }

// Reads the C strings of the file one after another, skipping comments between them.
class Strings {
public:
    explicit Strings(std::string_view s) : s_(s) {
        const std::size_t brace = s_.find('{');
        if (brace == std::string_view::npos) corrupt(kWhere, "no string array");
        pos_ = brace + 1;
    }
    std::string next() {
        for (;;) {
            if (pos_ >= s_.size())
                fail(ErrorCode::Truncated, std::string(kWhere), "the file ends before the image does");
            const char c = s_[pos_];
            if (c == '"') break;
            if (c == '}') fail(ErrorCode::Truncated, std::string(kWhere), "fewer strings than the image needs");
            if (c == '/' && pos_ + 1 < s_.size() && s_[pos_ + 1] == '*') {
                const std::size_t end = s_.find("*/", pos_ + 2);
                pos_ = end == std::string_view::npos ? s_.size() : end + 2;
                continue;
            }
            ++pos_;
        }
        std::string out;
        for (++pos_; pos_ < s_.size() && s_[pos_] != '"'; ++pos_) {
            if (s_[pos_] == '\\' && pos_ + 1 < s_.size()) ++pos_;
            out += s_[pos_];
        }
        if (pos_ >= s_.size()) fail(ErrorCode::Truncated, std::string(kWhere), "a string is not closed");
        ++pos_;
        return out;
    }

private:
    std::string_view s_;
    std::size_t pos_ = 0;
};

struct Named {
    const char* name;
    Rgb rgb;
};

// The colour names XPM files commonly use; others are refused by name.
constexpr Named kNames[] = {
    {"black", makeRgb(0, 0, 0)},           {"white", makeRgb(255, 255, 255)},    {"red", makeRgb(255, 0, 0)},
    {"green", makeRgb(0, 255, 0)},         {"blue", makeRgb(0, 0, 255)},         {"yellow", makeRgb(255, 255, 0)},
    {"cyan", makeRgb(0, 255, 255)},        {"magenta", makeRgb(255, 0, 255)},    {"gray", makeRgb(190, 190, 190)},
    {"grey", makeRgb(190, 190, 190)},      {"orange", makeRgb(255, 165, 0)},     {"brown", makeRgb(165, 42, 42)},
    {"navy", makeRgb(0, 0, 128)},          {"maroon", makeRgb(176, 48, 96)},     {"purple", makeRgb(160, 32, 240)},
    {"darkgray", makeRgb(169, 169, 169)},  {"darkgrey", makeRgb(169, 169, 169)}, {"lightgray", makeRgb(211, 211, 211)},
    {"lightgrey", makeRgb(211, 211, 211)}, {"pink", makeRgb(255, 192, 203)},     {"gold", makeRgb(255, 215, 0)},
};

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Returns false for "None" (transparent).
bool parseColour(std::string value, Rgb& out) {
    std::string lower;
    for (char c : value)
        if (c != ' ') lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower == "none") return false;
    if (!lower.empty() && lower[0] == '#') {
        const std::string hex = lower.substr(1);
        if (hex.empty() || hex.size() % 3 != 0 || hex.size() > 12) corrupt(kWhere, "colour " + value);
        const std::size_t n = hex.size() / 3;
        int rgb[3];
        for (int c = 0; c < 3; ++c) {
            long v = 0;
            for (std::size_t i = 0; i < n; ++i) {
                const int d = hexDigit(hex[c * n + i]);
                if (d < 0) corrupt(kWhere, "colour " + value);
                v = v * 16 + d;
            }
            // Keep the top eight bits; one hex digit per channel is replicated.
            rgb[c] = n == 1 ? static_cast<int>(v * 17) : static_cast<int>(v >> (4 * (n - 2)));
        }
        out = makeRgb(rgb[0], rgb[1], rgb[2]);
        return true;
    }
    for (const std::string prefix : {"gray", "grey"})
        if (lower.size() > 4 && lower.size() <= 7 && lower.compare(0, 4, prefix) == 0 &&
            std::all_of(lower.begin() + 4, lower.end(), [](char ch) { return ch >= '0' && ch <= '9'; })) {
            const int pct = std::stoi(lower.substr(4));
            if (pct <= 100) {
                const int v = (pct * 255 + 50) / 100;
                out = makeRgb(v, v, v);
                return true;
            }
        }
    for (const Named& n : kNames)
        if (lower == n.name) {
            out = n.rgb;
            return true;
        }
    unsupported(kWhere, "the colour name \"" + value + "\" is not known");
}

struct Header {
    long long width = 0;
    long long height = 0;
    long long colours = 0;
    long long cpp = 0;
};

Header parseHeader(const std::string& values) {
    std::istringstream in(values);
    Header h;
    if (!(in >> h.width >> h.height >> h.colours >> h.cpp)) corrupt(kWhere, "an unreadable values line");
    if (h.colours < 1 || h.colours > 65536) corrupt(kWhere, std::to_string(h.colours) + " colours");
    if (h.cpp < 1 || h.cpp > 7) corrupt(kWhere, std::to_string(h.cpp) + " characters per pixel");
    checkSize(h.width, h.height, kWhere);
    return h;
}

}  // namespace

bool XpmCodec::sniff(ByteView data) const {
    const std::string_view s = text(data.first(std::min<std::size_t>(data.size(), 256)));
    return s.find("/* XPM */") != std::string_view::npos;
}

ImageInfo XpmCodec::readInfo(ByteView data) const {
    Strings strings(text(data));
    const Header h = parseHeader(strings.next());
    return makeInfo(format::Xpm, h.colours <= 2 ? 1 : (h.colours <= 16 ? 4 : (h.colours <= 256 ? 8 : 24)), h.width,
                    h.height, data);
}

Image XpmCodec::read(ByteView data, const LoadOptions& options) const {
    Strings strings(text(data));
    const Header h = parseHeader(strings.next());
    const int width = static_cast<int>(h.width), height = static_cast<int>(h.height);
    const std::size_t cpp = static_cast<std::size_t>(h.cpp);
    checkExpansion(static_cast<std::uint64_t>(width) * height * cpp, data.size(), 1, kWhere);
    checkExpansion(static_cast<std::uint64_t>(h.colours) * (cpp + 4), data.size(), 1, kWhere);

    std::unordered_map<std::string, int> index;
    std::vector<Rgb> colours;
    int transparentIndex = -1;
    for (long long i = 0; i < h.colours; ++i) {
        const std::string line = strings.next();
        if (line.size() < cpp) corrupt(kWhere, "a short colour line");
        std::istringstream rest(line.substr(cpp));
        std::vector<std::string> words;
        for (std::string w; rest >> w;) words.push_back(w);
        // Key and value pairs; a value may be several words ("light grey"). Colour beats grey.
        std::string chosen;
        int rank = 99;
        for (std::size_t k = 0; k < words.size();) {
            const std::string key = words[k++];
            std::string value;
            while (k < words.size() && words[k] != "c" && words[k] != "m" && words[k] != "g" && words[k] != "g4" &&
                   words[k] != "s")
                value += (value.empty() ? "" : " ") + words[k++];
            const int r = key == "c" ? 0 : key == "g" ? 1 : key == "g4" ? 2 : key == "m" ? 3 : 99;
            if (r < rank && !value.empty()) {
                rank = r;
                chosen = value;
            }
        }
        if (rank == 99) corrupt(kWhere, "a colour line without a colour");
        Rgb rgb = 0;
        if (!parseColour(chosen, rgb)) transparentIndex = static_cast<int>(colours.size());
        index[line.substr(0, cpp)] = static_cast<int>(colours.size());
        colours.push_back(rgb);
    }

    const bool indexed = colours.size() <= 256;
    const int bits =
        colours.size() <= 2 ? 1 : (colours.size() <= 16 ? 4 : (indexed ? 8 : (transparentIndex >= 0 ? 32 : 24)));
    Bitmap bmp(width, height, bits);
    if (indexed) bmp.palette() = paddedPalette(colours, bits);
    for (int y = 0; y < height; ++y) {
        const std::string line = strings.next();
        if (line.size() < static_cast<std::size_t>(width) * cpp)
            fail(ErrorCode::Truncated, std::string(kWhere), "a short pixel line");
        for (int x = 0; x < width; ++x) {
            const auto it = index.find(line.substr(x * cpp, cpp));
            if (it == index.end()) corrupt(kWhere, "a pixel of an undefined colour");
            if (indexed) {
                bmp.row(y)[x] = static_cast<std::uint8_t>(it->second);
            } else {
                bmp.setPixel(x, y, colours[it->second]);
                if (bits == 32 && it->second == transparentIndex) bmp.row(y)[4 * x + 3] = 0;
            }
        }
    }
    if (indexed && transparentIndex >= 0) {
        bmp.setTransparent(true);
        bmp.setTransparentColor(kPaletteReference + static_cast<Rgb>(transparentIndex));
    }
    return finishRead(std::move(bmp), format::Xpm, options, kWhere);
}

}  // namespace imaging
