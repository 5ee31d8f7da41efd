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
