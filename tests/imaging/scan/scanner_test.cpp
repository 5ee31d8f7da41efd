// Scans from SANE's "test" backend: the picture has the size the resolution and area give, in
// grey and in colour; cancelling, a failing device and one that stops early end in an error
// and no picture.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <csignal>
#include <thread>
#include <sys/wait.h>
#include <unistd.h>

#include "core/error.h"
#include "scan/scanner.h"
#include "boundedchild.h"
#include "test_data.h"

using namespace imaging;
using kalmira::testing::codeOf;
using kalmira::testing::inChild;

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
    // A scan cancelled at 5 % ends with Cancelled before its end, and the device is ready for
    // the next scan.
    EXPECT_EQ(inChild("a scan cancelled, then one more", [] {
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
                  if (code != ErrorCode::Cancelled) fail(ErrorCode::Corrupt, "test", "not cancelled");
                  if (seen.load() >= 100) fail(ErrorCode::Corrupt, "test", "cancelled only at the end");
                  scanner.setNumber("read-delay", 0);
                  scanner.setNumber("resolution", 50);
                  std::atomic<bool> go{false};
                  if (scanner.scan(go).width() <= 0) fail(ErrorCode::Corrupt, "test", "no picture after the cancel");
              }),
              ErrorCode::Ok);
}

TEST_F(ScannerTest, AFailingOrShortDeviceGivesAnError) {
    // A small picture, so the backend's reader thread is mostly done before the scan is cancelled.
    // `scans` scans on one opening; every one before the last must give `code` too.
    const auto failingScan = [](const char* readReturns, int scans, ErrorCode code) {
        return [readReturns, scans, code] {
            scan::Scanner scanner(testDevice());
            scanner.setText("mode", "Gray");
            scanner.setNumber("resolution", 50);
            scanner.setNumber("br-x", 10);
            scanner.setNumber("br-y", 10);
            scanner.setText("read-return-value", readReturns);
            std::atomic<bool> cancel{false};
            for (int i = 1; i < scans; ++i)
                if (codeOf([&] { scanner.scan(cancel); }) != code) return;
            scanner.scan(cancel);
        };
    };
    const ErrorCode ioError = ErrorCode::ReadFailed, shortScan = ErrorCode::Truncated;
    EXPECT_EQ(inChild("a scan that fails with an I/O error", failingScan("SANE_STATUS_IO_ERROR", 1, ioError)), ioError);
    // The same failure a second time is reported the same way.
    EXPECT_EQ(inChild("two scans that fail with an I/O error", failingScan("SANE_STATUS_IO_ERROR", 2, ioError)), ioError);
    // EOF before the announced lines: the picture would be cut short.
    EXPECT_EQ(inChild("a scan that ends early", failingScan("SANE_STATUS_EOF", 1, shortScan)), shortScan);
    // Once the device reads again, the next scan is whole.
    EXPECT_EQ(inChild("a whole scan after a short one", [] {
                  scan::Scanner scanner(testDevice());
                  scanner.setNumber("resolution", 50);
                  scanner.setNumber("br-x", 10);
                  scanner.setNumber("br-y", 10);
                  scanner.setText("read-return-value", "SANE_STATUS_EOF");
                  std::atomic<bool> cancel{false};
                  if (codeOf([&] { scanner.scan(cancel); }) != ErrorCode::Truncated) return;
                  scanner.setText("read-return-value", "Default");
                  if (scanner.scan(cancel).height() != pixelsFor(10, 50)) fail(ErrorCode::Corrupt, "test", "wrong height");
              }),
              ErrorCode::Ok);
}

namespace {

// The test device's colour pattern over `width` x `height` mm at 50 dpi, as one scan would give
// it; `setUp` adds the device options under test.
Bitmap patternScan(scan::Scanner& scanner, const char* mode, double width, double height,
                   const std::function<void(scan::Scanner&)>& setUp, std::vector<int>* percents = nullptr) {
    // The test device keeps its settings from one opening to the next: those of the tests
    // before are undone.
    scanner.setText("read-return-value", "Default");
    scanner.setNumber("read-limit", 0);
    scanner.setNumber("read-delay", 0);
    scanner.setNumber("hand-scanner", 0);
    scanner.setText("mode", "Color");
    scanner.setNumber("three-pass", 0);
    scanner.setText("mode", mode);
    scanner.setNumber("resolution", 50);
    scanner.setText("test-picture", "Color pattern");
    if (width > 0) {
        scanner.setNumber("tl-x", 0);
        scanner.setNumber("tl-y", 0);
        scanner.setNumber("br-x", width);
        scanner.setNumber("br-y", height);
    }
    if (setUp) setUp(scanner);
    std::atomic<bool> cancel{false};
    return scanner.scan(cancel, [percents](int p) {
        if (percents) percents->push_back(p);
    });
}

bool samePixels(const Bitmap& a, const Bitmap& b) {
    if (a.width() != b.width() || a.height() != b.height() || a.bits() != b.bits()) return false;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y)) return false;
    return true;
}

}  // namespace

