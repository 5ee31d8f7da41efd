// Conversions of stored texts: the known answers of the leading-number parse, the strict
// conversions and their failures, and that every writer's text reads back as written.
#include "rules/conversions.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cstdint>
#include <string>

namespace kalmira::settings {
namespace {

constexpr ConversionStatus kOk = ConversionStatus::Ok;
constexpr ConversionStatus kMismatch = ConversionStatus::TypeMismatch;
constexpr ConversionStatus kOverflow = ConversionStatus::Overflow;

struct NumberCase {
    const char* text;
    double value;
    ConversionStatus status;
};

TEST(LeadingNumber, TakesTheLongestNumericPrefix) {
    const NumberCase cases[] = {
        {"1e3", 1000, kOk},        {"12abc", 12, kOk},     {"", 0, kOk},          {"abc", 0, kOk},
        {"  42", 42, kOk},         {"\t-7", -7, kOk},      {"+5", 5, kOk},        {"3.75", 3.75, kOk},
        {".5", 0.5, kOk},          {"-.25x", -0.25, kOk},  {"1e", 1, kOk},        {"1e+", 1, kOk},
        {"2E-1", 0.2, kOk},        {"1.2.3", 1.2, kOk},    {"--1", 0, kOk},       {"1,5", 1, kOk},
        {".", 0, kOk},             {"-", 0, kOk},          {"5 6", 5, kOk},       {"1e999", 0, kOverflow},
        {"1e-999", 0, kOk},        {"0e99999999999999", 0, kOk},                  {"0.000e-5000", 0, kOk},
        {"1e99999999999999999999", 0, kOverflow},         {"000000000000000000000000001", 1, kOk},
    };
    for (const NumberCase& c : cases) {
        Conversion<double> result = LeadingNumber(c.text);
        EXPECT_EQ(result.status, c.status) << '"' << c.text << '"';
        if (c.status == kOk) {
            EXPECT_DOUBLE_EQ(result.value, c.value) << '"' << c.text << '"';
        }
    }
}

struct IntCase {
    const char* text;
    std::int64_t value;
    ConversionStatus status;
};

TEST(LeadingNumber, RoundsHalvesToEvenAndOverflowsOutside16Bits) {
    const IntCase cases[] = {
        {"32767", 32767, kOk},   {"32768", 0, kOverflow},    {"-32768", -32768, kOk}, {"-32769", 0, kOverflow},
        {"2.5", 2, kOk},         {"3.5", 4, kOk},            {"-2.5", -2, kOk},       {"2.51", 3, kOk},
        {"-0.4", 0, kOk},        {"32767.5", 0, kOverflow},  {"32767.4", 32767, kOk}, {"1e3", 1000, kOk},
        {"4e4", 0, kOverflow},   {"garbage", 0, kOk},        {"", 0, kOk},            {"1e999", 0, kOverflow},
        {"256 colours", 256, kOk},
    };
    for (const IntCase& c : cases) {
        Conversion<std::int16_t> result = LeadingInt16(c.text);
        EXPECT_EQ(result.status, c.status) << '"' << c.text << '"';
        if (c.status == kOk) {
            EXPECT_EQ(result.value, c.value) << '"' << c.text << '"';
        }
    }
}

TEST(LeadingNumber, Holds32BitSpeeds) {
    const IntCase cases[] = {
        {"56000", 56000, kOk},          {"128000", 128000, kOk}, {"2147483647", 2147483647, kOk},
        {"2147483648", 0, kOverflow},   {"-2147483648", -2147483648LL, kOk}, {"1e3", 1000, kOk},
    };
    for (const IntCase& c : cases) {
        Conversion<std::int32_t> result = LeadingInt32(c.text);
        EXPECT_EQ(result.status, c.status) << '"' << c.text << '"';
        if (c.status == kOk) {
            EXPECT_EQ(result.value, c.value) << '"' << c.text << '"';
        }
    }
}

TEST(StrictWholeNumber, TheWholeTextMustBeANumber) {
    const IntCase cases[] = {
        {"1000", 1000, kOk},          {" 1000 ", 1000, kOk},  {"-5", -5, kOk},        {"1e3", 1000, kOk},
        {"1.5", 2, kOk},              {"7,5", 8, kOk},        {"12abc", 0, kMismatch}, {"", 0, kMismatch},
        {"   ", 0, kMismatch},        {"abc", 0, kMismatch},  {".", 0, kMismatch},   {"-", 0, kMismatch},
        {"1 2", 0, kMismatch},        {"1e", 0, kMismatch},   {"1.2.3", 0, kMismatch},
        {"2147483648", 0, kOverflow}, {"1e999", 0, kOverflow},
    };
    for (const IntCase& c : cases) {
        Conversion<std::int32_t> result = StrictWholeNumber(c.text);
        EXPECT_EQ(result.status, c.status) << '"' << c.text << '"';
        if (c.status == kOk) {
            EXPECT_EQ(result.value, c.value) << '"' << c.text << '"';
        }
    }
}

TEST(StrictSingle, AcceptsEitherDecimalSeparator) {
    const NumberCase cases[] = {
        {"1234.5", 1234.5, kOk}, {"1234,5", 1234.5, kOk}, {"-0.25", -0.25, kOk},   {"3e2", 300, kOk},
        {"abc", 0, kMismatch},   {"1.2.3", 0, kMismatch}, {"1,234.5", 0, kMismatch}, {"", 0, kMismatch},
        {"1e39", 0, kOverflow},  {"-1e39", 0, kOverflow},
    };
    for (const NumberCase& c : cases) {
        Conversion<float> result = StrictSingle(c.text);
        EXPECT_EQ(result.status, c.status) << '"' << c.text << '"';
        if (c.status == kOk) {
            EXPECT_FLOAT_EQ(result.value, static_cast<float>(c.value)) << '"' << c.text << '"';
        }
    }
}

TEST(StrictBoolean, WordsOrNumbers) {
    struct Case {
        const char* text;
        bool value;
        ConversionStatus status;
    };
    const Case cases[] = {
        {"True", true, kOk},     {"False", false, kOk}, {" true ", true, kOk},   {"FALSE", false, kOk},
        {"0", false, kOk},       {"-1", true, kOk},     {"0.0", false, kOk},     {"2.5", true, kOk},
        {"yes", false, kMismatch}, {"", false, kMismatch}, {"Truex", false, kMismatch}, {"1x", false, kMismatch},
        {"Tru", false, kMismatch},
    };
    for (const Case& c : cases) {
        Conversion<bool> result = StrictBoolean(c.text);
        EXPECT_EQ(result.status, c.status) << '"' << c.text << '"';
        if (c.status == kOk) {
            EXPECT_EQ(result.value, c.value) << '"' << c.text << '"';
        }
    }
}

TEST(Writers, EveryWrittenTextReadsBackUnchanged) {
    for (std::int64_t value : {0LL, -1LL, 32767LL, -32768LL, 28800LL, 2147483647LL}) {
        const std::string text = FormatWholeNumber(value);
        EXPECT_EQ(StrictWholeNumber(text).value, value) << text;
        EXPECT_EQ(LeadingInt32(text).value, value) << text;
    }
    for (float value : {0.0f, 0.1f, -1234.5f, 7680.25f, 3e-5f, 1e10f, FLT_MAX, -FLT_MAX, FLT_MIN}) {
        const std::string text = FormatSingle(value);
        Conversion<float> back = StrictSingle(text);
        ASSERT_TRUE(back.ok()) << text;
        EXPECT_EQ(back.value, value) << text;
    }
    EXPECT_TRUE(StrictBoolean(FormatBoolean(true)).value);
    EXPECT_FALSE(StrictBoolean(FormatBoolean(false)).value);
    EXPECT_EQ(FormatBoolean(true), "True");
}

}  // namespace
}  // namespace kalmira::settings
