// kalmira-cli batch as users and job runners see it: the profile's rules, shares, jobs, the
// report, failures, and outputs that are whole or absent.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "codecs/registry.h"
#include "core/bitmap.h"
#include "core/error.h"
#include "test_data.h"

namespace fs = std::filesystem;

namespace {

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

struct RunResult {
    int status;
    std::string out, err;
};

// Every file below `root` with its bytes, by path relative to it.
std::map<std::string, std::string> tree(const fs::path& root) {
    std::map<std::string, std::string> files;
    if (!fs::exists(root)) return files;
    for (const auto& e : fs::recursive_directory_iterator(root))
        if (e.is_regular_file()) files[e.path().lexically_relative(root).string()] = slurp(e.path());
    return files;
}

class Batch : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("kalmira-batch-test-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "in");
        // No user settings unless a test writes them: the built-in batch profile.
        ::setenv("XDG_CONFIG_HOME", (dir_ / "config").c_str(), 1);
    }
    void TearDown() override { fs::remove_all(dir_); }

    RunResult run(const std::vector<std::string>& args, const std::string& prefix = "") {
        std::string cmd = prefix + quoted(kalmira::testing::cliProgram());
        for (const std::string& a : args) cmd += " " + quoted(a);
        cmd += " >" + quoted((dir_ / "stdout").string()) + " 2>" + quoted((dir_ / "stderr").string());
        const int raw = std::system(cmd.c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp(dir_ / "stdout"), slurp(dir_ / "stderr")};
    }
    std::string p(const std::string& name) const { return (dir_ / name).string(); }

    // A smooth photo-like picture (JPEG wins) or one of few flat colours (GIF wins).
    void picture(const std::string& name, int width, int height, bool photo, int seed = 0) {
        imaging::Bitmap bmp(width, height, 24);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                bmp.setPixel(x, y,
                             photo ? imaging::makeRgb((x * 255 / width + seed) & 0xFF, (y * 255 / height) & 0xFF,
                                                      ((x * y) / 37 + seed * 3) & 0xFF)
                                   : imaging::makeRgb(((x / 8 + seed) % 3) * 120, (y / 8 % 2) * 200, 40));
        imaging::SaveOptions save;
        save.format = imaging::format::Png;
        fs::create_directories(fs::path(p(name)).parent_path());
        imaging::saveFile(p(name), imaging::Image::fromBitmap(bmp), save);
    }
    void settings(const std::string& text) {
        fs::create_directories(dir_ / "config" / "Kalmira");
        std::ofstream(dir_ / "config" / "Kalmira" / "Kalmira 4.2.ini") << text;
    }

    fs::path dir_;
};

TEST_F(Batch, AppliesTheProfileExactlyAsTheSameExplicitConversion) {
    picture("in/photo.png", 90, 60, true);
    picture("in/flat.png", 64, 48, false);
    // Always JPEG at quality 200 (factor 56), 4:2:2: the bytes convert writes with those values.
    ASSERT_EQ(run({"batch", "--profile", "3", "--out", p("out"), p("in")}).status, 0);
    ASSERT_EQ(run({"convert", p("in/photo.png"), p("photo.jpg"), "--format", "23", "--qfactor", "56"}).status, 0);
    EXPECT_EQ(slurp(p("out/photo.jpg")), slurp(p("photo.jpg")));
    // Always GIF, depth capped at 4 bits, 12 colours, Floyd-Steinberg, from the settings file.
    settings("[Optimize6]\nFileFormat=1\nGIFMaxPixelDepth=4\nGIFMaxColors=12\nGIFDitheringMethod=1\n");
    const RunResult r = run({"batch", "--out", p("gif"), p("in")});
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(run({"convert", p("in/photo.png"), p("photo.gif"), "--format", "2", "--bits", "4", "--colors", "12",
                   "--dither", "1"}).status, 0);
    EXPECT_EQ(slurp(p("gif/photo.gif")), slurp(p("photo.gif")));
    // The flat picture has 6 colours: 3 bits.
    ASSERT_EQ(run({"convert", p("in/flat.png"), p("flat.gif"), "--format", "2", "--bits", "3", "--colors", "12",
                   "--dither", "1"}).status, 0);
    EXPECT_EQ(slurp(p("gif/flat.gif")), slurp(p("flat.gif")));
    // --settings names another file; a value that does not convert is said and keeps its default.
    std::ofstream(p("other.ini")) << "[Optimize2]\nFileFormat=2\nJPEGQuality=99999\n";
    const RunResult other = run({"batch", "--profile", "2", "--settings", p("other.ini"), "--out", p("other"), p("in/flat.png")});
    EXPECT_EQ(other.status, 0);
    EXPECT_TRUE(fs::exists(p("other/flat.jpg")));
    EXPECT_NE(other.err.find("Optimize2/JPEGQuality = \"99999\" is out of range; the default 200 is used"), std::string::npos)
        << other.err;
}

