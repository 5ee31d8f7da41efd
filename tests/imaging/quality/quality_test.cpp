// PSNR and SSIM against values worked out independently: a plain double-precision evaluation of
// every 11 x 11 window (Wang et al. 2004) over the same generated pictures, and closed forms.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/error.h"
#include "core/parallel.h"
#include "quality/quality.h"
#include "quality/transparency.h"

using namespace imaging;

namespace {

// A picture with structure in every channel, and a copy disturbed by a repeating pattern of
// -4..+4 steps of `step`, clamped to 0..255.
std::pair<Bitmap, Bitmap> pair(int w, int h, int step) {
    Bitmap a(w, h, 24), b(w, h, 24);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int r = (x * 7 + y * 13) % 256, g = (x * x + y * 3) % 256, bl = (x * y) % 256;
            const int d = ((x * 5 + y * 11) % 9 - 4) * step;
            auto c = [d](int v) { return std::clamp(v + d, 0, 255); };
            a.setPixel(x, y, makeRgb(r, g, bl));
            b.setPixel(x, y, makeRgb(c(r), c(g), c(bl)));
        }
    return {a, b};
}

Bitmap flat(int w, int h, Rgb color) {
    Bitmap b(w, h, 24);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) b.setPixel(x, y, color);
    return b;
}

}  // namespace

TEST(Quality, KnownValuesOfDisturbedPictures) {
    struct Case {
        int w, h, step;
        double psnr, ssim;
    } cases[] = {
        {24, 20, 1, 39.9905485386, 0.9954885854},
        {24, 20, 6, 24.6516382072, 0.8703812091},
        {32, 16, 3, 30.5365352994, 0.9688357102},
    };
    for (const Case& c : cases) {
        const auto [a, b] = pair(c.w, c.h, c.step);
        const QualityScore q = measureQuality(a, b);
        EXPECT_NEAR(q.psnr, c.psnr, 1e-9) << c.w << "x" << c.h << " step " << c.step;
        // Single-precision planes: agreement to 1e-5 is far below what a caption shows.
        EXPECT_NEAR(q.ssim, c.ssim, 1e-5) << c.w << "x" << c.h << " step " << c.step;
    }
}

TEST(Quality, FlatPicturesFollowTheClosedForm) {
    // Constant luma a and b: no variance, so SSIM is (2ab + C1) / (a² + b² + C1).
    const QualityScore q = measureQuality(flat(30, 30, makeRgb(100, 100, 100)), flat(30, 30, makeRgb(110, 110, 110)));
    const double c1 = 2.55 * 2.55;
    EXPECT_NEAR(q.ssim, (2.0 * 100 * 110 + c1) / (100.0 * 100 + 110.0 * 110 + c1), 1e-5);
    EXPECT_NEAR(q.psnr, 10 * std::log10(255.0 * 255.0 / 100.0), 1e-9);
    // Symmetric in its two arguments.
    const QualityScore r = measureQuality(flat(30, 30, makeRgb(110, 110, 110)), flat(30, 30, makeRgb(100, 100, 100)));
    EXPECT_NEAR(r.ssim, q.ssim, 1e-7);
}

TEST(Quality, BrightFlatPicturesKeepTheirPrecision) {
    // Bright and dark flat areas: their variance is E[x²] - E[x]², in single precision a
    // difference of two numbers near 65000 unless the values are centred first. Centred, the
    // closed form holds to 1e-4 at the ends of the range (1e-5 in the middle, above).
    const double c1 = 2.55 * 2.55;
    for (const auto& [x, y] : {std::pair{250, 240}, std::pair{255, 254}, std::pair{200, 255}, std::pair{3, 0}}) {
        const QualityScore q = measureQuality(flat(40, 24, makeRgb(x, x, x)), flat(40, 24, makeRgb(y, y, y)));
        EXPECT_NEAR(q.ssim, (2.0 * x * y + c1) / (1.0 * x * x + 1.0 * y * y + c1), 1e-4) << x << " against " << y;
    }
}

