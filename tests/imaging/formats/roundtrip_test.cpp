// Every save format at every depth it offers: what the writer writes, the reader reads back
// with the same pixels and palette, and sniffing finds the right codec for it.
#include <gtest/gtest.h>

#include "codecs/registry.h"
#include "core/error.h"
#include "test_support.h"

using namespace imaging;
using namespace testing_formats;

namespace {

struct RoundTrip {
    int format;
    int bits;        // depth asked for
    int storedBits;  // depth read back (the next one up where the format lacks `bits`)
    bool blackWhite = false;  // the format stores no palette: ink and paper only
};

std::string caseName(const testing::TestParamInfo<RoundTrip>& info) {
    return std::string(codecForFormat(info.param.format)->name()).substr(0, 3) + "_" +
           std::to_string(info.param.format) + "_" + std::to_string(info.param.bits) + "bit";
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
    {format::Pcx, 1, 1},  {format::Pcx, 4, 4},   {format::Pcx, 8, 8},   {format::Pcx, 24, 24},
    {format::Pcx, 2, 4},  {format::Pcx, 6, 8},   {format::Pcx, 16, 24},
    {format::Tga, 8, 8},  {format::Tga, 16, 16}, {format::Tga, 24, 24}, {format::Tga, 32, 32},
    {format::Tga, 4, 8},
};

INSTANTIATE_TEST_SUITE_P(AllDepths, FormatRoundTrip, testing::ValuesIn(kCases), caseName);

}  // namespace
