#include "color/icc_transform.h"

#include <lcms2.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

#include "color/icc_kernel.h"
#include "core/parallel.h"

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
    // RgbToSrgb/RgbaToSrgb between two matrix-shaper profiles: the same arithmetic lcms does
    // (curves, 3 x 3 matrix, sRGB's curve), in tables; used only where it matches lcms's own
    // transform within a level on a grid of test colours.
    std::unique_ptr<KernelTables> fast;
};

float srgbEncode(double v) {
    v = std::clamp(v, 0.0, 1.0);
    return static_cast<float>(v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(v, 1 / 2.4) - 0.055);
}

// The colorant matrix (columns rXYZ, gXYZ, bXYZ, in the D50 connection space) of a matrix-shaper profile.
bool colorants(cmsHPROFILE profile, double m[3][3]) {
    const cmsTagSignature tags[3] = {cmsSigRedColorantTag, cmsSigGreenColorantTag, cmsSigBlueColorantTag};
    for (int c = 0; c < 3; ++c) {
        const auto* xyz = static_cast<const cmsCIEXYZ*>(cmsReadTag(profile, tags[c]));
        if (!xyz) return false;
        m[0][c] = xyz->X, m[1][c] = xyz->Y, m[2][c] = xyz->Z;
    }
    return true;
}

bool invert(const double m[3][3], double out[3][3]) {
    const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                       m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    if (std::abs(det) < 1e-12) return false;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) {
            const int r1 = (c + 1) % 3, r2 = (c + 2) % 3, c1 = (r + 1) % 3, c2 = (r + 2) % 3;
            out[r][c] = (m[r1][c1] * m[r2][c2] - m[r1][c2] * m[r2][c1]) / det;
        }
    return true;
}

std::unique_ptr<KernelTables> buildFast(cmsHPROFILE profile, cmsHPROFILE srgb) {
    if (!cmsIsMatrixShaper(profile) || !cmsIsMatrixShaper(srgb)) return nullptr;
    double in[3][3], out[3][3], outInverse[3][3];
    if (!colorants(profile, in) || !colorants(srgb, out) || !invert(out, outInverse)) return nullptr;
    auto fast = std::make_unique<KernelTables>();
    const cmsTagSignature curves[3] = {cmsSigRedTRCTag, cmsSigGreenTRCTag, cmsSigBlueTRCTag};
    for (int c = 0; c < 3; ++c) {
        const auto* curve = static_cast<const cmsToneCurve*>(cmsReadTag(profile, curves[c]));
        if (!curve) return nullptr;
        for (int v = 0; v < 256; ++v)
            fast->linear[c][v] = static_cast<std::int32_t>(
                std::lround(std::clamp(cmsEvalToneCurveFloat(curve, static_cast<cmsFloat32Number>(v / 255.0)), 0.0f, 1.0f) * kEncodeSteps));
    }
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) {
            double sum = 0;
            for (int k = 0; k < 3; ++k) sum += outInverse[r][k] * in[k][c];
            if (std::abs(sum) > 8.0) return nullptr;  // no real profile; and the sums stay in 32 bits
            fast->matrix[r][c] = static_cast<std::int32_t>(std::lround(sum * (1 << kMatrixBits)));
        }
    fast->encode.resize(kEncodeSteps + 1);
    for (int i = 0; i <= kEncodeSteps; ++i)
        fast->encode[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(std::lround(srgbEncode(static_cast<double>(i) / kEncodeSteps) * 255.0));
    prepareWide(*fast);
    return fast;
}

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

