// Known answers of colour reduction on tiny images.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

#include "color/colorres.h"
#include "quality/quality.h"
#include "color/fixed_palettes.h"
#include "core/error.h"
#include "test_images.h"

using namespace imaging;
using colortest::cycling;
using colortest::flat;

namespace {

std::set<Rgb> usedColors(const Bitmap& b) {
    std::set<Rgb> s;
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x) s.insert(b.pixel(x, y));
    return s;
}

std::vector<Rgb> distinctColors(int n) {
    std::vector<Rgb> c;
    for (int i = 0; i < n; ++i) c.push_back(makeRgb((i * 37) % 256, (i * 91 + 13) % 256, (i * 151 + 101) % 256));
    return c;
}

}  // namespace

TEST(ColorRes, TwoColoursStayExactlyTwo) {
    const Bitmap src = cycling(5, 3, {makeRgb(10, 200, 30), makeRgb(250, 5, 99)});
    for (int bits = 1; bits <= 8; ++bits) {
        const Bitmap out = colorRes(src, bits, palette_kind::Optimized, dither_code::None, 0);
        EXPECT_EQ(out.bits(), bits);
        EXPECT_EQ(psnrRgb(src, out), std::numeric_limits<double>::infinity()) << bits << " bits";
        EXPECT_EQ(out.uniqueColorCount(), 2);
    }
}

TEST(ColorRes, SeventeenColoursAtFiveBitsAreKeptExactly) {
    const Bitmap src = cycling(17, 4, distinctColors(17));
    const Bitmap out = colorRes(src, 5, palette_kind::Optimized, dither_code::None, 0);
    ASSERT_EQ(out.bits(), 5);
    for (int y = 0; y < src.height(); ++y)
        for (int x = 0; x < src.width(); ++x) ASSERT_EQ(out.pixel(x, y), src.pixel(x, y)) << x << "," << y;
}

TEST(ColorRes, ExactWhateverTheDitherWhenColoursFit) {
    // With every colour in the palette there is no error to spread.
    const Bitmap src = cycling(9, 9, distinctColors(30));
    for (int code = 0; code <= 7; ++code) {
        const Bitmap out = colorRes(src, 8, palette_kind::Optimized, code, 0);
        EXPECT_EQ(psnrRgb(src, out), std::numeric_limits<double>::infinity()) << "dither " << code;
    }
}

TEST(ColorRes, ColourCountLimitsTheOptimisedPalette) {
    const Bitmap src = colortest::ramps(64, 48);
    for (int limit : {1, 2, 5, 16, 100, 256}) {
        const Bitmap out = colorRes(src, 8, palette_kind::Optimized, dither_code::None, limit);
        EXPECT_LE(out.uniqueColorCount(), limit);
        EXPECT_GE(out.uniqueColorCount(), std::min(limit, 2));
    }
    // More than the depth holds is capped by the depth.
    EXPECT_LE(colorRes(src, 3, palette_kind::Optimized, dither_code::None, 200).uniqueColorCount(), 8);
}

TEST(ColorRes, PaletteAlwaysHasTwoToTheBitsEntries) {
    const Bitmap src = colortest::ramps(20, 10);
    Bitmap withUser = src;
    withUser.userPalette() = {makeRgb(1, 2, 3), makeRgb(200, 100, 0)};
    for (int kind : {1, 2, 8, 16, 64})
        for (int bits = 1; bits <= 8; ++bits) {
            const Bitmap out = colorRes(withUser, bits, kind, dither_code::None, 0);
            EXPECT_EQ(out.palette().size(), std::size_t{1} << bits) << "kind " << kind << ", " << bits << " bits";
            // Unused entries repeat a colour in use, so the colours shown are the palette's first ones.
            const std::set<Rgb> inPalette(out.palette().begin(), out.palette().end());
            for (Rgb c : usedColors(out)) EXPECT_TRUE(inPalette.count(c));
        }
}

