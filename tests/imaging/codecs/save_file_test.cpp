// Saving to a file replaces the target only by a complete new file: the old file's bytes stay
// with whoever still holds them, and nothing of the attempt is left beside it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "codecs/registry.h"
#include "core/error.h"

using namespace imaging;
namespace fs = std::filesystem;

namespace {

Bytes contentOf(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

std::set<std::string> namesIn(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.insert(e.path().filename().string());
    return names;
}

struct Folder {
    fs::path path;
    Folder() {
        std::string pattern = (fs::temp_directory_path() / "kalmira-save-XXXXXX").string();
        path = mkdtemp(pattern.data()) ? fs::path(pattern) : fs::path();
    }
    ~Folder() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
};

Image picture(int seed) {
    Bitmap b(6, 4, 24);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x) b.setPixel(x, y, makeRgb(x * 40, y * 60, seed));
    return Image::fromBitmap(std::move(b));
}

TEST(SaveFile, ANewFileReplacesTheTargetWithoutRewritingItInPlace) {
    Folder dir;
    ASSERT_FALSE(dir.path.empty());
    const fs::path target = dir.path / "picture.bmp";
    const fs::path link = dir.path / "link.bmp";
    SaveOptions o;
    o.format = format::BmpWindows;
    saveFile(target, picture(1), o);
    const Bytes old = contentOf(target);
    ASSERT_FALSE(old.empty());
    fs::create_hard_link(target, link);

    saveFile(target, picture(2), o);
    // A save writing into the old file would have changed the linked name's bytes too.
    EXPECT_EQ(contentOf(link), old);
    EXPECT_EQ(contentOf(target), saveMemory(picture(2), o));
    EXPECT_EQ(fs::hard_link_count(target), 1u);
    EXPECT_EQ(namesIn(dir.path), (std::set<std::string>{"picture.bmp", "link.bmp"}));
}

TEST(SaveFile, AFailedSaveLeavesTheOldFileAndNoTemporary) {
    Folder dir;
    ASSERT_FALSE(dir.path.empty());
    const fs::path target = dir.path / "picture.png";
    SaveOptions o;
    o.format = format::Png;
    saveFile(target, picture(1), o);
    const Bytes old = contentOf(target);
    try {
        saveFile(target, Image{}, o);
        FAIL() << "an empty image was saved";
    } catch (const Error& e) {
        EXPECT_EQ(e.code(), ErrorCode::NoImage);
    }
    // A target in a folder that does not exist: the write itself fails.
    try {
        saveFile(dir.path / "missing" / "picture.png", picture(2), o);
        FAIL() << "a file was saved into a missing folder";
    } catch (const Error& e) {
        EXPECT_EQ(e.code(), ErrorCode::WriteFailed);
    }
    EXPECT_EQ(contentOf(target), old);
    EXPECT_EQ(namesIn(dir.path), std::set<std::string>{"picture.png"});
}

// A device takes the bytes itself and stays a device; a link stays a link to the new picture.
TEST(SaveFile, DevicesAndLinksAreWrittenThroughNotReplaced) {
    SaveOptions o;
    o.format = format::BmpWindows;
    saveFile("/dev/null", picture(1), o);
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
    if (fs::exists("/dev/full")) {
        try {
            saveFile("/dev/full", picture(1), o);
            FAIL() << "a full device took the picture";
        } catch (const Error& e) {
            EXPECT_EQ(e.code(), ErrorCode::WriteFailed);
            EXPECT_NE(std::string(e.what()).find("No space left on device"), std::string::npos) << e.what();
        }
        EXPECT_TRUE(fs::is_character_file("/dev/full"));
    }
    Folder dir;
    ASSERT_FALSE(dir.path.empty());
    const fs::path target = dir.path / "picture.bmp";
    const fs::path link = dir.path / "shortcut.bmp";
    saveFile(target, picture(1), o);
    fs::create_symlink(target, link);
    saveFile(link, picture(2), o);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(contentOf(target), saveMemory(picture(2), o));
    EXPECT_EQ(namesIn(dir.path), (std::set<std::string>{"picture.bmp", "shortcut.bmp"}));
}

}  // namespace
