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
#include "color/icc_transform.h"
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

// A mistake is named once, with where the usage is; pages of usage would scroll it away.
TEST_F(Cli, BadCommandLinesExitWithTwoAndOneMessage) {
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
        {"convert", in, out, "--format", "jpeg", "--target-ssim", "0"},
        {"convert", in, out, "--format", "jpeg", "--target-ssim", "1.01"},
        {"convert", in, out, "--format", "jpeg", "--target-ssim", "high"},
        {"convert", in, out, "--format", "bmp", "--target-ssim", "0.9"},
        {"convert", in, out, "--format", "jpeg", "--target-ssim", "0.9", "--target-size", "1000"},
        {"convert", in, out, "--format", "jpeg", "--fast-jpeg=1"},
        {"convert", in, out, "--format"},
        {"convert", in, out, "--format", "2", "--format", "2"},
        {"convert", in, out, "--format", "2", "--bits", "9"},
        {"convert", in, out, "--format", "2", "--bits", "12"},
        {"convert", in, out, "--format", "2", "--palette", "3"},
        {"convert", in, out, "--format", "2", "--dither", "8"},
        {"convert", in, out, "--format", "2", "--colors", "-1"},
        {"convert", in, out, "--format", "2", "--colors", "300"},
        {"convert", in, out, "--format", "10", "--qfactor", "1"},
        {"convert", in, out, "--format", "jpeg", "--quality", "0"},
        {"convert", in, out, "--format", "jpeg", "--quality", "255"},
        {"convert", in, out, "--format", "jpeg", "--quality", "200", "--qfactor", "56"},
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
        EXPECT_EQ(r.err.find("usage:"), std::string::npos) << joined;
        // "kalmira-cli: the mistake" and "see kalmira-cli --help": two lines, nothing more.
        EXPECT_EQ(r.err.rfind("kalmira-cli: ", 0), 0u) << r.err;
        EXPECT_TRUE(r.err.ends_with("\nsee kalmira-cli --help\n")) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 2) << r.err;
        EXPECT_TRUE(r.out.empty()) << joined;
    }
    EXPECT_FALSE(fs::exists(out));
}

// --help after any command prints that command's usage on standard output and does nothing
// else, whatever else the line holds.
TEST_F(Cli, HelpAfterACommandShowsItsUsage) {
    const std::string in = fiveColourPng(), out = path("out.gif");
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--help"}, {"-h"}, {"help"}, {"convert", "--help"}, {"info", "-h"},
          {"convert", in, out, "--format", "2", "--help"}, {"compare", "--help"}}) {
        const CliResult r = run(args);
        EXPECT_EQ(r.status, 0) << args.back();
        EXPECT_EQ(r.out.rfind("usage: kalmira-cli info FILE\n", 0), 0u) << r.out;
        EXPECT_NE(r.out.find("  --quality Q "), std::string::npos);
        EXPECT_TRUE(r.err.empty()) << r.err;
    }
    EXPECT_FALSE(fs::exists(out));
}

// --quality has the quality slider's meaning: for JPEG the quality factor is 256 minus it, so
// --quality 200 writes exactly what --qfactor 56 writes, and more quality means a larger file.
TEST_F(Cli, QualityIsTheSlidersValue) {
    imaging::Bitmap bmp(64, 48, 24);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) bmp.setPixel(x, y, imaging::makeRgb(x * 4, y * 5, (x * y) % 256));
    imaging::SaveOptions save;
    save.format = imaging::format::Png;
    const std::string in = path("photo.png");
    imaging::saveFile(in, imaging::Image::fromBitmap(bmp), save);
    auto size = [&](const std::vector<std::string>& extra, const std::string& name) {
        std::vector<std::string> args{"convert", in, path(name), "--format", "10"};
        args.insert(args.end(), extra.begin(), extra.end());
        const CliResult r = run(args);
        EXPECT_EQ(r.status, 0) << r.err;
        return slurp(path(name));
    };
    const std::string byQuality = size({"--quality", "200"}, "q200.jpg");
    EXPECT_EQ(byQuality, size({"--qfactor", "56"}, "f56.jpg"));
    EXPECT_EQ(size({}, "default.jpg"), byQuality);
    EXPECT_EQ(size({"--quality", "30"}, "q30.jpg"), size({"--qfactor", "226"}, "f226.jpg"));
    EXPECT_GT(size({"--quality", "250"}, "q250.jpg").size(), size({"--quality", "30"}, "q30b.jpg").size());
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
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer reserves more address space than any limit here allows; the plain build runs this";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    GTEST_SKIP() << "AddressSanitizer reserves more address space than any limit here allows; the plain build runs this";
#endif
#endif
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
    EXPECT_EQ(cmp.values.at("ssim"), two.values.at("ssim"));
}

