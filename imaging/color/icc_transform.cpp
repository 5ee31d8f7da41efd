#include "color/icc_transform.h"

#include <lcms2.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

namespace imaging::icc {
namespace {

constexpr cmsUInt32Number kIntent = INTENT_RELATIVE_COLORIMETRIC;

struct ProfileCloser {
    void operator()(void* p) const { cmsCloseProfile(p); }
};
using Profile = std::unique_ptr<void, ProfileCloser>;

struct TransformDeleter {
    void operator()(void* t) const { cmsDeleteTransform(t); }
};

enum class Kind : char { RgbToSrgb, RgbaToSrgb, GreyToSrgb, SrgbToRgb, SrgbaToRgba };

// One cached transform, or the reason the profile cannot serve that kind.
struct Entry {
    std::unique_ptr<void, TransformDeleter> transform;
    bool identity = false;            // the profile is sRGB (within a level): nothing to do
    std::string description;
    std::string note;                 // non-empty: unusable
    NoteKind kind = NoteKind::None;
    std::uint8_t greyLut[256][3] = {};  // GreyToSrgb: each grey level's sRGB colour
};

Profile open(std::span<const std::uint8_t> bytes) {
    if (bytes.empty() || bytes.size() > kMaxProfileBytes) return nullptr;
    return Profile(cmsOpenProfileFromMem(bytes.data(), static_cast<cmsUInt32Number>(bytes.size())));
}

std::string describe(cmsHPROFILE profile) {
    char text[256] = {};
    cmsGetProfileInfoASCII(profile, cmsInfoDescription, "en", "US", text, sizeof text);
    std::string s(text);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.pop_back();
    // Descriptions come from the file: keep only printable characters, and not too many.
    std::string clean;
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F) clean += c;
    return clean.substr(0, 80);
}

bool pictureClass(cmsHPROFILE profile) {
    const cmsProfileClassSignature c = cmsGetDeviceClass(profile);
    return c == cmsSigInputClass || c == cmsSigDisplayClass || c == cmsSigOutputClass || c == cmsSigColorSpaceClass;
}

std::unique_ptr<Entry> build(std::span<const std::uint8_t> bytes, Kind kind) {
    auto entry = std::make_unique<Entry>();
    if (bytes.size() > kMaxProfileBytes) {
        entry->note = "colour profile of " + std::to_string(bytes.size() >> 20) + " MB ignored (too large)";
        entry->kind = NoteKind::TooLarge;
        return entry;
    }
    const Profile profile = open(bytes);
    if (!profile) {
        entry->note = "damaged colour profile ignored";
        entry->kind = NoteKind::Damaged;
        return entry;
    }
    entry->description = describe(profile.get());
    const cmsColorSpaceSignature space = cmsGetColorSpace(profile.get());
    const bool grey = kind == Kind::GreyToSrgb;
    if (!pictureClass(profile.get()) || cmsGetPCS(profile.get()) == 0 ||
        space != (grey ? cmsSigGrayData : cmsSigRgbData)) {
        entry->note = "colour profile \"" + entry->description + "\" ignored (wrong colour space)";
        entry->kind = NoteKind::WrongSpace;
        return entry;
    }
    const Profile srgb(cmsCreate_sRGBProfile());
    const bool toSrgb = kind == Kind::RgbToSrgb || kind == Kind::RgbaToSrgb || kind == Kind::GreyToSrgb;
    cmsUInt32Number inFormat = TYPE_RGB_8, outFormat = TYPE_RGB_8, flags = 0;
    if (kind == Kind::RgbaToSrgb || kind == Kind::SrgbaToRgba) {
        inFormat = outFormat = TYPE_RGBA_8;
        flags |= cmsFLAGS_COPY_ALPHA;
    }
    if (grey) inFormat = TYPE_GRAY_8;
    entry->transform.reset(cmsCreateTransform(toSrgb ? profile.get() : srgb.get(), inFormat,
                                              toSrgb ? srgb.get() : profile.get(), outFormat, kIntent, flags));
    if (!entry->transform) {
        // lcms reads tags only when a transform needs them: a cut or damaged tag shows here.
        entry->note = "damaged colour profile ignored";
        entry->kind = NoteKind::Damaged;
        return entry;
    }
    // A profile that is sRGB under another name (phones and cameras embed one) changes nothing:
    // the picture stays as read and the caption does not claim a conversion.
    int worst = 0;
    if (grey) {
        std::uint8_t in[256];
        for (int v = 0; v < 256; ++v) in[v] = static_cast<std::uint8_t>(v);
        cmsDoTransform(entry->transform.get(), in, entry->greyLut, 256);
        for (int v = 0; v < 256; ++v)
            for (int c = 0; c < 3; ++c) worst = std::max(worst, std::abs(entry->greyLut[v][c] - v));
    } else {
        constexpr int kSteps = 6;
        std::vector<std::uint8_t> in, out;
        const int channels = inFormat == TYPE_RGBA_8 ? 4 : 3;
        for (int r = 0; r < kSteps; ++r)
            for (int g = 0; g < kSteps; ++g)
                for (int b = 0; b < kSteps; ++b) {
                    for (int v : {r, g, b}) in.push_back(static_cast<std::uint8_t>(v * 255 / (kSteps - 1)));
                    if (channels == 4) in.push_back(255);
                }
        out.resize(in.size());
        cmsDoTransform(entry->transform.get(), in.data(), out.data(), static_cast<cmsUInt32Number>(in.size() / channels));
        for (std::size_t i = 0; i < in.size(); ++i) worst = std::max(worst, std::abs(in[i] - out[i]));
    }
    entry->identity = worst <= 1;
    return entry;
}

// The cache: profile bytes and kind to their transform. A handful of profiles covers any real
// session (sRGB variants, Adobe RGB, Display P3, a camera's); beyond that it starts afresh. The
// shared pointer keeps an entry alive for a conversion while another thread clears the cache.
class SharedCache {
public:
    std::shared_ptr<Entry> get(std::span<const std::uint8_t> bytes, Kind kind) {
        std::string key(1, static_cast<char>(kind));
        key.append(reinterpret_cast<const char*>(bytes.data()), std::min(bytes.size(), kMaxProfileBytes + 1));
        std::lock_guard lock(mutex_);
        auto it = entries_.find(key);
        if (it != entries_.end()) return it->second;
        if (entries_.size() >= kMaxEntries) entries_.clear();
        std::shared_ptr<Entry> entry = build(bytes, kind);
        entries_.emplace(std::move(key), entry);
        return entry;
    }

private:
    static constexpr std::size_t kMaxEntries = 16;
    std::mutex mutex_;
    std::map<std::string, std::shared_ptr<Entry>> entries_;
};

std::shared_ptr<Entry> lookup(std::span<const std::uint8_t> bytes, Kind kind) {
    static SharedCache cache;
    return cache.get(bytes, kind);
}

bool isGreyPicture(const Bitmap& bitmap) {
    if (bitmap.isIndexed()) {
        for (Rgb c : bitmap.palette())
            if (redOf(c) != greenOf(c) || greenOf(c) != blueOf(c)) return false;
        return true;
    }
    const int step = bitmap.bytesPerPixel();
    if (step < 3) return false;
    const std::uint8_t* p = bitmap.data().data();
    for (std::size_t i = 0, n = bitmap.data().size(); i < n; i += static_cast<std::size_t>(step))
        if (p[i] != p[i + 1] || p[i + 1] != p[i + 2]) return false;
    return true;
}

void transformColours(void* transform, std::vector<Rgb>& colours) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(colours.size() * 3);
    for (Rgb c : colours) {
        bytes.push_back(static_cast<std::uint8_t>(redOf(c)));
        bytes.push_back(static_cast<std::uint8_t>(greenOf(c)));
        bytes.push_back(static_cast<std::uint8_t>(blueOf(c)));
    }
    cmsDoTransform(transform, bytes.data(), bytes.data(), static_cast<cmsUInt32Number>(colours.size()));
    for (std::size_t i = 0; i < colours.size(); ++i)
        colours[i] = makeRgb(bytes[3 * i], bytes[3 * i + 1], bytes[3 * i + 2]);
}