TEST_F(Batch, SmallestFileKeepsTheSmallerOfGifAndJpeg) {
    picture("in/photo.png", 160, 120, true);
    picture("in/flat.png", 160, 120, false);
    const RunResult r = run({"batch", "--out", p("out"), "--report", p("r.jsonl"), p("in")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(tree(p("out")).size(), 2u);
    ASSERT_TRUE(fs::exists(p("out/photo.jpg")));
    ASSERT_TRUE(fs::exists(p("out/flat.gif")));
    // Each winner is smaller than the loser would have been (profile 6: 8 bits, quality 200, 4:2:2).
    ASSERT_EQ(run({"convert", p("in/photo.png"), p("photo.gif"), "--format", "2", "--bits", "8"}).status, 0);
    EXPECT_LT(fs::file_size(p("out/photo.jpg")), fs::file_size(p("photo.gif")));
    ASSERT_EQ(run({"convert", p("in/flat.png"), p("flat.jpg"), "--format", "23", "--qfactor", "56"}).status, 0);
    EXPECT_LE(fs::file_size(p("out/flat.gif")), fs::file_size(p("flat.jpg")));
    EXPECT_NE(r.out.find("files: 2\nwritten: 2\nfailed: 0\n"), std::string::npos) << r.out;
}

TEST_F(Batch, ATransparentLogoStaysTransparent) {
    // A logo with an alpha channel (clear corners, a soft edge) beside an opaque photo.
    imaging::Bitmap logo(24, 16, 32);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 24; ++x) {
            std::uint8_t* px = logo.row(y) + 4 * x;
            px[0] = 200, px[1] = static_cast<std::uint8_t>(x * 10), px[2] = 30;
            px[3] = x < 4 ? 0 : x == 4 ? 128 : 255;
        }
    imaging::SaveOptions save;
    save.format = imaging::format::Png;
    imaging::saveFile(p("in/logo.png"), imaging::Image::fromBitmap(logo), save);
    picture("in/photo.png", 90, 60, true);
    // Each profile kind: always GIF, always JPEG, by depth, smallest file.
    for (const char* kind : {"1", "2", "3", "4"}) {
        settings(std::string("[Optimize6]\nFileFormat=") + kind + "\n");
        const std::string out = p(std::string("out") + kind), report = p(std::string("r") + kind + ".jsonl");
        const RunResult r = run({"batch", "--out", out, "--report", report, p("in")});
        ASSERT_EQ(r.status, 0) << kind << r.err;
        ASSERT_TRUE(fs::exists(out + "/logo.png")) << "profile kind " << kind;
        const imaging::Image back = imaging::loadFile(out + "/logo.png");
        EXPECT_EQ(back.first(), logo) << "profile kind " << kind;  // every alpha value kept
        const std::string lines = slurp(report);
        EXPECT_NE(lines.find("logo.png\",\"format\":\"PNG\""), std::string::npos) << lines;
        EXPECT_NE(lines.find("\"transparency_kept_as\":\"PNG\""), std::string::npos) << lines;
        // The opaque photo follows its profile as before and is not marked.
        std::istringstream each(lines);
        int count = 0;
        for (std::string line; std::getline(each, line); ++count) {
            if (line.find("photo.png") != std::string::npos) {
                EXPECT_EQ(line.find("transparency_kept_as"), std::string::npos) << line;
            }
        }
        EXPECT_EQ(count, 2) << lines;
        EXPECT_FALSE(fs::exists(out + "/photo.png")) << "profile kind " << kind;
    }
}

TEST_F(Batch, SharesSplitTheInputsExactlyAndJobsChangeNoByte) {
    for (int i = 0; i < 7; ++i) picture("in/" + std::string(1, static_cast<char>('a' + i)) + "/p" + std::to_string(i) + ".png", 40 + i, 30, i % 2 == 0, i);
    ASSERT_EQ(run({"batch", "--jobs", "1", "--out", p("one"), p("in")}).status, 0);
    ASSERT_EQ(run({"batch", "--jobs", "2", "--out", p("two"), p("in")}).status, 0);
    const auto whole = tree(p("one"));
    EXPECT_EQ(whole.size(), 7u);
    EXPECT_EQ(tree(p("two")), whole);
    std::map<std::string, std::string> joined;
    for (int k = 1; k <= 3; ++k) {
        const std::string out = p("share" + std::to_string(k));
        const RunResult r = run({"batch", "--shard", std::to_string(k) + "/3", "--out", out, p("in")});
        ASSERT_EQ(r.status, 0) << r.err;
        const auto share = tree(out);
        EXPECT_EQ(share.size(), k == 1 ? 3u : 2u) << k;  // positions 0,3,6 / 1,4 / 2,5
        for (const auto& [name, bytes] : share) EXPECT_TRUE(joined.emplace(name, bytes).second) << name << " twice";
    }
    EXPECT_EQ(joined, whole);
}

TEST_F(Batch, FailuresAreListedReportedAndSkipped) {
    picture("in/good.png", 20, 20, false);
    std::ofstream(p("in/broken.png")) << "not a picture";
    std::ofstream(p("in/notes.txt")) << "not looked at";
    const RunResult r = run({"batch", "--out", p("out"), "--report", p("r.jsonl"), p("in"), p("missing.gif")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(p("in/broken.png") + ": load: unrecognized format"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(p("missing.gif") + ": no such file or folder"), std::string::npos) << r.err;
    EXPECT_EQ(tree(p("out")).size(), 1u);
    EXPECT_NE(r.out.find("files: 3\nwritten: 1\nfailed: 2\n"), std::string::npos) << r.out;
    // One JSON line per file, failures included.
    std::istringstream report(slurp(p("r.jsonl")));
    std::set<std::string> inputs;
    int lines = 0;
    for (std::string line; std::getline(report, line); ++lines) {
        const auto start = line.find("{\"input\":\"") + 10;
        inputs.insert(line.substr(start, line.find('"', start) - start));
        if (line.find("good.png") != std::string::npos) {
            EXPECT_NE(line.find("\"output\":\"" + p("out/good.gif") + "\",\"format\":\"GIF\",\"bytes_in\":"), std::string::npos) << line;
            EXPECT_NE(line.find(",\"psnr\":"), std::string::npos);
            EXPECT_NE(line.find(",\"ms\":"), std::string::npos);
        } else {
            EXPECT_NE(line.find("\"error\":"), std::string::npos) << line;
        }
    }
    EXPECT_EQ(lines, 3);
    EXPECT_EQ(inputs, (std::set<std::string>{p("in/broken.png"), p("in/good.png"), p("missing.gif")}));
}

TEST_F(Batch, NothingIsWrittenOverAnInputAndNamesDoNotCollide) {
    picture("in/a.png", 20, 20, false);
    picture("in/x.png", 20, 20, false, 1);
    fs::copy_file(p("in/a.png"), p("in/a.tif"));  // the same name before the extension
    fs::create_directories(p("other"));
    ASSERT_EQ(run({"convert", p("in/x.png"), p("other/x.gif"), "--format", "2", "--bits", "1"}).status, 0);
    const std::string inputGif = slurp(p("other/x.gif"));
    // in/x.png would become other/x.gif, which is an input itself.
    settings("[Optimize6]\nFileFormat=1\n");
    const RunResult r = run({"batch", "--out", p("other"), p("in"), p("other/x.gif")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(p("in/x.png") + ": its output " + p("other/x.gif") + " would replace an input"), std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find(p("other/x.gif") + ": another input has the same output name"), std::string::npos) << r.err;
    EXPECT_EQ(slurp(p("other/x.gif")), inputGif);
    EXPECT_TRUE(fs::exists(p("other/a.png.gif")));
    EXPECT_TRUE(fs::exists(p("other/a.tif.gif")));
    EXPECT_EQ(tree(p("other")).size(), 3u);
    // Into the input folder itself, each GIF would be its own output.
    const RunResult inPlace = run({"batch", "--out", p("other"), p("other")});
    EXPECT_EQ(inPlace.status, 1);
    EXPECT_NE(inPlace.out.find("failed: 3\n"), std::string::npos) << inPlace.out;
    EXPECT_EQ(slurp(p("other/x.gif")), inputGif);
    EXPECT_EQ(tree(p("other")).size(), 3u);
}

TEST_F(Batch, BadCommandLinesExitWithTwo) {
    picture("in/a.png", 8, 8, false);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"batch", p("in")}, {"batch", "--out", p("o")}, {"batch", "--out", p("o"), "--shard", "0/3", p("in")},
          {"batch", "--out", p("o"), "--shard", "4/3", p("in")}, {"batch", "--out", p("o"), "--shard", "2", p("in")},
          {"batch", "--out", p("o"), "--profile", "7", p("in")}, {"batch", "--out", p("o"), "--jobs", "0", p("in")},
          {"batch", "--out", p("o"), "--target-ssim", "0", p("in")}, {"batch", "--out", p("o"), "--target-ssim", "2", p("in")},
          {"batch", "--out", p("o"), "--target-ssim", "x", p("in")}}) {
        const RunResult r = run(args);
        EXPECT_EQ(r.status, 2) << args.back();
        // The one mistake and where the batch's usage is, not the whole usage.
        EXPECT_EQ(r.err.find("usage:"), std::string::npos) << r.err;
        EXPECT_TRUE(r.err.ends_with("\nsee kalmira-cli batch --help\n")) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 2) << r.err;
    }
    EXPECT_FALSE(fs::exists(p("o")));
    std::ofstream(p("file")) << "x";
    const RunResult r = run({"batch", "--out", p("file/sub"), p("in")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot use the output folder"), std::string::npos) << r.err;
}

// batch --help shows the batch's options and how the output names are made, and runs nothing.
TEST_F(Batch, HelpShowsTheOptionsAndHowNamesAreMade) {
    picture("in/a.png", 8, 8, false);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"batch", "--help"}, {"batch", "--out", p("o"), p("in"), "-h"}}) {
        const RunResult r = run(args);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(r.err.empty()) << r.err;
        EXPECT_EQ(r.out.rfind("usage: kalmira-cli batch --out DIR", 0), 0u) << r.out;
        EXPECT_NE(r.out.find("a.png -> a.png.jpg, a.tif -> a.tif.jpg"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("--report FILE"), std::string::npos);
    }
    EXPECT_FALSE(fs::exists(p("o")));
}

