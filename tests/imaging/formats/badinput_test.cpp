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
    {format::Eps, 8},        {format::GemImage, 1}, {format::MacPaint, 1},  {format::MsPaint, 1},
    {format::Pict, 1},       {format::Pict, 8},     {format::Pict, 24},     {format::Pcx, 1},
    {format::Pcx, 4},        {format::Pcx, 8},      {format::Pcx, 24},      {format::Psd, 1},
    {format::Psd, 8},        {format::Psd, 24},     {format::SunRaster, 1}, {format::SunRaster, 8},
    {format::SunRaster, 32}, {format::Tga, 8},      {format::Tga, 16},      {format::Tga, 32},
    {format::Wmf, 8},        {format::Wmf, 24},     {format::Wpg, 1},       {format::Wpg, 8},
};

INSTANTIATE_TEST_SUITE_P(Writers, TruncatedFile, testing::ValuesIn(kTruncated));

}  // namespace

namespace {

// A header that promises a huge picture over a few bytes of data is refused before the
// reader allocates for it.
struct Field {
    std::size_t offset;
    int size;  // 2 or 4 bytes
    bool bigEndian;
};

struct Hostile {
    int format;
    int bits;
    Field width;
    Field height;
};

void patch(Bytes& file, const Field& f, std::uint32_t value) {
    for (int i = 0; i < f.size; ++i) {
        const int shift = 8 * (f.bigEndian ? f.size - 1 - i : i);
        file.at(f.offset + i) = static_cast<std::uint8_t>(value >> shift);
    }
}

class HugeHeader : public testing::TestWithParam<Hostile> {};

TEST_P(HugeHeader, IsRefusedWithoutDecoding) {
    const Hostile& c = GetParam();
    SaveOptions options;
    options.format = c.format;
    options.bits = c.bits;
    Bytes file = saveMemory(Image::fromBitmap(makePicture(8, 8, c.bits, 3, c.bits == 1)), options);
    // 16000 x 16000 stays below the engine's pixel cap, so only the data check can refuse it.
    const std::uint32_t side = c.format == format::Pcx ? 15999 : 16000;
    patch(file, c.width, side);
    patch(file, c.height, side);
    try {
        codecForFormat(c.format)->read(file, {});
        ADD_FAILURE() << "a " << file.size() << "-byte file claiming 16000 x 16000 pixels was read";
    } catch (const Error& e) {
        EXPECT_TRUE(e.code() == ErrorCode::Truncated || e.code() == ErrorCode::Corrupt) << e.what();
    }
}

const Hostile kHostile[] = {
    {format::Pcx, 8, {8, 2, false}, {10, 2, false}},     {format::Tga, 24, {12, 2, false}, {14, 2, false}},
    {format::SunRaster, 8, {4, 4, true}, {8, 4, true}},  {format::Psd, 24, {18, 4, true}, {14, 4, true}},
    {format::GemImage, 1, {12, 2, true}, {14, 2, true}}, {format::MsPaint, 1, {4, 2, false}, {6, 2, false}},
};

INSTANTIATE_TEST_SUITE_P(Writers, HugeHeader, testing::ValuesIn(kHostile));

TEST(HugeHeader, TextFormatsAreRefusedToo) {
    const std::pair<int, std::string> cases[] = {
        {format::Pnm, "P5\n16000 16000\n255\n\x01\x02\x03"},
        {format::Pnm, "P1\n16000 16000\n0 1 0"},
        {format::Xbm, "#define a_width 16000\n#define a_height 16000\nstatic char a_bits[] = {0x01, 0x02};\n"},
        {format::Xpm, "/* XPM */\nstatic char *a[] = {\"16000 16000 1 1\", \"a c #FF0000\", \"aaaa\"};\n"},
    };
    for (const auto& [formatNumber, text] : cases) {
        const Bytes file(text.begin(), text.end());
        EXPECT_THROW(codecForFormat(formatNumber)->read(file, {}), Error) << text;
    }
}

}  // namespace

namespace {

// Formats without a magic number are recognised by a plausible header; none of those
// guesses may claim a file of another format we write.
TEST(Sniffing, GuessesDoNotClaimOtherFormats) {
    const int guessed[] = {format::Pcx, format::GemImage, format::Pict, format::MacPaint, format::Tga, format::Cut};
    const std::pair<int, int> written[] = {
        {format::Eps, 8},  {format::GemImage, 1}, {format::MacPaint, 1}, {format::MsPaint, 1}, {format::Pict, 8},
        {format::Pcx, 8},  {format::Psd, 24},     {format::SunRaster, 8}, {format::Tga, 8},    {format::Tga, 24},
        {format::Wmf, 24}, {format::Wpg, 4},
    };
    for (auto [formatNumber, bits] : written) {
        SaveOptions options;
        options.format = formatNumber;
        options.bits = bits;
        const Bytes file = saveMemory(Image::fromBitmap(makePicture(19, 11, bits, 6, bits == 1)), options);
        for (int guess : guessed) {
            if (guess == formatNumber) continue;
            EXPECT_FALSE(codecForFormat(guess)->sniff(file))
                << codecForFormat(guess)->name() << " claims a " << codecForFormat(formatNumber)->name() << " file";
        }
    }
}

}  // namespace