// Converts pixels (or the palette) with an RGB transform for the bitmap's layout.
void applyRgb(Bitmap& bitmap, void* rgb, void* rgba) {
    if (bitmap.isIndexed()) {
        transformColours(rgb, bitmap.palette());
        return;
    }
    if (bitmap.bits() == 24 && bitmap.transparent() && !isPaletteReference(bitmap.transparentColor())) {
        std::vector<Rgb> key{bitmap.transparentColor()};
        transformColours(rgb, key);
        bitmap.setTransparentColor(key[0]);
    }
    void* transform = bitmap.bits() == 32 ? rgba : rgb;
    // Row by row: lcms walks each row once, and rows stay in the cache between the two.
    for (int y = 0; y < bitmap.height(); ++y)
        cmsDoTransform(transform, bitmap.row(y), bitmap.row(y), static_cast<cmsUInt32Number>(bitmap.width()));
}

void applyGrey(Bitmap& bitmap, const Entry& entry) {
    auto mapped = [&](int v) { return makeRgb(entry.greyLut[v][0], entry.greyLut[v][1], entry.greyLut[v][2]); };
    if (bitmap.isIndexed()) {
        for (Rgb& c : bitmap.palette()) c = mapped(static_cast<int>(redOf(c)));
        return;
    }
    if (bitmap.bits() == 24 && bitmap.transparent() && !isPaletteReference(bitmap.transparentColor()))
        bitmap.setTransparentColor(mapped(static_cast<int>(redOf(bitmap.transparentColor()))));
    const std::size_t step = static_cast<std::size_t>(bitmap.bytesPerPixel());
    std::uint8_t* p = bitmap.data().data();
    for (std::size_t i = 0, n = bitmap.data().size(); i < n; i += step) {
        const std::uint8_t* to = entry.greyLut[p[i]];
        p[i] = to[0], p[i + 1] = to[1], p[i + 2] = to[2];
    }
}

}  // namespace