// Input, display, output or colour-space profiles describe a picture's colours; links,
// abstract and named-colour profiles do not. `bytes` holds at least a header (lcms opened it).
bool pictureClass(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < 128) return false;
    for (const char* c : {"scnr", "mntr", "prtr", "spac"})
        if (std::memcmp(bytes.data() + 12, c, 4) == 0) return true;
    return false;
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
    // The header's class and colour space read from the bytes: lcms hands them out as enums,
    // and a damaged file may hold any value there.
    const bool grey = kind == Kind::GreyToSrgb;
    if (!pictureClass(bytes) || std::memcmp(bytes.data() + 16, grey ? "GRAY" : "RGB ", 4) != 0 ||
        (std::memcmp(bytes.data() + 20, "XYZ ", 4) != 0 && std::memcmp(bytes.data() + 20, "Lab ", 4) != 0)) {
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
    if (!entry->identity && (kind == Kind::RgbToSrgb || kind == Kind::RgbaToSrgb)) {
        std::unique_ptr<KernelTables> fast = buildFast(profile.get(), srgb.get());
        if (fast) {
            // The tables serve only where they give what lcms gives, on the test colours.
            constexpr int kSteps = 9;
            std::vector<std::uint8_t> grid;
            for (int r = 0; r < kSteps; ++r)
                for (int g = 0; g < kSteps; ++g)
                    for (int b = 0; b < kSteps; ++b)
                        for (int v : {r, g, b}) grid.push_back(static_cast<std::uint8_t>(v * 255 / (kSteps - 1)));
            // Every level of grey and of each primary: the dark end is where tables round most.
            for (int v = 0; v < 256; ++v) {
                const auto u = static_cast<std::uint8_t>(v);
                grid.insert(grid.end(), {u, u, u, u, 0, 0, 0, u, 0, 0, 0, u});
            }
            std::vector<std::uint8_t> byLcms(grid.size()), byTables = grid;
            const Profile srgbAgain(cmsCreate_sRGBProfile());
            const std::unique_ptr<void, TransformDeleter> rgb(
                cmsCreateTransform(profile.get(), TYPE_RGB_8, srgbAgain.get(), TYPE_RGB_8, kIntent, 0));
            if (rgb) {
                cmsDoTransform(rgb.get(), grid.data(), byLcms.data(), static_cast<cmsUInt32Number>(grid.size() / 3));
                convertRow(*fast, byTables.data(), static_cast<int>(grid.size() / 3), 3);
                int differs = 0;
                for (std::size_t i = 0; i < grid.size(); ++i) differs = std::max(differs, std::abs(byLcms[i] - byTables[i]));
                if (differs <= 1) entry->fast = std::move(fast);
            }
        }
    }
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

// Rows in pieces over the engine's threads: a 12-megapixel photo converts in a fraction of
// its decoding time. The pieces' bounds do not depend on the thread count.
void forRows(Bitmap& bitmap, const std::function<void(std::uint8_t* row)>& body) {
    const std::size_t rows = static_cast<std::size_t>(bitmap.height());
    const std::size_t pieces = std::min<std::size_t>(rows, 32);
    parallelFor(pieces, [&](std::size_t piece) {
        for (std::size_t y = rangeStart(rows, pieces, piece); y < rangeStart(rows, pieces, piece + 1); ++y)
            body(bitmap.row(static_cast<int>(y)));
    });
}

// Converts pixels (or the palette) with an RGB transform for the bitmap's layout; `fast`,
// when given, converts the pixels through its tables instead.
void applyRgb(Bitmap& bitmap, void* rgb, void* rgba, const KernelTables* fast = nullptr) {
    if (bitmap.isIndexed()) {
        transformColours(rgb, bitmap.palette());
        return;
    }
    if (bitmap.bits() == 24 && bitmap.transparent() && !isPaletteReference(bitmap.transparentColor())) {
        std::vector<Rgb> key{bitmap.transparentColor()};
        transformColours(rgb, key);
        bitmap.setTransparentColor(key[0]);
    }
    const int width = bitmap.width();
    if (fast) {
        const int step = bitmap.bits() == 32 ? 4 : 3;
        forRows(bitmap, [&](std::uint8_t* row) { convertRow(*fast, row, width, step); });
        return;
    }
    void* transform = bitmap.bits() == 32 ? rgba : rgb;
    forRows(bitmap, [&](std::uint8_t* row) { cmsDoTransform(transform, row, row, static_cast<cmsUInt32Number>(width)); });
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
        applyRgb(bitmap, entry->transform.get(), alpha ? alpha->transform.get() : nullptr, entry->fast.get());
    }
    result.converted = true;
    result.description = name + " \u2192 sRGB";
    return result;
}

struct RowConversion::State {
    std::shared_ptr<Entry> entry;
    std::string name;
};

RowConversion::RowConversion(std::shared_ptr<State> state) : state_(std::move(state)) {}
RowConversion::~RowConversion() = default;

std::unique_ptr<RowConversion> RowConversion::forRgb(std::span<const std::uint8_t> profile) {
    if (profile.size() < 20 || std::memcmp(profile.data() + 16, "RGB ", 4) != 0) return nullptr;
    std::shared_ptr<Entry> entry = lookup(profile, Kind::RgbToSrgb);
    if (!entry->note.empty() || entry->identity || !entry->transform) return nullptr;
    auto state = std::make_shared<State>();
    state->name = entry->description.empty() ? std::string("embedded profile") : entry->description;
    state->entry = std::move(entry);
    return std::unique_ptr<RowConversion>(new RowConversion(std::move(state)));
}

void RowConversion::convert(Bitmap& bitmap, int first, int end) const {
    const Entry& entry = *state_->entry;
    const int width = bitmap.width();
    for (int y = first; y < end; ++y) {
        if (entry.fast) convertRow(*entry.fast, bitmap.row(y), width, 3);
        else cmsDoTransform(entry.transform.get(), bitmap.row(y), bitmap.row(y), static_cast<cmsUInt32Number>(width));
    }
}

Conversion RowConversion::result() const {
    Conversion c;
    c.converted = true;
    c.description = state_->name + " \u2192 sRGB";
    return c;
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
