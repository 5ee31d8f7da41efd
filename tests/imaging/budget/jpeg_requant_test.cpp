// Re-encoding stored transform coefficients at another quality gives, byte for byte, the file a
// plain JPEG write makes at that quality: on real photographs, odd sizes (edge blocks), every
// subsampling, progressive scripts and greyscale output.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "budget/bytebudget.h"
#include "codecs/jpeg_codec.h"
#include "codecs/jpeg_requant.h"
#include "codecs/registry.h"
#include "core/error.h"

using namespace imaging;

namespace {

Bitmap picture(const char* name) {
    return loadFile(std::string(KALMIRA_PICTURES) + "/" + name).first();
}

// A window of a 24-bit picture, copied row by row.
Bitmap crop(const Bitmap& from, int left, int top, int width, int height) {
    Bitmap b(width, height, 24);
    for (int y = 0; y < height; ++y) std::memcpy(b.row(y), from.row(top + y) + 3 * left, 3 * static_cast<std::size_t>(width));
    return b;
}

SaveOptions jpegOptions(int format, int passes, int bits) {
    SaveOptions o;
    o.format = format;
    o.passes = passes;
    o.bits = bits;
    return o;
}

SaveOptions fast(SaveOptions o) {
    o.fastJpeg = true;
    return o;
}

}  // namespace

TEST(JpegRequantizer, FilesEqualPlainWritesAtEveryQualityAndSetting) {
    struct Setting {
        SaveOptions options;
        const char* what;
    };
    const Setting settings[] = {{jpegOptions(format::Jpeg422, 0, 24), "4:2:2 baseline"},
                                {jpegOptions(format::Jpeg444, 10, 24), "4:4:4 progressive"},
                                {jpegOptions(format::Jpeg411, 2, 24), "4:1:1 two scans"},
                                {jpegOptions(format::Jpeg422, 6, 8), "grey progressive"},
                                {fast(jpegOptions(format::Jpeg422, 0, 24)), "plain encoder, 4:2:2 baseline"},
                                {fast(jpegOptions(format::Jpeg444, 10, 24)), "plain encoder, 4:4:4 progressive"},
                                {fast(jpegOptions(format::Jpeg422, 6, 8)), "plain encoder, grey progressive"}};
    // Odd sizes put partial blocks and partial MCUs on the right and bottom edges.
    const Bitmap dune = crop(picture("dune.jpg"), 301, 157, 517, 389);
    const Bitmap storm = crop(picture("storm.jpg"), 0, 600, 421, 250);
    const Bitmap meadow = crop(picture("meadow.jpg"), 640, 512, 333, 271);
    for (const Bitmap* photo : {&dune, &storm, &meadow}) {
        const Image image = Image::fromBitmap(*photo);
        for (const Setting& s : settings) {
            const JpegRequantizer trials(*photo, s.options);
            for (int q : {1, 12, 35, 50, 68, 75, 83, 91, 97, 100}) {
                SaveOptions o = s.options;
                o.qualityFactor = jpegFactorForQuality(q);
                const Bytes plain = saveMemory(image, o);
                const Bytes requantized = trials.encode(o.qualityFactor);
                ASSERT_EQ(requantized.size(), plain.size()) << s.what << " at quality " << q;
                EXPECT_TRUE(requantized == plain) << s.what << " at quality " << q;
                // The estimate is a guide: within a factor of two of the truth.
                const double guess = trials.estimate(o.qualityFactor);
                EXPECT_GT(guess, 0.5 * static_cast<double>(plain.size())) << s.what << " at quality " << q;
                EXPECT_LT(guess, 2.0 * static_cast<double>(plain.size())) << s.what << " at quality " << q;
            }
        }
    }
}

TEST(JpegRequantizer, OtherDepthsAndTinyPictures) {
    // Palette and 32-bit rows reach libjpeg by other roads; a 1 x 1 picture is all edge.
    const Bitmap photo = crop(picture("storm.jpg"), 900, 400, 67, 45);
    Bitmap withAlpha = photo.toRgba32();
    Bitmap grey(35, 19, 8);
    for (int i = 0; i < 256; ++i) grey.palette()[static_cast<std::size_t>(i)] = makeRgb(i, i, i);
    for (int y = 0; y < grey.height(); ++y)
        for (int x = 0; x < grey.width(); ++x) grey.setPixel(x, y, static_cast<std::uint32_t>((x * 7 + y * 13) & 255));
    Bitmap dot(1, 1, 24);
    dot.setPixel(0, 0, makeRgb(200, 30, 90));
    for (const Bitmap* b : {&withAlpha, &grey, &dot})
        for (int bits : {24, 8}) {
            const Image image = Image::fromBitmap(*b);
            const SaveOptions options = jpegOptions(format::Jpeg411, 0, bits);
            const JpegRequantizer trials(*b, options);
            for (int factor : {2, 60, 200}) {
                SaveOptions o = options;
                o.qualityFactor = factor;
                EXPECT_TRUE(trials.encode(factor) == saveMemory(image, o)) << b->bits() << " bits to " << bits << ", factor " << factor;
            }
        }
}