// The report is JSON a reader can sum: the PSNR is a number, or null beside "lossless":true when
// the result is exact, never a string.
TEST_F(Batch, ReportGivesThePsnrAsANumberOrNull) {
    picture("flat/flat.png", 32, 32, false);   // few colours: the GIF is exact
    picture("photo/photo.png", 64, 64, true);  // the JPEG is not
    const auto reportOf = [&](const std::string& profile, const std::string& folder) {
        settings("[Optimize6]\nFileFormat=" + profile + "\n");
        const RunResult r = run({"batch", "--out", p("out-" + folder), "--report", p(folder + ".jsonl"), p(folder)});
        EXPECT_EQ(r.status, 0) << r.err;
        std::string line = slurp(p(folder + ".jsonl"));
        EXPECT_EQ(std::count(line.begin(), line.end(), '\n'), 1) << line;
        EXPECT_EQ(line.find("\"inf\""), std::string::npos) << line;
        return line;
    };
    const std::string exact = reportOf("1", "flat");
    EXPECT_NE(exact.find(",\"format\":\"GIF\","), std::string::npos) << exact;
    EXPECT_NE(exact.find(",\"psnr\":null,\"lossless\":true,\"ms\":"), std::string::npos) << exact;

    const std::string lossy = reportOf("2", "photo");
    EXPECT_NE(lossy.find(",\"format\":\"JPEG\","), std::string::npos) << lossy;
    const auto at = lossy.find(",\"psnr\":");
    ASSERT_NE(at, std::string::npos) << lossy;
    std::size_t used = 0;
    EXPECT_GT(std::stod(lossy.substr(at + 8), &used), 10.0) << lossy;
    EXPECT_EQ(lossy.substr(at + 8 + used, 18), ",\"lossless\":false,") << lossy;
}

