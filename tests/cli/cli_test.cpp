// kalmira-cli as scripts see it: exit status, one "key: value" per line, messages on stderr.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

#include "codecs/registry.h"
#include "core/bitmap.h"
#include "core/error.h"
#include "test_data.h"

namespace fs = std::filesystem;

namespace {

struct CliResult {
    int status;
    std::string out, err;
    std::map<std::string, std::string> values;
    std::vector<std::string> keys;
};

std::string quoted(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::string slurp(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

class Cli : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("kalmira-cli-test-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    CliResult run(const std::vector<std::string>& args) {
        std::string cmd = quoted(kalmira::testing::cliProgram());
        for (const std::string& a : args) cmd += " " + quoted(a);
        cmd += " >" + quoted((dir_ / "out.txt").string()) + " 2>" + quoted((dir_ / "err.txt").string());
        const int raw = std::system(cmd.c_str());
        CliResult r{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp(dir_ / "out.txt"), slurp(dir_ / "err.txt"), {}, {}};
        std::istringstream lines(r.out);
        for (std::string line; std::getline(lines, line);) {
            const auto colon = line.find(": ");
            if (colon == std::string::npos) continue;
            r.keys.push_back(line.substr(0, colon));
            r.values[line.substr(0, colon)] = line.substr(colon + 2);
        }
        return r;
    }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    // A PNG of five colours, written by the engine.
    std::string fiveColourPng() {
        imaging::Bitmap bmp(10, 6, 24);
        const imaging::Rgb colors[] = {imaging::makeRgb(255, 0, 0), imaging::makeRgb(0, 128, 0),
                                       imaging::makeRgb(3, 4, 5), imaging::makeRgb(200, 200, 90),
                                       imaging::makeRgb(17, 170, 255)};
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 10; ++x) bmp.setPixel(x, y, colors[(x + y) % 5]);
        imaging::SaveOptions save;
        save.format = imaging::format::Png;
        const std::string p = path("five.png");
        imaging::saveFile(p, imaging::Image::fromBitmap(bmp), save);
        return p;
    }

    fs::path dir_;
};

TEST_F(Cli, BadCommandLinesExitWithTwoAndTheUsage) {
    const std::string in = fiveColourPng(), out = path("out.gif");
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"frobnicate"},
        {"info"},
        {"info", in, in},
        {"convert", in},
        {"convert", in, out},
        {"convert", in, out, "--format", "999"},
        {"convert", in, out, "--format", "gifx"},
        {"convert", in, out, "--format", "101"},
        {"convert", in, out, "--format", "webp", "--quality", "101"},
        {"convert", in, out, "--format", "webp", "--effort", "7"},
        {"convert", in, out, "--format", "avif", "--effort", "11"},
        {"convert", in, out, "--format", "bmp", "--target-size", "1000"},
        {"convert", in, out, "--format", "png", "--target-size", "1000"},
        {"convert", in, out, "--format", "jpeg", "--target-size", "0"},
        {"convert", in, out, "--format", "jpeg", "--target-size", "12k"},
        {"convert", in, out, "--format", "webp", "--lossless", "--target-size", "1000"},
        {"convert", in, out, "--format"},
        {"convert", in, out, "--format", "2", "--format", "2"},
        {"convert", in, out, "--format", "2", "--bits", "9"},
        {"convert", in, out, "--format", "2", "--bits", "12"},
        {"convert", in, out, "--format", "2", "--palette", "3"},
        {"convert", in, out, "--format", "2", "--dither", "8"},
        {"convert", in, out, "--format", "2", "--colors", "-1"},
        {"convert", in, out, "--format", "2", "--colors", "300"},
        {"convert", in, out, "--format", "10", "--qfactor", "1"},
        {"convert", in, out, "--format", "2", "--transparent", "12345"},
        {"convert", in, out, "--format", "2", "--transparent", "GG0000"},
        {"convert", in, out, "--format", "2", "--interlaced=1"},
        {"convert", in, out, "--format", "2", "--sharpen"},
    };
    for (const auto& args : cases) {
        std::string joined;
        for (const auto& a : args) joined += a + " ";
        const CliResult r = run(args);
        EXPECT_EQ(r.status, 2) << joined;
        EXPECT_NE(r.err.find("usage:"), std::string::npos) << joined;
        EXPECT_TRUE(r.out.empty()) << joined;
    }
    EXPECT_FALSE(fs::exists(out));
}

TEST_F(Cli, FilesTheEngineRefusesExitWithOneAndOneLine) {
    {
        std::ofstream junk(path("junk.gif"), std::ios::binary);
        junk << "this is not an image at all";
    }
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"info", path("missing.png")}, {"info", path("junk.gif")},
          {"convert", path("junk.gif"), path("x.gif"), "--format", "2"},
          {"convert", path("missing.png"), path("x.png"), "--format", "75"}}) {
        const CliResult r = run(args);
        EXPECT_EQ(r.status, 1) << args[1];
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_TRUE(r.out.empty());
    }
}