TEST(ColorRes, FourBitFixedPaletteIsVga) {
    const std::vector<Rgb> vga = color::fixedPalette(4);
    ASSERT_EQ(vga.size(), 16u);
    EXPECT_EQ(vga[0], makeRgb(0, 0, 0));
    EXPECT_EQ(vga[7], makeRgb(192, 192, 192));
    EXPECT_EQ(vga[8], makeRgb(128, 128, 128));
    EXPECT_EQ(vga[9], makeRgb(255, 0, 0));
    EXPECT_EQ(vga[15], makeRgb(255, 255, 255));

    // Pixels map to the nearest of the 16: (200, 20, 10) is nearer bright red than dark red.
    const Bitmap src = cycling(4, 1, {makeRgb(200, 20, 10), makeRgb(0, 120, 130), makeRgb(180, 180, 190),
                                      makeRgb(250, 250, 240)});
    const Bitmap out = colorRes(src, 4, palette_kind::Fixed, dither_code::None, 0);
    EXPECT_EQ(out.palette(), vga);
    EXPECT_EQ(out.pixel(0, 0), makeRgb(255, 0, 0));
    EXPECT_EQ(out.pixel(1, 0), makeRgb(0, 128, 128));
    EXPECT_EQ(out.pixel(2, 0), makeRgb(192, 192, 192));
    EXPECT_EQ(out.pixel(3, 0), makeRgb(255, 255, 255));
}

TEST(ColorRes, FixedPalettesPerDepth) {
    struct Case {
        int bits;
        std::size_t size;
        Rgb mustContain;
    };
    for (const Case& c : {Case{1, 2, makeRgb(255, 255, 255)}, Case{2, 4, makeRgb(85, 85, 85)},
                          Case{3, 8, makeRgb(255, 0, 255)}, Case{5, 32, makeRgb(85, 170, 255)},
                          Case{6, 64, makeRgb(170, 85, 0)}, Case{7, 128, makeRgb(255, 36, 170)},
                          Case{8, 256, makeRgb(36, 218, 85)}}) {
        const std::vector<Rgb> pal = color::fixedPalette(c.bits);
        EXPECT_EQ(pal.size(), c.size) << c.bits;
        EXPECT_NE(std::find(pal.begin(), pal.end(), c.mustContain), pal.end()) << c.bits;
        EXPECT_EQ(std::set<Rgb>(pal.begin(), pal.end()).size(), pal.size()) << "duplicates at " << c.bits;
    }
}

TEST(ColorRes, NetscapeCube) {
    const std::vector<Rgb> cube = color::netscapePalette(8);
    ASSERT_EQ(cube.size(), 216u);
    EXPECT_EQ(cube[0], makeRgb(0, 0, 0));
    EXPECT_EQ(cube[1], makeRgb(0, 0, 51));
    EXPECT_EQ(cube[6], makeRgb(0, 51, 0));
    EXPECT_EQ(cube[36], makeRgb(51, 0, 0));
    EXPECT_EQ(cube[36 * 2 + 6 * 3 + 4], makeRgb(102, 153, 204));
    EXPECT_EQ(cube[215], makeRgb(255, 255, 255));

    const Bitmap src = cycling(3, 1, {makeRgb(102, 153, 204), makeRgb(60, 10, 240), makeRgb(130, 130, 130)});
    const Bitmap out = colorRes(src, 8, palette_kind::Netscape, dither_code::None, 0);
    EXPECT_EQ(out.pixel(0, 0), makeRgb(102, 153, 204));
    EXPECT_EQ(out.pixel(1, 0), makeRgb(51, 0, 255));
    EXPECT_EQ(out.pixel(2, 0), makeRgb(153, 153, 153));
    // Below 8 bits the cube does not fit; the depth's fixed palette stands in.
    EXPECT_EQ(colorRes(src, 4, palette_kind::Netscape, dither_code::None, 0).palette(), color::fixedPalette(4));
}

TEST(ColorRes, WindowsStaticColours) {
    const std::vector<Rgb> win = color::windowsPalette(8);
    ASSERT_EQ(win.size(), 20u);
    for (Rgb c : {makeRgb(192, 220, 192), makeRgb(166, 202, 240), makeRgb(255, 251, 240), makeRgb(160, 160, 164)})
        EXPECT_NE(std::find(win.begin(), win.end(), c), win.end());
    const Bitmap out = colorRes(flat(2, 2, makeRgb(170, 200, 235)), 8, palette_kind::Windows, dither_code::None, 0);
    EXPECT_EQ(out.pixel(1, 1), makeRgb(166, 202, 240));
    EXPECT_EQ(color::windowsPalette(4), color::fixedPalette(4));
}