Conversion convertToSrgb(Bitmap& bitmap, std::span<const std::uint8_t> profile) {
    Conversion result;
    if (profile.empty() || bitmap.empty()) return result;
    if (bitmap.bits() == 16) {
        result.note = "colour profile ignored (16-bit pixels)";
        result.kind = NoteKind::WrongSpace;
        return result;
    }
    // The profile's own colour space decides which transform it gets.
    Kind kind = Kind::RgbToSrgb;
    if (profile.size() >= 20 && std::memcmp(profile.data() + 16, "GRAY", 4) == 0) kind = Kind::GreyToSrgb;
    const std::shared_ptr<Entry> entry = lookup(profile, kind);
    if (!entry->note.empty()) {
        result.note = entry->note;
        result.kind = entry->kind;
        return result;
    }
    if (entry->identity) return result;
    const std::string name = entry->description.empty() ? std::string("embedded profile") : entry->description;
    if (kind == Kind::GreyToSrgb) {
        if (!isGreyPicture(bitmap)) {
            result.note = "colour profile \"" + name + "\" ignored (a grey profile on a colour picture)";
            result.kind = NoteKind::WrongSpace;
            return result;
        }
        applyGrey(bitmap, *entry);
    } else {
        std::shared_ptr<Entry> alpha;
        if (bitmap.bits() == 32) {
            alpha = lookup(profile, Kind::RgbaToSrgb);
            if (!alpha->transform) {
                result.note = alpha->note;
                result.kind = alpha->kind;
                return result;
            }
        }
        applyRgb(bitmap, entry->transform.get(), alpha ? alpha->transform.get() : nullptr);
    }
    result.converted = true;
    result.description = name + " \u2192 sRGB";
    return result;
}

bool convertFromSrgb(Bitmap& bitmap, std::span<const std::uint8_t> profile) {
    if (profile.empty() || bitmap.empty() || bitmap.bits() == 16) return false;
    const std::shared_ptr<Entry> rgb = lookup(profile, Kind::SrgbToRgb);
    if (!rgb->transform) return false;
    if (rgb->identity) return true;
    std::shared_ptr<Entry> rgba;
    if (bitmap.bits() == 32) {
        rgba = lookup(profile, Kind::SrgbaToRgba);
        if (!rgba->transform) return false;
    }
    applyRgb(bitmap, rgb->transform.get(), rgba ? rgba->transform.get() : nullptr);
    return true;
}

std::string profileDescription(std::span<const std::uint8_t> profile) {
    const Profile p = open(profile);
    return p ? describe(p.get()) : std::string();
}

namespace {
std::vector<std::uint8_t> save(cmsHPROFILE profile) {
    cmsUInt32Number size = 0;
    if (!cmsSaveProfileToMem(profile, nullptr, &size)) return {};
    std::vector<std::uint8_t> bytes(size);
    if (!cmsSaveProfileToMem(profile, bytes.data(), &size)) return {};
    bytes.resize(size);
    return bytes;
}
}  // namespace

std::vector<std::uint8_t> makeRgbProfile(const Primaries& p, double gamma, const std::string& description) {
    const cmsCIExyY white{p.wx, p.wy, 1.0};
    const cmsCIExyYTRIPLE primaries{{p.rx, p.ry, 1.0}, {p.gx, p.gy, 1.0}, {p.bx, p.by, 1.0}};
    cmsToneCurve* curve = cmsBuildGamma(nullptr, gamma);
    if (!curve) return {};
    cmsToneCurve* curves[3] = {curve, curve, curve};
    const Profile profile(cmsCreateRGBProfile(&white, &primaries, curves));
    cmsFreeToneCurve(curve);
    if (!profile) return {};
    cmsMLU* text = cmsMLUalloc(nullptr, 1);
    cmsMLUsetASCII(text, "en", "US", description.c_str());
    cmsWriteTag(profile.get(), cmsSigProfileDescriptionTag, text);
    cmsMLUfree(text);
    return save(profile.get());
}

std::vector<std::uint8_t> srgbProfile() {
    const Profile profile(cmsCreate_sRGBProfile());
    return profile ? save(profile.get()) : std::vector<std::uint8_t>{};
}

}  // namespace imaging::icc
