// The reader of GNU message catalogues: our own small catalogues in both byte orders, the
// catalogue Debian ships for the scanner backends when it is installed, and files that point
// outside themselves.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

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
