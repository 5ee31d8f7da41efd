#include <gtest/gtest.h>

#include "cli/op_args.h"
#include "core/error.h"

using kalmira::cli::OpCall;
using kalmira::cli::parseOpArgument;

namespace {

struct Good {
    const char* text;
    const char* name;
    std::vector<long> args;
};

class ParsesOp : public ::testing::TestWithParam<Good> {};

TEST_P(ParsesOp, NameAndArguments) {
    const OpCall call = parseOpArgument(GetParam().text);
    EXPECT_EQ(call.name, GetParam().name);
    EXPECT_EQ(call.args, GetParam().args);
}

INSTANTIATE_TEST_SUITE_P(Cli, ParsesOp,
                         ::testing::Values(Good{"Size=800,600,2", "Size", {800, 600, 2}},
                                           Good{"Size=800,600", "Size", {800, 600}},
                                           Good{"Sharpen=200", "Sharpen", {200}},
                                           Good{"Rotate=9000,1,0", "Rotate", {9000, 1, 0}},
                                           Good{"Hue=-45", "Hue", {-45}},
                                           Good{"Fill=0x0000FF", "Fill", {255}},
                                           Good{"Invert", "Invert", {}},
                                           Good{"Flip=", "Flip", {}}));

class RefusesOp : public ::testing::TestWithParam<const char*> {};

TEST_P(RefusesOp, WithInvalidArgument) {
    try {
        parseOpArgument(GetParam());
        FAIL() << "accepted " << GetParam();
    } catch (const imaging::Error& e) {
        EXPECT_EQ(e.code(), imaging::ErrorCode::InvalidArgument);
        EXPECT_NE(std::string(e.what()).find("--op"), std::string::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(Cli, RefusesOp,
                         ::testing::Values("Blur=3", "invert", "Size=800", "Size=1,2,3,4", "Sharpen=abc",
                                           "Sharpen=12x", "Sharpen=", "Mosaic=5,", "Size=,5",
                                           "Sharpen=99999999999999999999999", ""));

TEST(CliOps, AppliesInOrderAndReportsTime) {
    imaging::Image image = imaging::Image::fromBitmap(imaging::Bitmap(4, 2, 24));
    const double ms = kalmira::cli::applyOpCalls(image, {parseOpArgument("Size=2,3,0"), parseOpArgument("Rotate=9000"),
                                                         parseOpArgument("Invert")});
    EXPECT_GE(ms, 0.0);
    EXPECT_EQ(image.first().width(), 3);
    EXPECT_EQ(image.first().height(), 2);
    EXPECT_EQ(image.first().pixel(0, 0), 0xFFFFFFu);
    EXPECT_THROW(kalmira::cli::applyOpCalls(image, {parseOpArgument("Trim=0,0,9,9")}), imaging::Error);
}

}  // namespace

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "codecs/registry.h"
#include "test_data.h"

namespace {

// The option end to end: operations run before the saving, op_ms is reported, and a
// refused operation fails the command without writing.
TEST(CliOps, ConvertRunsOperationsBeforeSaving) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("kalmira-cli-ops-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    imaging::Bitmap b(40, 30, 24);
    imaging::SaveOptions png;
    png.format = imaging::format::Png;
    imaging::saveFile(dir / "in.png", imaging::Image::fromBitmap(b), png);
    const std::string base = kalmira::testing::cliProgram() + " convert '" + (dir / "in.png").string() + "' '" +
                             (dir / "out.png").string() + "' --format 75 ";
    const std::string report = (dir / "report.txt").string();
    ASSERT_EQ(std::system((base + "--op Size=20,10,0 --op Invert >'" + report + "' 2>/dev/null").c_str()), 0);
    std::ifstream in(report);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(text.str().find("op_ms: "), std::string::npos) << text.str();
    const imaging::Image out = imaging::loadFile(dir / "out.png");
    EXPECT_EQ(out.first().width(), 20);
    EXPECT_EQ(out.first().height(), 10);
    EXPECT_EQ(out.first().pixel(5, 5), 0xFFFFFFu);
    fs::remove(dir / "out.png");
    EXPECT_NE(std::system((base + "--op Mosaic=0 >/dev/null 2>&1").c_str()), 0);
    EXPECT_FALSE(fs::exists(dir / "out.png"));
    fs::remove_all(dir);
}

}  // namespace
