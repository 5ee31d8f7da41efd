// The quality target: the file chosen reaches the SSIM asked for and the next setting down does
// not; a target nothing reaches gives the best the format can do, marked as missed; targets
// outside (0, 1] and formats without a setting to search are refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "budget/bytebudget.h"
#include "budget/ssimtarget.h"
#include "codecs/jpeg_codec.h"
#include "codecs/registry.h"
#include "color/icc_transform.h"
#include "color/colorres.h"
#include "core/error.h"
#include "quality/quality.h"

using namespace imaging;

namespace {

Bitmap crop(const char* name, int left, int top, int width, int height) {
    const Bitmap from = loadFile(std::string(KALMIRA_PICTURES) + "/" + name).first();
    Bitmap b(width, height, 24);
    for (int y = 0; y < height; ++y) std::memcpy(b.row(y), from.row(top + y) + 3 * left, 3 * static_cast<std::size_t>(width));
    return b;
}

double ssimOfFile(const Bitmap& original, const Bytes& file) { return measureQuality(original, loadMemory(file).first()).ssim; }

}  // namespace

TEST(SsimTarget, JpegTakesTheLowestQualityThatReachesTheTarget) {
    const Bitmap photos[] = {crop("dune.jpg", 200, 300, 240, 180), crop("meadow.jpg", 500, 400, 240, 180)};
    int encodes = 0, searches = 0;
    for (const Bitmap& photo : photos)
        for (bool fast : {false, true})
            for (double target : {0.9, 0.95, 0.98}) {
                SaveOptions base;
                base.format = format::Jpeg411;
                base.bits = 24;
                base.fastJpeg = fast;
                const SsimTargetResult r = fitQualityToSsim(photo, photo, base, target);
                const std::string what = "target " + std::to_string(target) + (fast ? " fast" : "");
                ASSERT_TRUE(r.reached) << what;
                EXPECT_GE(r.ssim, target) << what;
                // The file is what a plain write at the chosen quality makes, and its SSIM the one reported.
                EXPECT_TRUE(r.encoded == saveMemory(Image::fromBitmap(photo), r.options)) << what;
                EXPECT_DOUBLE_EQ(ssimOfFile(photo, r.encoded), r.ssim) << what;
                // One quality lower misses it.
                const int quality = 256 - r.options.qualityFactor;  // slider quality
                const int libjpeg = JpegCodec::libjpegQuality(r.options.qualityFactor);
                if (libjpeg > 1) {
                    SaveOptions lower = r.options;
                    lower.qualityFactor = jpegFactorForQuality(libjpeg - 1);
                    EXPECT_LT(ssimOfFile(photo, saveMemory(Image::fromBitmap(photo), lower)), target) << what << " quality " << quality;
                }
                // A few trials near the answer; low qualities, where tables saturate and SSIM
                // is not quite monotonic, take a few more.
                EXPECT_LE(r.encodes, 10) << what;
                encodes += r.encodes;
                ++searches;
            }
    EXPECT_LE(encodes, 6 * searches);
}

// Keeping the original profile, the trials are the files a save writes (pixels converted into
// the profile), and their SSIM is measured on what they show once read back into sRGB.
TEST(SsimTarget, AKeptProfileIsMeasuredOnThePictureItShows) {
    const Bitmap photo = crop("dune.jpg", 200, 300, 240, 180);
    SaveOptions base;
    base.format = format::Jpeg444;
    base.bits = 24;
    base.iccProfile =
        icc::makeRgbProfile({0.64, 0.33, 0.21, 0.71, 0.15, 0.06, 0.3127, 0.3290}, 563.0 / 256.0, "Adobe RGB (1998)");
    const SsimTargetResult r = fitQualityToSsim(photo, photo, base, 0.95);
    ASSERT_TRUE(r.reached);
    EXPECT_GE(r.ssim, 0.95);
    EXPECT_TRUE(r.encoded == saveMemory(Image::fromBitmap(photo), r.options)) << "the file a save would write";
    EXPECT_DOUBLE_EQ(ssimOfFile(photo, r.encoded), r.ssim);
}

TEST(SsimTarget, PaletteTakesTheFewestColoursThatReachTheTarget) {
    const Bitmap photo = crop("storm.jpg", 800, 300, 160, 120);
    for (int dither : {0, 1}) {
        SaveOptions base;
        base.format = format::Gif;
        const SsimTargetResult r = fitColoursToSsim(photo, base, 0.9, dither);
        ASSERT_TRUE(r.reached) << "dither " << dither;
        EXPECT_GE(r.ssim, 0.9);
        EXPECT_EQ(r.options.bits, r.colors <= 2 ? 1 : static_cast<int>(std::ceil(std::log2(r.colors))));
        EXPECT_DOUBLE_EQ(ssimOfFile(photo, r.encoded), r.ssim);
        if (r.colors > 2) {
            const int bits = static_cast<int>(std::ceil(std::log2(std::max(2, r.colors - 1))));
            const Bitmap fewer = colorRes(photo, bits, palette_kind::Optimized, dither, r.colors - 1);
            EXPECT_LT(measureQuality(photo, fewer).ssim, 0.9) << "dither " << dither << ", " << r.colors << " colours";
        }
    }
}

TEST(SsimTarget, ATargetNothingReachesGivesTheBestAndSaysSo) {
    const Bitmap photo = crop("dune.jpg", 600, 300, 96, 64);
    SaveOptions base;
    base.format = format::Jpeg444;
    base.bits = 24;
    const SsimTargetResult r = fitQualityToSsim(photo, photo, base, 1.0);
    EXPECT_FALSE(r.reached);
    EXPECT_EQ(r.options.qualityFactor, jpegFactorForQuality(100));
    EXPECT_LT(r.ssim, 1.0);
    EXPECT_GT(r.ssim, 0.99);
    base.format = format::Gif;
    const SsimTargetResult g = fitColoursToSsim(photo, base, 1.0, 0);
    EXPECT_FALSE(g.reached);
    EXPECT_EQ(g.colors, 256);
}

TEST(SsimTarget, RefusesTargetsOutsideTheRangeAndFormatsWithoutASetting) {
    const Bitmap photo = crop("dune.jpg", 0, 0, 32, 32);
    SaveOptions jpeg;
    jpeg.format = format::Jpeg444;
    SaveOptions bmp;
    bmp.format = format::BmpWindows;
    struct Case {
        SaveOptions options;
        double target;
        bool colours;
    } cases[] = {{jpeg, 0.0, false},  {jpeg, -0.5, false}, {jpeg, 1.0001, false},
                 {jpeg, std::numeric_limits<double>::quiet_NaN(), false},   {bmp, 0.9, false}, {jpeg, 0.9, true},
                 {bmp, 0.9, true}};
    for (const Case& c : cases) {
        try {
            if (c.colours) fitColoursToSsim(photo, c.options, c.target, 0);
            else fitQualityToSsim(photo, photo, c.options, c.target);
            ADD_FAILURE() << "target " << c.target << " format " << c.options.format << " accepted";
        } catch (const Error& e) {
            EXPECT_EQ(e.code(), ErrorCode::InvalidArgument) << "target " << c.target;
        }
    }
    EXPECT_TRUE(validSsimTarget(1.0));
    EXPECT_TRUE(validSsimTarget(1e-9));
    EXPECT_FALSE(validSsimTarget(0.0));
}