// The quality target and the plain encoder: each file the same as convert makes with the same
// request, the format still the profile's (JPEG quality 200, 4:2:2, by profile 3).
TEST_F(Batch, TargetSsimAndFastJpegAsConvertDoesThem) {
    picture("in/photo.png", 90, 60, true);
    ASSERT_EQ(run({"batch", "--profile", "3", "--target-ssim", "0.97", "--out", p("target"), p("in")}).status, 0);
    ASSERT_EQ(run({"convert", p("in/photo.png"), p("photo.jpg"), "--format", "23", "--target-ssim", "0.97"}).status, 0);
    EXPECT_EQ(slurp(p("target/photo.jpg")), slurp(p("photo.jpg")));
    ASSERT_EQ(run({"batch", "--profile", "3", "--fast-jpeg", "--out", p("fast"), p("in")}).status, 0);
    ASSERT_EQ(run({"convert", p("in/photo.png"), p("fast.jpg"), "--format", "23", "--qfactor", "56", "--fast-jpeg"}).status, 0);
    EXPECT_EQ(slurp(p("fast/photo.jpg")), slurp(p("fast.jpg")));
    ASSERT_EQ(run({"batch", "--profile", "3", "--out", p("small"), p("in")}).status, 0);
    EXPECT_LT(fs::file_size(p("small/photo.jpg")), fs::file_size(p("fast/photo.jpg")));
}

