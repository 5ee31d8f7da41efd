#include "codecs/embedded.h"
#include "codecs/profile_rows.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "codecs/exif.h"
#include "codecs/orientation.h"
#include "color/icc_transform.h"

namespace imaging::embedded {
namespace {

std::uint32_t be32(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}
std::uint32_t le32(const std::uint8_t* p) {
    return p[0] | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[3]} << 24);
}

void takeExif(Found& found, ByteView payload) {
    const ByteView tiff = exif::tiffStart(payload);
    if (tiff.empty()) return;
    // A file with several EXIF blocks: the first that names a field gives it.
    exif::Fields f = exif::read(tiff);
    if (!found.orientation) found.orientation = f.orientation;
    if (found.author.empty()) found.author = std::move(f.author);
    if (found.copyright.empty()) found.copyright = std::move(f.copyright);
}

void scanJpeg(ByteView d, Found& found) {
    // ICC profiles larger than one marker are split over APP2 segments numbered 1..count.
    std::vector<Bytes> parts;
    std::size_t total = 0;
    std::size_t at = 2;
    while (at + 4 <= d.size() && d[at] == 0xFF) {
        const int marker = d[at + 1];
        if (marker == 0xFF) {
            ++at;
            continue;
        }
        if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            at += 2;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9) break;  // the scans: no more metadata ahead
        const std::size_t length = (std::size_t{d[at + 2]} << 8) | d[at + 3];
        if (length < 2 || at + 2 + length > d.size()) break;
        const ByteView body = d.subspan(at + 4, length - 2);
        if (marker == 0xE1 && body.size() > 6 && std::memcmp(body.data(), "Exif\0\0", 6) == 0)
            takeExif(found, body);
        if (marker == 0xE2 && body.size() > 14 && std::memcmp(body.data(), "ICC_PROFILE\0", 12) == 0) {
            const int seq = body[12], count = body[13];
            if (seq >= 1 && count >= 1 && seq <= count) {
                if (parts.size() < static_cast<std::size_t>(count)) parts.resize(static_cast<std::size_t>(count));
                Bytes& part = parts[static_cast<std::size_t>(seq - 1)];
                if (part.empty()) {
                    total += body.size() - 14;
                    if (total > icc::kMaxProfileBytes) found.iccTooLarge = true;
                    else part.assign(body.begin() + 14, body.end());
                }
            }
        }
        at += 2 + length;
    }
    if (found.iccTooLarge || parts.empty()) return;
    for (const Bytes& part : parts)
        if (part.empty()) return;  // a missing piece: the profile cannot be used
    for (const Bytes& part : parts) found.iccProfile.insert(found.iccProfile.end(), part.begin(), part.end());
}

enum class Inflated { Ok, TooLarge, Damaged };

// zlib data of a PNG chunk, inflated up to the profile limit.
Inflated inflateLimited(ByteView in, Bytes& out, std::size_t limit) {
    z_stream z{};
    if (inflateInit(&z) != Z_OK) return Inflated::Damaged;
    z.next_in = const_cast<Bytef*>(in.data());
    z.avail_in = static_cast<uInt>(in.size());
    out.resize(64 * 1024);
    int rc = Z_OK;
    while (rc == Z_OK) {
        if (z.total_out == out.size()) {
            if (out.size() > limit) break;
            out.resize(out.size() * 2);
        }
        z.next_out = out.data() + z.total_out;
        z.avail_out = static_cast<uInt>(out.size() - z.total_out);
        rc = inflate(&z, Z_NO_FLUSH);
    }
    const Inflated result = z.total_out > limit ? Inflated::TooLarge : rc == Z_STREAM_END ? Inflated::Ok : Inflated::Damaged;
    out.resize(result == Inflated::Ok ? z.total_out : 0);
    inflateEnd(&z);
    return result;
}

std::string latin1ToUtf8(const std::uint8_t* p, std::size_t n) {
    std::string s;
    for (std::size_t i = 0; i < n && s.size() < 256; ++i) {
        if (p[i] < 0x20 || p[i] == 0x7F) continue;
        if (p[i] < 0x80) s += static_cast<char>(p[i]);
        else s += static_cast<char>(0xC0 | (p[i] >> 6)), s += static_cast<char>(0x80 | (p[i] & 0x3F));
    }
    return s;
}

void scanPng(ByteView d, Found& found) {
    std::size_t at = 8;
    while (at + 12 <= d.size()) {
        const std::uint32_t length = be32(d.data() + at);
        if (length > d.size() - at - 12) break;
        const std::uint8_t* type = d.data() + at + 4;
        const ByteView body = d.subspan(at + 8, length);
        if (std::memcmp(type, "IEND", 4) == 0) break;
        if (std::memcmp(type, "iCCP", 4) == 0 && found.iccProfile.empty()) {
            const auto nul = std::find(body.begin(), body.end(), 0);
            const std::size_t name = static_cast<std::size_t>(nul - body.begin());
            if (name < 80 && name + 2 < body.size() && body[name + 1] == 0) {
                Bytes profile;
                const Inflated result = inflateLimited(body.subspan(name + 2), profile, icc::kMaxProfileBytes);
                if (result == Inflated::Ok) found.iccProfile = std::move(profile);
                found.iccTooLarge = result == Inflated::TooLarge;
                found.iccDamaged = result == Inflated::Damaged;
            }
        } else if (std::memcmp(type, "eXIf", 4) == 0) {
            takeExif(found, body);
        } else if (std::memcmp(type, "tEXt", 4) == 0 || std::memcmp(type, "iTXt", 4) == 0) {
            const auto nul = std::find(body.begin(), body.end(), 0);
            const std::string key(body.begin(), nul);
            std::size_t value = static_cast<std::size_t>(nul - body.begin()) + 1;
            const bool international = type[0] == 'i';
            if (international) {
                // compression flag, method, language tag NUL, translated keyword NUL; only
                // uncompressed text is read.
                if (value + 2 > body.size() || body[value] != 0) value = body.size();
                else {
                    value += 2;
                    for (int skip = 0; skip < 2 && value < body.size(); ++skip) {
                        const auto end = std::find(body.begin() + static_cast<std::ptrdiff_t>(value), body.end(), 0);
                        value = static_cast<std::size_t>(end - body.begin()) + 1;
                    }
                }
            }
            if (value <= body.size() && (key == "Author" || key == "Copyright")) {
                const std::uint8_t* p = body.data() + value;
                const std::size_t n = body.size() - value;
                std::string text = international ? std::string(reinterpret_cast<const char*>(p), std::min<std::size_t>(n, 256))
                                                 : latin1ToUtf8(p, n);
                (key == "Author" ? found.author : found.copyright) = text;
            }
        }
        at += 12 + length;
    }
}

