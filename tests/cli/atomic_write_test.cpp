// Outputs are written whole or not at all: racing writers, a full disk, and the file's mode.
#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "codecs/registry.h"
#include "core/bitmap.h"
#include "core/error.h"
#include "test_data.h"

namespace fs = std::filesystem;

namespace {

std::string slurp(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

std::string quoted(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::vector<std::string> leftovers(const fs::path& folder) {
    std::vector<std::string> found;
    for (const auto& e : fs::directory_iterator(folder))
        if (e.path().filename().string().find(".kalmira-") != std::string::npos) found.push_back(e.path().string());
    return found;
}

class AtomicWrite : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("kalmira-atomic-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        if (mounted_) ::umount2(mount_.c_str(), MNT_DETACH);
        fs::remove_all(dir_);
    }
    // A noisy picture, so its PNG and JPEG are large.
    fs::path noisyPng(const std::string& name, int width, int height) {
        imaging::Bitmap bmp(width, height, 24);
        unsigned state = 12345;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                state = state * 1103515245u + 12345u;
                bmp.setPixel(x, y, state >> 8 & 0xFFFFFF);
            }
        imaging::SaveOptions save;
        save.format = imaging::format::Png;
        imaging::saveFile(dir_ / name, imaging::Image::fromBitmap(bmp), save);
        return dir_ / name;
    }
    fs::path dir_, mount_;
    bool mounted_ = false;
};

TEST_F(AtomicWrite, RacingWritersLeaveOneWholeFileAndNoTemporaries) {
    const fs::path target = dir_ / "race.bin";
    const std::string small(1000, 'a'), large(300000, 'b');
    std::atomic<bool> done{false};
    std::atomic<int> mixed{0}, reads{0};
    std::thread reader([&] {
        while (!done.load()) {
            std::ifstream file(target, std::ios::binary);
            if (!file) continue;  // not written yet
            std::ostringstream content;
            content << file.rdbuf();
            // Empty counts too: a rename of a temporary another writer had just truncated.
            if (const std::string seen = content.str(); seen != small && seen != large) ++mixed;
            ++reads;
        }
    });
    auto writer = [&](const std::string& content) {
        for (int i = 0; i < 200; ++i)
            imaging::writeFileAtomically(target, imaging::ByteView(reinterpret_cast<const std::uint8_t*>(content.data()), content.size()));
    };
    std::thread a(writer, small), b(writer, large);
    a.join();
    b.join();
    done = true;
    reader.join();
    EXPECT_EQ(mixed.load(), 0) << "of " << reads.load() << " reads";
    const std::string last = slurp(target);
    EXPECT_TRUE(last == small || last == large);
    EXPECT_TRUE(leftovers(dir_).empty());
}

TEST_F(AtomicWrite, TwoConvertProcessesWritingOneOutput) {
    const fs::path a = noisyPng("a.png", 24, 18), b = noisyPng("b.png", 16, 12);
    const fs::path target = dir_ / "out.img";
    const std::string cli = quoted(kalmira::testing::cliProgram());
    ASSERT_EQ(std::system((cli + " convert " + quoted(a) + " " + quoted(dir_ / "a.gif") + " --format 2 >/dev/null").c_str()), 0);
    ASSERT_EQ(std::system((cli + " convert " + quoted(b) + " " + quoted(dir_ / "b.jpg") + " --format 10 >/dev/null").c_str()), 0);
    const std::string gif = slurp(dir_ / "a.gif"), jpg = slurp(dir_ / "b.jpg");
    const std::string round = cli + " convert " + quoted(a) + " " + quoted(target) + " --format 2 >/dev/null & " + cli +
                              " convert " + quoted(b) + " " + quoted(target) + " --format 10 >/dev/null; wait";
    for (int i = 0; i < 25; ++i) {
        ASSERT_EQ(std::system(("bash -c " + quoted(round)).c_str()), 0);
        const std::string now = slurp(target);
        ASSERT_TRUE(now == gif || now == jpg) << "round " << i << ": " << now.size() << " bytes, neither output";
    }
    EXPECT_TRUE(leftovers(dir_).empty());
}

TEST_F(AtomicWrite, AReplacedFileKeepsItsModeAndANewOneFollowsTheUmask) {
    const std::string text = "x";
    const imaging::ByteView bytes(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    const mode_t mask = ::umask(022);
    imaging::writeFileAtomically(dir_ / "new", bytes);
    struct stat info {};
    ASSERT_EQ(::stat((dir_ / "new").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);
    ASSERT_EQ(::chmod((dir_ / "new").c_str(), 0640), 0);
    imaging::writeFileAtomically(dir_ / "new", bytes);
    ASSERT_EQ(::stat((dir_ / "new").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    ::umask(mask);
    try {
        imaging::writeFileAtomically(dir_ / "no-such-folder" / "f", bytes);
        FAIL() << "wrote into a missing folder";
    } catch (const imaging::Error& e) {
        EXPECT_NE(std::string(e.what()).find("No such file or directory"), std::string::npos) << e.what();
    }
}

TEST_F(AtomicWrite, AFullDiskKeepsTheOldFileWholeAndSaysWhy) {
    mount_ = dir_ / "small";
    fs::create_directories(mount_);
    if (::mount("tmpfs", mount_.c_str(), "tmpfs", 0, "size=96k") != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs here (" << std::strerror(errno)
                     << "); the full-disk case needs root in a system that allows mounts";
    mounted_ = true;
    const fs::path photo = noisyPng("photo.png", 120, 90);  // its JPEG is far larger than what is free
    const std::string cli = quoted(kalmira::testing::cliProgram());
    // An old output of 20 KB, then the rest of the file system filled.
    {
        std::ofstream old(mount_ / "old.jpg", std::ios::binary);
        old << std::string(20000, 'o');
    }
    {
        std::ofstream filler(mount_ / "filler", std::ios::binary);
        const std::string block(4096, 'f');
        while (filler.write(block.data(), static_cast<std::streamsize>(block.size())) && filler.flush()) {
        }
    }
    const std::string err = (dir_ / "err").string();
    const int raw = std::system((cli + " convert " + quoted(photo) + " " + quoted(mount_ / "old.jpg") +
                                 " --format 10 --qfactor 2 >/dev/null 2>" + quoted(err)).c_str());
    EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, 1);
    EXPECT_NE(slurp(err).find("No space left on device"), std::string::npos) << slurp(err);
    EXPECT_EQ(slurp(mount_ / "old.jpg"), std::string(20000, 'o'));
    EXPECT_TRUE(leftovers(mount_).empty());

    // A batch into the full disk: every file reported, none left partial.
    fs::create_directories(dir_ / "in");
    for (int i = 0; i < 3; ++i) fs::copy_file(photo, dir_ / "in" / ("p" + std::to_string(i) + ".png"));
    const int batch = std::system((cli + " batch --out " + quoted(mount_) + " " + quoted(dir_ / "in") + " >/dev/null 2>" +
                                   quoted(err)).c_str());
    EXPECT_EQ(WIFEXITED(batch) ? WEXITSTATUS(batch) : -1, 1);
    EXPECT_NE(slurp(err).find("No space left on device"), std::string::npos) << slurp(err);
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(fs::exists(mount_ / ("p" + std::to_string(i) + ".jpg")));
        EXPECT_FALSE(fs::exists(mount_ / ("p" + std::to_string(i) + ".gif")));
    }
    EXPECT_TRUE(leftovers(mount_).empty());
}

}  // namespace
