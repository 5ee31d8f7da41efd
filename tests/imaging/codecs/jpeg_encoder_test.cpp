// The size-optimising JPEG encoder: every file it writes is standard JPEG that libjpeg-turbo's own
// djpeg decodes to exactly the pixels our reader shows; it keeps what the user chose (subsampling,
// greyscale, number of scans); it is smaller than the plain encoder at the same quality factor
// without looking worse; and its trellis and scan scripts hold to their rules.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "codecs/codec_support.h"
#include "codecs/jpeg_codec.h"
#include "codecs/jpeg_support.h"
#include "codecs/jpeg_trellis.h"
#include "codecs/registry.h"
#include "core/error.h"
#include "quality/quality.h"

using namespace imaging;

namespace {

Bitmap picture(const char* name) { return loadFile(std::string(KALMIRA_PICTURES) + "/" + name).first(); }

Bitmap crop(const Bitmap& from, int left, int top, int width, int height) {
    Bitmap b(width, height, 24);
    for (int y = 0; y < height; ++y) std::memcpy(b.row(y), from.row(top + y) + 3 * left, 3 * static_cast<std::size_t>(width));
    return b;
}

SaveOptions jpegOptions(int format, int passes, int bits, int quality, bool fast = false) {
    SaveOptions o;
    o.format = format;
    o.passes = passes;
    o.bits = bits;
    o.qualityFactor = 256 - quality * 254 / 100;
    o.fastJpeg = fast;
    return o;
}

// Every pixel as R, G, B bytes, whatever the bitmap's layout.
std::vector<std::uint8_t> rgbOf(const Bitmap& b) {
    std::vector<std::uint8_t> out(3 * static_cast<std::size_t>(b.width()) * b.height());
    for (int y = 0; y < b.height(); ++y) codec::rowToRgb(b, y, out.data() + 3 * static_cast<std::size_t>(b.width()) * y);
    return out;
}

// What djpeg makes of the file, read back through our PNM reader; empty when djpeg failed.
Bitmap decodedByDjpeg(const Bytes& file, const std::string& stem) {
    const std::string in = stem + ".jpg", out = stem + ".pnm";
    std::ofstream(in, std::ios::binary).write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    const std::string command = "djpeg -pnm -outfile '" + out + "' '" + in + "'";
    Bitmap b;
    if (std::system(command.c_str()) == 0) b = loadFile(out).first();
    std::filesystem::remove(in);
    std::filesystem::remove(out);
    return b;
}

int countMarkers(const Bytes& file, std::uint8_t marker) {
    int n = 0;
    for (std::size_t i = 0; i + 1 < file.size(); ++i) n += file[i] == 0xFF && file[i + 1] == marker;
    return n;
}

}  // namespace

TEST(JpegEncoder, DjpegDecodesEveryFileToThePixelsWeShow) {
    if (!std::filesystem::exists("/usr/bin/djpeg")) GTEST_SKIP() << "djpeg is not installed";
    const Bitmap dune = picture("dune.jpg");
    // Odd sizes leave partial blocks and MCUs on the right and bottom; 1 x 1 is all edge.
    const Bitmap pictures[] = {crop(dune, 301, 157, 117, 89), crop(dune, 1000, 600, 33, 17), crop(dune, 5, 5, 1, 1)};
    const std::string stem = ::testing::TempDir() + "/kalmira_jpeg_encoder_" + std::to_string(::getpid());
    int files = 0;
    for (const Bitmap& p : pictures)
        for (int format : {format::Jpeg444, format::Jpeg422, format::Jpeg411})
            for (int bits : {24, 8})
                for (int passes : {0, 2, 5, 10})
                    for (int quality : {3, 50, 75, 90, 100}) {
                        const Bytes file = saveMemory(Image::fromBitmap(p), jpegOptions(format, passes, bits, quality));
                        const Bitmap ours = loadMemory(file).first();
                        const Bitmap theirs = decodedByDjpeg(file, stem);
                        const std::string what = std::to_string(p.width()) + "x" + std::to_string(p.height()) + " format " +
                                                 std::to_string(format) + " bits " + std::to_string(bits) + " passes " +
                                                 std::to_string(passes) + " quality " + std::to_string(quality);
                        ASSERT_FALSE(theirs.empty()) << what;
                        ASSERT_EQ(theirs.width(), ours.width()) << what;
                        ASSERT_EQ(theirs.height(), ours.height()) << what;
                        EXPECT_TRUE(rgbOf(theirs) == rgbOf(ours)) << what;
                        ++files;
                    }
    EXPECT_EQ(files, 3 * 3 * 2 * 4 * 5);
}

