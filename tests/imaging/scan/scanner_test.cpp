// Scans from SANE's "test" backend: the picture has the size the resolution and area give, in
// grey and in colour; cancelling, a failing device and one that stops early end in an error
// and no picture.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <thread>

#include "core/error.h"
#include "scan/scanner.h"
#include "test_data.h"

using namespace imaging;

// SANE's test backend keeps its read buffers until the library is unloaded, which a sanitizer
// build reports as a leak of the backend's own; ours are still checked.
extern "C" const char* __lsan_default_suppressions() { return "leak:libsane-test.so\n"; }

namespace {

class ScannerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // Only the test backend: real devices on the machine stay out of the tests.
        setenv("SANE_CONFIG_DIR", (kalmira::testing::testDataDir() + "/sane").c_str(), 1);
        ASSERT_EQ(scan::initialise(), 0);
    }

    static std::string testDevice() {
        for (const scan::Device& d : scan::devices())
            if (d.name.rfind("test", 0) == 0) return d.name;
        return {};
    }

    static int pixelsFor(double millimetres, double dpi) { return static_cast<int>(millimetres / 25.4 * dpi); }
};

ErrorCode codeOf(const std::function<void()>& body) {
    try {
        body();
    } catch (const Error& e) {
        return e.code();
    }
    return ErrorCode::Ok;
}

}  // namespace

TEST_F(ScannerTest, FindsTheTestDevices) {
    const auto found = scan::devices();
    ASSERT_GE(found.size(), 1u);
    EXPECT_EQ(found[0].name.rfind("test", 0), 0u);
    EXPECT_EQ(codeOf([] { scan::Scanner none("nosuchbackend:0"); }), ErrorCode::FileNotFound);
}

TEST_F(ScannerTest, OffersItsOptionsWithRangesAndUnits) {
    scan::Scanner scanner(testDevice());
    bool mode = false, resolution = false, area = false;
    for (const scan::Option& o : scanner.options()) {
        if (o.name == "mode") {
            mode = true;
            EXPECT_EQ(o.type, scan::Option::Type::String);
            EXPECT_NE(std::find(o.texts.begin(), o.texts.end(), "Color"), o.texts.end());
        }
        if (o.name == "resolution") {
            resolution = true;
            EXPECT_EQ(o.unit, scan::Option::Unit::Dpi);
            EXPECT_TRUE(o.hasRange);
            EXPECT_DOUBLE_EQ(o.maximum, 1200);
        }
        if (o.name == "br-x") {
            area = true;
            EXPECT_EQ(o.unit, scan::Option::Unit::Millimetre);
        }
    }
    EXPECT_TRUE(mode && resolution && area);
}

TEST_F(ScannerTest, ScanSizeFollowsResolutionAndArea) {
    struct Case {
        const char* mode;
        double dpi, width, height;
        int bits;
    } cases[] = {{"Gray", 100, 25.4, 12.7, 8}, {"Color", 100, 25.4, 12.7, 24}, {"Gray", 300, 50.8, 10, 8},
                 {"Color", 75, 80, 100, 24}};
    for (const Case& c : cases) {
        scan::Scanner scanner(testDevice());
        scanner.setText("mode", c.mode);
        scanner.setNumber("resolution", c.dpi);
        scanner.setNumber("tl-x", 0);
        scanner.setNumber("tl-y", 0);
        scanner.setNumber("br-x", c.width);
        scanner.setNumber("br-y", c.height);
        scanner.setText("test-picture", "Solid white");
        std::atomic<bool> cancel{false};
        int lastPercent = 0;
        const Bitmap picture = scanner.scan(cancel, [&](int p) { lastPercent = p; });
        // The test device rounds its line to a whole number of its own units (98 pixels for one
        // inch at 100 dpi); the height is exact.
        EXPECT_NEAR(picture.width(), pixelsFor(c.width, c.dpi), 2) << c.mode << " " << c.dpi;
        EXPECT_NEAR(picture.height(), pixelsFor(c.height, c.dpi), 1) << c.mode << " " << c.dpi;
        EXPECT_EQ(picture.bits(), c.bits);
        EXPECT_EQ(picture.pixel(picture.width() / 2, picture.height() / 2), makeRgb(255, 255, 255));
        EXPECT_EQ(lastPercent, 100);
    }
}

TEST_F(ScannerTest, CancelEndsTheScanWithoutAPicture) {
    scan::Scanner scanner(testDevice());
    scanner.setNumber("resolution", 300);
    scanner.setNumber("read-delay", 1);
    scanner.setNumber("read-delay-duration", 20000);
    scanner.setNumber("read-limit", 1);
    scanner.setNumber("read-limit-size", 4096);
    std::atomic<bool> cancel{false};
    std::atomic<int> seen{0};
    const ErrorCode code = codeOf([&] {
        scanner.scan(cancel, [&](int percent) {
            seen = percent;
            if (percent >= 5) cancel = true;
        });
    });
    EXPECT_EQ(code, ErrorCode::Cancelled);
    EXPECT_LT(seen.load(), 100);
    // The device is ready for the next scan.
    scanner.setNumber("read-delay", 0);
    scanner.setNumber("resolution", 50);
    std::atomic<bool> go{false};
    EXPECT_GT(scanner.scan(go).width(), 0);
}

TEST_F(ScannerTest, AFailingOrShortDeviceGivesAnError) {
    {
        scan::Scanner scanner(testDevice());
        scanner.setText("read-return-value", "SANE_STATUS_IO_ERROR");
        std::atomic<bool> cancel{false};
        EXPECT_EQ(codeOf([&] { scanner.scan(cancel); }), ErrorCode::ReadFailed);
    }
    {
        // EOF before the announced lines: the picture would be cut short.
        scan::Scanner scanner(testDevice());
        scanner.setText("read-return-value", "SANE_STATUS_EOF");
        std::atomic<bool> cancel{false};
        EXPECT_EQ(codeOf([&] { scanner.scan(cancel); }), ErrorCode::Truncated);
    }
}