// Every mode the device offers (line art is grey at 1 bit a sample), with pictures whose pixels
// are known: solid black and white at 1, 8 and 16 bits a sample, and the black-and-white grid,
// which line art (eight pixels a byte, a set bit black) must give exactly as grey does.
TEST_F(ScannerTest, EveryModeGivesTheKnownPicture) {
    struct Case {
        const char* mode;
        int depth;
        const char* picture;
        int bits;
        Rgb every;
    } cases[] = {
        {"Gray", 1, "Solid black", 8, makeRgb(0, 0, 0)},        {"Gray", 1, "Solid white", 8, makeRgb(255, 255, 255)},
        {"Gray", 8, "Solid black", 8, makeRgb(0, 0, 0)},        {"Gray", 16, "Solid white", 8, makeRgb(255, 255, 255)},
        {"Color", 8, "Solid white", 24, makeRgb(255, 255, 255)}, {"Color", 16, "Solid black", 24, makeRgb(0, 0, 0)},
    };
    scan::Scanner scanner(testDevice());
    for (const Case& c : cases) {
        const Bitmap picture = patternScan(scanner, c.mode, 20, 10, [&](scan::Scanner& s) {
            s.setNumber("depth", c.depth);
            s.setText("test-picture", c.picture);
        });
        const std::string name = std::string(c.mode) + " " + std::to_string(c.depth) + " " + c.picture;
        ASSERT_EQ(picture.bits(), c.bits) << name;
        EXPECT_NEAR(picture.width(), pixelsFor(20, 50), 2) << name;
        EXPECT_EQ(picture.height(), pixelsFor(10, 50)) << name;
        int wrong = 0;
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x) wrong += picture.pixel(x, y) != c.every;
        EXPECT_EQ(wrong, 0) << name;
    }
    // At 16 bits a sample the high byte is kept. The grey colour pattern at 16 bits holds a ramp
    // from (4, 4) on whose sample is 256 (x - 4) + (y - 4), framed by 0x5555.
    const Bitmap ramp = patternScan(scanner, "Gray", 30, 20, [](scan::Scanner& s) { s.setNumber("depth", 16); });
    ASSERT_GE(ramp.width(), 54);
    ASSERT_EQ(ramp.height(), 39);
    int wrong = 0;
    for (int y = 0; y < ramp.height(); ++y)
        for (int x = 0; x < 54; ++x) {
            const int expected = x >= 4 && y >= 4 ? x - 4 : 0x55;
            wrong += ramp.pixel(x, y) != makeRgb(expected, expected, expected);
        }
    EXPECT_EQ(wrong, 0);
    // The grid: line art and grey agree pixel for pixel, and both hold black and white.
    const auto grid = [](int depth) {
        return [depth](scan::Scanner& s) {
            s.setNumber("depth", depth);
            s.setText("test-picture", "Grid");
        };
    };
    const Bitmap lineart = patternScan(scanner, "Gray", 30, 20, grid(1));
    const Bitmap gray = patternScan(scanner, "Gray", 30, 20, grid(8));
    EXPECT_TRUE(samePixels(lineart, gray));
    int black = 0, white = 0;
    for (int y = 0; y < lineart.height(); ++y)
        for (int x = 0; x < lineart.width(); ++x) {
            black += lineart.pixel(x, y) == makeRgb(0, 0, 0);
            white += lineart.pixel(x, y) == makeRgb(255, 255, 255);
        }
    EXPECT_GT(black, 0);
    EXPECT_GT(white, 0);
    EXPECT_EQ(black + white, lineart.width() * lineart.height());
}

