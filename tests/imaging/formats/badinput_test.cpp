// Truncated and hostile files are refused with an error, never read past or over-allocated.
#include <gtest/gtest.h>

#include "codecs/registry.h"
#include "core/error.h"
#include "test_support.h"

using namespace imaging;
using namespace testing_formats;

namespace {

struct Bad {
    int format;
    int bits;
};

class TruncatedFile : public testing::TestWithParam<Bad> {};

TEST_P(TruncatedFile, IsRefusedWithAnError) {
    const Bad& c = GetParam();
    const Codec* codec = codecForFormat(c.format);
    ASSERT_NE(codec, nullptr);
    const int side = c.format == format::MacPaint ? 576 : 40;
    SaveOptions options;
    options.format = c.format;
    options.bits = c.bits;
    const Bytes file = saveMemory(Image::fromBitmap(makePicture(side, side, c.bits, 9, c.bits == 1)), options);
    for (std::size_t keep : {std::size_t{0}, std::size_t{10}, file.size() / 2}) {
        const Bytes cut(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(keep));
        try {
            codec->read(cut, {});
            ADD_FAILURE() << "a file cut to " << keep << " of " << file.size() << " bytes was read";
        } catch (const Error& e) {
            EXPECT_NE(e.code(), ErrorCode::Ok);
            EXPECT_NE(std::string(e.what()).find(std::string(codec->name())), std::string::npos) << e.what();
        }
    }
}

const Bad kTruncated[] = {
    {format::Eps, 8},       {format::GemImage, 1},  {format::MacPaint, 1},  {format::MsPaint, 1},
    {format::Pict, 1},      {format::Pict, 8},      {format::Pict, 24},     {format::Pcx, 1},
    {format::Pcx, 4},       {format::Pcx, 8},       {format::Pcx, 24},      {format::Psd, 1},
    {format::Psd, 8},       {format::Psd, 24},      {format::SunRaster, 1}, {format::SunRaster, 8},
    {format::SunRaster, 32}, {format::Tga, 8},      {format::Tga, 16},      {format::Tga, 32},
    {format::Wmf, 8},       {format::Wmf, 24},      {format::Wpg, 1},       {format::Wpg, 8},
};

INSTANTIATE_TEST_SUITE_P(Writers, TruncatedFile, testing::ValuesIn(kTruncated));

}  // namespace
