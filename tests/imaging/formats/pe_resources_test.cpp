// Bitmap, icon and cursor resources read from a hand-built Windows program file, and files
// whose resource tree lies: a directory pointing back at itself, data past the end, a count
// no program has.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "core/error.h"
#include "formats/pe_resources.h"
#include "test_data.h"

using namespace imaging;

namespace {

Bytes readData(const std::string& name) {
    std::ifstream in(std::filesystem::path(kalmira::testing::testDataDir()) / "pe" / name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

ErrorCode codeOf(const Bytes& file, int kinds) {
    try {
        for (const pe::ResourceEntry& entry : pe::listResources(file, kinds)) pe::loadResource(file, entry);
    } catch (const Error& e) {
        return e.code();
    }
    return ErrorCode::Ok;
}

}  // namespace

TEST(PeResources, ListsEachKindAsSelected) {
    const Bytes file = readData("resources.exe");
    ASSERT_FALSE(file.empty());
    const auto all = pe::listResources(file, 7);
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].kind, pe::Bitmaps);
    EXPECT_EQ(all[0].name, "#1");
    EXPECT_EQ(all[0].language, 0x409u);
    EXPECT_EQ(all[1].kind, pe::Icons);
    EXPECT_EQ(all[2].kind, pe::Cursors);
    const auto iconsAndCursors = pe::listResources(file, pe::Icons | pe::Cursors);
    ASSERT_EQ(iconsAndCursors.size(), 2u);
    EXPECT_EQ(iconsAndCursors[0].kind, pe::Icons);
    EXPECT_EQ(iconsAndCursors[1].kind, pe::Cursors);
    EXPECT_TRUE(pe::listResources(file, 0).empty());
}

TEST(PeResources, DecodesBitmapIconAndCursor) {
    const Bytes file = readData("resources.exe");
    const auto all = pe::listResources(file, 7);
    ASSERT_EQ(all.size(), 3u);
    const Bitmap bitmap = pe::loadResource(file, all[0]);
    ASSERT_EQ(bitmap.width(), 6);
    ASSERT_EQ(bitmap.height(), 4);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 6; ++x) EXPECT_EQ(bitmap.pixel(x, y), x < 3 ? makeRgb(255, 0, 0) : makeRgb(0, 0, 255));
    }
    const Bitmap icon = pe::loadResource(file, all[1]);
    EXPECT_EQ(icon.width(), 3);
    EXPECT_EQ(icon.height(), 2);
    EXPECT_EQ(icon.pixel(2, 1), makeRgb(0, 255, 0));
    const Bitmap cursor = pe::loadResource(file, all[2]);
    EXPECT_EQ(cursor.width(), 2);
    EXPECT_EQ(cursor.pixel(0, 0), makeRgb(255, 255, 0));
}

TEST(PeResources, RefusesWhatIsNoProgram) {
    EXPECT_EQ(codeOf(Bytes{}, 7), ErrorCode::UnknownFormat);
    EXPECT_EQ(codeOf(Bytes(100, 'M'), 7), ErrorCode::UnknownFormat);
    Bytes png = {0x89, 'P', 'N', 'G', 13, 10, 26, 10};
    png.resize(200);
    EXPECT_EQ(codeOf(png, 7), ErrorCode::UnknownFormat);
}

TEST(PeResources, RefusesHostileTrees) {
    // A type directory that is the root again would be walked for ever.
    EXPECT_EQ(codeOf(readData("loop.exe"), 7), ErrorCode::Corrupt);
    EXPECT_EQ(codeOf(readData("past.exe"), 7), ErrorCode::Corrupt);
    EXPECT_EQ(codeOf(readData("many.exe"), 7), ErrorCode::Corrupt);
}

TEST(PeResources, EveryCutOfTheFileEndsInAnError) {
    const Bytes file = readData("resources.exe");
    // The last resource ends where the file's padding begins.
    const pe::ResourceEntry last = pe::listResources(file, 7).back();
    for (std::size_t n = 0; n < last.offset + last.size; ++n) {
        const Bytes cut(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(n));
        const ErrorCode code = codeOf(cut, 7);
        EXPECT_NE(code, ErrorCode::Ok) << "cut at " << n;
    }
}
