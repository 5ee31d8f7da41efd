// Reading a profile from the settings file without the windows: defaults, conversions, the
// section of the slot only, and the file's location.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <unistd.h>

#include "rules/profilefile.h"

namespace kalmira {
namespace {

TEST(ProfileFile, AnEmptyFileGivesEachSlotsBuiltInProfile) {
    for (int slot = kFirstProfileSlot; slot <= kLastProfileSlot; ++slot) {
        const ProfileReading r = ReadProfileFromText("", slot);
        EXPECT_EQ(r.profile, BuiltInProfile(slot)) << slot;
        EXPECT_TRUE(r.problems.empty());
    }
    EXPECT_EQ(BuiltInProfile(6).FileFormat, kProfileSmallestFile);
    EXPECT_EQ(BuiltInProfile(5).GIFMaxPixelDepth, 2);
    EXPECT_THROW(ReadProfileFromText("", 0), std::out_of_range);
    EXPECT_THROW(ReadProfileFromText("", 7), std::out_of_range);
}

TEST(ProfileFile, ReadsTheSlotsSectionByTheStoresRules) {
    const std::string text =
        "\xEF\xBB\xBF[Optimize5]\nFileFormat=1\n"
        "[Optimize6]\r\nFileFormat=2\r\nJPEGQuality=1e2\r\nGIFMaxColors=17abc\r\nGIFMaxPixelDepth=x\r\n"
        "GIFPaletteFileName=C:\\pal\\web;1.pal\r\nJPEGPasses=3\r\nJPEGPasses=4\r\nJPEGYUV_Color=99999\r\n"
        "jpeggrayscale=1\r\n[Settings]\r\nJPEGProgressive=1\r\n";
    const ProfileReading r = ReadProfileFromText(text, 6);
    EXPECT_EQ(r.profile.FileFormat, kProfileAlwaysJpeg);
    EXPECT_EQ(r.profile.JPEGQuality, 100);     // leading-number parse, exponent included
    EXPECT_EQ(r.profile.GIFMaxColors, 17);     // the numeric prefix
    EXPECT_EQ(r.profile.GIFMaxPixelDepth, 0);  // no number at all reads as 0, as the windows read it
    EXPECT_EQ(r.profile.GIFPaletteFileName, "C:\\pal\\web;1.pal");
    EXPECT_EQ(r.profile.JPEGPasses, 4);        // the last of a repeated key
    EXPECT_EQ(r.profile.JPEGGrayscale, 0);     // keys are case-sensitive
    EXPECT_EQ(r.profile.JPEGProgressive, 0);   // another section's key
    // Out of 16-bit range: the default stays and the reader says why.
    EXPECT_EQ(r.profile.JPEGYUV_Color, 1);
    ASSERT_EQ(r.problems.size(), 1u);
    EXPECT_EQ(r.problems[0], "Optimize6/JPEGYUV_Color = \"99999\" is out of range; the default 1 is used");
    EXPECT_EQ(ReadProfileFromText(text, 5).profile.FileFormat, kProfileAlwaysGif);
}

class ProfileFileOnDisk : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() / ("kalmira-profilefile-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::filesystem::path dir_;
};

TEST_F(ProfileFileOnDisk, MissingFileGivesDefaultsAndAFolderIsRefused) {
    EXPECT_EQ(ReadProfileFromFile(dir_ / "none.ini", 6).profile, BuiltInProfile(6));
    try {
        ReadProfileFromFile(dir_, 6);
        FAIL() << "a folder was read as a settings file";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("it is a folder"), std::string::npos) << e.what();
    }
    std::ofstream(dir_ / "s.ini") << "[Optimize6]\nGIFMaxColors=64\n";
    EXPECT_EQ(ReadProfileFromFile(dir_ / "s.ini", 6).profile.GIFMaxColors, 64);
}

TEST_F(ProfileFileOnDisk, TheUserFileFollowsXdgConfigHome) {
    const char* before = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = before ? before : "";
    ::setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
    EXPECT_EQ(UserSettingsFile(), dir_ / "Kalmira" / "Kalmira 4.2.ini");
    ::setenv("XDG_CONFIG_HOME", "relative", 1);
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    ::setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(UserSettingsFile(), std::filesystem::path("/home/someone/.config/Kalmira/Kalmira 4.2.ini"));
    ::setenv("HOME", home.c_str(), 1);
    if (before)
        ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    else
        ::unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
}  // namespace kalmira
