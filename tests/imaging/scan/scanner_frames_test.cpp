// Three-pass colour scans whose frames do not come as announced. SANE's test backend always
// sends its three colours properly, so the device's answers are altered between it and the
// engine: this program's own sane_get_parameters and sane_start stand in front of the
// library's (found with RTLD_NEXT) and change a frame's kind, size or last-frame flag.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <sane/sane.h>

#include <atomic>
#include <string>

#include "boundedchild.h"
#include "core/error.h"
#include "scan/scanner.h"
#include "test_data.h"

using namespace imaging;
using kalmira::testing::codeOf;
using kalmira::testing::inChild;

extern "C" const char* __lsan_default_suppressions() { return "leak:libsane-test.so\n"; }

namespace {

// What the device says about its frames, frame by frame of one scan (0 = first).
enum class Answer { AsItIs, NeverLast, LastAfterTwo, RedEveryTime, WholeSecond, NarrowerSecond, TallerSecond };
Answer answer = Answer::AsItIs;
int starts = 0;  // sane_start calls since the last reset
int frame = -1;  // the frame of the present scan whose parameters were asked last

}  // namespace

extern "C" SANE_Status sane_start(SANE_Handle handle) {
    static const auto real = reinterpret_cast<SANE_Status (*)(SANE_Handle)>(::dlsym(RTLD_NEXT, "sane_start"));
    ++starts;
    ++frame;
    return real(handle);
}

extern "C" SANE_Status sane_get_parameters(SANE_Handle handle, SANE_Parameters* p) {
    static const auto real =
        reinterpret_cast<SANE_Status (*)(SANE_Handle, SANE_Parameters*)>(::dlsym(RTLD_NEXT, "sane_get_parameters"));
    const SANE_Status status = real(handle, p);
    if (status != SANE_STATUS_GOOD || frame < 0) return status;
    switch (answer) {
    case Answer::AsItIs: break;
    case Answer::NeverLast: p->last_frame = SANE_FALSE; break;
    case Answer::LastAfterTwo:
        if (frame == 1) p->last_frame = SANE_TRUE;
        break;
    case Answer::RedEveryTime: p->format = SANE_FRAME_RED; break;
    case Answer::WholeSecond:
        if (frame == 1) {
            p->format = SANE_FRAME_RGB;
            p->bytes_per_line *= 3;
        }
        break;
    case Answer::NarrowerSecond:
        if (frame == 1) p->pixels_per_line -= 1;
        break;
    case Answer::TallerSecond:
        if (frame == 1) p->lines += 1;
        break;
    }
    return status;
}

namespace {

std::string testDevice() {
    for (const scan::Device& d : scan::devices())
        if (d.name.rfind("test", 0) == 0) return d.name;
    return {};
}

// The test device's colour pattern, 40 x 30 mm at 50 dpi, in three passes or one.
Bitmap patternScan(bool threePass, Answer how) {
    scan::Scanner scanner(testDevice());
    scanner.setText("mode", "Color");
    scanner.setNumber("three-pass", threePass ? 1 : 0);
    scanner.setNumber("resolution", 50);
    scanner.setText("test-picture", "Color pattern");
    scanner.setNumber("tl-x", 0);
    scanner.setNumber("tl-y", 0);
    scanner.setNumber("br-x", 40);
    scanner.setNumber("br-y", 30);
    answer = how;
    starts = 0;
    frame = -1;
    std::atomic<bool> cancel{false};
    Bitmap picture = scanner.scan(cancel);
    answer = Answer::AsItIs;
    return picture;
}

class ScannerFramesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        setenv("SANE_CONFIG_DIR", (kalmira::testing::testDataDir() + "/sane").c_str(), 1);
        ASSERT_EQ(scan::initialise(), 0);
    }
};

}  // namespace

// A device that never says which frame is its last still gives three colours and no more: the
// scan ends once red, green and blue are in, with the one-pass picture, and no fourth frame is
// started.
TEST_F(ScannerFramesTest, ThreeColoursEndTheScanWhateverTheLastFrameFlagSays) {
    const Bitmap once = patternScan(false, Answer::AsItIs);
    ASSERT_EQ(once.width(), 78);
    ASSERT_EQ(once.height(), 59);
    EXPECT_EQ(starts, 1);
    for (const Answer how : {Answer::AsItIs, Answer::NeverLast}) {
        const Bitmap merged = patternScan(true, how);
        EXPECT_EQ(starts, 3);
        ASSERT_EQ(merged.width(), once.width());
        ASSERT_EQ(merged.height(), once.height());
        ASSERT_EQ(merged.bits(), 24);
        int wrong = 0;
        for (int y = 0; y < once.height(); ++y)
            for (int x = 0; x < once.width(); ++x) wrong += merged.pixel(x, y) != once.pixel(x, y);
        EXPECT_EQ(wrong, 0);
    }
}

// Frames that do not make one picture are refused as damaged, each with its reason, before a
// fourth frame is started.
TEST_F(ScannerFramesTest, FramesThatDoNotFitTogetherAreRefused) {
    struct Case {
        const char* what;
        Answer how;
        const char* reason;
    } cases[] = {
        {"the last frame after two colours", Answer::LastAfterTwo, "before all three colours"},
        {"the same colour twice", Answer::RedEveryTime, "do not fit together"},
        {"a whole RGB frame after a colour", Answer::WholeSecond, "do not fit together"},
        {"a narrower second pass", Answer::NarrowerSecond, "do not fit together"},
        {"a taller second pass", Answer::TallerSecond, "do not fit together"},
    };
    for (const Case& c : cases) {
        const ErrorCode code = inChild(c.what, [&c] {
            try {
                patternScan(true, c.how);
            } catch (const Error& e) {
                if (e.code() != ErrorCode::Corrupt) throw;
                if (std::string(e.what()).find(c.reason) == std::string::npos)
                    fail(ErrorCode::InvalidArgument, "test", std::string("another reason: ") + e.what());
                if (starts > 3) fail(ErrorCode::TooLarge, "test", "a fourth frame was started");
                throw;
            }
        });
        EXPECT_EQ(code, ErrorCode::Corrupt) << c.what << " (" << static_cast<int>(code) << ")";
    }
}
