// The byte budget: the chosen setting fits and the next better one does not, each trial a
// real encode, and an impossible budget keeps the smallest encoding.
#include <gtest/gtest.h>

#include <cmath>

#include "budget/bytebudget.h"
#include "codecs/jpeg_codec.h"
#include "codecs/registry.h"
#include "color/colorres.h"
#include "color/icc_transform.h"
#include "core/error.h"

using namespace imaging;

namespace {

// Smooth gradients with grain: sizes that grow steadily with quality and colours.
Bitmap photo(int w, int h) {
    Bitmap b(w, h, 24);
    std::uint32_t seed = 99;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int grain = static_cast<int>(seed >> 29) - 4;
            const double v = 127 + 100 * std::sin(x * 0.05) * std::cos(y * 0.07);
            b.setPixel(x, y, makeRgb(std::clamp(x * 255 / w + grain, 0, 255), std::clamp(static_cast<int>(v) + grain, 0, 255),
                                     std::clamp(y * 255 / h + grain, 0, 255)));
        }
    return b;
}

std::size_t jpegSize(const Bitmap& b, int q) {
    SaveOptions o;
    o.format = format::Jpeg444;
    o.qualityFactor = jpegFactorForQuality(q);
    return saveMemory(Image::fromBitmap(b), o).size();
}

std::size_t gifSize(const Bitmap& b, int colors, int dither) {
    int bits = 1;
    while ((1 << bits) < colors) ++bits;
    SaveOptions o;
    o.format = format::Gif;
    o.bits = bits;
    return saveMemory(Image::fromBitmap(colorRes(b, bits, palette_kind::Optimized, dither, colors)), o).size();
}

}  // namespace

TEST(ByteBudget, JpegFactorsMapBackToTheirQualityBothWays) {
    EXPECT_EQ(jpegFactorForQuality(100), 2);
    for (int q = 1; q <= 100; ++q) {
        const int factor = jpegFactorForQuality(q);
        EXPECT_EQ(JpegCodec::libjpegQuality(factor), q) << q;
        // The factor is the best one giving q: one lower gives a higher quality.
        if (factor > 2) {
            EXPECT_GT(JpegCodec::libjpegQuality(factor - 1), q) << q;
        }
    }
}

TEST(ByteBudget, JpegTakesTheHighestQualityThatFits) {
    const Bitmap picture = photo(200, 150);
    const std::size_t at40 = jpegSize(picture, 40), at90 = jpegSize(picture, 90);
    for (std::size_t budget : {at40, (at40 + at90) / 2, at90 - 1, at90 * 3}) {
        SaveOptions base;
        base.format = format::Jpeg444;
        const BudgetResult r = fitByQuality(picture, base, budget);
        ASSERT_TRUE(r.fits) << budget;
        EXPECT_LE(r.encoded.size(), budget);
        const int q = JpegCodec::libjpegQuality(r.options.qualityFactor);
        EXPECT_EQ(r.encoded.size(), jpegSize(picture, q)) << "the reported file is a real encode";
        if (q < 100) {
            EXPECT_GT(jpegSize(picture, q + 1), budget) << "quality " << q + 1 << " would fit " << budget;
        }
        EXPECT_LE(r.encodes, 8) << budget;
        EXPECT_GE(r.encodes, 1);
    }
}

// Keeping the original profile, the budget's file is the file a save at the chosen quality
// writes: pixels converted into the profile, the profile embedded, so it opens in the picture's
// own colours again.
TEST(ByteBudget, AKeptProfileGetsItsPixelsConvertedLikeAnyOtherSave) {
    const Bitmap picture = photo(160, 120);
    SaveOptions base;
    base.format = format::Jpeg444;
    base.iccProfile =
        icc::makeRgbProfile({0.64, 0.33, 0.21, 0.71, 0.15, 0.06, 0.3127, 0.3290}, 563.0 / 256.0, "Adobe RGB (1998)");
    const BudgetResult r = fitByQuality(picture, base, jpegSize(picture, 70));
    ASSERT_TRUE(r.fits);
    SaveOptions same = base;
    same.qualityFactor = r.options.qualityFactor;
    EXPECT_TRUE(r.encoded == saveMemory(Image::fromBitmap(picture), same)) << "the file a save would write";
    const Image back = loadMemory(r.encoded);
    EXPECT_EQ(back.notes.colorConversion, "Adobe RGB (1998) \u2192 sRGB");
    // Read back into sRGB, the colours are the picture's within what the quality costs: about
    // what the same quality costs without a profile.
    auto meanError = [&](const Bitmap& other) {
        double sum = 0;
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x) {
                const Rgb a = picture.pixel(x, y), b = other.pixel(x, y);
                sum += std::abs(redOf(a) - redOf(b)) + std::abs(greenOf(a) - greenOf(b)) + std::abs(blueOf(a) - blueOf(b));
            }
        return sum / (3.0 * picture.width() * picture.height());
    };
    SaveOptions plain = same;
    plain.iccProfile.clear();
    const double plainError = meanError(loadMemory(saveMemory(Image::fromBitmap(picture), plain)).first());
    EXPECT_LT(meanError(back.first()), plainError + 1.0);
}