TEST(ColorRes, CustomUsesTheUserPaletteInItsOrder) {
    Bitmap src = cycling(3, 1, {makeRgb(250, 0, 0), makeRgb(0, 0, 10), makeRgb(0, 240, 0)});
    src.userPalette() = {makeRgb(0, 255, 0), makeRgb(255, 0, 0), makeRgb(0, 0, 0), makeRgb(9, 9, 9)};
    const Bitmap out = colorRes(src, 2, palette_kind::Custom, dither_code::None, 0);
    EXPECT_EQ(out.palette(), src.userPalette());
    EXPECT_EQ(out.rawPixel(0, 0), 1u);
    EXPECT_EQ(out.rawPixel(1, 0), 2u);
    EXPECT_EQ(out.rawPixel(2, 0), 0u);
    EXPECT_EQ(out.userPalette(), src.userPalette());

    // A longer user palette gives its first 2^bits entries; a shorter one is padded.
    const Bitmap one = colorRes(src, 1, palette_kind::Custom, dither_code::None, 0);
    EXPECT_EQ(one.palette(), (std::vector<Rgb>{makeRgb(0, 255, 0), makeRgb(255, 0, 0)}));
    const Bitmap eight = colorRes(src, 3, palette_kind::Custom, dither_code::None, 0);
    EXPECT_EQ(eight.palette()[3], makeRgb(9, 9, 9));
    EXPECT_EQ(eight.palette()[7], makeRgb(9, 9, 9));
}

TEST(ColorRes, PartlyTransparentPixelsBlendOverTheMatte) {
    Bitmap src(2, 1, 32);
    std::uint8_t* p = src.data().data();
    const std::uint8_t px[8] = {255, 0, 0, 128, 0, 0, 255, 255};
    std::copy(px, px + 8, p);
    const Bitmap white = colorRes(src, 8, palette_kind::Optimized, dither_code::None, 0);
    EXPECT_EQ(white.pixel(0, 0), makeRgb(255, 127, 127));
    EXPECT_EQ(white.pixel(1, 0), makeRgb(0, 0, 255));
    EXPECT_FALSE(white.transparent());

    ColorResOptions black;
    black.matte = makeRgb(0, 0, 0);
    EXPECT_EQ(colorRes(src, 8, palette_kind::Optimized, dither_code::None, 0, black).pixel(0, 0), makeRgb(128, 0, 0));
}

TEST(ColorRes, FullyTransparentPixelsGetTheirOwnEntry) {
    // White in the image and a white matte: the transparent entry must still differ in
    // colour from every visible one, or colour lookups would confuse them.
    Bitmap src(3, 2, 32);
    const std::uint8_t px[24] = {255, 255, 255, 255, 0, 0, 0, 0,   10, 20, 30, 0,
                                 200, 0,   0,   255, 0, 0, 0, 255, 255, 255, 255, 255};
    std::copy(px, px + 24, src.data().data());
    for (int kind : {palette_kind::Optimized, palette_kind::Fixed, palette_kind::Netscape}) {
        const Bitmap out = colorRes(src, 8, kind, dither_code::FloydSteinberg, 0);
        ASSERT_TRUE(out.transparent()) << kind;
        ASSERT_TRUE(isPaletteReference(out.transparentColor()));
        const std::uint32_t t = static_cast<std::uint32_t>(paletteIndexOf(out.transparentColor()));
        EXPECT_EQ(out.rawPixel(1, 0), t);
        EXPECT_EQ(out.rawPixel(2, 0), t);
        for (int x : {0})
            EXPECT_NE(out.rawPixel(x, 0), t);
        for (int x = 0; x < 3; ++x) EXPECT_NE(out.rawPixel(x, 1), t);
        for (std::uint32_t i = 0; i < t; ++i) EXPECT_NE(out.palette()[i], out.palette()[t]) << kind << " entry " << i;
    }
    const Bitmap exact = colorRes(src, 2, palette_kind::Optimized, dither_code::None, 0);
    EXPECT_EQ(exact.pixel(0, 0), makeRgb(255, 255, 255));
    EXPECT_EQ(exact.pixel(0, 1), makeRgb(200, 0, 0));
    EXPECT_EQ(exact.pixel(1, 1), makeRgb(0, 0, 0));
}

