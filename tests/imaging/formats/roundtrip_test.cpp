// Every save format at every depth it offers: what the writer writes, the reader reads back
// with the same pixels and palette, and sniffing finds the right codec for it.
#include <gtest/gtest.h>

#include <cctype>

#include "codecs/registry.h"
#include "core/error.h"
#include "test_support.h"

using namespace imaging;
using namespace testing_formats;

namespace {

struct RoundTrip {
    int format;
    int bits;                 // depth asked for
    int storedBits;           // depth read back (the next one up where the format lacks `bits`)
    bool blackWhite = false;  // the format stores no palette: ink and paper only
};

std::string caseName(const testing::TestParamInfo<RoundTrip>& info) {
    std::string name;
    for (char ch : codecForFormat(info.param.format)->name())
        if (std::isalnum(static_cast<unsigned char>(ch))) name += ch;
    return name + "_" + std::to_string(info.param.bits) + "to" + std::to_string(info.param.storedBits) +
           (info.param.blackWhite ? "_bw" : "");
}

class FormatRoundTrip : public testing::TestWithParam<RoundTrip> {};

TEST_P(FormatRoundTrip, ReadsBackWhatItWrote) {
    const RoundTrip& c = GetParam();
    const int width = c.format == format::MacPaint ? 576 : 37;
    const int height = c.format == format::MacPaint ? 720 : 23;
    const Bitmap original = makePicture(width, height, c.bits, 7, c.blackWhite);
    SaveOptions options;
    options.format = c.format;
    options.bits = c.bits;
    const Bytes file = saveMemory(Image::fromBitmap(original), options);

    const Codec* codec = sniffCodec(file);
    ASSERT_EQ(codec, codecForFormat(c.format)) << "sniffed as " << (codec ? codec->name() : "nothing");
    const ImageInfo info = readInfo(file);
    EXPECT_EQ(info.width, width);
    EXPECT_EQ(info.height, height);
    EXPECT_EQ(info.format, c.format);

    const Image image = loadMemory(file);
    ASSERT_EQ(image.frames.size(), 1u);
    const Bitmap& back = image.first();
    ASSERT_EQ(back.bits(), c.storedBits);
    ASSERT_EQ(back.width(), width);
    ASSERT_EQ(back.height(), height);
    EXPECT_EQ(info.bits, c.storedBits);
    if (back.isIndexed()) {
        EXPECT_EQ(back.data(), original.data()) << "palette indices differ";
        ASSERT_EQ(back.palette().size(), std::size_t{1} << c.storedBits);
        for (std::size_t i = 0; i < back.palette().size(); ++i) {
            const Rgb expected = i < original.palette().size() ? original.palette()[i] : 0;
            EXPECT_EQ(back.palette()[i], expected) << "palette entry " << i;
        }
    } else if (c.bits == c.storedBits) {
        EXPECT_EQ(back.data(), original.data()) << "pixels differ";
    } else {
        int wrong = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) wrong += back.pixel(x, y) != original.pixel(x, y);
        EXPECT_EQ(wrong, 0) << "pixels with other colours";
    }
}

const RoundTrip kCases[] = {
    // Every depth each save format offers.
    {format::Eps, 8, 8},
    {format::GemImage, 1, 1, true},
    {format::MacPaint, 1, 1, true},
    {format::MsPaint, 1, 1, true},
    {format::Pict, 1, 1},
    {format::Pict, 4, 4},
    {format::Pict, 8, 8},
    {format::Pict, 24, 24},
    {format::Pcx, 1, 1},
    {format::Pcx, 4, 4},
    {format::Pcx, 8, 8},
    {format::Pcx, 24, 24},
    {format::Psd, 1, 1, true},
    {format::Psd, 8, 8},
    {format::Psd, 24, 24},
    {format::SunRaster, 1, 1},
    {format::SunRaster, 4, 8},
    {format::SunRaster, 8, 8},
    {format::SunRaster, 24, 24},
    {format::SunRaster, 32, 32},
    {format::Tga, 8, 8},
    {format::Tga, 16, 16},
    {format::Tga, 24, 24},
    {format::Tga, 32, 32},
    {format::Wmf, 8, 8},
    {format::Wmf, 24, 24},
    {format::Wpg, 1, 1},
    {format::Wpg, 4, 4},
    {format::Wpg, 8, 8},
    // Depths a format lacks go to the next one up with the palette padded.
    {format::Pcx, 2, 4},
    {format::Pcx, 6, 8},
    {format::Pcx, 16, 24},
    {format::Tga, 4, 8},
    {format::Eps, 3, 8},
    {format::Psd, 1, 8},
    {format::Psd, 5, 8},
    {format::SunRaster, 2, 8},
    {format::Wmf, 5, 8},
    {format::Wmf, 32, 24},
    {format::Wpg, 3, 4},
    {format::Pict, 6, 8},
    {format::Pict, 16, 24},
    {format::Pict, 2, 2},
    {format::Wpg, 2, 2},
    {format::SunRaster, 1, 1, true},
};

INSTANTIATE_TEST_SUITE_P(AllDepths, FormatRoundTrip, testing::ValuesIn(kCases), caseName);

}  // namespace

namespace {

Bitmap readBack(const Bitmap& bitmap, int formatNumber) {
    SaveOptions options;
    options.format = formatNumber;
    options.bits = bitmap.bits();
    return loadMemory(saveMemory(Image::fromBitmap(bitmap), options)).first();
}

// A MacPaint page is always 576 x 720: smaller pictures sit top-left on white paper,
// larger ones lose what lies beyond the page.
TEST(MacPaint, PadsSmallAndCropsLargePictures) {
    for (auto [w, h] : {std::pair{100, 50}, std::pair{700, 800}}) {
        const Bitmap original = makePicture(w, h, 1, 4, true);
        const Bitmap back = readBack(original, format::MacPaint);
        ASSERT_EQ(back.width(), 576);
        ASSERT_EQ(back.height(), 720);
        int wrong = 0;
        for (int y = 0; y < 720; ++y)
            for (int x = 0; x < 576; ++x) {
                const Rgb expected = x < w && y < h ? original.pixel(x, y) : makeRgb(255, 255, 255);
                wrong += back.pixel(x, y) != expected;
            }
        EXPECT_EQ(wrong, 0) << w << " x " << h;
    }
}

// Formats without a palette print the darker entry as black and the lighter as white,
// whatever order the palette has.
TEST(MonochromeFormats, MapPaletteEntriesByBrightness) {
    for (int formatNumber : {format::GemImage, format::MacPaint, format::MsPaint, format::Psd}) {
        Bitmap original = makePicture(33, 9, 1, 2);
        original.palette() = {makeRgb(250, 240, 200), makeRgb(90, 0, 0)};  // paper first, ink second
        const Bitmap back = readBack(original, formatNumber);
        int wrong = 0;
        for (int y = 0; y < original.height(); ++y)
            for (int x = 0; x < original.width(); ++x) {
                const Rgb expected = original.rawPixel(x, y) ? makeRgb(0, 0, 0) : makeRgb(255, 255, 255);
                if (formatNumber == format::Psd)  // keeps the colours by going indexed
                    wrong += back.pixel(x, y) != original.pixel(x, y);
                else wrong += back.pixel(x, y) != expected;
            }
        EXPECT_EQ(wrong, 0) << codecForFormat(formatNumber)->name();
    }
}

}  // namespace
