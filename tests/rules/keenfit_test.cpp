// A new Variation's settings from its profile: format, depth, palette and JPEG fields, the
// GIF/JPEG comparison, and the engine save settings the choice gives.
#include <gtest/gtest.h>

#include "core/codec.h"
#include "rules/keenfit.h"

namespace kalmira {
namespace {

namespace f = imaging::format;

OriginalTraits still(int infoBits, int colours) { return {infoBits, colours, false, false}; }

TEST(GifDepth, FollowsTheColourCountAcrossItsRange) {
    const std::pair<int, int> cases[] = {{0, 1}, {1, 1}, {2, 1}, {3, 2}, {4, 2}, {5, 3}, {16, 4}, {17, 5},
                                         {128, 7}, {129, 8}, {256, 8}, {257, 9}, {70000, 17}};
    for (const auto& [colours, bits] : cases) EXPECT_EQ(GifDepthForColorCount(colours), bits) << colours;
}

TEST(SmallerFormat, KeepsGifOnATie) {
    EXPECT_EQ(SmallerFormat(100, 100), save_format::Gif);
    EXPECT_EQ(SmallerFormat(101, 100), save_format::Jpeg);
    EXPECT_EQ(SmallerFormat(99, 100), save_format::Gif);
}

TEST(Keenfit, BuiltInSlotsChooseAsTheWindowsDo) {
    // Slot 1: smallest file; the GIF trial at the depth the 17 colours need.
    KeenfitChoice c = ChooseVariationSettings(BuiltInProfile(1), still(24, 17));
    EXPECT_TRUE(c.CompareGifAndJpeg);
    EXPECT_EQ(c.Format, save_format::Gif);
    EXPECT_EQ(c.PixelDepth, 5);
    EXPECT_EQ(c.ColorPalette, 2);
    EXPECT_EQ(c.MaxColors, 256);
    EXPECT_EQ(c.JPEGQFactor, 56);
    EXPECT_EQ(c.JPEGYUV_Color, 1);
    // Slot 2: always GIF, settled at once.
    c = ChooseVariationSettings(BuiltInProfile(2), still(24, 2));
    EXPECT_FALSE(c.CompareGifAndJpeg);
    EXPECT_EQ(c.Format, save_format::Gif);
    EXPECT_EQ(c.PixelDepth, 1);
    // Slot 3: always JPEG at 24 bits.
    c = ChooseVariationSettings(BuiltInProfile(3), still(8, 2));
    EXPECT_EQ(c.Format, save_format::Jpeg);
    EXPECT_EQ(c.PixelDepth, 24);
    // Slot 4 caps the depth at 4 bits and trades quality (160 -> factor 96).
    c = ChooseVariationSettings(BuiltInProfile(4), still(24, 256));
    EXPECT_EQ(c.PixelDepth, 4);
    EXPECT_EQ(c.JPEGQFactor, 96);
    // Slot 5: 2 bits, 4:1:1.
    c = ChooseVariationSettings(BuiltInProfile(5), still(24, 256));
    EXPECT_EQ(c.PixelDepth, 2);
    EXPECT_EQ(c.JPEGYUV_Color, 2);
}

TEST(Keenfit, ByColourDepthSplitsAtEightBits) {
    OptimizeProfile p = BuiltInProfile(6);
    p.FileFormat = kProfileByColorDepth;
    EXPECT_EQ(ChooseVariationSettings(p, still(8, 200)).Format, save_format::Gif);
    EXPECT_EQ(ChooseVariationSettings(p, still(8, 200)).PixelDepth, 8);
    EXPECT_EQ(ChooseVariationSettings(p, still(9, 200)).Format, save_format::Jpeg);
    EXPECT_EQ(ChooseVariationSettings(p, still(24, 200)).PixelDepth, 24);
    // An unknown choice counts as GIF.
    p.FileFormat = 9;
    EXPECT_EQ(ChooseVariationSettings(p, still(24, 3)).Format, save_format::Gif);
    EXPECT_FALSE(ChooseVariationSettings(p, still(24, 3)).CompareGifAndJpeg);
}

TEST(Keenfit, TransparencyIsNeverSentToAFormatThatDropsIt) {
    // Every "Applies to" choice against the three kinds of Original: the format and depth
    // chosen, and whether the profile's own choice was overruled.
    struct Case {
        int fileFormat, infoBits;
        Transparency transparency;
        int format, depth;
        bool kept;
    } cases[] = {
        {kProfileAlwaysGif, 32, Transparency::Alpha, save_format::Png, 32, true},
        {kProfileAlwaysJpeg, 32, Transparency::Alpha, save_format::Png, 32, true},
        {kProfileByColorDepth, 32, Transparency::Alpha, save_format::Png, 32, true},
        {kProfileSmallestFile, 32, Transparency::Alpha, save_format::Png, 32, true},
        {kProfileAlwaysGif, 8, Transparency::Keyed, save_format::Gif, 5, false},
        {kProfileAlwaysJpeg, 8, Transparency::Keyed, save_format::Png, 32, true},
        {kProfileByColorDepth, 8, Transparency::Keyed, save_format::Gif, 5, false},
        {kProfileByColorDepth, 24, Transparency::Keyed, save_format::Gif, 8, true},
        {kProfileSmallestFile, 8, Transparency::Keyed, save_format::Gif, 5, false},
        {kProfileAlwaysJpeg, 24, Transparency::None, save_format::Jpeg, 24, false},
        {kProfileByColorDepth, 24, Transparency::None, save_format::Jpeg, 24, false},
    };
    for (const Case& k : cases) {
        OptimizeProfile p = BuiltInProfile(6);
        p.FileFormat = static_cast<std::int16_t>(k.fileFormat);
        OriginalTraits t = still(k.infoBits, 17);
        t.transparency = k.transparency;
        const KeenfitChoice c = ChooseVariationSettings(p, t);
        const std::string what = "profile " + std::to_string(k.fileFormat) + ", " + std::to_string(k.infoBits) + " bits";
        EXPECT_FALSE(c.CompareGifAndJpeg) << what;
        EXPECT_EQ(c.Format, k.format) << what;
        EXPECT_EQ(c.PixelDepth, k.depth) << what;
        EXPECT_EQ(c.KeptTransparency, k.kept) << what;
        if (k.format == save_format::Png) {
            const EngineSaveSettings s = SaveSettingsFor(c);
            EXPECT_EQ(s.formatNumber, f::Png) << what;
            EXPECT_EQ(s.bitsPerPixel, 32) << what;
        }
    }
    // An animated GIF keeps its frames and their transparent colours as GIF, even where the
    // profile says JPEG.
    OriginalTraits animated{8, 17, true, true, Transparency::Keyed};
    const KeenfitChoice a = ChooseVariationSettings(BuiltInProfile(3), animated);
    EXPECT_EQ(a.Format, save_format::Gif);
    EXPECT_EQ(a.PixelDepth, 8);
    EXPECT_TRUE(a.GIFAnimated);
    EXPECT_TRUE(a.KeptTransparency);
    // An animation with alpha stays an animated GIF too rather than becoming one PNG frame.
    animated.transparency = Transparency::Alpha;
    const KeenfitChoice alpha = ChooseVariationSettings(BuiltInProfile(3), animated);
    EXPECT_EQ(alpha.Format, save_format::Gif);
    EXPECT_TRUE(alpha.GIFAnimated);
}

TEST(Keenfit, WebAndCustomPalettesTakeEightBitsThenTheCap) {
    OptimizeProfile p = BuiltInProfile(2);
    for (int palette : {64, 16}) {
        p.GIFColorPalette = static_cast<std::int16_t>(palette);
        p.GIFMaxPixelDepth = 8;
        EXPECT_EQ(ChooseVariationSettings(p, still(24, 3)).PixelDepth, 8);
        EXPECT_FALSE(NeedsColorCount(p, still(24, 3)));
        p.GIFMaxPixelDepth = 6;
        EXPECT_EQ(ChooseVariationSettings(p, still(24, 3)).PixelDepth, 6);
    }
    p.GIFColorPalette = 8;
    EXPECT_EQ(ChooseVariationSettings(p, still(24, 3)).PixelDepth, 2);
    EXPECT_TRUE(NeedsColorCount(p, still(24, 3)));
}

TEST(Keenfit, AnAnimatedGifKeepsItsFramesAndDepthAndIsNotCompared) {
    const OriginalTraits animation{8, 0, true, true};
    KeenfitChoice c = ChooseVariationSettings(BuiltInProfile(1), animation);
    EXPECT_FALSE(NeedsColorCount(BuiltInProfile(1), animation));
    EXPECT_FALSE(c.CompareGifAndJpeg);
    EXPECT_TRUE(c.GIFAnimated);
    EXPECT_EQ(c.PixelDepth, 8);
    EXPECT_TRUE(SaveSettingsFor(c).multiPage);
    // Slot 5's 2-bit cap applies to the frames too.
    EXPECT_EQ(ChooseVariationSettings(BuiltInProfile(5), animation).PixelDepth, 2);
    // Always JPEG: the frames are not kept, and JPEG is 24 bits.
    c = ChooseVariationSettings(BuiltInProfile(3), animation);
    EXPECT_EQ(c.PixelDepth, 24);
    EXPECT_FALSE(SaveSettingsFor(c).multiPage);
}

TEST(Keenfit, SettlingOnJpegMakesTwentyFourBits) {
    KeenfitChoice c = ChooseVariationSettings(BuiltInProfile(6), still(24, 40));
    ASSERT_TRUE(c.CompareGifAndJpeg);
    KeenfitChoice gif = c;
    SettleFormat(gif, save_format::Gif);
    EXPECT_EQ(gif.PixelDepth, 6);
    EXPECT_FALSE(gif.CompareGifAndJpeg);
    SettleFormat(c, save_format::Jpeg);
    EXPECT_EQ(c.Format, save_format::Jpeg);
    EXPECT_EQ(c.PixelDepth, 24);
}

TEST(EngineFormat, EveryPositionHasItsNumber) {
    const int expected[] = {f::Gif, f::Jpeg444, f::Png, f::BmpWindows, f::Eps, f::GemImage, f::MacPaint, f::MsPaint,
                            f::Pict, f::Pcx, f::Psd, f::SunRaster, f::Tga, f::TiffUncompressed, f::Wmf, f::Wpg};
    for (int position = 0; position < 16; ++position) {
        bool known = false;
        EXPECT_EQ(EngineFormatNumber(position, 0, true, false, false, known), expected[position]) << position;
        EXPECT_TRUE(known);
    }
    bool known = false;
    EXPECT_EQ(EngineFormatNumber(save_format::Webp, 0, true, false, false, known), f::Webp);
    EXPECT_TRUE(known);
    EXPECT_EQ(EngineFormatNumber(save_format::Avif, 0, true, false, false, known), f::Avif);
    EXPECT_TRUE(known);
    EXPECT_EQ(EngineFormatNumber(18, 0, true, false, false, known), 0);
    EXPECT_FALSE(known);
    EXPECT_EQ(EngineFormatNumber(-1, 0, true, false, false, known), 0);
    EXPECT_FALSE(known);
    EXPECT_EQ(EngineFormatNumber(save_format::Jpeg, 1, true, false, false, known), f::Jpeg422);
    EXPECT_EQ(EngineFormatNumber(save_format::Jpeg, 2, true, false, false, known), f::Jpeg411);
    EXPECT_EQ(EngineFormatNumber(save_format::Jpeg, 3, true, false, false, known), f::Jpeg444);
    EXPECT_EQ(EngineFormatNumber(save_format::Bmp, 0, true, true, false, known), f::BmpRle);
    EXPECT_EQ(EngineFormatNumber(save_format::Bmp, 0, false, true, false, known), f::BmpOs2);
    EXPECT_EQ(EngineFormatNumber(save_format::Tiff, 0, true, false, true, known), f::TiffCompressed);
}

TEST(SaveSettings, JpegTakesQualityScansAndGreyScale) {
    OptimizeProfile p = BuiltInProfile(3);
    p.JPEGQuality = 230;
    p.JPEGProgressive = 1;
    p.JPEGPasses = 3;
    p.GIFInterlaced = 1;
    EngineSaveSettings s = SaveSettingsFor(ChooseVariationSettings(p, still(24, 0)));
    EXPECT_EQ(s.formatNumber, f::Jpeg422);
    EXPECT_EQ(s.qualityFactor, 26);
    EXPECT_EQ(s.bitsPerPixel, 24);
    EXPECT_EQ(s.passes, 3);
    EXPECT_FALSE(s.interlaced);  // interlacing is a GIF option only
    p.JPEGProgressive = 0;
    p.JPEGGrayscale = 1;
    s = SaveSettingsFor(ChooseVariationSettings(p, still(24, 0)));
    EXPECT_EQ(s.passes, 0);
    EXPECT_EQ(s.bitsPerPixel, 8);
}

TEST(SaveSettings, GifTakesTheColourLimitOnlyWithTheOptimisedPalette) {
    OptimizeProfile p = BuiltInProfile(2);
    p.GIFMaxColors = 100;
    p.GIFInterlaced = 1;
    EngineSaveSettings s = SaveSettingsFor(ChooseVariationSettings(p, still(24, 1000)));
    EXPECT_EQ(s.formatNumber, f::Gif);
    EXPECT_EQ(s.bitsPerPixel, 8);
    EXPECT_EQ(s.colorCount, 100);
    EXPECT_EQ(s.qualityFactor, 0);
    EXPECT_TRUE(s.interlaced);
    EXPECT_FALSE(s.multiPage);
    for (int palette : {1, 8, 16, 64}) {
        p.GIFColorPalette = static_cast<std::int16_t>(palette);
        EXPECT_EQ(SaveSettingsFor(ChooseVariationSettings(p, still(24, 1000))).colorCount, 0) << palette;
    }
}

}  // namespace
}  // namespace kalmira