TEST(JpegEncoder, KeepsTheSubsamplingGreyscaleAndScansChosen) {
    const Bitmap photo = crop(picture("storm.jpg"), 400, 300, 203, 157);
    for (int format : {format::Jpeg444, format::Jpeg422, format::Jpeg411})
        for (int bits : {24, 8})
            for (int passes : {0, 1, 3, 4, 6, 10, 20}) {
                const SaveOptions o = jpegOptions(format, passes, bits, 80);
                const Bytes file = saveMemory(Image::fromBitmap(photo), o);
                const ImageInfo info = readInfo(file);
                const std::string what =
                    "format " + std::to_string(format) + " bits " + std::to_string(bits) + " passes " + std::to_string(passes);
                EXPECT_EQ(info.bits, bits) << what;
                EXPECT_EQ(info.format, bits == 8 ? format::Jpeg444 : format) << what;
                EXPECT_EQ(countMarkers(file, 0xDA), JpegCodec::scanCount(passes, bits == 8)) << what;
                // Progressive frames (SOF2) exactly when the script codes spectral bands.
                const bool progressive = passes >= (bits == 8 ? 2 : 4);
                EXPECT_EQ(countMarkers(file, 0xC2), progressive ? 1 : 0) << what;
                EXPECT_EQ(countMarkers(file, 0xC0) + countMarkers(file, 0xC1), progressive ? 0 : 1) << what;
                // The fast encoder keeps the same structure.
                SaveOptions fast = o;
                fast.fastJpeg = true;
                const Bytes plain = saveMemory(Image::fromBitmap(photo), fast);
                EXPECT_EQ(countMarkers(plain, 0xDA), countMarkers(file, 0xDA)) << what;
                EXPECT_EQ(readInfo(plain).format, info.format) << what;
            }
}

// At the same quality factor the file is smaller than libjpeg's own and its quality the same
// within what the eye cannot tell; on real photographs, baseline and progressive.
TEST(JpegEncoder, SmallerThanThePlainEncoderAtTheSameQuality) {
    const Bitmap photos[] = {crop(picture("dune.jpg"), 200, 300, 480, 360), crop(picture("storm.jpg"), 700, 600, 480, 360),
                             crop(picture("meadow.jpg"), 400, 300, 480, 360)};
    for (const Bitmap& photo : photos)
        for (int passes : {0, 10})
            for (int quality : {50, 75, 90}) {
                const SaveOptions o = jpegOptions(format::Jpeg411, passes, 24, quality);
                SaveOptions fast = o;
                fast.fastJpeg = true;
                const Bytes small = saveMemory(Image::fromBitmap(photo), o);
                const Bytes plain = saveMemory(Image::fromBitmap(photo), fast);
                const QualityScore a = measureQuality(photo, loadMemory(small).first());
                const QualityScore b = measureQuality(photo, loadMemory(plain).first());
                const std::string what = "passes " + std::to_string(passes) + " quality " + std::to_string(quality);
                EXPECT_LT(small.size(), plain.size()) << what;
                EXPECT_GT(a.ssim, b.ssim - 0.01) << what;
                EXPECT_GT(a.psnr, b.psnr - 1.5) << what;
            }
}

