// The input list of a batch: shares, the walk, and output names.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <map>

#include <unistd.h>

#include <fstream>
#include <numeric>
#include <thread>
#include <vector>

#include "arguments.h"
#include "batch_memory.h"
#include "batch_plan.h"
#include "codecs/registry.h"
#include "core/bitmap.h"

namespace kalmira::cli {
namespace {

namespace fs = std::filesystem;

TEST(BatchShards, EveryPositionLandsInExactlyOneShare) {
    for (std::size_t count : {0u, 1u, 2u, 7u, 100u, 1001u})
        for (int m : {1, 2, 3, 8, 13}) {
            std::vector<int> hits(count, 0);
            std::size_t largest = 0, smallest = count;
            for (int k = 1; k <= m; ++k) {
                const auto share = shardPositions(count, k, m);
                largest = std::max(largest, share.size());
                smallest = std::min(smallest, share.size());
                for (std::size_t position : share) ++hits[position];
            }
            EXPECT_TRUE(std::all_of(hits.begin(), hits.end(), [](int h) { return h == 1; })) << count << "/" << m;
            EXPECT_LE(largest - smallest, 1u) << count << "/" << m;  // shares differ by one file at most
        }
    EXPECT_EQ(shardPositions(10, 3, 4), (std::vector<std::size_t>{2, 6}));
}

TEST(BatchShards, ParsesKOfMAndRefusesTheRest) {
    EXPECT_EQ(parseShard("1/1"), std::make_pair(1, 1));
    EXPECT_EQ(parseShard("3/8"), std::make_pair(3, 8));
    EXPECT_EQ(parseShard("8/8"), std::make_pair(8, 8));
    for (const char* bad : {"0/8", "9/8", "1/0", "-1/2", "2", "a/b", "1/2/3", "/2", "1/", " 1/2"})
        EXPECT_THROW(parseShard(bad), UsageError) << bad;
}

class BatchWalk : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() / ("kalmira-batchplan-" + std::to_string(::getpid()));
        fs::remove_all(root_);
        for (const char* f : {"in/b.PNG", "in/a.png", "in/sub/a.gif", "in/sub/a.jpg", "in/readme.txt", "in/out/old.gif",
                              "x/a.png"}) {
            fs::create_directories((root_ / f).parent_path());
            std::ofstream(root_ / f) << "x";
        }
        fs::create_directory_symlink(root_ / "in", root_ / "in/sub/loop");
    }
    void TearDown() override { fs::remove_all(root_); }
    fs::path root_;
};

TEST_F(BatchWalk, FindsReadableFormatsSortedOnceAndNamesOutputsWithoutClashes) {
    const fs::path out = root_ / "in/out";
    const BatchPlan plan = planBatch({(root_ / "in").string(), (root_ / "in/a.png").string(), (root_ / "x").string()}, out);
    std::vector<std::string> files, stems, problems, skipped;
    for (const BatchInput& i : plan.inputs) {
        files.push_back(i.file.lexically_relative(root_).string());
        stems.push_back(i.outputStem.lexically_relative(out).string());
        problems.push_back(i.problem);
        skipped.push_back(i.skipped);
    }
    // Not the text file, not the output folder, not through the link (which is listed as
    // skipped); a.png named twice counts once.
    EXPECT_EQ(files, (std::vector<std::string>{"in/a.png", "in/b.PNG", "in/sub/a.gif", "in/sub/a.jpg", "in/sub/loop", "x/a.png"}));
    EXPECT_EQ(stems, (std::vector<std::string>{"a", "b", "sub/a.gif", "sub/a.jpg", "sub/loop", "a"}));
    EXPECT_EQ(skipped, (std::vector<std::string>{"", "", "", "", "a symbolic link that loops back to a folder above it", ""}));
    EXPECT_EQ(problems[5], "another input has the same output name " + (out / "a").string() + ".*");
    EXPECT_EQ(plan.canonicalInputs.size(), 5u);

    std::string problem;
    EXPECT_EQ(outputPathFor(plan.inputs[1], "gif", plan, problem), out / "b.gif");
    EXPECT_TRUE(problem.empty());
    // Written into its own folder as PNG, x/a.png would be its own output.
    const BatchPlan inPlace = planBatch({(root_ / "x").string()}, root_ / "x");
    ASSERT_EQ(inPlace.inputs.size(), 1u);
    EXPECT_TRUE(outputPathFor(inPlace.inputs[0], "png", inPlace, problem).empty());
    EXPECT_EQ(problem, "its output " + (root_ / "x/a.png").string() + " would replace an input");
    EXPECT_EQ(outputPathFor(inPlace.inputs[0], "gif", inPlace, problem), root_ / "x/a.gif");
}