TEST_F(Batch, TwoBatchesWritingOneFolderLeaveWholeFiles) {
    for (int i = 0; i < 6; ++i) picture("in/p" + std::to_string(i) + ".png", 80, 60, i % 2 == 0, i);
    ASSERT_EQ(run({"batch", "--out", p("alone"), p("in")}).status, 0);
    const std::string one = quoted(kalmira::testing::cliProgram()) + " batch --jobs 2 --out " + quoted(p("shared")) + " " + quoted(p("in")) + " >/dev/null";
    ASSERT_EQ(std::system(("bash -c " + quoted(one + " & " + one + " & " + one + "; wait")).c_str()), 0);
    EXPECT_EQ(tree(p("shared")), tree(p("alone")));
}

TEST_F(Batch, AProgressLineOnlyOnATerminal) {
    for (int i = 0; i < 3; ++i) picture("in/p" + std::to_string(i) + ".png", 60, 40, true, i);
    const RunResult plain = run({"batch", "--out", p("plain"), p("in")});
    ASSERT_EQ(plain.status, 0);
    EXPECT_EQ(plain.err.find("\033[K"), std::string::npos) << "progress written into a file";
    if (std::system("command -v script >/dev/null") != 0) GTEST_SKIP() << "script(1) is needed to give the batch a terminal";
    const std::string inner = quoted(kalmira::testing::cliProgram()) + " batch --out " + quoted(p("tty")) + " " + quoted(p("in"));
    ASSERT_EQ(std::system(("script -qec " + quoted(inner) + " " + quoted(p("typescript")) + " >/dev/null").c_str()), 0);
    const std::string shown = slurp(p("typescript"));
    EXPECT_NE(shown.find("\r\033[K3/3 files, "), std::string::npos) << shown;
    EXPECT_NE(shown.find(" left"), std::string::npos);
    EXPECT_NE(shown.find("written: 3"), std::string::npos);
}

TEST_F(Batch, AFolderWithoutPermissionIsListedAndTheRestDone) {
    if (::geteuid() != 0 || std::system("command -v setpriv >/dev/null") != 0)
        GTEST_SKIP() << "needs root and setpriv(1) to run the batch as an unprivileged user";
    picture("in/ok/a.png", 20, 20, false);
    picture("in/locked/b.png", 20, 20, false);
    picture("in/ok/secret.png", 20, 20, false);
    fs::permissions(p("in/locked"), fs::perms::none);
    fs::permissions(p("in/ok/secret.png"), fs::perms::none);
    fs::permissions(dir_, fs::perms::all);
    const RunResult r = run({"batch", "--out", p("out"), p("in")}, "setpriv --reuid=65534 --regid=65534 --clear-groups ");
    fs::permissions(p("in/locked"), fs::perms::owner_all);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find(p("in/locked") + ": cannot read the folder: Permission denied"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(p("in/ok/secret.png") + ": load: cannot open"), std::string::npos) << r.err;
    EXPECT_TRUE(fs::exists(p("out/ok/a.gif")));
    EXPECT_FALSE(fs::exists(p("out/ok/secret.gif")));
    EXPECT_NE(r.out.find("files: 3\nwritten: 1\nfailed: 2\n"), std::string::npos) << r.out;
}

