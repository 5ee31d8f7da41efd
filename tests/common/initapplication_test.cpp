// Start-up state: the open-format list with its "All Graphics" row, the save formats, the help path.
#include "common/globals.h"

#include <gtest/gtest.h>

namespace kalmira {
namespace {

class InitApplicationTest : public ::testing::Test {
protected:
    void SetUp() override {
        LanguageOffset = 0;
        InitApplication();
    }
};

TEST_F(InitApplicationTest, TurnsErrorTrappingOnAndSetsTheHelpPath) {
    EXPECT_TRUE(ErrorTrapping);
    EXPECT_TRUE(HelpFilePath.endsWith(QStringLiteral("/brenvo.hlp"))) << HelpFilePath.toStdString();
}

TEST_F(InitApplicationTest, AllGraphicsRowJoinsEveryPatternInRowOrder) {
    ASSERT_EQ(OpenFormatNames.size(), kOpenFormatCount);
    ASSERT_EQ(OpenFormatPatterns.size(), kOpenFormatCount);
    EXPECT_EQ(OpenFormatNames[0], QStringLiteral("All Graphics"));
    // Every row's patterns in row order, each followed by ";" (the last one too).
    EXPECT_EQ(OpenFormatPatterns[0],
              QStringLiteral("*.gif;*.jpg;*.jff;*.jtf;*.jpeg;*.png;*.bmp;*.awd;*.cal;*.clp;*.cmp;*.cur;*.cut;"
                             "*.dgn;*.rdl;*.dxf;*.emf;*.eps;*.fpx;*.fxs;*.ica;*.ico;*.iff;*.itg;*.img;*.mac;*.msp;"
                             "*.pbm;*.pcd;*.pct;*.pcx;*.plt;*.hpgl;*.psd;*.ras;*.tga;*.tif;*.tiff;*.wmf;*.wpg;"
                             "*.xbm;*.xpm;*.xwd;"));
    EXPECT_EQ(OpenFormatPatterns[2], QStringLiteral("*.jpg;*.jff;*.jtf;*.jpeg"));
    EXPECT_EQ(OpenFormatNames[4], QStringLiteral("BMP Windows & OS/2 (BMP)"));
    EXPECT_EQ(OpenFormatPatterns[28], QStringLiteral("*.plt;*.hpgl"));
    EXPECT_EQ(OpenFormatNames[37], QStringLiteral("X Window Dump (XWD)"));
}

TEST_F(InitApplicationTest, AllGraphicsNameFollowsTheLanguage) {
    LanguageOffset = kGermanLanguageOffset;
    InitApplication();
    EXPECT_EQ(OpenFormatNames[0], QStringLiteral("Alle Grafikdateien"));
    EXPECT_EQ(OpenFormatNames[1], QStringLiteral("GIF (GIF)"));  // the format names are not translated
}

TEST_F(InitApplicationTest, SaveFormatsAsTabled) {
    ASSERT_EQ(SaveFormats.size(), 18u);
    // The web formats follow the sixteen, 24 or 32 bits each, with faces of their own.
    EXPECT_EQ(SaveFormats[16].FormatName, QStringLiteral("WebP"));
    EXPECT_EQ(SaveFormats[17].Extension, QStringLiteral("avif"));
    EXPECT_EQ(SaveFormats[17].PixelDepths, QStringLiteral("00000000011"));
    EXPECT_EQ(SaveFormats[16].FormatCode, 7);
    EXPECT_EQ(SaveFormats[17].FormatCode, 8);
    const SaveFormat& gif = SaveFormats[0];
    EXPECT_EQ(gif.FormatCode, 1);
    EXPECT_EQ(gif.PixelDepths, QStringLiteral("11111111000"));
    EXPECT_EQ(gif.FormatName, QStringLiteral("GIF"));
    EXPECT_EQ(gif.Extension, QStringLiteral("gif"));
    EXPECT_EQ(SaveFormats[2].FormatCode, 6);  // PNG
    // PNG offers 32 bits too, so an Original's alpha channel can be kept.
    EXPECT_EQ(SaveFormats[2].PixelDepths, QStringLiteral("10010001011"));
    EXPECT_EQ(SaveFormats[13].FormatName, QStringLiteral("TIFF"));
    EXPECT_EQ(SaveFormats[13].PixelDepths, QStringLiteral("11111111110"));
    EXPECT_EQ(SaveFormats[15].Extension, QStringLiteral("wpg"));
    for (const SaveFormat& format : SaveFormats) {
        EXPECT_EQ(format.PixelDepths.size(), 11) << format.FormatName.toStdString();
        EXPECT_GE(format.FormatCode, 1);
        EXPECT_LE(format.FormatCode, 8);  // 7 WebP, 8 AVIF
    }
}

}  // namespace
}  // namespace kalmira
