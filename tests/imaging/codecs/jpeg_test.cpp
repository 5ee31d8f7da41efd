// JPEG: the quality factor, the progressive scan scripts, subsampling and greyscale.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "codecs/jpeg_codec.h"
#include "codecs/registry.h"
#include "core/error.h"
#include "test_images.h"

using namespace imaging;

namespace {

Bytes saveJpeg(const Bitmap& b, int factor, int passes = 0, int fmt = format::Jpeg444, int bits = 24) {
    SaveOptions o;
    o.format = fmt;
    o.qualityFactor = factor;
    o.passes = passes;
    o.bits = bits;
    return saveMemory(Image::fromBitmap(b), o);
}

int countMarkers(const Bytes& file, std::uint8_t marker) {
    int n = 0;
    for (std::size_t i = 0; i + 1 < file.size(); ++i)
        if (file[i] == 0xFF && file[i + 1] == marker) ++n;
    return n;
}

TEST(JpegQuality, FactorMapsMonotonicallyOntoLibjpegQuality) {
    EXPECT_EQ(JpegCodec::libjpegQuality(2), 100);
    EXPECT_EQ(JpegCodec::libjpegQuality(255), 1);
    EXPECT_EQ(JpegCodec::libjpegQuality(129), 50);
    for (int f = 3; f <= 255; ++f) EXPECT_LE(JpegCodec::libjpegQuality(f), JpegCodec::libjpegQuality(f - 1));
}

TEST(JpegQuality, LowerFactorNeverGivesASmallerFileOrWorsePixels) {
    const Bitmap photo = test::makePhoto(96, 64);
    std::size_t previousSize = 0;
    double previousError = 1e9;
    for (int factor : {255, 200, 150, 100, 60, 30, 10, 2}) {
        const Bytes file = saveJpeg(photo, factor);
        const double error = test::meanAbsoluteError(loadMemory(file).first(), photo);
        EXPECT_GE(file.size(), previousSize) << "factor " << factor;
        EXPECT_LE(error, previousError + 0.05) << "factor " << factor;
        previousSize = file.size();
        previousError = error;
    }
    EXPECT_LT(previousError, 1.5);  // factor 2 is near-lossless
}

TEST(JpegQuality, RefusesFactorsOutsideTheRange) {
    const Bitmap photo = test::makePhoto(8, 8);
    for (int factor : {-1, 0, 1, 256}) {
        try {
            saveJpeg(photo, factor);
            FAIL() << "factor " << factor << " accepted";
        } catch (const Error& e) {
            EXPECT_EQ(e.code(), ErrorCode::InvalidArgument);
        }
    }
}

// Each pass count gives that many scans (up to the cap), and the decoded pixels are the
// same as the baseline file's: progression changes the order of the data, not the data.
TEST(JpegProgressive, PassCountsGiveThatManyScansAndTheSamePixels) {
    const Bitmap photo = test::makePhoto(64, 48);
    for (int bits : {24, 8}) {
        const Bytes baseline = saveJpeg(photo, 60, 0, format::Jpeg411, bits);
        EXPECT_EQ(countMarkers(baseline, 0xDA), 1);
        EXPECT_EQ(countMarkers(baseline, 0xC2), 0);
        const Bitmap reference = loadMemory(baseline).first();
        const int cap = bits == 8 ? 6 : 10;
        for (int passes = 1; passes <= 14; ++passes) {
            const Bytes file = saveJpeg(photo, 60, passes, format::Jpeg411, bits);
            const int expected = std::min(passes, cap);
            EXPECT_EQ(countMarkers(file, 0xDA), expected) << bits << " bits, " << passes << " passes";
            EXPECT_EQ(JpegCodec::scanCount(passes, bits == 8), expected);
            const bool progressive = bits == 8 ? passes >= 2 : passes >= 4;
            EXPECT_EQ(countMarkers(file, 0xC2), progressive ? 1 : 0) << passes << " passes";
            EXPECT_TRUE(loadMemory(file).first() == reference) << bits << " bits, " << passes << " passes";
        }
    }
}

struct Subsampling {
    int format;
    int lumaFactors;  // h << 4 | v of the luminance component in the frame header
};

class JpegSubsampling : public ::testing::TestWithParam<Subsampling> {};

TEST_P(JpegSubsampling, WritesTheSamplingAndReadsTheFormatBack) {
    const Bitmap photo = test::makePhoto(50, 30);
    const Bytes file = saveJpeg(photo, 40, 0, GetParam().format);
    // SOF0: FF C0, length(2), precision, height(2), width(2), count, then id + factors
    std::size_t sof = 0;
    while (sof + 1 < file.size() && !(file[sof] == 0xFF && file[sof + 1] == 0xC0)) ++sof;
    ASSERT_LT(sof + 11, file.size());
    EXPECT_EQ(file[sof + 9], 3);
    EXPECT_EQ(file[sof + 11], GetParam().lumaFactors);
    const ImageInfo info = readInfo(file);
    EXPECT_EQ(info.format, GetParam().format);
    EXPECT_EQ(info.bits, 24);
    const Image back = loadMemory(file);
    EXPECT_EQ(back.format, GetParam().format);
    EXPECT_EQ(back.first().bits(), 24);
    EXPECT_LT(test::meanAbsoluteError(back.first(), photo), 4.0);
}

INSTANTIATE_TEST_SUITE_P(Formats, JpegSubsampling,
                         ::testing::Values(Subsampling{format::Jpeg444, 0x11}, Subsampling{format::Jpeg422, 0x21},
                                           Subsampling{format::Jpeg411, 0x22}));

TEST(JpegGreyscale, EightBitsWriteOneComponentAndReadBackGrey) {
    Bitmap photo = test::makePhoto(40, 20);
    for (const Bitmap& source : {photo, test::makeIndexed(40, 20, 8), photo.toRgba32()}) {
        const Bytes file = saveJpeg(source, 20, 0, format::Jpeg444, 8);
        EXPECT_EQ(readInfo(file).bits, 8);
        const Bitmap back = loadMemory(file).first();
        ASSERT_EQ(back.bits(), 8);
        for (int i = 0; i < 256; i += 51) EXPECT_EQ(back.palette()[i], makeRgb(i, i, i));
        // luminance of the source survives
        const Rgb s = source.pixel(20, 10), g = back.pixel(20, 10);
        const int luma = (299 * redOf(s) + 587 * greenOf(s) + 114 * blueOf(s)) / 1000;
        EXPECT_NEAR(redOf(g), luma, 12);
    }
}

TEST(JpegWrite, PaletteAndSixteenBitBitmapsAreEncodedInColour) {
    const Bitmap photo = test::makePhoto(32, 32);
    Bitmap sixteen(32, 32, 16);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) sixteen.setPixel(x, y, photo.pixel(x, y));
    const Bitmap greyRamp(32, 32, 8);  // a grey palette, written in colour when 24 bits are asked for
    for (const Bitmap& source : {sixteen, test::makeIndexed(32, 32, 4), greyRamp}) {
        for (int bits : {0, 24}) {
            const Bitmap back = loadMemory(saveJpeg(source, 2, 0, format::Jpeg444, bits)).first();
            EXPECT_EQ(back.bits(), 24);
            EXPECT_LT(test::meanAbsoluteError(back, source), 6.0);
        }
    }
}