TEST_F(Batch, AnInterruptedBatchLeavesOnlyWholeFiles) {
    for (int i = 0; i < 40; ++i) picture("in/p" + std::to_string(100 + i) + ".png", 300, 200, true, i);
    const std::string cmd = quoted(kalmira::testing::cliProgram()) + " batch --jobs 2 --out " + quoted(p("out")) + " " + quoted(p("in")) +
                            " >/dev/null 2>&1 & pid=$!; sleep 0.7; kill -INT $pid; wait $pid; echo $? >" +
                            quoted(p("status"));
    ASSERT_EQ(std::system(("bash -c " + quoted(cmd)).c_str()), 0);
    const int status = std::stoi(slurp(p("status")));
    const auto written = tree(p("out"));
    if (status == 0) GTEST_SKIP() << "the batch ended before the interrupt";
    EXPECT_EQ(status, 130);
    EXPECT_LT(written.size(), 40u);
    for (const auto& [name, bytes] : written) {
        EXPECT_EQ(name.find(".kalmira-"), std::string::npos) << name << " left behind";
        EXPECT_NO_THROW(imaging::loadMemory(imaging::Bytes(bytes.begin(), bytes.end()))) << name;
    }
}

// A FIFO, a device, a looping and a dangling link among the inputs: the batch ends, never
// opening them, lists each as skipped with its reason in the messages, the summary and the
// report, and converts the rest.
TEST_F(Batch, PipesDevicesAndBrokenLinksAreSkippedAndSaid) {
    picture("in/photo.png", 40, 30, true);
    ASSERT_EQ(::mkfifo(p("in/pipe.png").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo(p("named.png").c_str(), 0600), 0);
    fs::create_symlink(p("in/loop-b.png"), p("in/loop-a.png"));
    fs::create_symlink(p("in/loop-a.png"), p("in/loop-b.png"));
    fs::create_symlink(p("in/gone.png"), p("in/dangling.png"));
    // Bounded, so a batch that blocks on the pipe fails the test instead of hanging it.
    const RunResult r = run({"batch", "--out", p("out"), "--report", p("report.jsonl"), p("in"), p("named.png")}, "timeout -k 2 20 ");
    ASSERT_NE(r.status, 124) << "the batch hung on a pipe";
    EXPECT_EQ(r.status, 0) << r.err;
    for (const char* line : {"named.png: skipped: not a regular file (a pipe)", "pipe.png: skipped: not a regular file (a pipe)",
                             "loop-a.png: skipped: a symbolic link that loops",
                             "dangling.png: skipped: a symbolic link to nothing (its target is missing)"})
        EXPECT_NE(r.err.find(line), std::string::npos) << line << "\n" << r.err;
    EXPECT_NE(r.out.find("files: 6\nwritten: 1\nfailed: 0\nskipped: 5\n"), std::string::npos) << r.out;
    const std::string report = slurp(p("report.jsonl"));
    EXPECT_NE(report.find("{\"input\":\"" + p("named.png") + "\",\"skipped\":\"not a regular file (a pipe)\"}"),
              std::string::npos)
        << report;
    EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), 6);
    EXPECT_EQ(tree(p("out")).size(), 1u);
}

// A file given by name that is a pipe is never opened, even by the engine's reader.
TEST_F(Batch, TheEngineRefusesToReadAPipeWithoutWaiting) {
    ASSERT_EQ(::mkfifo(p("pipe.png").c_str(), 0600), 0);
    try {
        imaging::readWholeFile(p("pipe.png"));
        FAIL() << "a pipe was read";
    } catch (const imaging::Error& e) {
        EXPECT_EQ(e.code(), imaging::ErrorCode::ReadFailed);
        EXPECT_EQ(std::string(e.what()), "load: cannot read " + p("pipe.png") + ": not a regular file (a pipe)");
    }
}