TEST(ColorRes, TransparentEntryOfAnIndexedSourceIsKept) {
    Bitmap src(4, 1, 8);
    src.palette()[0] = makeRgb(10, 10, 10);
    src.palette()[1] = makeRgb(10, 10, 10);  // same colour as entry 0, but not transparent
    src.palette()[2] = makeRgb(90, 0, 0);
    for (int x = 0; x < 4; ++x) src.setPixel(x, 0, static_cast<std::uint32_t>(x % 3));
    src.setTransparent(true);
    src.setTransparentColor(kPaletteReference + 0);
    const Bitmap out = colorRes(src, 4, palette_kind::Optimized, dither_code::None, 0);
    ASSERT_TRUE(out.transparent());
    const std::uint32_t t = static_cast<std::uint32_t>(paletteIndexOf(out.transparentColor()));
    EXPECT_EQ(out.rawPixel(0, 0), t);
    EXPECT_NE(out.rawPixel(1, 0), t);
    EXPECT_EQ(out.pixel(1, 0), makeRgb(10, 10, 10));
    EXPECT_EQ(out.rawPixel(3, 0), t);
    // A visible entry has the transparent entry's colour, so the transparent one moves off it.
    EXPECT_NE(out.palette()[t], makeRgb(10, 10, 10));
}

TEST(ColorRes, TransparentEntryKeepsTheSourcesTransparentColour) {
    // A keyed 24-bit source: the key's pixels stay transparent, and the entry keeps the key's
    // colour, so that looking the colour up in the palette finds the transparent entry.
    Bitmap src = cycling(4, 2, {makeRgb(0, 255, 0), makeRgb(200, 10, 10), makeRgb(0, 250, 0)});
    src.setTransparent(true);
    src.setTransparentColor(makeRgb(0, 255, 0));
    const Bitmap out = colorRes(src, 4, palette_kind::Optimized, dither_code::None, 0);
    ASSERT_TRUE(out.transparent());
    const int t = paletteIndexOf(out.transparentColor());
    EXPECT_EQ(out.palette()[t], makeRgb(0, 255, 0));
    EXPECT_EQ(static_cast<int>(out.rawPixel(0, 0)), t);
    EXPECT_NE(static_cast<int>(out.rawPixel(2, 0)), t);
    for (int i = 0; i < t; ++i) EXPECT_NE(out.palette()[i], makeRgb(0, 255, 0));

    // The Windows colours include that very green: the transparent entry moves off it.
    const Bitmap windows = colorRes(src, 8, palette_kind::Windows, dither_code::None, 0);
    const int tw = paletteIndexOf(windows.transparentColor());
    EXPECT_EQ(tw, 20);
    EXPECT_NE(windows.palette()[tw], makeRgb(0, 255, 0));
    EXPECT_EQ(windows.pixel(2, 0), makeRgb(0, 255, 0));
}

TEST(ColorRes, AnimationFramesShareOnePalette) {
    Image anim;
    anim.frames.push_back(Frame{cycling(4, 4, {makeRgb(255, 0, 0), makeRgb(0, 0, 255)}), 10, 2, 0, 0});
    anim.frames.push_back(Frame{cycling(4, 4, {makeRgb(0, 255, 0), makeRgb(255, 255, 0)}), 20, 1, 3, 4});
    const Image out = colorRes(anim, 2, palette_kind::Optimized, dither_code::None, 0);
    ASSERT_EQ(out.frames.size(), 2u);
    EXPECT_EQ(out.frames[0].bitmap.palette(), out.frames[1].bitmap.palette());
    EXPECT_EQ(out.frames[1].delay, 20);
    EXPECT_EQ(out.frames[1].left, 3);
    EXPECT_EQ(out.frames[1].top, 4);
    EXPECT_EQ(out.frames[1].disposal, 1);
    for (std::size_t f = 0; f < 2; ++f)
        EXPECT_EQ(psnrRgb(anim.frames[f].bitmap, out.frames[f].bitmap), std::numeric_limits<double>::infinity());
}