TEST(Quality, TheSameOnOneThreadAndOnMany) {
    const auto [a, b] = pair(300, 260, 5);
    setWorkerCount(1);
    const double one = measureQuality(a, b).ssim;
    setWorkerCount(5);
    const double many = measureQuality(a, b).ssim;
    setWorkerCount(0);
    EXPECT_EQ(one, many);  // bit for bit: the rows' sums are added in row order
}

TEST(Quality, IdenticalPicturesAreLossless) {
    const auto [a, b] = pair(40, 40, 2);
    const QualityScore same = measureQuality(a, a);
    EXPECT_EQ(same.psnr, std::numeric_limits<double>::infinity());
    EXPECT_EQ(same.ssim, 1.0);
    // The same picture held as palette indices or with opaque alpha is still identical.
    Bitmap indexed(3, 1, 8);
    indexed.palette()[0] = makeRgb(1, 2, 3);
    indexed.palette()[7] = makeRgb(200, 100, 50);
    indexed.setPixel(1, 0, 7);
    Bitmap direct(3, 1, 24);
    direct.setPixel(0, 0, makeRgb(1, 2, 3));
    direct.setPixel(1, 0, makeRgb(200, 100, 50));
    direct.setPixel(2, 0, makeRgb(1, 2, 3));
    EXPECT_EQ(measureQuality(indexed, direct).psnr, std::numeric_limits<double>::infinity());
    EXPECT_EQ(measureQuality(direct.toRgba32(), indexed).psnr, std::numeric_limits<double>::infinity());
}

TEST(Quality, AlphaIsCompositedOnTheMatte) {
    Bitmap rgba(2, 1, 32);
    std::uint8_t* p = rgba.row(0);
    const std::uint8_t px[8] = {200, 0, 0, 0, 0, 100, 0, 128};  // fully transparent red; half green
    std::copy(px, px + 8, p);
    // The same transparency with other colours under the clear pixel: what no page shows
    // costs nothing, on any matte.
    Bitmap hidden = rgba;
    hidden.row(0)[0] = 17, hidden.row(0)[1] = 99;
    for (Rgb matte : {makeRgb(255, 255, 255), makeRgb(0, 0, 0)}) {
        const QualityScore q = measureQuality(rgba, hidden, matte);
        EXPECT_EQ(q.psnr, std::numeric_limits<double>::infinity());
    }
    // Blended over white into an opaque picture, it matches on a white page but not on a
    // black one: the transparency is lost and the numbers say so. Per channel over black the
    // errors are 255, 255, 255 and 127, 127, 127 of 12 values: MSE (3 * 255² + 3 * 127²) / 12.
    Bitmap overWhite(2, 1, 24);
    overWhite.setPixel(0, 0, makeRgb(255, 255, 255));
    overWhite.setPixel(1, 0, makeRgb(127, 177, 127));
    const QualityScore lost = measureQuality(rgba, overWhite);
    EXPECT_FALSE(hasTransparency(overWhite));
    EXPECT_NEAR(lost.psnr, 10 * std::log10(255.0 * 255.0 * 12 / (3 * 255.0 * 255 + 3 * 127.0 * 127)), 1e-9);
    EXPECT_LT(lost.ssim, 1.0);
    // Blended over black instead: the same loss, seen on the white page.
    Bitmap overBlack(2, 1, 24);
    overBlack.setPixel(1, 0, makeRgb(0, 50, 0));
    const QualityScore lostToo = measureQuality(rgba, overBlack);
    EXPECT_LT(lostToo.psnr, 10.0);
}

