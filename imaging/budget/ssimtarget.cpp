#include "budget/ssimtarget.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <optional>

#include "budget/bytebudget.h"
#include "codecs/embedded.h"
#include "codecs/jpeg_requant.h"
#include "codecs/registry.h"
#include "color/colorres.h"
#include "core/error.h"
#include "quality/quality.h"

namespace imaging {

namespace {

constexpr const char* kWhere = "SSIM target";

bool isJpeg(int format) { return format == format::Jpeg444 || format == format::Jpeg422 || format == format::Jpeg411; }

// The Original's luma as the caption measures it (composited over white), once per search.
struct Reference {
    std::vector<std::uint8_t> rgb;
    std::vector<float> luma;
    int width = 0, height = 0;

    explicit Reference(const Bitmap& original)
        : rgb(compositeRgb(original, makeRgb(255, 255, 255))), luma(lumaOf(rgb)), width(original.width()),
          height(original.height()) {}

    double ssimOf(const Bitmap& decoded) const {
        if (decoded.width() != width || decoded.height() != height)
            fail(ErrorCode::InvalidArgument, kWhere, "the encoded picture differs in size");
        const std::vector<std::uint8_t> other = compositeRgb(decoded, makeRgb(255, 255, 255));
        if (other == rgb) return 1.0;  // as the caption says it
        return ssimOfLuma(luma, lumaOf(other), width, height);
    }
};

// The smallest setting in [low, high] whose SSIM reaches `target`, for SSIM growing with the
// setting; `measure` makes one real trial per call, each setting at most once. Returns high + 1
// when even `high` misses. The distance log(1 - SSIM) falls about linearly along `position`
// (a setting's place on a scale where that holds: the logarithm of JPEG's quantiser scale, of
// the colour count), so each next trial lies where the line through the two nearest trials
// (bracketing the target once there are such) meets the target's distance, on the reaching
// side; a first trial alone assumes a slope of -1. Once a bracket has taken four trials
// without closing, halving takes over, so the count stays bounded whatever the curve.
template <typename Measure, typename Position>
int searchSmallestReaching(int low, int high, int first, double target, std::map<int, double>& ssims, Measure&& measure,
                           Position&& position) {
    auto distance = [](double ssim) { return std::log(std::max(1e-9, 1.0 - ssim)); };
    const double goal = distance(target);
    int failing = low - 1, reaching = high + 1;  // known bounds, outside the range until tried
    int next = std::clamp(first, low, high);
    int previous = next, bracketTrials = 0;
    while (failing + 1 < reaching) {
        const double ssim = ssims.count(next) ? ssims[next] : (ssims[next] = measure(next));
        if (ssim >= target) reaching = next;
        else failing = next;
        if (failing + 1 >= reaching) break;
        const bool bracketed = failing >= low && reaching <= high;
        if (bracketed) ++bracketTrials;
        if (bracketTrials > 4) {
            next = failing + (reaching - failing) / 2;
            continue;
        }
        // The line through two trials: the bracket's ends, else the latest two.
        int a = next, b = previous;
        if (bracketed) a = failing, b = reaching;
        const double xa = position(a), da = distance(ssims[a]);
        double slope = -1.0;
        if (a != b && ssims.count(b)) {
            const double xb = position(b), db = distance(ssims[b]);
            if (xb != xa && (db - da) / (xb - xa) < 0) slope = (db - da) / (xb - xa);
        }
        const double x = xa + (goal - da) / slope;
        // The first setting at or past the point, within what is still open.
        int guess = failing + 1;
        while (guess < reaching - 1 && position(guess) < x) ++guess;
        previous = next;
        next = std::clamp(guess, failing + 1, reaching - 1);
    }
    return reaching;
}

void checkTarget(double target) {
    if (!validSsimTarget(target)) fail(ErrorCode::InvalidArgument, kWhere, "the SSIM target must be above 0 and at most 1");
}

}  // namespace

bool validSsimTarget(double target) { return target > 0.0 && target <= 1.0; }

SsimTargetResult fitQualityToSsim(const Bitmap& original, const Bitmap& picture, SaveOptions base, double target) {
    checkTarget(target);
    if (!budgetByQuality(base.format)) fail(ErrorCode::InvalidArgument, kWhere, "this format has no quality to search");
    if (original.empty() || picture.empty()) fail(ErrorCode::NoImage, kWhere, "there is no picture");
    const bool jpeg = isJpeg(base.format);
    const Reference reference(original);
    // JPEG trials share one transform of the picture (each trial is still the file a plain
    // write makes); a library the re-encoder cannot use gets plain writes.
    std::optional<JpegRequantizer> trials;
    // The trials write the file themselves: a profile to keep gets its pixels converted into
    // it first, as a save does, and reading a trial back converts them into sRGB again.
    SaveOptions forTrials = base;
    const std::unique_ptr<Image> inProfile = jpeg ? embedded::prepareForSave(Image::fromBitmap(picture), forTrials) : nullptr;
    if (jpeg) {
        base.qualityFactor = 2;
        base.iccProfile = forTrials.iccProfile;
        try {
            trials.emplace(inProfile ? inProfile->first() : picture, base);
        } catch (const Error& e) {
            if (e.code() != ErrorCode::Unsupported) throw;
        }
    }
    const Image image = Image::fromBitmap(picture);
    auto options = [&](int q) {
        SaveOptions o = base;
        o.lossless = false;
        if (jpeg) o.qualityFactor = jpegFactorForQuality(q);
        else o.quality = q;
        return o;
    };
    SsimTargetResult result;
    std::map<int, Bytes> kept;
    auto measure = [&](int q) {
        const SaveOptions o = options(q);
        Bytes bytes = trials ? trials->encode(o.qualityFactor) : saveMemory(image, o);
        ++result.encodes;
        const double ssim = reference.ssimOf(loadMemory(ByteView(bytes.data(), bytes.size())).first());
        kept[q] = std::move(bytes);
        return ssim;
    };
    const int low = jpeg ? 1 : 0, high = 100;
    std::map<int, double> ssims;
    // JPEG's steps grow with libjpeg's scale of its tables, 5000 / q below 50 and 200 - 2q above.
    auto position = [jpeg](int q) {
        if (!jpeg) return q / 10.0;
        const int scale = q < 50 ? 5000 / std::max(1, q) : 200 - 2 * q;
        return -std::log(static_cast<double>(std::max(1, scale)));
    };
    const int q = searchSmallestReaching(low, high, 75, target, ssims, measure, position);
    result.reached = q <= high;
    const int chosen = std::min(q, high);
    if (!kept.count(chosen)) measure(chosen);
    result.encoded = std::move(kept[chosen]);
    result.options = options(chosen);
    result.ssim = ssims.count(chosen) ? ssims[chosen] : reference.ssimOf(loadMemory(result.encoded).first());
    return result;
}

SsimTargetResult fitColoursToSsim(const Bitmap& original, SaveOptions base, double target, int ditherCode) {
    checkTarget(target);
    if (!budgetByColours(base.format)) fail(ErrorCode::InvalidArgument, kWhere, "this format has no palette to search");
    if (original.empty()) fail(ErrorCode::NoImage, kWhere, "there is no picture");
    const Reference reference(original);
    auto bitsFor = [](int colors) {
        int bits = 1;
        while ((1 << bits) < colors) ++bits;
        return bits;
    };
    SsimTargetResult result;
    std::map<int, Bitmap> reduced;
    // A palette file holds its pixels exactly: the reduced picture is what the file shows, so
    // only the chosen count is encoded.
    auto measure = [&](int colors) {
        Bitmap b = colorRes(original, bitsFor(colors), palette_kind::Optimized, ditherCode, colors);
        ++result.encodes;
        const double ssim = reference.ssimOf(b);
        reduced[colors] = std::move(b);
        return ssim;
    };
    std::map<int, double> ssims;
    const int colors =
        searchSmallestReaching(2, 256, 64, target, ssims, measure, [](int c) { return std::log(static_cast<double>(c)); });
    result.reached = colors <= 256;
    const int chosen = std::min(colors, 256);
    if (!reduced.count(chosen)) measure(chosen);
    result.colors = chosen;
    result.options = base;
    result.options.bits = bitsFor(chosen);
    result.encoded = saveMemory(Image::fromBitmap(reduced[chosen]), result.options);
    result.ssim = ssims[chosen];
    return result;
}

}  // namespace imaging