TEST(ColorRes, AnimationKeepsWhatItsFramesShareAtEveryDepth) {
    Image anim;
    anim.format = 2;
    anim.loopCount = 3;
    anim.backgroundColor = makeRgb(1, 2, 3);
    anim.logicalWidth = 9;
    anim.logicalHeight = 8;
    anim.frames.push_back(Frame{cycling(4, 4, {makeRgb(255, 0, 0), makeRgb(0, 0, 255)}), 10, 2, 5, 4});
    for (int bits : {4, 24}) {
        const Image out = colorRes(anim, bits, palette_kind::Optimized, dither_code::None, 0);
        EXPECT_EQ(out.format, 2);
        EXPECT_EQ(out.loopCount, 3);
        EXPECT_EQ(out.backgroundColor, makeRgb(1, 2, 3));
        EXPECT_EQ(out.logicalWidth, 9);
        EXPECT_EQ(out.logicalHeight, 8);
        ASSERT_EQ(out.frames.size(), 1u);
        EXPECT_EQ(out.frames[0].bitmap.bits(), bits);
        EXPECT_EQ(out.frames[0].delay, 10);
        EXPECT_EQ(out.frames[0].disposal, 2);
        EXPECT_EQ(out.frames[0].left, 5);
        EXPECT_EQ(out.frames[0].top, 4);
    }
}

// A bitmap handed over at 24 bits comes back with its own pixel buffer; at any other depth it
// is reduced from, and left as it was.
TEST(ColorRes, GivenUpBitmapIsReusedOnlyWhenNothingChanges) {
    Bitmap rgb = cycling(5, 3, {makeRgb(10, 200, 30), makeRgb(250, 5, 99)});
    rgb.setTransparent(true);
    rgb.setTransparentColor(makeRgb(250, 5, 99));
    rgb.userPalette() = {makeRgb(1, 1, 1)};
    const Bitmap copy = rgb;
    const Bitmap expected = colorRes(copy, 24, 0, 0, 0);
    const std::uint8_t* buffer = rgb.data().data();
    const Bitmap same = colorRes(std::move(rgb), 24, 0, 0, 0);
    EXPECT_EQ(same.data().data(), buffer);
    EXPECT_EQ(same, expected);
    EXPECT_EQ(same.transparent(), expected.transparent());
    EXPECT_EQ(same.transparentColor(), expected.transparentColor());
    EXPECT_EQ(same.userPalette(), expected.userPalette());

    for (int bits : {4, 16, 32}) {
        Bitmap source = copy;
        const Bitmap out = colorRes(std::move(source), bits, palette_kind::Optimized, dither_code::None, 0);
        EXPECT_EQ(out, colorRes(copy, bits, palette_kind::Optimized, dither_code::None, 0)) << bits;
        EXPECT_EQ(source, copy) << bits;
    }
}

TEST(ColorRes, OptimisedBeatsFixedOnRampsAndDitheringKeepsTheMean) {
    const Bitmap src = colortest::ramps(96, 64);
    const double optimized = psnrRgb(src, colorRes(src, 8, palette_kind::Optimized, dither_code::None, 0));
    const double fixed = psnrRgb(src, colorRes(src, 8, palette_kind::Fixed, dither_code::None, 0));
    EXPECT_GT(optimized, fixed + 6.0);
    EXPECT_GT(optimized, 34.0);
    const double sixteen = psnrRgb(src, colorRes(src, 4, palette_kind::Optimized, dither_code::None, 0));
    EXPECT_GT(sixteen, psnrRgb(src, colorRes(src, 4, palette_kind::Fixed, dither_code::None, 0)) + 3.0);
}