TEST(Quality, TransparentColourCountsAsTransparency) {
    // A GIF-like Original: entry 1 is transparent and used by the middle pixel.
    Bitmap indexed(3, 1, 8);
    indexed.palette()[0] = makeRgb(10, 20, 30);
    indexed.palette()[1] = makeRgb(0, 255, 0);
    indexed.setPixel(1, 0, 1);
    indexed.setTransparent(true);
    indexed.setTransparentColor(kPaletteReference + 1);
    EXPECT_TRUE(hasTransparency(indexed));
    // The flag alone, on an entry no pixel uses, is no transparency.
    Bitmap unused = indexed;
    unused.setTransparentColor(kPaletteReference + 5);
    EXPECT_FALSE(hasTransparency(unused));
    // An RGB transparent colour of a 24-bit picture (PNG tRNS) when a pixel has it.
    Bitmap rgb = indexed.toRgb24();
    rgb.setTransparent(true);
    rgb.setTransparentColor(makeRgb(0, 255, 0));
    EXPECT_TRUE(hasTransparency(rgb));
    rgb.setTransparentColor(makeRgb(1, 255, 0));
    EXPECT_FALSE(hasTransparency(rgb));
    EXPECT_FALSE(hasTransparency(flat(4, 4, 0)));
    Bitmap opaque = flat(2, 2, makeRgb(1, 2, 3)).toRgba32();
    EXPECT_FALSE(hasTransparency(opaque));
    opaque.row(1)[7] = 254;
    EXPECT_TRUE(hasTransparency(opaque));

    // Kept by a Variation with the same transparent entry: lossless. Kept nowhere (the green
    // key colour now shows): not lossless, and lost. Over white the clear pixel should be
    // white (0 vs 255 in red and blue), over black black (255 in green): MSE 3 * 255² / 18.
    EXPECT_EQ(measureQuality(indexed, indexed).psnr, std::numeric_limits<double>::infinity());
    Bitmap shown = indexed;
    shown.setTransparent(false);
    const QualityScore q = measureQuality(indexed, shown);
    EXPECT_FALSE(hasTransparency(shown));
    EXPECT_NEAR(q.psnr, 10 * std::log10(18.0 / 3.0), 1e-9);
    // The other way round (transparency the Original does not have) is the old comparison.
    EXPECT_EQ(measureQuality(shown, indexed).psnr, std::numeric_limits<double>::infinity());
}

// An indexed picture whose transparent colour is given as a colour, not an entry: the first
// entry holding that colour is the transparent one, and a later entry of the same colour is
// shown (as a GIF keeps one transparent index).
TEST(Quality, AnRgbTransparentColourNamesTheFirstEntryHoldingIt) {
    Bitmap twice(4, 1, 8);
    twice.palette()[0] = makeRgb(10, 20, 30);
    twice.palette()[1] = makeRgb(0, 255, 0);
    twice.palette()[2] = makeRgb(200, 100, 50);
    twice.palette()[3] = makeRgb(0, 255, 0);
    twice.setPixel(0, 0, 0);
    twice.setPixel(1, 0, 3);
    twice.setPixel(2, 0, 2);
    twice.setPixel(3, 0, 3);
    twice.setTransparent(true);
    twice.setTransparentColor(makeRgb(0, 255, 0));
    // Only the later entry is used: nothing is transparent.
    EXPECT_FALSE(hasTransparency(twice));
    // The first entry in use: its pixel is transparent, the later entry's pixels are not.
    Bitmap first = twice;
    first.setPixel(2, 0, 1);
    EXPECT_TRUE(hasTransparency(first));
    // Against the same picture shown without transparency: over white the one clear pixel
    // differs by 255 in red and blue, over black by 255 in green: MSE 3 * 255² / 24.
    Bitmap plain = first;
    plain.setTransparent(false);
    EXPECT_NEAR(measureQuality(first, plain).psnr, 10 * std::log10(24.0 / 3.0), 1e-9);
    Bitmap twicePlain = twice;
    twicePlain.setTransparent(false);
    EXPECT_EQ(measureQuality(twice, twicePlain).psnr, std::numeric_limits<double>::infinity());
}