// Baseline, progressive, subsampled and greyscale files open in ImageMagick as what they are.
TEST(JpegExternal, OpensInImageMagick) {
    if (!test::haveImageMagick()) GTEST_SKIP() << "ImageMagick is not installed";
    const Bitmap photo = test::makePhoto(33, 21);
    struct Case {
        int format, bits, passes;
        const char* expected;  // "width height colourspace interlace"
    };
    for (const Case& c : {Case{format::Jpeg444, 24, 0, "33 21 sRGB None"}, Case{format::Jpeg411, 24, 5, "33 21 sRGB JPEG"},
                          Case{format::Jpeg422, 24, 2, "33 21 sRGB None"}, Case{format::Jpeg444, 8, 6, "33 21 Gray JPEG"}}) {
        const Bytes file = saveJpeg(photo, 80, c.passes, c.format, c.bits);
        const std::string path = ::testing::TempDir() + "kalmira-jpeg-" + std::to_string(c.format) + "-" +
                                 std::to_string(c.bits) + "-" + std::to_string(c.passes) + ".jpg";
        FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(file.data(), 1, file.size(), f);
        std::fclose(f);
        bool ok = false;
        const std::string out =
            test::runCommand("/usr/bin/identify -format '%w %h %[colorspace] %[interlace]' '" + path + "'", &ok);
        std::remove(path.c_str());
        EXPECT_TRUE(ok);
        EXPECT_EQ(out, c.expected) << c.format << "/" << c.bits << "/" << c.passes;
    }
}

}  // namespace