TEST(ColorRes, RefusesBadArguments) {
    const Bitmap src = flat(2, 2, 0);
    auto code = [&](auto&& call) {
        try {
            call();
        } catch (const Error& e) {
            return e.code();
        }
        return ErrorCode::Ok;
    };
    EXPECT_EQ(code([&] { colorRes(src, 9, 2, 0, 0); }), ErrorCode::InvalidArgument);
    EXPECT_EQ(code([&] { colorRes(src, 0, 2, 0, 0); }), ErrorCode::InvalidArgument);
    EXPECT_EQ(code([&] { colorRes(src, 8, 3, 0, 0); }), ErrorCode::InvalidArgument);
    EXPECT_EQ(code([&] { colorRes(src, 8, 2, 8, 0); }), ErrorCode::InvalidArgument);
    EXPECT_EQ(code([&] { colorRes(src, 8, 2, -1, 0); }), ErrorCode::InvalidArgument);
    EXPECT_EQ(code([&] { colorRes(src, 8, 2, 0, -5); }), ErrorCode::InvalidArgument);
    EXPECT_EQ(code([&] { colorRes(Bitmap(), 8, 2, 0, 0); }), ErrorCode::NoImage);
    // Conversions ignore the palette arguments, as callers pass zeros.
    EXPECT_EQ(code([&] { colorRes(src, 24, 0, 0, 0); }), ErrorCode::Ok);
}

TEST(ColorRes, EveryKindDitherAndDepthKeepsIndicesAndTransparencyApart) {
    // Random colours with some fully and some partly transparent pixels, through every
    // combination: indices stay inside the palette, and exactly the transparent pixels get
    // the transparent entry.
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> byte(0, 255);
    Bitmap src(13, 7, 32);
    std::uint8_t* p = src.data().data();
    for (int i = 0; i < 13 * 7; ++i, p += 4) {
        p[0] = static_cast<std::uint8_t>(byte(rng)), p[1] = static_cast<std::uint8_t>(byte(rng));
        p[2] = static_cast<std::uint8_t>(byte(rng));
        p[3] = static_cast<std::uint8_t>(i % 5 == 0 ? 0 : i % 7 == 0 ? 100 : 255);
    }
    src.userPalette() = distinctColors(40);
    for (int kind : {1, 2, 8, 16, 64})
        for (int code = 0; code <= 7; ++code)
            for (int bits = 1; bits <= 8; ++bits) {
                const Bitmap out = colorRes(src, bits, kind, code, 0);
                ASSERT_EQ(out.palette().size(), std::size_t{1} << bits);
                ASSERT_TRUE(out.transparent());
                const std::uint32_t t = static_cast<std::uint32_t>(paletteIndexOf(out.transparentColor()));
                ASSERT_LT(t, std::uint32_t{1} << bits);
                for (int i = 0; i < 13 * 7; ++i) {
                    const std::uint32_t v = out.rawPixel(i % 13, i / 13);
                    ASSERT_LT(v, std::uint32_t{1} << bits);
                    ASSERT_EQ(v == t, i % 5 == 0) << "kind " << kind << " dither " << code << " bits " << bits << " pixel " << i;
                }
            }
}

TEST(ColorRes, SourcesOfEveryDepthKeepTheirFewColours) {
    const std::vector<Rgb> colors = {makeRgb(255, 255, 255), makeRgb(0, 0, 0), makeRgb(16, 132, 255)};
    for (int bits : {1, 4, 8, 16, 24, 32}) {
        Bitmap src(6, 3, bits);
        const int used = bits == 1 ? 2 : 3;
        for (int i = 0; i < 18; ++i) {
            if (bits <= 8) {
                src.setPixel(i % 6, i / 6, static_cast<std::uint32_t>(i % used));
            } else {
                src.setPixel(i % 6, i / 6, colors[i % used]);
            }
        }
        if (bits <= 8)
            for (int k = 0; k < used; ++k) src.palette()[k] = colors[k];
        const Bitmap out = colorRes(src, 2, palette_kind::Optimized, dither_code::FloydSteinberg, 0);
        EXPECT_EQ(psnrRgb(src, out), std::numeric_limits<double>::infinity()) << bits << " bits";
        EXPECT_EQ(out.uniqueColorCount(), used);
    }
}