void scanWebp(ByteView d, Found& found) {
    std::size_t at = 12;
    while (at + 8 <= d.size()) {
        const std::uint32_t length = le32(d.data() + at + 4);
        if (length > d.size() - at - 8) break;
        const ByteView body = d.subspan(at + 8, length);
        if (std::memcmp(d.data() + at, "ICCP", 4) == 0) {
            if (length > icc::kMaxProfileBytes) found.iccTooLarge = true;
            else found.iccProfile.assign(body.begin(), body.end());
        } else if (std::memcmp(d.data() + at, "EXIF", 4) == 0) {
            takeExif(found, body);
        }
        at += 8 + length + (length & 1);
    }
}

void scanTiff(ByteView d, Found& found) {
    exif::Fields f = exif::read(d);
    found.orientation = f.orientation;
    found.author = std::move(f.author);
    found.copyright = std::move(f.copyright);
    found.iccProfile = std::move(f.iccProfile);
    found.iccTooLarge = f.iccTooLarge;
}

}  // namespace

Found scan(ByteView d) {
    Found found;
    if (d.size() >= 4 && d[0] == 0xFF && d[1] == 0xD8 && d[2] == 0xFF) scanJpeg(d, found);
    else if (d.size() >= 8 && std::memcmp(d.data(), "\x89PNG\r\n\x1A\n", 8) == 0) scanPng(d, found);
    else if (d.size() >= 12 && std::memcmp(d.data(), "RIFF", 4) == 0 && std::memcmp(d.data() + 8, "WEBP", 4) == 0) scanWebp(d, found);
    else if (!exif::tiffStart(d).empty() && exif::tiffStart(d).data() == d.data()) scanTiff(d, found);
    return found;
}

void finishLoad(Image& image, ByteView file, const ProfileRows* convertedRows) {
    if (image.empty()) return;
    ImageNotes& notes = image.notes;
    Found found = scan(file);
    if (!notes.foundProfile.empty()) found.iccProfile = std::move(notes.foundProfile);
    if (!notes.foundExif.empty()) {
        Found fromExif;
        takeExif(fromExif, notes.foundExif);
        found.orientation = fromExif.orientation;
        found.author = std::move(fromExif.author);
        found.copyright = std::move(fromExif.copyright);
    }
    // HEIF and AVIF say how to turn the picture in their own properties; an EXIF orientation
    // inside them only repeats what the writer saw and is not applied a second time.
    if (image.format == format::Avif || image.format == format::Heif) found.orientation = notes.foundOrientation;
    notes.foundProfile.clear();
    notes.foundExif.clear();
    notes.foundOrientation = 0;
    notes.author = std::move(found.author);
    notes.copyright = std::move(found.copyright);

    if (found.iccTooLarge) {
        notes.colorNote = "colour profile ignored (larger than 4 MB)";
        notes.colorNoteKind = NoteKind::TooLarge;
    } else if (found.iccDamaged) {
        notes.colorNote = "damaged colour profile ignored";
        notes.colorNoteKind = NoteKind::Damaged;
    } else if (!found.iccProfile.empty()) {
        bool converted = false;
        for (Frame& frame : image.frames) {
            const bool done = convertedRows && &frame == &image.frames.front();
            const icc::Conversion c = done ? convertedRows->result() : icc::convertToSrgb(frame.bitmap, found.iccProfile);
            if (!c.note.empty()) {
                notes.colorNote = c.note;
                notes.colorNoteKind = c.kind;
                break;
            }
            if (c.converted) notes.colorConversion = c.description;
            converted = converted || c.converted;
        }
        if (converted) notes.iccProfile = std::move(found.iccProfile);
    }
    applyOrientation(image, found.orientation);
}

void finishInfo(ImageInfo& info, ByteView file) {
    if (orientationSwapsSides(scan(file).orientation)) std::swap(info.width, info.height);
}

bool carriesProfile(int format) {
    switch (format) {
    case format::Jpeg444: case format::Jpeg422: case format::Jpeg411: case format::Png:
    case format::TiffUncompressed: case format::TiffCompressed: case format::Webp: case format::Avif: return true;
    default: return false;
    }
}

std::unique_ptr<Image> prepareForSave(const Image& image, SaveOptions& options) {
    if (options.iccProfile.empty()) return nullptr;
    if (!carriesProfile(options.format)) {
        options.iccProfile.clear();
        return nullptr;
    }
    auto copy = std::make_unique<Image>(image);
    for (Frame& frame : copy->frames)
        if (!icc::convertFromSrgb(frame.bitmap, options.iccProfile)) {
            options.iccProfile.clear();
            return nullptr;
        }
    return copy;
}

}  // namespace imaging::embedded