// One PSNR for every caller: the bitmap form composites exactly as the captions' numbers do,
// at every depth on either side and over any matte.
TEST(Quality, PsnrOfBitmapsIsTheCaptionsPsnr) {
    Bitmap rgba(5, 3, 32);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) {
            std::uint8_t* p = rgba.row(y) + x * 4;
            p[0] = static_cast<std::uint8_t>(40 * x), p[1] = static_cast<std::uint8_t>(80 * y), p[2] = 7;
            p[3] = static_cast<std::uint8_t>(x == 0 ? 0 : 60 * x);
        }
    Bitmap indexed(5, 3, 4);
    indexed.palette()[3] = makeRgb(90, 20, 200);
    for (int x = 0; x < 5; ++x) indexed.setPixel(x, 1, 3);
    Bitmap rgb555(5, 3, 16);
    for (int x = 0; x < 5; ++x) rgb555.setPixel(x, 2, makeRgb(248, 8 * x, 64));
    const auto [disturbed, other] = pair(5, 3, 9);
    const Bitmap* pictures[] = {&rgba, &indexed, &rgb555, &disturbed, &other};
    for (Rgb matte : {makeRgb(255, 255, 255), makeRgb(0, 0, 0), makeRgb(30, 200, 90)})
        for (const Bitmap* a : pictures)
            for (const Bitmap* b : pictures)
                EXPECT_EQ(psnrRgb(*a, *b, matte), measureQuality(*a, *b, matte).psnr)
                    << a->bits() << " against " << b->bits() << " bits, matte " << matte;
    // The white matte is the default.
    EXPECT_EQ(psnrRgb(rgba, indexed), psnrRgb(rgba, indexed, makeRgb(255, 255, 255)));
}

TEST(Quality, PsnrSeesWhatAPageShows) {
    Bitmap rgba(2, 1, 32);
    const std::uint8_t px[8] = {200, 0, 0, 0, 0, 100, 0, 128};
    std::copy(px, px + 8, rgba.row(0));
    Bitmap white(2, 1, 24);
    white.setPixel(0, 0, makeRgb(255, 255, 255));
    white.setPixel(1, 0, makeRgb(127, 177, 127));
    // An opaque Original is compared over the matte alone: the Variation's hidden red does not
    // count, its half-transparent green counts blended.
    EXPECT_EQ(psnrRgb(white, rgba), std::numeric_limits<double>::infinity());
    EXPECT_EQ(psnrRgb(rgba, rgba), std::numeric_limits<double>::infinity());
    // A transparent Original is compared over the matte and over its opposite too, so the same
    // picture flattened on white has lost something: over black the Original shows (0, 0, 0)
    // and (0, 50, 0) where the flattened one still shows white and (127, 177, 127).
    const double lost = (3 * 255.0 * 255.0 + 3 * 127.0 * 127.0) / 12.0;
    EXPECT_NEAR(psnrRgb(rgba, white), 10.0 * std::log10(255.0 * 255.0 / lost), 1e-9);
    // One channel of one pixel off by 30 over six values: MSE 150.
    white.setPixel(1, 0, makeRgb(127, 147, 127));
    EXPECT_NEAR(psnrRgb(white, rgba), 10.0 * std::log10(255.0 * 255.0 / 150.0), 1e-9);
    // Over black the hidden red pixel is black and the half-green one (0, 50, 0).
    Bitmap black(2, 1, 24);
    black.setPixel(1, 0, makeRgb(0, 50, 0));
    EXPECT_EQ(psnrRgb(black, rgba, makeRgb(0, 0, 0)), std::numeric_limits<double>::infinity());
    try {
        psnrRgb(rgba, Bitmap(2, 2, 24));
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.code(), ErrorCode::InvalidArgument);
    }
}

// Rows are summed in bands on the worker threads; the answer does not depend on how many.
TEST(Quality, PsnrIsTheSameOnAnyNumberOfThreads) {
    const auto [a, b] = pair(37, 41, 5);
    setWorkerCount(1);
    const double one = psnrRgb(a, b.toRgba32());
    for (int workers : {2, 3, 8}) {
        setWorkerCount(workers);
        EXPECT_EQ(psnrRgb(a, b.toRgba32()), one) << workers;
    }
    setWorkerCount(0);
    EXPECT_NEAR(one, measureQuality(a, b).psnr, 0.0);
}