TEST(JpegEncoder, FastWriteIsLibjpegsAndBothRefuseTheSameOptions) {
    const Bitmap photo = crop(picture("meadow.jpg"), 0, 0, 64, 48);
    for (bool fast : {false, true}) {
        SaveOptions o = jpegOptions(format::Jpeg444, 0, 24, 75, fast);
        o.qualityFactor = 1;
        try {
            saveMemory(Image::fromBitmap(photo), o);
            ADD_FAILURE() << "factor 1 accepted, fast " << fast;
        } catch (const Error& e) {
            EXPECT_EQ(e.code(), ErrorCode::InvalidArgument);
        }
        try {
            JpegCodec().write(Image{}, jpegOptions(format::Jpeg444, 0, 24, 75, fast));
            ADD_FAILURE() << "empty image accepted, fast " << fast;
        } catch (const Error& e) {
            EXPECT_EQ(e.code(), ErrorCode::NoImage);
        }
    }
}

// ---- the trellis ----------------------------------------------------------------------------

namespace {

struct Block {
    std::int16_t raw[64] = {};
    float inverse[64] = {};
};

Block randomBlock(std::mt19937& random, int step) {
    Block b;
    std::normal_distribution<float> value(0.0f, 6.0f * static_cast<float>(step));
    for (int i = 0; i < 64; ++i) {
        const float spread = 1.0f / (1.0f + static_cast<float>(i % 8 + i / 8));
        b.raw[i] = static_cast<std::int16_t>(std::clamp(value(random) * spread, -8000.0f, 8000.0f));
        b.inverse[i] = 1.0f / (8.0f * static_cast<float>(step));
    }
    return b;
}

// The plainly rounded quantisation the trellis starts from.
void rounded(const Block& b, std::int16_t (&out)[64]) {
    for (int i = 0; i < 64; ++i) out[i] = static_cast<std::int16_t>(std::lround(static_cast<float>(b.raw[i]) * b.inverse[i]));
}

jpeg::RateModel flatRates(float bits) {
    jpeg::RateModel m{};
    for (float& r : m.acBits) r = bits;
    return m;
}

}  // namespace

TEST(Trellis, WithoutARatePriceItRoundsAndWithAHighOneItCodesLess) {
    std::mt19937 random(7);
    const jpeg::RateModel rates = flatRates(4);
    for (int trial = 0; trial < 200; ++trial) {
        const int step = 2 + trial % 20;
        const Block b = randomBlock(random, step);
        std::int16_t free[64], cheap[64], dear[64];
        rounded(b, free);
        rounded(b, cheap);
        rounded(b, dear);
        jpeg::trellisBlock(b.raw, free, b.inverse, rates, 0.0f);
        jpeg::trellisBlock(b.raw, cheap, b.inverse, rates, 0.05f);
        jpeg::trellisBlock(b.raw, dear, b.inverse, rates, 1000.0f);
        int nonZeroCheap = 0, nonZeroFree = 0;
        for (int i = 1; i < 64; ++i) {
            const float exact = static_cast<float>(b.raw[i]) * b.inverse[i];
            // Nothing to pay for bits: the nearest value (halves may go either way).
            EXPECT_LE(std::abs(static_cast<float>(free[i]) - exact), 0.5001f) << "trial " << trial << " at " << i;
            // A price never makes a value larger, nor flips its sign.
            EXPECT_LE(std::abs(cheap[i]), std::abs(free[i])) << "trial " << trial << " at " << i;
            EXPECT_GE(cheap[i] * b.raw[i], 0) << "trial " << trial << " at " << i;
            nonZeroCheap += cheap[i] != 0;
            nonZeroFree += free[i] != 0;
            // At a price no error is worth, the whole block's AC goes.
            EXPECT_EQ(dear[i], 0) << "trial " << trial << " at " << i;
        }
        EXPECT_LE(nonZeroCheap, nonZeroFree);
    }
}

