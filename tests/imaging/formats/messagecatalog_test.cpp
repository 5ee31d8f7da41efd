// The reader of GNU message catalogues: our own small catalogues in both byte orders, the
// catalogue Debian ships for the scanner backends when it is installed, and files that point
// outside themselves.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "core/error.h"
#include "formats/messagecatalog.h"

using namespace imaging;

namespace {

Bytes readFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

const std::filesystem::path kSeeds = KALMIRA_SOURCE_DIR "/fuzz/corpus/messagecatalog";

ErrorCode codeOf(const Bytes& data) {
    try {
        MessageCatalog::fromBytes(data);
    } catch (const Error& e) {
        return e.code();
    }
    return ErrorCode::Ok;
}

void putWord(Bytes& data, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) data[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace

TEST(MessageCatalog, TranslatesPlainTextsAndLeavesTheRest) {
    const MessageCatalog catalog = MessageCatalog::fromBytes(readFile(kSeeds / "small.mo"));
    EXPECT_EQ(catalog.size(), 5u);
    EXPECT_EQ(catalog.translate("Resolution"), "Auflösung");
    EXPECT_EQ(catalog.translate("Scan mode"), "Scanmodus");
    EXPECT_EQ(catalog.translate("Color"), "Farbe");
    // A text with plural forms gives its singular's first form; one in a context is not a plain text.
    EXPECT_EQ(catalog.translate("One file"), "Eine Datei");
    EXPECT_EQ(catalog.translate("Mode"), "Mode");
    EXPECT_EQ(catalog.translate("Unknown"), "Unknown");
    EXPECT_EQ(catalog.translate(""), "");

    const MessageCatalog big = MessageCatalog::fromBytes(readFile(kSeeds / "bigendian.mo"));
    EXPECT_EQ(big.size(), 2u);
    EXPECT_EQ(big.translate("Resolution"), "Auflösung");
    EXPECT_EQ(big.translate("Preview"), "Vorschau");
}

namespace {

using namespace std::string_literals;

// A catalogue of `entries` (original, translation), laid out as msgfmt does: the header, both
// tables, then the texts, each followed by a NUL; little-endian unless `bigEndian`.
Bytes catalogueOf(const std::vector<std::pair<std::string, std::string>>& entries, bool bigEndian = false) {
    const std::size_t count = entries.size(), originals = 28, translations = originals + 8 * count;
    Bytes data(translations + 8 * count, 0);
    const auto word = [&data, bigEndian](std::size_t at, std::uint32_t value) {
        putWord(data, at, value);
        if (bigEndian) std::reverse(data.begin() + static_cast<std::ptrdiff_t>(at), data.begin() + static_cast<std::ptrdiff_t>(at + 4));
    };
    word(0, 0x950412DE);
    word(8, static_cast<std::uint32_t>(count));
    word(12, static_cast<std::uint32_t>(originals));
    word(16, static_cast<std::uint32_t>(translations));
    const auto place = [&data, &word](std::size_t table, const std::string& text) {
        word(table, static_cast<std::uint32_t>(text.size()));
        word(table + 4, static_cast<std::uint32_t>(data.size()));
        data.insert(data.end(), text.begin(), text.end());
        data.push_back(0);
    };
    for (std::size_t i = 0; i < count; ++i) {
        place(originals + 8 * i, entries[i].first);
        place(translations + 8 * i, entries[i].second);
    }
    return data;
}

}  // namespace

// The awkward entries real catalogues hold. Whatever has no usable translation (untranslated,
// left empty by a fuzzy entry msgfmt dropped the text of, a plural without its first form, a
// text in a context) shows as the original, never as an empty or foreign text.
TEST(MessageCatalog, AwkwardEntriesLeaveTheOriginalVisible) {
    const MessageCatalog catalog = MessageCatalog::fromBytes(catalogueOf({
        {"", "Content-Type: text/plain; charset=UTF-8\nPlural-Forms: nplurals=2; plural=(n != 1);\n"},
        {"Untranslated", ""},
        {"Fuzzy", ""},
        {"One page\0%d pages"s, "Eine Seite\0%d Seiten"s},
        {"One sheet\0%d sheets"s, "\0%d Blätter"s},
        {"One line\0%d lines"s, ""},
        {"button\x04Open", "Öffnen (Knopf)"},
        {"Open", "Öffnen"},
        {"menu\x04Scan", "Scannen (Menü)"},
        {"Gamma", "Gamma-Korrektur"},
        {"Speed", "Geschwindigkeit"},
    }));
    struct Case {
        const char* text;
        const char* shown;
    } cases[] = {
        {"Untranslated", "Untranslated"},  {"Fuzzy", "Fuzzy"},
        {"One page", "Eine Seite"},        {"%d pages", "%d pages"},
        {"One sheet", "One sheet"},        {"One line", "One line"},
        {"Open", "Öffnen"},                {"Scan", "Scan"},
        {"button\x04Open", "button\x04Open"}, {"Gamma", "Gamma-Korrektur"},
        {"Speed", "Geschwindigkeit"},      {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(catalog.translate(c.text), c.shown) << c.text;
    // Only the texts with a translation of their own count.
    EXPECT_EQ(catalog.size(), 4u);

    // The same entries in the other order give the same texts: a context never shadows the plain
    // text, whichever comes first.
    const MessageCatalog reversed = MessageCatalog::fromBytes(catalogueOf({{"Open", "Öffnen"}, {"button\x04Open", "Öffnen (Knopf)"}}));
    EXPECT_EQ(reversed.translate("Open"), "Öffnen");
    EXPECT_EQ(reversed.size(), 1u);
}

// Catalogues larger than 64 KB in both byte orders: every byte of a length and an offset counts.
TEST(MessageCatalog, LargeCataloguesInBothByteOrders) {
    const std::string longText(70000, 'x');
    const std::string longTranslation(66000, 'y');
    for (const bool bigEndian : {false, true}) {
        const MessageCatalog catalog =
            MessageCatalog::fromBytes(catalogueOf({{longText, longTranslation}, {"Preview", "Vorschau"}}, bigEndian));
        EXPECT_EQ(catalog.size(), 2u) << bigEndian;
        EXPECT_EQ(catalog.translate(longText), longTranslation) << bigEndian;
        EXPECT_EQ(catalog.translate("Preview"), "Vorschau") << bigEndian;
    }
}

TEST(MessageCatalog, ReadsTheScannerBackendsCatalogueWhereItIsInstalled) {
    const std::filesystem::path installed = "/usr/share/locale/de/LC_MESSAGES/sane-backends.mo";
    if (!std::filesystem::exists(installed)) GTEST_SKIP() << "no German catalogue of the scanner backends";
    const MessageCatalog german = MessageCatalog::load("sane-backends", "de");
    EXPECT_GT(german.size(), 500u);
    EXPECT_EQ(german.translate("Scan mode"), "Scanmodus");
    EXPECT_EQ(german.translate("Hand-scanner simulation"), "Handscanner-Simulation");
    // No catalogue, or a name that would leave the folder: the texts stay as they are.
    EXPECT_EQ(MessageCatalog::load("sane-backends", "xx").size(), 0u);
    EXPECT_EQ(MessageCatalog::load("sane-backends", "../de").size(), 0u);
    EXPECT_EQ(MessageCatalog::load("sane-backends", "en").translate("Scan mode"), "Scan mode");
}

TEST(MessageCatalog, DataPointingOutsideItselfIsRefused) {
    const Bytes good = readFile(kSeeds / "small.mo");
    ASSERT_EQ(codeOf(good), ErrorCode::Ok);
    EXPECT_EQ(codeOf(Bytes(good.begin(), good.begin() + 20)), ErrorCode::Truncated);
    Bytes other = good;
    other[0] = 'G';
    EXPECT_EQ(codeOf(other), ErrorCode::UnknownFormat);
    Bytes many = good;
    putWord(many, 8, 0x7FFFFFFF);  // entries
    EXPECT_EQ(codeOf(many), ErrorCode::Corrupt);
    Bytes table = good;
    putWord(table, 16, static_cast<std::uint32_t>(good.size() - 4));  // translation table
    EXPECT_EQ(codeOf(table), ErrorCode::Corrupt);
    Bytes text = good;
    putWord(text, 28 + 8, 0xFFFFFF00);  // the second text's length
    EXPECT_EQ(codeOf(text), ErrorCode::Corrupt);
    Bytes far = good;
    putWord(far, 28 + 12, static_cast<std::uint32_t>(good.size()));  // the second text's offset
    EXPECT_EQ(codeOf(far), ErrorCode::Corrupt);
}