TEST(JpegRequantizer, RefusesWhatAWriteRefuses) {
    try {
        JpegRequantizer(Bitmap(4, 4, 24), jpegOptions(format::Jpeg444, 0, 16));
        ADD_FAILURE() << "16 bits accepted";
    } catch (const Error& e) {
        EXPECT_EQ(e.code(), ErrorCode::InvalidArgument);
    }
    const JpegRequantizer trials(Bitmap(4, 4, 24), jpegOptions(format::Jpeg444, 0, 24));
    try {
        trials.encode(1);
        ADD_FAILURE() << "factor 1 accepted";
    } catch (const Error& e) {
        EXPECT_EQ(e.code(), ErrorCode::InvalidArgument);
    }
}

// The search over quality returns what trying every quality would: the highest whose real file
// fits, for budgets on both sides of every size on real photographs, baseline and progressive.
TEST(JpegBudget, ChoosesWhatTryingEveryQualityWould) {
    const Bitmap photos[] = {crop(picture("dune.jpg"), 200, 300, 360, 270), crop(picture("storm.jpg"), 700, 850, 360, 270)};
    for (const Bitmap& photo : photos)
        for (int passes : {0, 10}) {
            const SaveOptions base = jpegOptions(format::Jpeg422, passes, 24);
            std::vector<std::size_t> sizes(101, 0);
            for (int q = 1; q <= 100; ++q) {
                SaveOptions o = base;
                o.qualityFactor = jpegFactorForQuality(q);
                sizes[static_cast<std::size_t>(q)] = saveMemory(Image::fromBitmap(photo), o).size();
            }
            auto exhaustive = [&](std::size_t budget) {
                int best = 0;
                for (int q = 1; q <= 100; ++q)
                    if (sizes[static_cast<std::size_t>(q)] <= budget) best = q;
                return best;
            };
            int totalEncodes = 0, searches = 0, uneven = 0;
            for (int q = 1; q <= 100; q += 7)
                for (long delta : {-1L, 0L, 499L}) {
                    const auto budget = static_cast<std::size_t>(static_cast<long>(sizes[static_cast<std::size_t>(q)]) + delta);
                    const BudgetResult r = fitByQuality(photo, base, budget);
                    const int expected = exhaustive(budget);
                    const int chosen = JpegCodec::libjpegQuality(r.options.qualityFactor);
                    EXPECT_EQ(r.encoded.size(), sizes[static_cast<std::size_t>(chosen)]);
                    totalEncodes += r.encodes;
                    ++searches;
                    // Sizes that shrink from one quality to the next (small files do that now and
                    // then) can hide a fitting quality above one that does not fit; a search
                    // that brackets cannot see past it, nor could the search by plain writes.
                    // There the choice must still fit with its next quality not fitting.
                    bool even = true;
                    for (int k = 2; k <= 100; ++k)
                        if (sizes[static_cast<std::size_t>(k)] < sizes[static_cast<std::size_t>(k - 1)] &&
                            sizes[static_cast<std::size_t>(k - 1)] > budget && sizes[static_cast<std::size_t>(k)] <= budget)
                            even = false;
                    if (even) {
                        EXPECT_EQ(chosen, expected == 0 ? 1 : expected) << "budget " << budget << ", passes " << passes;
                        EXPECT_EQ(r.fits, expected != 0) << "budget " << budget;
                    } else {
                        ++uneven;
                        if (r.fits) {
                            EXPECT_LE(sizes[static_cast<std::size_t>(chosen)], budget);
                        }
                        if (chosen < 100) {
                            EXPECT_GT(sizes[static_cast<std::size_t>(chosen + 1)], budget) << "budget " << budget;
                        }
                    }
                }
            EXPECT_LT(uneven, searches / 4) << "too few budgets checked against every quality";
            EXPECT_LE(totalEncodes, 3 * searches) << "passes " << passes;
            std::printf("passes %d: %.2f encodes a search\n", passes, static_cast<double>(totalEncodes) / searches);
        }
}

TEST(JpegRequantizer, HeaderBytesAreEverythingButTheScansData) {
    const Bitmap photo = crop(picture("meadow.jpg"), 100, 100, 320, 240);
    SaveOptions o = jpegOptions(format::Jpeg444, 0, 24);
    o.qualityFactor = 60;
    const Bytes baseline = saveMemory(Image::fromBitmap(photo), o);
    // One scan: the header ends where its SOS segment does, plus the end marker.
    std::size_t sos = 2;
    while (!(baseline[sos] == 0xFF && baseline[sos + 1] == 0xDA)) sos += 2 + (baseline[sos + 2] << 8 | baseline[sos + 3]);
    const std::size_t dataStart = sos + 2 + (baseline[sos + 2] << 8 | baseline[sos + 3]);
    EXPECT_EQ(JpegRequantizer::headerBytes(baseline), dataStart + 2);
    // Ten scans: each scan's own header and tables count, its data does not.
    o.passes = 10;
    const Bytes progressive = saveMemory(Image::fromBitmap(photo), o);
    const std::size_t header = JpegRequantizer::headerBytes(progressive);
    EXPECT_GT(header, dataStart + 2 + 9 * 10);
    EXPECT_LT(header, progressive.size() / 2);
    EXPECT_EQ(JpegRequantizer::headerBytes(Bytes{0xFF, 0xD8, 0xFF, 0xD9}), 4u);
}
