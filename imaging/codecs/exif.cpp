#include "codecs/exif.h"

#include <cstring>

#include "color/icc_transform.h"

namespace imaging::exif {
namespace {

constexpr int kOrientation = 274;
constexpr int kArtist = 315;
constexpr int kCopyright = 33432;
constexpr int kIccProfile = 34675;
// Text fields longer than this are not a name or a notice; they are cut.
constexpr std::size_t kMaxText = 256;

struct Reader {
    ByteView data;
    bool little = true;
    bool has(std::size_t at, std::size_t n) const { return at <= data.size() && n <= data.size() - at; }
    unsigned u16(std::size_t at) const {
        const std::uint8_t* p = data.data() + at;
        return little ? p[0] | (p[1] << 8) : (p[0] << 8) | p[1];
    }
    std::uint32_t u32(std::size_t at) const {
        const std::uint8_t* p = data.data() + at;
        return little ? p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24)
                      : (static_cast<std::uint32_t>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
    }
};

int typeSize(unsigned type) {
    switch (type) {
    case 1: case 2: case 6: case 7: return 1;  // BYTE, ASCII, SBYTE, UNDEFINED
    case 3: case 8: return 2;                  // SHORT, SSHORT
    case 4: case 9: case 11: return 4;         // LONG, SLONG, FLOAT
    default: return 0;                         // rationals and the rest: not read here
    }
}

// Text as a person wrote it: up to the first NUL, control characters dropped, trimmed.
std::string text(const std::uint8_t* p, std::size_t n) {
    std::string s;
    for (std::size_t i = 0; i < n && p[i] != 0 && s.size() < kMaxText; ++i)
        if (p[i] >= 0x20 && p[i] != 0x7F) s += static_cast<char>(p[i]);
    while (!s.empty() && s.back() == ' ') s.pop_back();
    while (!s.empty() && s.front() == ' ') s.erase(s.begin());
    return s;
}

void putU16(Bytes& out, unsigned v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void putU32(Bytes& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

}  // namespace

ByteView tiffStart(ByteView payload) {
    auto isTiff = [](ByteView d) {
        return d.size() >= 8 && ((d[0] == 'I' && d[1] == 'I' && d[2] == 42 && d[3] == 0) ||
                                 (d[0] == 'M' && d[1] == 'M' && d[2] == 0 && d[3] == 42));
    };
    if (isTiff(payload)) return payload;
    if (payload.size() >= 6 && std::memcmp(payload.data(), "Exif\0\0", 6) == 0 && isTiff(payload.subspan(6)))
        return payload.subspan(6);
    // HEIF's Exif item starts with a 4-byte offset to the TIFF header.
    if (payload.size() >= 4) {
        const std::uint32_t skip = (std::uint32_t{payload[0]} << 24) | (payload[1] << 16) | (payload[2] << 8) | payload[3];
        if (skip <= payload.size() - 4 && isTiff(payload.subspan(4 + skip))) return payload.subspan(4 + skip);
    }
    return {};
}

Fields read(ByteView tiff) {
    Fields fields;
    Reader r{tiff};
    if (tiff.size() < 8) return fields;
    r.little = tiff[0] == 'I';
    const std::uint32_t ifd = r.u32(4);
    if (!r.has(ifd, 2)) return fields;
    const unsigned count = r.u16(ifd);
    for (unsigned i = 0; i < count; ++i) {
        const std::size_t entry = ifd + 2 + 12 * static_cast<std::size_t>(i);
        if (!r.has(entry, 12)) break;
        const unsigned tag = r.u16(entry), type = r.u16(entry + 2);
        const std::uint32_t n = r.u32(entry + 4);
        const int size = typeSize(type);
        if (size == 0 || n == 0) continue;
        const std::uint64_t bytes = std::uint64_t{n} * static_cast<std::uint64_t>(size);
        const std::size_t at = bytes <= 4 ? entry + 8 : r.u32(entry + 8);
        if (tag == kIccProfile && bytes > icc::kMaxProfileBytes) {
            fields.iccTooLarge = true;
            continue;
        }
        if (!r.has(at, static_cast<std::size_t>(std::min<std::uint64_t>(bytes, tiff.size() + 1)))) continue;
        switch (tag) {
        case kOrientation: {
            const unsigned v = type == 3 ? r.u16(at) : type == 4 ? r.u32(at) : 0;
            fields.orientation = v >= 1 && v <= 8 ? static_cast<int>(v) : 0;
            break;
        }
        case kArtist:
            if (type == 2) fields.author = text(tiff.data() + at, n);
            break;
        case kCopyright:
            if (type == 2) fields.copyright = text(tiff.data() + at, n);
            break;
        case kIccProfile:
            if (type == 7 || type == 1) fields.iccProfile.assign(tiff.data() + at, tiff.data() + at + n);
            break;
        default: break;
        }
    }
    return fields;
}

Bytes build(const std::string& author, const std::string& copyright) {
    struct Entry {
        int tag;
        std::string value;
    };
    std::vector<Entry> entries;
    if (!author.empty()) entries.push_back({kArtist, author.substr(0, kMaxText)});
    if (!copyright.empty()) entries.push_back({kCopyright, copyright.substr(0, kMaxText)});
    if (entries.empty()) return {};
    Bytes out{'I', 'I', 42, 0};
    putU32(out, 8);
    putU16(out, static_cast<unsigned>(entries.size()));
    std::uint32_t data = 8 + 2 + 12 * static_cast<std::uint32_t>(entries.size()) + 4;
    Bytes values;
    for (const Entry& e : entries) {
        const std::uint32_t n = static_cast<std::uint32_t>(e.value.size() + 1);  // with its NUL
        putU16(out, static_cast<unsigned>(e.tag));
        putU16(out, 2);  // ASCII
        putU32(out, n);
        if (n <= 4) {
            Bytes inline4(4, 0);
            std::memcpy(inline4.data(), e.value.data(), e.value.size());
            out.insert(out.end(), inline4.begin(), inline4.end());
        } else {
            putU32(out, data + static_cast<std::uint32_t>(values.size()));
            values.insert(values.end(), e.value.begin(), e.value.end());
            values.push_back(0);
            if (values.size() & 1) values.push_back(0);  // values start on even offsets
        }
    }
    putU32(out, 0);  // no further directory
    out.insert(out.end(), values.begin(), values.end());
    return out;
}

}  // namespace imaging::exif