// A link planted in the output folder under an output's name must not let the batch replace
// the file it points to outside --out.
TEST_F(Batch, NothingIsWrittenThroughALinkOutOfTheOutputFolder) {
    picture("in/logo.png", 40, 30, false);
    fs::create_directories(p("out"));
    std::ofstream(p("victim.gif")) << "precious";
    fs::create_symlink(p("victim.gif"), p("out/logo.gif"));
    const RunResult r = run({"batch", "--out", p("out"), p("in")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("is a link to " + p("victim.gif") + ", outside the output folder"), std::string::npos) << r.err;
    EXPECT_EQ(slurp(p("victim.gif")), "precious");
    EXPECT_TRUE(fs::is_symlink(p("out/logo.gif")));
}

// A report that cannot be written is an error with its reason, not a silent success.
TEST_F(Batch, AReportOntoAFullDeviceFailsTheBatch) {
    picture("in/photo.png", 40, 30, true);
    const RunResult r = run({"batch", "--out", p("out"), "--report", "/dev/full", p("in")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot write the report /dev/full: No space left on device"), std::string::npos) << r.err;
    // The picture itself was converted.
    EXPECT_EQ(tree(p("out")).size(), 1u);
}

// Temporaries a killed writer left behind are removed by the next run into the folder once
// they are old; a young one may belong to a run at work and stays; other files stay.
TEST_F(Batch, StaleTemporariesOfAKilledRunAreRemovedAndSaid) {
    picture("in/photo.png", 40, 30, true);
    fs::create_directories(p("out/sub"));
    for (const char* name : {"out/a.jpg.kalmira-Ab12Cd", "out/sub/b.gif.kalmira-xY9z00", "out/young.jpg.kalmira-QQQQQQ",
                             "out/mine.kalmira-notes", "out/keep.jpg"})
        std::ofstream(p(name)) << "partial";
    const auto old = fs::file_time_type::clock::now() - std::chrono::minutes(11);
    for (const char* name : {"out/a.jpg.kalmira-Ab12Cd", "out/sub/b.gif.kalmira-xY9z00", "out/mine.kalmira-notes", "out/keep.jpg"})
        fs::last_write_time(p(name), old);
    fs::last_write_time(p("out/young.jpg.kalmira-QQQQQQ"), fs::file_time_type::clock::now() - std::chrono::minutes(9));
    const RunResult r = run({"batch", "--out", p("out"), p("in")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("removed 2 temporary files left in " + p("out") + " by an interrupted run"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(p("out/a.jpg.kalmira-Ab12Cd")));
    EXPECT_FALSE(fs::exists(p("out/sub/b.gif.kalmira-xY9z00")));
    EXPECT_TRUE(fs::exists(p("out/young.jpg.kalmira-QQQQQQ")));
    EXPECT_TRUE(fs::exists(p("out/mine.kalmira-notes")));
    EXPECT_TRUE(fs::exists(p("out/keep.jpg")));
}

// The atomic writer syncs the new file before the rename and its folder after it, so a power
// cut never leaves the name pointing to an empty file. Seen in the system calls.
TEST_F(Batch, TheWriterSyncsTheFileBeforeAndTheFolderAfterTheRename) {
    if (std::system("command -v strace >/dev/null 2>&1") != 0) GTEST_SKIP() << "strace is not installed";
    picture("in/photo.png", 40, 30, true);
    const RunResult r = run({"batch", "--jobs", "1", "--out", p("out"), p("in")},
                            // LeakSanitizer (in the sanitizer build) cannot work under a tracer.
                            "env ASAN_OPTIONS=detect_leaks=0 strace -f -qq -e trace=fsync,rename,openat -o " + quoted(p("trace")) + " ");
    ASSERT_EQ(r.status, 0) << r.err;
    std::istringstream trace(slurp(p("trace")));
    std::vector<std::string> steps;
    std::map<std::string, std::string> fdNames;
    for (std::string line; std::getline(trace, line);) {
        if (line.find("openat(") != std::string::npos && line.find(p("out")) != std::string::npos) {
            const std::size_t eq = line.rfind("= ");
            const std::size_t q1 = line.find('"'), q2 = line.find('"', q1 + 1);
            if (eq != std::string::npos && q1 != std::string::npos) fdNames[line.substr(eq + 2)] = line.substr(q1 + 1, q2 - q1 - 1);
        } else if (line.find("fsync(") != std::string::npos) {
            std::size_t at = line.find("fsync(") + 6;
            std::string fd;
            while (at < line.size() && std::isdigit(static_cast<unsigned char>(line[at]))) fd += line[at++];
            steps.push_back("fsync " + (fdNames.count(fd) ? fdNames[fd] : fd));
        } else if (line.find("rename(") != std::string::npos && line.find(p("out")) != std::string::npos) {
            steps.push_back("rename");
        }
    }
    ASSERT_EQ(steps.size(), 3u) << slurp(p("trace"));
    EXPECT_NE(steps[0].find(p("out/photo.")), std::string::npos) << steps[0];
    EXPECT_NE(steps[0].find(".kalmira-"), std::string::npos) << steps[0];
    EXPECT_EQ(steps[1], "rename");
    EXPECT_EQ(steps[2], "fsync " + p("out"));
}

// A failure names the codec that failed and what it was doing: a TIFF input whose JPEG output
// cannot be made says it was the JPEG output, not as if the TIFF could not be read.
TEST_F(Batch, AFailureNamesTheCodecAndTheStepThatFailed) {
    imaging::Bitmap wide(70000, 2, 24);  // wider than any JPEG can be
    imaging::SaveOptions tiff;
    tiff.format = imaging::format::TiffCompressed;
    imaging::saveFile(p("in/wide.tif"), imaging::Image::fromBitmap(std::move(wide)), tiff);
    // Profile 3 is always JPEG.
    const RunResult r = run({"batch", "--profile", "3", "--out", p("out"), p("in")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(p("in/wide.tif") + ": making the JPEG output: JPEG: "), std::string::npos) << r.err;
    EXPECT_TRUE(tree(p("out")).empty());
}

}  // namespace

// Paths as users type them: relative to the working folder, with "." and "..", through a
// symbolic link to a folder, and an output folder that is the input folder under another
// spelling. Each spelling gives the same files; none writes over an input.
TEST_F(Batch, PathsAsUsersTypeThem) {
    picture("in/a.png", 24, 16, false);
    picture("in/sub/b.png", 16, 24, false, 2);
    settings("[Optimize6]\nFileFormat=1\n");  // always GIF
    fs::create_directory_symlink("in", dir_ / "link");
    const std::string here = "cd " + quoted(dir_.string()) + " && ";

    ASSERT_EQ(run({"batch", "--out", p("absolute"), p("in")}).status, 0);
    const auto expected = tree(p("absolute"));
    ASSERT_EQ(expected.size(), 2u);
    ASSERT_EQ(expected.count("a.gif"), 1u);
    ASSERT_EQ(expected.count("sub/b.gif"), 1u);
    struct Case {
        std::vector<std::string> args;
        const char* out;  // below the working folder
    } cases[] = {
        {{"--out", "web", "in"}, "web"},
        {{"--out", "./dots/.", "./in/../in/"}, "dots"},
        {{"--out", "linked", "link"}, "linked"},
        {{"--out", "../" + dir_.filename().string() + "/up", "in/../link/."}, "up"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"batch"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const RunResult r = run(args, here);
        EXPECT_EQ(r.status, 0) << c.out << ": " << r.err;
        EXPECT_EQ(tree(p(c.out)), expected) << c.out;
    }

    // Into the input folder itself: the GIFs land beside their PNGs...
    const RunResult beside = run({"batch", "--out", "in", "in/a.png"}, here);
    ASSERT_EQ(beside.status, 0) << beside.err;
    EXPECT_EQ(slurp(p("in/a.gif")), expected.at("a.gif"));
    // ...and a GIF input whose output is itself, spelled through the link or with dots, is
    // refused and left as it was.
    const std::string before = slurp(p("in/a.gif"));
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"batch", "--out", "in", "link/a.gif"}, {"batch", "--out", "link", "./in/a.gif"}, {"batch", "--out", "in/sub/..", "in/a.gif"}}) {
        const RunResult r = run(args, here);
        EXPECT_EQ(r.status, 1) << args[2] << " " << args[3] << ": " << r.err;
        EXPECT_NE(r.err.find("would replace an input"), std::string::npos) << args[2] << " " << args[3] << ": " << r.err;
        EXPECT_EQ(slurp(p("in/a.gif")), before) << args[2] << " " << args[3];
    }

    // convert takes the same spellings: relative, dotted, through the link, into the input folder.
    for (const char* out : {"c1.gif", "./in/../c2.gif", "link/c3.gif", "in/sub/../c4.gif"}) {
        const RunResult r = run({"convert", "in/./a.png", out, "--format", "2"}, here);
        ASSERT_EQ(r.status, 0) << out << ": " << r.err;
    }
    const std::string made = slurp(p("c1.gif"));
    EXPECT_FALSE(made.empty());
    EXPECT_EQ(slurp(p("c2.gif")), made);
    EXPECT_EQ(slurp(p("in/c3.gif")), made);
    EXPECT_EQ(slurp(p("in/c4.gif")), made);
    EXPECT_TRUE(fs::is_symlink(dir_ / "link"));
}