TEST_F(ScannerTest, ThreePassesInAnyOrderMakeTheOnePassPicture) {
    // One device is open at a time.
    const Bitmap once = [this] {
        scan::Scanner plain(testDevice());
        return patternScan(plain, "Color", 40, 30, {});
    }();
    ASSERT_EQ(once.width(), 78);
    ASSERT_EQ(once.height(), 59);
    for (const char* order : {"RGB", "BGR", "GRB"}) {
        scan::Scanner scanner(testDevice());
        std::vector<int> percents;
        const Bitmap merged = patternScan(scanner, "Color", 40, 30, [order](scan::Scanner& s) {
            s.setNumber("three-pass", 1);
            s.setText("three-pass-order", order);
        }, &percents);
        EXPECT_EQ(merged.bits(), 24) << order;
        EXPECT_TRUE(samePixels(merged, once)) << order;
        EXPECT_EQ(merged.pixel(0, 0), makeRgb(85, 85, 85)) << order;
        EXPECT_EQ(merged.pixel(6, 1), makeRgb(1, 0, 0)) << order;
        EXPECT_EQ(merged.pixel(1, 6), makeRgb(255, 0, 0)) << order;
        EXPECT_EQ(merged.pixel(77, 58), makeRgb(0, 0, 240)) << order;
        // One bar over the three passes: rising, each pass a third of it, ending at 100.
        ASSERT_FALSE(percents.empty());
        EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end())) << order;
        EXPECT_EQ(percents.back(), 100) << order;
        EXPECT_NE(std::find(percents.begin(), percents.end(), 33), percents.end()) << order;
        EXPECT_NE(std::find(percents.begin(), percents.end(), 66), percents.end()) << order;
    }
}

TEST_F(ScannerTest, WithoutAnAnnouncedHeightTheScanIsReadToItsEnd) {
    // A hand scanner: 11 cm wide, its length told by the end of the data only. It gives what
    // the flatbed gives over the same 110 x 170 mm, in grey and in three colour passes.
    for (const bool threePass : {false, true}) {
        const char* mode = threePass ? "Color" : "Gray";
        const Bitmap expected = [this, mode] {
            scan::Scanner flatbed(testDevice());
            return patternScan(flatbed, mode, 110, 170, {});
        }();
        scan::Scanner scanner(testDevice());
        std::vector<int> percents;
        const Bitmap hand = patternScan(scanner, mode, 0, 0, [threePass](scan::Scanner& s) {
            s.setNumber("hand-scanner", 1);
            if (threePass) s.setNumber("three-pass", 1);
        }, &percents);
        EXPECT_EQ(hand.width(), 216) << mode;
        EXPECT_EQ(hand.height(), 334) << mode;
        EXPECT_TRUE(samePixels(hand, expected)) << mode;
        EXPECT_EQ(hand.pixel(0, 0), makeRgb(85, 85, 85)) << mode;
        EXPECT_EQ(hand.pixel(106, 1), threePass ? makeRgb(21, 0, 0) : makeRgb(21, 21, 21)) << mode;
        // No share is known while the first pass runs; the later passes know their length.
        ASSERT_GE(percents.size(), 2u);
        EXPECT_EQ(percents.front(), -1) << mode;
        EXPECT_EQ(percents.back(), 100) << mode;
        for (int p : percents) EXPECT_TRUE(p == -1 || (threePass && p >= 33 && p <= 100) || p == 100) << mode << " " << p;
    }
}

TEST_F(ScannerTest, AScanWithoutAnAnnouncedHeightStopsAtTheGrowthLimit) {
    // 216 x 334 grey pixels: one byte short of them is refused with the reason, exactly them
    // is enough, and the device is ready again after the refusal.
    const auto hand = [](scan::Scanner& s) { s.setNumber("hand-scanner", 1); };
    EXPECT_EQ(inChild("a scan beyond the growth limit, then one within it", [hand] {
                  scan::Scanner scanner(testDevice());
                  scanner.setGrowthLimit(216 * 334 - 1);
                  try {
                      patternScan(scanner, "Gray", 0, 0, hand);
                      fail(ErrorCode::Corrupt, "test", "the scan outgrew its limit");
                  } catch (const Error& e) {
                      if (e.code() != ErrorCode::TooLarge) throw;
                      if (std::string(e.what()).find("without saying how long") == std::string::npos)
                          fail(ErrorCode::Corrupt, "test", "no reason given");
                  }
                  scanner.setGrowthLimit(216 * 334);
                  if (patternScan(scanner, "Gray", 0, 0, hand).height() != 334) fail(ErrorCode::Corrupt, "test", "wrong height");
              }),
              ErrorCode::Ok);
}