// The message says what happened: a folder is named a folder, and a write that fails gives
// the system's reason (no space, not a folder), never a bare "cannot write" or "out of memory".
TEST_F(Cli, MessagesGiveTheReason) {
    const std::string in = fiveColourPng();
    const CliResult folder = run({"info", dir_.string()});
    EXPECT_EQ(folder.status, 1);
    EXPECT_NE(folder.err.find("it is a folder, not a file"), std::string::npos) << folder.err;
    EXPECT_EQ(folder.err.find("out of memory"), std::string::npos) << folder.err;

    const CliResult full = run({"convert", in, "/dev/full", "--format", "75"});
    EXPECT_EQ(full.status, 1);
    EXPECT_NE(full.err.find("No space left on device"), std::string::npos) << full.err;

    const CliResult notFolder = run({"convert", in, in + "/out.png", "--format", "75"});
    EXPECT_EQ(notFolder.status, 1);
    EXPECT_NE(notFolder.err.find("Not a directory"), std::string::npos) << notFolder.err;

    // The engine's own save says the same.
    imaging::SaveOptions save;
    save.format = imaging::format::Png;
    try {
        imaging::saveFile(in + "/out.png", imaging::loadFile(in), save);
        ADD_FAILURE() << "saved into a file as if it were a folder";
    } catch (const imaging::Error& e) {
        EXPECT_NE(std::string(e.what()).find("Not a directory"), std::string::npos) << e.what();
    }
}

// convert replaces its output only when everything it reports has succeeded: under any memory
// limit, a run that fails leaves the previous output as it was. The limits are swept from where
// the run first succeeds downwards, through the stretch where measuring the result (after the
// encoding) is what runs out of memory.
TEST_F(Cli, AConvertThatFailsLeavesThePreviousOutput) {
    imaging::Bitmap bmp(800, 600, 24);
    for (int y = 0; y < bmp.height(); ++y)
        for (int x = 0; x < bmp.width(); ++x)
            bmp.setPixel(x, y, imaging::makeRgb((x * 7 + y) & 0xFF, (y * 3) & 0xFF, ((x ^ y) * 5) & 0xFF));
    imaging::SaveOptions save;
    save.format = imaging::format::Png;
    imaging::saveFile(path("big.png"), imaging::Image::fromBitmap(std::move(bmp)), save);
    const std::string old = "the previous output";
    const auto convertUnder = [&](long kib) {
        std::ofstream(path("out.jpg"), std::ios::binary | std::ios::trunc) << old;
        const std::string cmd = "ulimit -v " + std::to_string(kib) + "; exec " + quoted(kalmira::testing::cliProgram()) +
                                " convert " + quoted(path("big.png")) + " " + quoted(path("out.jpg")) +
                                " --format 10 >/dev/null 2>" + quoted(path("err.txt"));
        const int raw = std::system(("sh -c " + quoted(cmd)).c_str());
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    };
    // The smallest limit (in steps of 1 MB) under which the conversion succeeds.
    long low = 16 * 1024, high = 4 * 1024 * 1024;
    ASSERT_EQ(convertUnder(high), 0) << slurp(path("err.txt"));
    while (high - low > 1024) {
        const long middle = (low + high) / 2;
        (convertUnder(middle) == 0 ? high : low) = middle;
    }
    int failures = 0;
    for (long kib = high - 1024; kib > high - 12 * 1024 && kib > 0; kib -= 1024) {
        const int status = convertUnder(kib);
        if (status == 0) continue;
        // Near the bottom the program cannot even start (its libraries do not map): any failure
        // counts, as long as it leaves the output alone.
        ++failures;
        const std::string now = slurp(path("out.jpg"));
        EXPECT_TRUE(now == old) << "replaced (" << now.size() << " bytes) by a run that failed under " << kib
                                << " KiB: " << slurp(path("err.txt"));
    }
    EXPECT_GT(failures, 0);
}

