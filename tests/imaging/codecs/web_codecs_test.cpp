// WebP and AVIF: exact lossless round trips, lossy ones close, settings that act, the
// reference decoders (dwebp, avifdec) agreeing with ours pixel for pixel, and bad files refused.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "codecs/avif_codec.h"
#include "codecs/registry.h"
#include "core/error.h"
#include "quality/quality.h"
#include "test_images.h"

using namespace imaging;
namespace fs = std::filesystem;

namespace {

SaveOptions webOptions(int format, int quality, bool lossless, int effort) {
    SaveOptions o;
    o.format = format;
    o.quality = quality;
    o.lossless = lossless;
    o.effort = effort;
    return o;
}

Bytes encode(const Bitmap& b, const SaveOptions& o) { return saveMemory(Image::fromBitmap(b), o); }

ErrorCode errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const Error& e) {
        return e.code();
    }
    return ErrorCode::Ok;
}

struct Web {
    int format;
    int fastEffort;
    const char* suffix;
};
class WebCodecs : public ::testing::TestWithParam<Web> {};

}  // namespace

TEST_P(WebCodecs, LosslessIsExactAtTwentyFourAndThirtyTwoBits) {
    const Web w = GetParam();
    for (int bits : {24, 32}) {
        Bitmap picture = test::makeTrueColour(37, 23, bits, 5);
        if (bits == 32) {
            // Alpha 0 keeps its colour too (lossless means every byte).
            picture.row(0)[3] = 0;
        }
        const Bytes file = encode(picture, webOptions(w.format, 100, true, w.fastEffort));
        const ImageInfo info = readInfo(file);
        EXPECT_EQ(info.format, w.format);
        EXPECT_EQ(info.bits, bits);
        EXPECT_EQ(info.width, 37);
        EXPECT_EQ(info.height, 23);
        const Image back = loadMemory(file);
        EXPECT_EQ(back.first(), picture) << w.suffix << " " << bits << " bits";
    }
}

TEST_P(WebCodecs, PalettesAndTransparentColoursBecomeRgbAndAlpha) {
    const Web w = GetParam();
    Bitmap indexed = test::makeIndexed(16, 8, 4, 3);
    Image back = loadMemory(encode(indexed, webOptions(w.format, 100, true, w.fastEffort)));
    EXPECT_EQ(back.first().bits(), 24);
    EXPECT_EQ(back.first(), indexed.toRgb24());
    // Entry 2 transparent: exactly its pixels come back at alpha 0.
    indexed.setTransparent(true);
    indexed.setTransparentColor(kPaletteReference + 2);
    back = loadMemory(encode(indexed, webOptions(w.format, 100, true, w.fastEffort)));
    ASSERT_EQ(back.first().bits(), 32);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x)
            EXPECT_EQ(back.first().row(y)[x * 4 + 3], indexed.rawPixel(x, y) == 2 ? 0 : 255) << x << "," << y;
}

TEST_P(WebCodecs, QualityTradesBytesForFidelity) {
    const Web w = GetParam();
    const Bitmap photo = test::makePhoto(96, 64);
    const Bytes low = encode(photo, webOptions(w.format, 20, false, w.fastEffort));
    const Bytes high = encode(photo, webOptions(w.format, 90, false, w.fastEffort));
    EXPECT_LT(low.size(), high.size());
    const QualityScore ql = measureQuality(photo, loadMemory(low).first());
    const QualityScore qh = measureQuality(photo, loadMemory(high).first());
    EXPECT_GT(qh.psnr, ql.psnr);
    EXPECT_GT(qh.psnr, 35.0) << w.suffix;
    EXPECT_GT(qh.ssim, 0.95) << w.suffix;
}

TEST_P(WebCodecs, SettingsOutsideTheirRangeAreRefused) {
    const Web w = GetParam();
    const Bitmap photo = test::makePhoto(8, 8);
    EXPECT_EQ(errorOf([&] { encode(photo, webOptions(w.format, 101, false, 1)); }), ErrorCode::InvalidArgument);
    EXPECT_EQ(errorOf([&] { encode(photo, webOptions(w.format, -1, false, 1)); }), ErrorCode::InvalidArgument);
    EXPECT_EQ(errorOf([&] { encode(photo, webOptions(w.format, 50, false, 11)); }), ErrorCode::InvalidArgument);
}