TEST(Trellis, ZeroesSmallTailsAndKeepsWhatMatters) {
    // One large coefficient and a tail of values just over half a step: coding the tail costs
    // far more bits than the error of dropping it.
    Block b;
    for (int i = 0; i < 64; ++i) b.inverse[i] = 1.0f / 80.0f;  // step 10
    b.raw[jpeg::kZigzag[1]] = 800;                             // 10 steps
    for (int k = 40; k < 64; k += 3) b.raw[jpeg::kZigzag[k]] = 44;  // 0.55 steps
    std::int16_t out[64];
    rounded(b, out);
    out[0] = 123;
    jpeg::trellisBlock(b.raw, out, b.inverse, flatRates(6), 0.1f);
    EXPECT_EQ(out[0], 123);  // the DC is not the trellis's
    EXPECT_EQ(out[jpeg::kZigzag[1]], 10);
    for (int k = 2; k < 64; ++k) EXPECT_EQ(out[jpeg::kZigzag[k]], 0) << k;
    // Signs stay: the same block negated gives the negated choice.
    for (int i = 0; i < 64; ++i) b.raw[i] = static_cast<std::int16_t>(-b.raw[i]);
    rounded(b, out);
    jpeg::trellisBlock(b.raw, out, b.inverse, flatRates(6), 0.1f);
    EXPECT_EQ(out[jpeg::kZigzag[1]], -10);
}

TEST(Trellis, RatesFollowTheCounts) {
    std::uint32_t counts[256] = {};
    counts[0x01] = 6;
    counts[0x00] = 2;
    const jpeg::RateModel m = jpeg::rateFromCounts(counts);
    EXPECT_FLOAT_EQ(m.acBits[0x01], 1.0f);  // 0.42 bits of information; no code is shorter than 1
    EXPECT_FLOAT_EQ(m.acBits[0x00], 2.0f);
    EXPECT_FLOAT_EQ(m.acBits[0x11], 16.0f);  // never seen
    // Counting a block: a run of 17 zeros before a 3 is one ZRL and a (1, 2) symbol, then EOB.
    std::int16_t block[64] = {};
    block[jpeg::kZigzag[1]] = -1;
    block[jpeg::kZigzag[19]] = 3;
    std::uint32_t seen[256] = {};
    jpeg::countSymbols(block, seen);
    EXPECT_EQ(seen[0x01], 1u);
    EXPECT_EQ(seen[0xF0], 1u);
    EXPECT_EQ(seen[0x12], 1u);
    EXPECT_EQ(seen[0x00], 1u);
    std::uint32_t total = 0;
    for (std::uint32_t c : seen) total += c;
    EXPECT_EQ(total, 4u);
}

// The scan split moves frequencies between the luminance's bands and nothing else: every
// script still codes each coefficient of each component exactly once per bit, with as many scans.
TEST(ScanScripts, EverySplitCodesEveryCoefficientOnce) {
    for (bool grey : {false, true})
        for (int passes = 1; passes <= 12; ++passes)
            for (int split : {0, 3, 6, 9, 13}) {
                bool hasSplit = false;
                const std::vector<jpeg_scan_info> scans = jpeg::scanScript(passes, grey, split, &hasSplit);
                EXPECT_EQ(static_cast<int>(scans.size()), JpegCodec::scanCount(passes, grey));
                // Which bits of which coefficient each component gets: the first scan of a
                // coefficient sends bits Al and up, each refinement one more below.
                int lowestBit[3][64];
                for (auto& c : lowestBit)
                    for (int& v : c) v = -1;
                for (const jpeg_scan_info& s : scans)
                    for (int c = 0; c < s.comps_in_scan; ++c)
                        for (int k = s.Ss; k <= s.Se; ++k) {
                            int& bit = lowestBit[s.component_index[c]][k];
                            if (s.Ah == 0) {
                                EXPECT_EQ(bit, -1) << "coefficient " << k << " sent twice, passes " << passes;
                            } else {
                                EXPECT_EQ(bit, s.Ah) << "refinement out of order, passes " << passes;
                            }
                            bit = s.Al;
                        }
                for (int c = 0; c < (grey ? 1 : 3); ++c)
                    for (int k = 0; k < 64; ++k)
                        EXPECT_EQ(lowestBit[c][k], 0) << "component " << c << " coefficient " << k << " passes " << passes
                                                      << " split " << split;
                if (hasSplit && split > 0) {
                    bool moved = false;
                    for (const jpeg_scan_info& s : scans) moved |= s.component_index[0] == 0 && s.Ss == 1 && s.Se == split - 1;
                    EXPECT_TRUE(moved) << "passes " << passes << " split " << split;
                }
            }
}
