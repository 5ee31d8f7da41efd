// The shared routines: folder of a path, colour texts, dithering maps, animation test, temp files.
#include "common/globals.h"
#include "common/routines.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>

namespace kalmira {
namespace {

TEST(GetFolderOfPath, CutsAfterTheLastSeparator) {
    EXPECT_EQ(GetFolderOfPath(QStringLiteral("C:\\a\\b.gif")), QStringLiteral("C:\\a\\"));
    EXPECT_EQ(GetFolderOfPath(QStringLiteral("/home/u/b.gif")), QStringLiteral("/home/u/"));
    EXPECT_EQ(GetFolderOfPath(QStringLiteral("/home/u\\x/b.gif")), QStringLiteral("/home/u\\x/"));
    EXPECT_EQ(GetFolderOfPath(QStringLiteral("/home/u/x\\b.gif")), QStringLiteral("/home/u/x\\"));
    EXPECT_EQ(GetFolderOfPath(QStringLiteral("b.gif")), QString());
    EXPECT_EQ(GetFolderOfPath(QString()), QString());
    EXPECT_EQ(GetFolderOfPath(QStringLiteral("/")), QStringLiteral("/"));
}

TEST(ColorTexts, SplitRedInTheLowByte) {
    // Hex digits FF8000: blue FF, green 80, red 00.
    EXPECT_EQ(ColorToRgbText(0xFF8000), QStringLiteral("0, 128, 255"));
    EXPECT_EQ(ColorToDigits(0xFF8000), QStringLiteral("000128255"));
    EXPECT_EQ(ColorToRgbText(0x0000FF), QStringLiteral("255, 0, 0"));
    EXPECT_EQ(ColorToDigits(0), QStringLiteral("000000000"));
    EXPECT_EQ(ColorToDigits(0x010203), QStringLiteral("003002001"));
    EXPECT_EQ(ColorToRgbText(0xFFFFFF), QStringLiteral("255, 255, 255"));
}

TEST(ColorTexts, PaletteReferencesTakeTheFirstTwoHexDigitsAsBlue) {
    // 0x1000000 + 5 is written "1000005": red "05", green "00", blue "10".
    EXPECT_EQ(ColorToRgbText(0x1000005), QStringLiteral("5, 0, 16"));
}

TEST(DitherMaps, FollowTheListOrderAndRoundTrip) {
    const std::int16_t listIndexOfCode[] = {0, 2, 4, 3, 5, 6, 7, 1};
    for (std::int16_t code = 0; code < 8; ++code) {
        EXPECT_EQ(DitherCodeToListIndex(code), listIndexOfCode[code]) << "code " << code;
        EXPECT_EQ(ListIndexToDitherCode(DitherCodeToListIndex(code)), code) << "code " << code;
    }
    for (std::int16_t index = 0; index < 8; ++index) {
        EXPECT_EQ(DitherCodeToListIndex(ListIndexToDitherCode(index)), index) << "index " << index;
    }
    for (std::int16_t outside : {std::int16_t(-1), std::int16_t(8), std::int16_t(32767), std::int16_t(-32768)}) {
        EXPECT_EQ(DitherCodeToListIndex(outside), 0);
        EXPECT_EQ(ListIndexToDitherCode(outside), 0);
    }
}

TEST(IsAnimatedImage, AnimationFlagOrSeveralGifPages) {
    EXPECT_TRUE(IsAnimatedImage(true, 1, 0));
    EXPECT_TRUE(IsAnimatedImage(false, 2, kEngineFormatGif));
    EXPECT_FALSE(IsAnimatedImage(false, 1, kEngineFormatGif));
    EXPECT_FALSE(IsAnimatedImage(false, 5, 7));  // a multi-page TIFF is not an animation
}

TEST(TempFiles, CreatedUniqueAndDeletedOnlyWhilePending) {
    TempFilePending = false;
    const QString first = CreateTempFileName();
    EXPECT_TRUE(TempFilePending);
    const QString second = CreateTempFileName();
    EXPECT_NE(first, second);
    const QFileInfo info(first);
    EXPECT_TRUE(info.exists());
    EXPECT_EQ(info.size(), 0);
    EXPECT_EQ(info.absolutePath(), QFileInfo(QDir::tempPath()).absoluteFilePath());
    EXPECT_TRUE(info.fileName().startsWith(QStringLiteral("km")));

    DeleteTempFile(first);
    EXPECT_FALSE(QFileInfo::exists(first));
    EXPECT_FALSE(TempFilePending);
    // Not pending any more: the second file is left alone, and the flag stays clear.
    DeleteTempFile(second);
    EXPECT_TRUE(QFileInfo::exists(second));
    EXPECT_FALSE(TempFilePending);
    QFile::remove(second);
}

}  // namespace
}  // namespace kalmira