// compare measures as the captions and convert do: both pictures over the white matte, so a
// colour hidden under full transparency costs nothing and a soft edge counts as it shows.
TEST_F(Cli, CompareCompositesAlphaLikeConvert) {
    imaging::Bitmap soft(8, 4, 32), hidden(8, 4, 32);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x) {
            std::uint8_t* p = soft.row(y) + x * 4;
            p[0] = static_cast<std::uint8_t>(x * 30), p[1] = static_cast<std::uint8_t>(y * 60), p[2] = 90;
            p[3] = static_cast<std::uint8_t>(x < 4 ? 0 : 40 * x);  // transparent half, soft half
            std::uint8_t* q = hidden.row(y) + x * 4;
            std::copy_n(p, 4, q);
            if (x < 4) q[0] = 255, q[1] = 0, q[2] = 255;  // another colour where nothing shows
        }
    imaging::SaveOptions png;
    png.format = imaging::format::Png;
    imaging::saveFile(path("soft.png"), imaging::Image::fromBitmap(soft), png);
    imaging::saveFile(path("hidden.png"), imaging::Image::fromBitmap(hidden), png);

    const CliResult same = run({"compare", path("soft.png"), path("hidden.png")});
    ASSERT_EQ(same.status, 0) << same.err;
    EXPECT_EQ(same.values.at("psnr"), "inf");

    const CliResult jpeg = run({"convert", path("soft.png"), path("soft.jpg"), "--format", "10", "--qfactor", "200"});
    ASSERT_EQ(jpeg.status, 0) << jpeg.err;
    const CliResult cmp = run({"compare", path("soft.png"), path("soft.jpg")});
    ASSERT_EQ(cmp.status, 0) << cmp.err;
    EXPECT_EQ(cmp.values.at("psnr"), jpeg.values.at("psnr"));
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

TEST_F(Cli, TargetSsimReachesItOrSaysWhatTheBestReaches) {
    imaging::Bitmap bmp(96, 64, 24);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 96; ++x) bmp.setPixel(x, y, imaging::makeRgb(x * 2, (x * y) & 0xFF, y * 4));
    imaging::SaveOptions png;
    png.format = imaging::format::Png;
    const std::string in = path("detail.png");
    imaging::saveFile(in, imaging::Image::fromBitmap(bmp), png);

    for (const char* format : {"jpeg", "webp", "gif"}) {
        const CliResult r = run({"convert", in, path("q.bin"), "--format", format, "--target-ssim", "0.95"});
        ASSERT_EQ(r.status, 0) << format << ": " << r.err;
        EXPECT_EQ(r.values.at("target_ssim"), "0.95000") << format;
        EXPECT_EQ(r.values.at("reached"), "yes") << format;
        EXPECT_GE(std::stod(r.values.at("ssim")), 0.95) << format;
        EXPECT_EQ(std::stoull(r.values.at("file_size")), fs::file_size(path("q.bin"))) << format;
    }
    // The usage error names the formats that take a target.
    const CliResult bmpTarget = run({"convert", in, path("q.bmp"), "--format", "bmp", "--target-ssim", "0.9"});
    EXPECT_EQ(bmpTarget.status, 2);
    EXPECT_NE(bmpTarget.err.find("JPEG, WebP, AVIF, and GIF or PNG"), std::string::npos) << bmpTarget.err;
    // Out of reach: the best there is, exit 0, and the SSIM it reaches.
    const CliResult best = run({"convert", in, path("best.jpg"), "--format", "jpeg", "--target-ssim", "1"});
    ASSERT_EQ(best.status, 0) << best.err;
    EXPECT_EQ(best.values.at("reached"), "no");
    EXPECT_EQ(best.values.at("setting"), "qfactor 2");
    EXPECT_NE(best.err.find("no setting reaches SSIM 1.00000; the best reaches " + best.values.at("ssim")), std::string::npos)
        << best.err;
    // The plain encoder on request: larger than the default one at the same quality factor.
    const CliResult small = run({"convert", in, path("small.jpg"), "--format", "jpeg", "--qfactor", "56"});
    const CliResult plain = run({"convert", in, path("plain.jpg"), "--format", "jpeg", "--qfactor", "56", "--fast-jpeg"});
    ASSERT_EQ(plain.status, 0) << plain.err;
    EXPECT_LT(std::stoull(small.values.at("file_size")), std::stoull(plain.values.at("file_size")));
}

}  // namespace

