// The settings file's text form: what a hand-written file gives, and that every value the
// program writes comes back unchanged.
#include "rules/initext.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kalmira::settings {

void PrintTo(const IniEntry& e, std::ostream* out) { *out << '[' << e.section << "] " << e.key << "=<" << e.value << '>'; }

namespace {

TEST(IniText, ReadsWhatAHandWrittenFileMeans) {
    const std::string text =
        "\xEF\xBB\xBFtop=1\r\n"
        "; comment\n"
        "# also a comment\n"
        "  [ Settings ]  \n"
        "InitDir = C:\\pal\\web.pal \n"
        "File=/a;b #c.gif\n"
        "Empty=\n"
        "Quoted=\"a\\\"b\\\\c\\n\\t\\x41\\q\"\n"
        "Half=\"open\n"
        "no equals sign\n"
        "=no key\n"
        "[Broken\n"
        "k=v=w\n"
        "[]\n"
        "late=1";
    const std::vector<IniEntry> expected = {
        {"", "top", "1"},
        {"Settings", "InitDir", "C:\\pal\\web.pal"},
        {"Settings", "File", "/a;b #c.gif"},
        {"Settings", "Empty", ""},
        {"Settings", "Quoted", "a\"b\\c\n\tA\\q"},
        {"Settings", "Half", "\"open"},
        {"Broken", "k", "v=w"},
        {"", "late", "1"},
    };
    EXPECT_EQ(ParseIniText(text), expected);
}

TEST(IniText, QuotesOnlyWhatWouldNotSurvive) {
    EXPECT_EQ(EncodeIniValue("C:\\pal\\web.pal"), "C:\\pal\\web.pal");
    EXPECT_EQ(EncodeIniValue("a;b#c=d\"e"), "a;b#c=d\"e");
    EXPECT_EQ(EncodeIniValue(""), "");
    EXPECT_EQ(EncodeIniValue(" x"), "\" x\"");
    EXPECT_EQ(EncodeIniValue("\"x\""), "\"\\\"x\\\"\"");
    EXPECT_EQ(EncodeIniValue("a\nb\\"), "\"a\\nb\\\\\"");
    EXPECT_EQ(EncodeIniValue(std::string("\x01", 1)), "\"\\x01\"");
}

TEST(IniText, EveryWrittenEntryReadsBack) {
    const std::vector<IniEntry> entries = {
        {"", "top", " spaced "},
        {"Settings", "InitDir", "C:\\dir\\"},
        {"Settings", "File0", std::string("nul\0byte\r\n\t\"", 12)},
        {"Optimize1", "GIFPaletteFileName", "\"quoted\""},
        {"", "again", "x"},  // a key outside any section after a section
        {"Settings", "ü", "ä ß €"},
    };
    EXPECT_EQ(ParseIniText(FormatIniText(entries)), entries);
}

}  // namespace
}  // namespace kalmira::settings