// Every depth composites to its own colours: palette pictures of 1, 4 and 8 bits, 5-5-5 at 16
// bits, opaque RGBA, each against its plain 24-bit conversion.
TEST(Quality, CompositesEveryDepthAsItsColours) {
    const auto [base, unused] = pair(9, 5, 1);
    (void)unused;
    std::vector<Bitmap> pictures;
    for (int bits : {1, 4, 8}) {
        Bitmap indexed(9, 5, bits);
        const int entries = 1 << bits;
        for (int j = 0; j < entries; ++j) indexed.palette()[static_cast<std::size_t>(j)] = makeRgb(j * 37 % 256, 255 - j, j * 91 % 256);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 9; ++x) indexed.setPixel(x, y, static_cast<std::uint32_t>((x * 3 + y * 5) % entries));
        pictures.push_back(indexed);
    }
    Bitmap rgb555(9, 5, 16);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 9; ++x) rgb555.setPixel(x, y, makeRgb(x * 28, 255 - y * 40, (x * y * 13) % 256));
    pictures.push_back(rgb555);
    pictures.push_back(base.toRgba32());
    for (const Bitmap& picture : pictures) {
        const Bitmap plain = picture.toRgb24();
        const std::vector<std::uint8_t> composited = compositeRgb(picture, makeRgb(0, 0, 0));
        ASSERT_EQ(composited.size(), plain.data().size()) << picture.bits();
        EXPECT_TRUE(std::equal(composited.begin(), composited.end(), plain.data().begin())) << picture.bits() << " bits";
        EXPECT_EQ(psnrRgb(picture, plain), std::numeric_limits<double>::infinity()) << picture.bits() << " bits";
    }
}

// Partly transparent pixels round to the nearest value, as the colour reduction blends.
TEST(Quality, BlendingRoundsToTheNearestValue) {
    struct Case {
        int value, alpha;
        Rgb matte;
        int shown;
    } cases[] = {
        {1, 128, makeRgb(0, 0, 0), 1},        // 0.502 -> 1
        {254, 1, makeRgb(0, 0, 0), 1},        // 0.996 -> 1
        {0, 1, makeRgb(255, 255, 255), 254},  // 254.0
        {200, 77, makeRgb(255, 255, 255), 238},
        {100, 200, makeRgb(50, 50, 50), 89},
        {10, 0, makeRgb(7, 7, 7), 7},         // fully transparent: the matte
        {10, 255, makeRgb(7, 7, 7), 10},      // opaque: the value
    };
    for (const Case& c : cases) {
        Bitmap rgba(1, 1, 32);
        std::uint8_t* p = rgba.row(0);
        p[0] = p[1] = p[2] = static_cast<std::uint8_t>(c.value);
        p[3] = static_cast<std::uint8_t>(c.alpha);
        const std::vector<std::uint8_t> rgb = compositeRgb(rgba, c.matte);
        EXPECT_EQ(rgb, (std::vector<std::uint8_t>(3, static_cast<std::uint8_t>(c.shown))))
            << c.value << " at alpha " << c.alpha;
    }
}

// Large pictures: every value counts, however the sums are split (chunks of the 32-bit
// partial sums, bands of rows, one long row).
TEST(Quality, LargePicturesCountEveryValue) {
    const double oneOffInOneChannel = 10.0 * std::log10(255.0 * 255.0 * 3.0);
    for (const auto& [w, h] : {std::pair{200, 200}, std::pair{30000, 1}, std::pair{3, 9000}}) {
        const Bitmap a = flat(w, h, makeRgb(10, 20, 30));
        const Bitmap b = flat(w, h, makeRgb(11, 20, 30));
        EXPECT_NEAR(psnrRgb(a, b), oneOffInOneChannel, 1e-9) << w << "x" << h;
        EXPECT_NEAR(measureQuality(a, b).psnr, oneOffInOneChannel, 1e-9) << w << "x" << h;
    }
}

TEST(Quality, PicturesSmallerThanTheWindow) {
    // A window that does not fit shrinks to the largest odd size that does; one pixel is a
    // window of its own, so SSIM of two flat 1 x 1 pictures is the closed form too.
    const double c1 = 2.55 * 2.55;
    const QualityScore one = measureQuality(flat(1, 1, makeRgb(50, 50, 50)), flat(1, 1, makeRgb(60, 60, 60)));
    EXPECT_NEAR(one.ssim, (2.0 * 50 * 60 + c1) / (50.0 * 50 + 60.0 * 60 + c1), 1e-5);
    const auto [a, b] = pair(6, 4, 5);
    const QualityScore small = measureQuality(a, b);
    EXPECT_GT(small.ssim, 0.0);
    EXPECT_LT(small.ssim, 1.0);
}