TEST_P(WebCodecs, DamagedFilesAreRefusedWithAReason) {
    const Web w = GetParam();
    const Bytes file = encode(test::makePhoto(64, 48), webOptions(w.format, 60, false, w.fastEffort));
    // Cut inside the compressed data, and cut inside the header.
    for (std::size_t keep : {file.size() * 2 / 3, std::size_t{20}}) {
        const Bytes cut(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(keep));
        try {
            loadMemory(cut);
            ADD_FAILURE() << w.suffix << " kept " << keep << " bytes and loaded";
        } catch (const Error& e) {
            EXPECT_TRUE(e.code() == ErrorCode::Truncated || e.code() == ErrorCode::Corrupt) << e.what();
            EXPECT_NE(std::string(e.what()).find(w.format == format::Webp ? "WebP" : "AVIF"), std::string::npos) << e.what();
        }
    }
    // Noise in the middle of the picture data.
    Bytes noisy = file;
    for (std::size_t i = noisy.size() / 2; i < noisy.size() / 2 + 64 && i < noisy.size(); ++i) noisy[i] ^= 0x5A;
    try {
        const Image image = loadMemory(noisy);
        EXPECT_EQ(image.first().width(), 64);  // a decoder may conceal damage; it must not overrun
    } catch (const Error& e) {
        EXPECT_NE(e.code(), ErrorCode::Ok);
    }
}

// What the reference decoder makes of our file is what our decoder shows.
TEST_P(WebCodecs, ReferenceDecoderShowsOurPixels) {
    const Web w = GetParam();
    const char* tool = w.format == format::Webp ? "dwebp" : "avifdec";
    bool found = false;
    test::runCommand(std::string("command -v ") + tool, &found);
    if (!found) GTEST_SKIP() << tool << " is not installed";
    const fs::path dir = fs::temp_directory_path() / ("kalmira-web-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    for (bool lossless : {false, true})
        for (int bits : {24, 32}) {
            const Bitmap picture = bits == 24 ? test::makePhoto(53, 41) : test::makeTrueColour(53, 41, 32, 9);
            const fs::path file = dir / (std::string("picture.") + w.suffix), png = dir / "reference.png";
            saveFile(file, Image::fromBitmap(picture), webOptions(w.format, 70, lossless, w.fastEffort));
            const std::string command = w.format == format::Webp
                                            ? "dwebp -quiet '" + file.string() + "' -o '" + png.string() + "'"
                                            : "avifdec '" + file.string() + "' '" + png.string() + "' >/dev/null";
            bool ok = false;
            test::runCommand(command, &ok);
            ASSERT_TRUE(ok) << command;
            const Bitmap ours = loadFile(file).first();
            Bitmap theirs = loadFile(png).first();
            // The reference writes opaque files as RGB or RGBA; compare like with like.
            if (ours.bits() == 24 && theirs.bits() == 32) theirs = theirs.toRgb24();
            if (ours.bits() == 32 && theirs.bits() == 24) theirs = theirs.toRgba32();
            EXPECT_EQ(ours, theirs) << tool << (lossless ? " lossless " : " lossy ") << bits << " bits";
        }
    fs::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(Formats, WebCodecs,
                         ::testing::Values(Web{format::Webp, 2, "webp"}, Web{format::Avif, 8, "avif"}),
                         [](const auto& info) { return std::string(info.param.suffix); });

TEST(WebCodecs, AvifQualityMapsOntoTheQuantiserBothEnds) {
    EXPECT_EQ(avifQuantizerForQuality(100), 0);
    EXPECT_EQ(avifQuantizerForQuality(0), 63);
    EXPECT_EQ(avifQuantizerForQuality(50), 32);  // 31.5 rounds away from zero
    for (int q = 1; q <= 100; ++q) EXPECT_LE(avifQuantizerForQuality(q), avifQuantizerForQuality(q - 1));
}

TEST(WebCodecs, SniffingFindsEachFormatAndOnlyIt) {
    const Bitmap b = test::makePhoto(8, 8);
    const Bytes webp = encode(b, webOptions(format::Webp, 50, false, 0));
    const Bytes avif = encode(b, webOptions(format::Avif, 50, false, 10));
    EXPECT_EQ(sniffCodec(webp)->name(), "WebP");
    EXPECT_EQ(sniffCodec(avif)->name(), "AVIF");
    // A RIFF that is not WebP (a WAVE file) and an ISO file that is not AVIF (an MP4).
    const std::string wave = "RIFF\x24\0\0\0WAVEfmt ";
    const Bytes waveBytes(wave.begin(), wave.end());
    EXPECT_FALSE(codecForFormat(format::Webp)->sniff(waveBytes));
    const unsigned char mp4[] = {0, 0, 0, 24, 'f', 't', 'y', 'p', 'i', 's', 'o', 'm', 0, 0, 2, 0,
                                 'i', 's', 'o', 'm', 'm', 'p', '4', '1'};
    EXPECT_FALSE(codecForFormat(format::Avif)->sniff(Bytes(std::begin(mp4), std::end(mp4))));
}