TEST_F(BatchWalk, EntriesThatAreNotPicturesAreSkippedWithTheirReason) {
    const fs::path in = root_ / "odd";
    fs::create_directories(in / "deep");
    ASSERT_EQ(::mkfifo((in / "pipe.png").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo((in / "pipe-without-suffix").c_str(), 0600), 0);
    fs::create_symlink(in / "missing.png", in / "dangling.png");
    fs::create_symlink(in / "loop-b", in / "loop-a");
    fs::create_symlink(in / "loop-a", in / "loop-b");
    fs::create_directory_symlink(root_ / "x", in / "deep/elsewhere");
    fs::create_symlink("/dev/null", in / "device.gif");
    std::ofstream(in / "deep/fine.gif") << "x";
    const fs::path named = root_ / "named-pipe.jpg";
    ASSERT_EQ(::mkfifo(named.c_str(), 0600), 0);

    const BatchPlan plan = planBatch({in.string(), named.string()}, root_ / "web");
    std::map<std::string, std::string> skipped;
    for (const BatchInput& i : plan.inputs) {
        EXPECT_TRUE(i.problem.empty()) << i.file << ": " << i.problem;
        skipped[i.file.lexically_relative(root_).string()] = i.skipped;
    }
    EXPECT_EQ(skipped, (std::map<std::string, std::string>{
                           {"named-pipe.jpg", "not a regular file (a pipe)"},
                           {"odd/dangling.png", "a symbolic link to nothing (its target is missing)"},
                           {"odd/deep/elsewhere", "a symbolic link to a folder (links to folders are not followed)"},
                           {"odd/deep/fine.gif", ""},
                           {"odd/device.gif", "not a regular file (a device)"},
                           {"odd/loop-a", "a symbolic link that loops"},
                           {"odd/loop-b", "a symbolic link that loops"},
                           {"odd/pipe-without-suffix", "not a regular file (a pipe)"},
                           {"odd/pipe.png", "not a regular file (a pipe)"},
                       }));
    // Only the one picture can become an output or be protected as an input.
    EXPECT_EQ(plan.canonicalInputs, std::vector<fs::path>{fs::canonical(in / "deep/fine.gif")});
}

TEST_F(BatchWalk, NoOutputIsWrittenThroughALinkLeadingOutOfTheOutputFolder) {
    const fs::path web = root_ / "web";
    fs::create_directories(web / "inside");
    std::ofstream(root_ / "victim.gif") << "precious";
    const BatchPlan plan = planBatch({(root_ / "in").string()}, web);
    const auto inputNamed = [&](const std::string& name) {
        for (const BatchInput& i : plan.inputs)
            if (i.file.filename() == name) return i;
        ADD_FAILURE() << name;
        return BatchInput{};
    };
    std::string problem;
    // A link named like an output, pointing outside: refused, with where it leads.
    fs::create_symlink(root_ / "victim.gif", web / "b.gif");
    EXPECT_TRUE(outputPathFor(inputNamed("b.PNG"), "gif", plan, problem).empty());
    EXPECT_EQ(problem, "its output " + (web / "b.gif").string() + " is a link to " + (root_ / "victim.gif").string() +
                           ", outside the output folder; nothing was written through it");
    // A subfolder of the output folder that is a link to elsewhere: refused as well.
    fs::create_directory_symlink(root_ / "x", web / "sub");
    problem.clear();
    EXPECT_TRUE(outputPathFor(inputNamed("a.gif"), "gif", plan, problem).empty());
    EXPECT_NE(problem.find("outside the output folder"), std::string::npos) << problem;
    // A link that stays inside the output folder is followed as before.
    fs::remove(web / "b.gif");
    fs::create_symlink(web / "inside/b.gif", web / "b.gif");
    problem.clear();
    EXPECT_EQ(outputPathFor(inputNamed("b.PNG"), "gif", plan, problem), web / "b.gif");
    EXPECT_TRUE(problem.empty()) << problem;
}

// Files in work together never hold more than the gate's capacity, however many jobs ask; a
// file larger than the whole capacity runs alone instead of never.
TEST(BatchMemory, SharesNeverExceedTheCapacityAndAnOversizedOneRunsAlone) {
    MemoryGate gate(100);
    std::atomic<bool> over{false};
    std::vector<std::thread> jobs;
    for (int j = 0; j < 8; ++j)
        jobs.emplace_back([&, j] {
            for (int n = 0; n < 50; ++n) {
                const MemoryGate::Share share(gate, j == 0 ? 1000 : 40);
                if (gate.inUse() > 100) over = true;
                std::this_thread::yield();
            }
        });
    for (std::thread& t : jobs) t.join();
    EXPECT_FALSE(over.load());
    EXPECT_EQ(gate.peak(), 100u);  // the oversized share took the whole capacity, alone
    EXPECT_EQ(gate.inUse(), 0u);
}

// What a file costs is read from its header: 14 bytes a pixel and 8 MB, plus the file itself;
// an animated GIF counts every frame, anything else its first page.
TEST(BatchMemory, AFileCostsItsPicturesWorkingMemory) {
    imaging::SaveOptions png;
    png.format = imaging::format::Png;
    const imaging::Bytes still = imaging::saveMemory(imaging::Image::fromBitmap(imaging::Bitmap(300, 200, 24)), png);
    EXPECT_EQ(estimatedWorkingBytes(still), 300u * 200 * 14 + (8u << 20) + still.size());
    imaging::Image frames;
    for (int i = 0; i < 3; ++i) frames.frames.push_back(imaging::Frame{imaging::Bitmap(100, 50, 8)});
    imaging::SaveOptions gif;
    gif.format = imaging::format::Gif;
    gif.multiPage = true;
    const imaging::Bytes animation = imaging::saveMemory(frames, gif);
    EXPECT_EQ(estimatedWorkingBytes(animation), 3 * (100u * 50 * 14 + (8u << 20)) + animation.size());
    // A TIFF of several pages is read for its first page alone (batch converts that one), so
    // only it counts, however many pages follow; the same holds for a GIF of one frame.
    imaging::Image pages;
    pages.frames.push_back(imaging::Frame{imaging::Bitmap(100, 50, 24)});
    pages.frames.push_back(imaging::Frame{imaging::Bitmap(400, 300, 24)});
    pages.frames.push_back(imaging::Frame{imaging::Bitmap(400, 300, 24)});
    imaging::SaveOptions tiff;
    tiff.format = imaging::format::TiffCompressed;
    tiff.multiPage = true;
    const imaging::Bytes pagesFile = imaging::saveMemory(pages, tiff);
    ASSERT_EQ(imaging::readInfo(pagesFile).pages, 3);
    EXPECT_EQ(estimatedWorkingBytes(pagesFile), 100u * 50 * 14 + (8u << 20) + pagesFile.size());
    imaging::Image one;
    one.frames.push_back(imaging::Frame{imaging::Bitmap(100, 50, 8)});
    const imaging::Bytes oneFrame = imaging::saveMemory(one, gif);
    EXPECT_EQ(estimatedWorkingBytes(oneFrame), 100u * 50 * 14 + (8u << 20) + oneFrame.size());
    const imaging::Bytes junk{'n', 'o', 'p', 'e'};
    EXPECT_EQ(estimatedWorkingBytes(junk), 4u + (8u << 20));
}

}  // namespace
}  // namespace kalmira::cli