TEST(Quality, MoreDisturbanceScoresLower) {
    double lastPsnr = std::numeric_limits<double>::infinity(), lastSsim = 1.0;
    for (int step : {1, 2, 4, 8, 16}) {
        const auto [a, b] = pair(48, 48, step);
        const QualityScore q = measureQuality(a, b);
        EXPECT_LT(q.psnr, lastPsnr) << step;
        EXPECT_LT(q.ssim, lastSsim) << step;
        lastPsnr = q.psnr;
        lastSsim = q.ssim;
    }
}

TEST(Quality, RefusesPicturesOfDifferentSizes) {
    const auto [a, b] = pair(20, 20, 1);
    try {
        measureQuality(a, flat(20, 19, 0));
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.code(), ErrorCode::InvalidArgument);
    }
    try {
        measureQuality(Bitmap(), b);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.code(), ErrorCode::NoImage);
    }
}

// measureQuality works in strips of rows; its numbers are those of the whole pictures composited
// and filtered at once (compositeRgb, psnrOfRgb, lumaOf, ssimOfLuma), bit for bit, for pictures
// shorter than a strip, exactly a band's height and taller than several strips, in the depths a
// Variation shows (24 bits, alpha over the matte, 8- and 4-bit palettes, 16 bits composited whole).
TEST(Quality, StripsGiveTheWholePicturesNumbers) {
    struct Case {
        int w, h, bits;
    } cases[] = {{2, 1, 24}, {5, 3, 24}, {11, 11, 24}, {13, 300, 24}, {97, 611, 32}, {64, 257, 8}, {40, 90, 4}, {33, 70, 16},
                 {301, 43, 24}};
    for (const Case& c : cases) {
        const auto [a24, b24] = pair(c.w, c.h, 3);
        Bitmap a = a24, b = b24;
        if (c.bits == 32) {
            a = a24.toRgba32();
            b = b24.toRgba32();
            for (int y = 0; y < c.h; ++y)
                for (int x = 0; x < c.w; ++x) b.row(y)[x * 4 + 3] = static_cast<std::uint8_t>((x * 37 + y * 11) % 256);
        } else if (c.bits == 8) {
            b = Bitmap(c.w, c.h, 8);
            for (int j = 0; j < 256; ++j) b.palette()[static_cast<std::size_t>(j)] = makeRgb(j, 255 - j, (j * 7) % 256);
            for (int y = 0; y < c.h; ++y)
                for (int x = 0; x < c.w; ++x) b.setPixel(x, y, static_cast<Rgb>((x + y * 3) % 256));
        } else if (c.bits == 16) {
            b = Bitmap(c.w, c.h, 16);
            for (int y = 0; y < c.h; ++y)
                for (int x = 0; x < c.w; ++x) b.setPixel(x, y, b24.pixel(x, y));
        } else if (c.bits == 4) {
            b = Bitmap(c.w, c.h, 4);
            for (int j = 0; j < 16; ++j) b.palette()[static_cast<std::size_t>(j)] = makeRgb(j * 16, 200 - j * 9, 90);
            for (int y = 0; y < c.h; ++y)
                for (int x = 0; x < c.w; ++x) b.setPixel(x, y, static_cast<Rgb>((x * 3 + y) % 16));
        }
        const Rgb matte = makeRgb(255, 255, 255);
        const std::vector<std::uint8_t> ra = compositeRgb(a, matte), rb = compositeRgb(b, matte);
        const double psnr = psnrRgb(a, b, matte);
        const double ssim = ssimOfLuma(lumaOf(ra), lumaOf(rb), c.w, c.h);
        const QualityScore q = measureQuality(a, b, matte);
        EXPECT_EQ(q.psnr, psnr) << c.w << " x " << c.h << " at " << c.bits;
        EXPECT_EQ(q.ssim, ssim) << c.w << " x " << c.h << " at " << c.bits;
        EXPECT_LT(q.psnr, 60.0) << c.w << " x " << c.h;
    }
}