TEST_F(Cli, ConvertKeepsFiveColoursExactlyAndInfoReadsTheResult) {
    const std::string in = fiveColourPng(), out = path("five.gif");
    const CliResult r = run({"convert", in, out, "--format", "2", "--bits", "4", "--colors", "5", "--interlaced"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.keys, (std::vector<std::string>{"file_size", "bits", "unique_colors", "psnr", "ssim", "ms", "cpu_ms"}));
    EXPECT_EQ(r.values.at("bits"), "4");
    EXPECT_EQ(r.values.at("unique_colors"), "5");
    EXPECT_EQ(r.values.at("psnr"), "lossless");
    EXPECT_EQ(r.values.at("ssim"), "1.00000");
    EXPECT_EQ(std::stoull(r.values.at("file_size")), fs::file_size(out));

    const CliResult info = run({"info", out});
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_EQ(info.keys,
              (std::vector<std::string>{"format", "width", "height", "bits", "pages", "animated", "file_size"}));
    EXPECT_EQ(info.values.at("format"), "2");
    EXPECT_EQ(info.values.at("width"), "10");
    EXPECT_EQ(info.values.at("height"), "6");
    EXPECT_EQ(info.values.at("animated"), "0");
    EXPECT_EQ(info.values.at("file_size"), r.values.at("file_size"));
}

TEST_F(Cli, FewerColoursCostQuality) {
    const std::string in = fiveColourPng();
    const CliResult two = run({"convert", in, path("two.gif"), "--format", "2", "--bits", "1", "--colors", "2"});
    ASSERT_EQ(two.status, 0) << two.err;
    EXPECT_EQ(two.values.at("unique_colors"), "2");
    EXPECT_NE(two.values.at("psnr"), "lossless");
    EXPECT_GT(std::stod(two.values.at("psnr")), 0.0);
    EXPECT_LT(std::stod(two.values.at("ssim")), 1.0);
    EXPECT_GT(std::stod(two.values.at("ssim")), -1.0);

    const CliResult cmp = run({"compare", in, path("two.gif")});
    ASSERT_EQ(cmp.status, 0) << cmp.err;
    EXPECT_EQ(cmp.values.at("psnr"), two.values.at("psnr"));
}

TEST_F(Cli, WebFormatsByNameOrNumberLosslessAndLossy) {
    const std::string in = fiveColourPng();
    struct Case {
        std::vector<std::string> format;
        const char* number;
    } cases[] = {{{"--format", "webp"}, "160"}, {{"--format", "161"}, "161"}, {{"--format", "AVIF"}, "161"}};
    for (const Case& c : cases) {
        std::vector<std::string> args = {"convert", in, path("out.bin"), "--lossless", "--effort", "3"};
        args.insert(args.end(), c.format.begin(), c.format.end());
        const CliResult r = run(args);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.values.at("psnr"), "lossless") << c.number;
        EXPECT_EQ(r.values.at("bits"), "24");
        const CliResult info = run({"info", path("out.bin")});
        EXPECT_EQ(info.values.at("format"), c.number);
    }
    // Lossy at a low quality loses something, and a higher quality costs bytes.
    const CliResult low = run({"convert", in, path("low.webp"), "--format", "webp", "--quality", "5"});
    const CliResult high = run({"convert", in, path("high.webp"), "--format", "webp", "--quality", "95"});
    ASSERT_EQ(low.status, 0) << low.err;
    ASSERT_EQ(high.status, 0) << high.err;
    EXPECT_NE(low.values.at("psnr"), "lossless");
    EXPECT_LT(std::stoull(low.values.at("file_size")), std::stoull(high.values.at("file_size")));
}

TEST_F(Cli, TargetSizeReportsWhatFitsAndKeepsTheSmallestWhenNothingDoes) {
    // A picture with detail, so the sizes spread over the qualities.
    imaging::Bitmap bmp(96, 64, 24);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 96; ++x) bmp.setPixel(x, y, imaging::makeRgb(x * 2, (x * y) & 0xFF, y * 4));
    imaging::SaveOptions png;
    png.format = imaging::format::Png;
    const std::string in = path("detail.png");
    imaging::saveFile(in, imaging::Image::fromBitmap(bmp), png);

    const CliResult jpeg = run({"convert", in, path("fit.jpg"), "--format", "jpeg", "--target-size", "2500"});
    ASSERT_EQ(jpeg.status, 0) << jpeg.err;
    EXPECT_EQ(jpeg.values.at("target_size"), "2500");
    EXPECT_EQ(jpeg.values.at("fits"), "yes");
    EXPECT_LE(std::stoull(jpeg.values.at("file_size")), 2500u);
    EXPECT_EQ(std::stoull(jpeg.values.at("file_size")), fs::file_size(path("fit.jpg")));
    EXPECT_EQ(jpeg.values.at("setting").rfind("qfactor ", 0), 0u) << jpeg.values.at("setting");

    const CliResult gif = run({"convert", in, path("fit.gif"), "--format", "gif", "--target-size", "3000", "--dither", "1"});
    ASSERT_EQ(gif.status, 0) << gif.err;
    EXPECT_EQ(gif.values.at("fits"), "yes");
    EXPECT_LE(std::stoull(gif.values.at("file_size")), 3000u);
    EXPECT_EQ(gif.values.at("setting").rfind("colors ", 0), 0u) << gif.values.at("setting");

    const CliResult none = run({"convert", in, path("tiny.webp"), "--format", "webp", "--target-size", "10"});
    ASSERT_EQ(none.status, 0) << none.err;
    EXPECT_EQ(none.values.at("fits"), "no");
    EXPECT_EQ(none.values.at("setting"), "quality 0");
    EXPECT_NE(none.err.find("nothing fits 10 bytes"), std::string::npos) << none.err;
    EXPECT_EQ(std::stoull(none.values.at("file_size")), fs::file_size(path("tiny.webp")));
}

}  // namespace