namespace {

// A JPEG of 12 x 8 pixels tagged Adobe RGB, turned by EXIF orientation 6, with an author and a
// copyright, as a camera writes it.
imaging::Bytes cameraJpeg() {
    imaging::Bitmap bmp(12, 8, 24);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 12; ++x) bmp.setPixel(x, y, imaging::makeRgb(227, 100, 42));  // Adobe RGB (200, 100, 50)
    imaging::SaveOptions save;
    save.format = imaging::format::Jpeg444;
    save.qualityFactor = 2;
    save.author = "Jo Example";
    save.copyright = "Example Ltd";
    save.iccProfile = imaging::icc::makeRgbProfile({0.64, 0.33, 0.21, 0.71, 0.15, 0.06, 0.3127, 0.3290}, 563.0 / 256.0,
                                                   "Adobe RGB (1998)");
    imaging::Bytes file = imaging::saveMemory(imaging::Image::fromBitmap(bmp), save);
    // Orientation 6 in a second EXIF block of its own, in front of the writer's.
    const imaging::Bytes app1{0xFF, 0xE1, 0, 34, 'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0,
                              1, 0, 0x12, 0x01, 3, 0, 1, 0, 0, 0, 6, 0, 0, 0, 0, 0, 0, 0};
    file.insert(file.begin() + 2, app1.begin(), app1.end());
    return file;
}

}  // namespace

TEST_F(Cli, InfoAndConvertReadCameraFilesUprightAndInSrgbAndKeepOnlyWhatIsAsked) {
    const std::string in = path("camera.jpg");
    imaging::writeFileAtomically(in, cameraJpeg());
    const CliResult info = run({"info", in});
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_EQ(info.values.at("width"), "8");
    EXPECT_EQ(info.values.at("height"), "12");
    EXPECT_EQ(info.values.at("orientation"), "6");
    EXPECT_EQ(info.values.at("color_profile"), "Adobe RGB (1998)");
    EXPECT_EQ(info.values.at("author"), "Jo Example");

    // By default: upright, sRGB, nothing of the camera's metadata.
    const std::string plain = path("plain.png");
    ASSERT_EQ(run({"convert", in, plain, "--format", "png"}).status, 0);
    const CliResult plainInfo = run({"info", plain});
    EXPECT_EQ(plainInfo.values.at("width"), "8");
    EXPECT_EQ(plainInfo.values.count("orientation") + plainInfo.values.count("color_profile") +
                  plainInfo.values.count("author") + plainInfo.values.count("copyright"),
              0u)
        << plainInfo.out;
    const imaging::Image plainImage = imaging::loadFile(plain);
    EXPECT_NEAR(imaging::redOf(plainImage.first().pixel(4, 4)), 227, 2);  // Adobe (200, 100, 50) in sRGB
    EXPECT_NEAR(imaging::blueOf(plainImage.first().pixel(4, 4)), 42, 2);

    // Asked for: the profile (pixels converted back into it) and the author and copyright.
    const std::string kept = path("kept.png");
    ASSERT_EQ(run({"convert", in, kept, "--format", "png", "--keep-profile", "--keep-author"}).status, 0);
    const CliResult keptInfo = run({"info", kept});
    EXPECT_EQ(keptInfo.values.at("color_profile"), "Adobe RGB (1998)");
    EXPECT_EQ(keptInfo.values.at("author"), "Jo Example");
    EXPECT_EQ(keptInfo.values.at("copyright"), "Example Ltd");
    EXPECT_EQ(keptInfo.values.count("orientation"), 0u);
    const imaging::Image keptImage = imaging::loadFile(kept);
    EXPECT_NEAR(imaging::redOf(keptImage.first().pixel(4, 4)), 227, 2);
}