TEST(ByteBudget, NothingFitsKeepsTheSmallest) {
    const Bitmap picture = photo(64, 48);
    SaveOptions base;
    base.format = format::Jpeg422;
    const BudgetResult r = fitByQuality(picture, base, 100);
    EXPECT_FALSE(r.fits);
    EXPECT_EQ(JpegCodec::libjpegQuality(r.options.qualityFactor), 1);
    EXPECT_EQ(r.encoded.size(), saveMemory(Image::fromBitmap(picture), r.options).size());
    EXPECT_GT(r.encoded.size(), 100u);

    SaveOptions gif;
    gif.format = format::Gif;
    const BudgetResult g = fitByColours(picture, gif, 50, dither_code::FloydSteinberg);
    EXPECT_FALSE(g.fits);
    EXPECT_EQ(g.colors, 2);
    EXPECT_GT(g.encoded.size(), 50u);
}

TEST(ByteBudget, PaletteTakesTheMostColoursThatFit) {
    const Bitmap picture = photo(64, 48);
    const std::size_t at16 = gifSize(picture, 16, 0), at200 = gifSize(picture, 200, 0);
    SaveOptions base;
    base.format = format::Gif;
    for (std::size_t budget : {at16, (at16 + at200) / 2}) {
        const BudgetResult r = fitByColours(picture, base, budget, dither_code::None);
        ASSERT_TRUE(r.fits) << budget;
        EXPECT_EQ(r.ditherCode, 0);
        EXPECT_LE(r.encoded.size(), budget);
        EXPECT_EQ(r.encoded.size(), gifSize(picture, r.colors, 0));
        EXPECT_GT(gifSize(picture, r.colors + 1, 0), budget) << r.colors + 1 << " colours would fit";
        EXPECT_EQ(readInfo(r.encoded).bits, r.options.bits);
        EXPECT_GE(1 << r.options.bits, r.colors);
        EXPECT_LT(1 << (r.options.bits - 1), r.colors);
    }
    // With dithering allowed and room enough, the picture is dithered.
    const BudgetResult dithered = fitByColours(picture, base, at200 * 4, dither_code::FloydSteinberg);
    EXPECT_TRUE(dithered.fits);
    EXPECT_EQ(dithered.ditherCode, dither_code::FloydSteinberg);
    EXPECT_EQ(dithered.colors, 256);
}

TEST(ByteBudget, WebFormatsSearchTheirQualityToo) {
    const Bitmap picture = photo(96, 64);
    SaveOptions base;
    base.format = format::Webp;
    base.effort = 2;
    auto sizeAt = [&](int q) {
        SaveOptions o = base;
        o.quality = q;
        return saveMemory(Image::fromBitmap(picture), o).size();
    };
    const std::size_t budget = (sizeAt(30) + sizeAt(80)) / 2;
    const BudgetResult r = fitByQuality(picture, base, budget);
    ASSERT_TRUE(r.fits);
    EXPECT_EQ(r.encoded.size(), sizeAt(r.options.quality));
    EXPECT_GT(sizeAt(r.options.quality + 1), budget);
}

TEST(ByteBudget, RefusesWhatItCannotSearch) {
    const Bitmap picture = photo(8, 8);
    SaveOptions bmp;
    bmp.format = format::BmpWindows;
    for (auto call : {+[](const Bitmap& p, SaveOptions o) { fitByQuality(p, o, 1000); },
                      +[](const Bitmap& p, SaveOptions o) { fitByColours(p, o, 1000, 0); }}) {
        try {
            call(picture, bmp);
            ADD_FAILURE() << "BMP was searched";
        } catch (const Error& e) {
            EXPECT_EQ(e.code(), ErrorCode::InvalidArgument);
        }
    }
    SaveOptions jpeg;
    jpeg.format = format::Jpeg444;
    try {
        fitByQuality(picture, jpeg, 0);
        ADD_FAILURE() << "a budget of 0 was searched";
    } catch (const Error& e) {
        EXPECT_EQ(e.code(), ErrorCode::InvalidArgument);
    }
}
