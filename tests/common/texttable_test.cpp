// The text table's file format, the shipped table's completeness, and LoadText's fallbacks.
#include "resources/kalmiraresources.h"
#include "common/globals.h"
#include "common/texts.h"
#include "common/texttable.h"

#include <gtest/gtest.h>

#include <QSet>

#include <climits>

namespace kalmira {
namespace {

class LanguageOffsetGuard {
public:
    explicit LanguageOffsetGuard(int offset) : saved_(LanguageOffset) { LanguageOffset = offset; }
    ~LanguageOffsetGuard() { LanguageOffset = saved_; }

private:
    int saved_;
};

const TextTable& shippedTable() {
    static const TextTable table = [] {
        InitKalmiraResources();
        return TextTable::loadDirectory(QStringLiteral(":/kalmira/text"));
    }();
    return table;
}

TEST(TextTableFormat, ReadsRowsAndEscapes) {
    TextTable table;
    table.addRows(QStringLiteral("# comment\n\n1000\t&File\r\n1001\tTab\\there\\nnext\n"
                                 "1002\t\\sleading and trailing\\s\n1003\tc:\\\\temp\\x\n"),
                  QStringLiteral("a.tsv"));
    EXPECT_TRUE(table.problems().isEmpty());
    EXPECT_EQ(table.size(), 4);
    EXPECT_EQ(table.text(1000), QStringLiteral("&File"));  // CR of a CRLF file is dropped
    EXPECT_EQ(table.text(1001), QStringLiteral("Tab\there\nnext"));
    EXPECT_EQ(table.text(1002), QStringLiteral(" leading and trailing "));
    EXPECT_EQ(table.text(1003), QStringLiteral("c:\\temp\\x"));  // unknown escape kept as written
}

TEST(TextTableFormat, ReportsDuplicatesAndBadRowsKeepingTheFirst) {
    TextTable table;
    table.addRows(QStringLiteral("1000\tfirst\n"), QStringLiteral("a.tsv"));
    table.addRows(QStringLiteral("1000\tsecond\nno tab here\nabc\ttext\n"), QStringLiteral("b.tsv"));
    ASSERT_EQ(table.problems().size(), 3);
    EXPECT_EQ(table.problems().at(0).file, QStringLiteral("b.tsv"));
    EXPECT_EQ(table.problems().at(0).line, 1);
    EXPECT_EQ(table.text(1000), QStringLiteral("first"));
    EXPECT_EQ(table.fileOf(1000), QStringLiteral("a.tsv"));
}

TEST(ShippedTable, HasNoDuplicateIdsOrBadRowsAcrossFiles) {
    const TextTable& table = shippedTable();
    ASSERT_GT(table.size(), 500);
    for (const TextTable::Problem& problem : table.problems()) {
        ADD_FAILURE() << problem.file.toStdString() << ":" << problem.line << ": " << problem.reason.toStdString();
    }
}

TEST(ShippedTable, EveryEnglishTextHasItsGermanTwinAndViceVersa) {
    const TextTable& table = shippedTable();
    for (int id : table.ids()) {
        if (id >= 1000 && id <= 9999) {
            EXPECT_TRUE(table.contains(id + kGermanLanguageOffset)) << "no German text for " << id;
        } else if (id >= 11000 && id <= 19999) {
            EXPECT_TRUE(table.contains(id - kGermanLanguageOffset)) << "no English text for " << id;
        } else {
            ADD_FAILURE() << "id " << id << " is outside 1000..9999 and 11000..19999";
        }
        EXPECT_FALSE(table.text(id).isEmpty()) << "empty text at " << id;
    }
}

// The ids the design quotes, with its English text, across the windows and messages.
TEST(ShippedTable, HoldsTheQuotedTexts) {
    const struct {
        int id;
        const char* english;
    } quoted[] = {
        {1000, "&File"},          {1001, "&New"},
        {1006, "Save &As..."},    {1069, "Variation &5"},
        {1130, "&?"},             {1139, "&About Brenvo..."},
        {1206, "Capture Screen Objects"},
        {1214, "Display Variation 5"},
        {1215, "Zoom"},           {1302, "&System Info..."},
        {1350, "About"},          {1512, "Keenfit GIF/JPEG"},
        {1595, "Batch Processing"},
        {1906, "&Hide Brenvo Application"},
        {1977, "&Cursors"},       {2021, "no palette"},
        {2124, "chan&ge..."},     {2137, "Jarvis"},
        {2234, "&No. Passes"},    {2415, "Zoom 400%"},
        {3303, "14.4 kbps (slow modem)"},
        {3308, "128 kbps (ISDNx2)"},
        {4250, "No Dithering"},   {4278, "no limit"},
        {5000, "brenvo.hlp"},     {5001, "All Graphics"},
        {5002, "An unexpected error occured: "},
        {5003, "Do you want to continue?"},
        {5004, "Error"},
        {5028, "Palette-File|*.pal|Palette from GIF|*.gif|Palette from TIFF|*.tif|Palette from PNG|*.png|Palette from BMP|*.bmp"},
        {5101, " could not be found."},
        {5110, "There are one or more files open. Do you really want to quit?"},
        {5124, "The master image cannot be saved!"},
        {5401, " unique Colors"}, {5403, "no limit"},
        {5409, " sec. (at "},     {5416, "Load and auto-optimize image..."},
        {5504, "No image manipulation on animated GIF possible"},
        {5702, "You have to select a palette file when choosing custom palette!"},
    };
    const TextTable& table = shippedTable();
    for (const auto& q : quoted) {
        EXPECT_EQ(table.text(q.id), QString::fromUtf8(q.english)) << "id " << q.id;
    }
    // The German side is real German, not a copy of the English.
    EXPECT_EQ(table.text(11000), QStringLiteral("&Datei"));
    EXPECT_EQ(table.text(15003), QStringLiteral("Möchten Sie fortfahren?"));
    // The three "no limit" texts are compared with each other by the colour-count boxes.
    EXPECT_EQ(table.text(14278), table.text(15403));
    EXPECT_EQ(table.text(15503), table.text(15403));
}

TEST(LoadText, AddsTheLanguageOffset) {
    {
        LanguageOffsetGuard english(0);
        EXPECT_EQ(LoadText(1000), QStringLiteral("&File"));
    }
    LanguageOffsetGuard german(kGermanLanguageOffset);
    EXPECT_EQ(LoadText(1000), QStringLiteral("&Datei"));
    EXPECT_EQ(LoadText(5004), QStringLiteral("Fehler"));
}

TEST(LoadText, MissingIdsAndOverflowGiveTheErrorText) {
    LanguageOffsetGuard german(kGermanLanguageOffset);
    EXPECT_EQ(LoadText(999), QStringLiteral("*error*"));
    EXPECT_EQ(LoadText(0), QStringLiteral("*error*"));  // id 10000 has no entry
    EXPECT_EQ(LoadText(-10000), QStringLiteral("*error*"));
    // id + offset beyond 32 bits is an overflow, answered like a missing entry
    EXPECT_EQ(LoadText(INT_MAX), QStringLiteral("*error*"));
    LanguageOffsetGuard huge(INT_MAX);
    EXPECT_EQ(LoadText(1000), QStringLiteral("*error*"));
}

TEST(LanguageOffset, FollowsTheEnvironment) {
    const QByteArray saved = qgetenv("KALMIRA_LANGUAGE");
    qputenv("KALMIRA_LANGUAGE", "en");
    EXPECT_EQ(LanguageOffsetFromEnvironment(), 0);
    qputenv("KALMIRA_LANGUAGE", "de");
    EXPECT_EQ(LanguageOffsetFromEnvironment(), kGermanLanguageOffset);
    qunsetenv("KALMIRA_LANGUAGE");
    EXPECT_EQ(LanguageOffsetFromEnvironment(), kGermanLanguageOffset);
    qputenv("KALMIRA_LANGUAGE", saved);
}

}  // namespace
}  // namespace kalmira
