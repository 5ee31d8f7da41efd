// The guard every handler runs through: what it catches, what it reports, what stays silent.
#include "imaging/core/error.h"
#include "common/apperror.h"
#include "common/errortrap.h"
#include "common/globals.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace kalmira {
namespace {

struct Prompt {
    QString title;
    QString message;
};

// Answers the error report without a window and records what it was asked.
class ErrorTrapTest : public ::testing::Test {
protected:
    void SetUp() override {
        LanguageOffset = 0;
        ErrorTrapping = true;
        previousPrompt_ = SetReportPrompt([this](const QString& title, const QString& message) {
            prompts.push_back({title, message});
            return answer;
        });
        previousTerminator_ = SetProcessTerminator([this] { ++terminations; });
    }
    void TearDown() override {
        SetReportPrompt(previousPrompt_);
        SetProcessTerminator(previousTerminator_);
        ErrorTrapping = false;
    }

    std::vector<Prompt> prompts;
    ReportAnswer answer = ReportAnswer::Ok;
    int terminations = 0;

private:
    ReportPrompt previousPrompt_;
    ProcessTerminator previousTerminator_;
};

TEST_F(ErrorTrapTest, ReportsAnAppErrorWithNumberAndDescription) {
    bool after = false;
    const bool ok = Guarded([&] {
        throw AppError(42, QStringLiteral("boom"));
        after = true;
    });
    EXPECT_FALSE(ok);
    EXPECT_FALSE(after);
    ASSERT_EQ(prompts.size(), 1u);
    EXPECT_EQ(prompts[0].title, QStringLiteral("Error"));
    EXPECT_EQ(prompts[0].message,
              QStringLiteral("An unexpected error occured: \n(42) boom\nDo you want to continue?"));
    EXPECT_EQ(terminations, 0);
}

TEST_F(ErrorTrapTest, CatchesEngineAndStandardErrors) {
    EXPECT_FALSE(Guarded([] { imaging::fail(imaging::ErrorCode::Corrupt, "gif", "bad block"); }));
    EXPECT_FALSE(Guarded([] { throw std::runtime_error("plain"); }));
    EXPECT_FALSE(Guarded([] { throw 17; }));
    ASSERT_EQ(prompts.size(), 3u);
    EXPECT_TRUE(prompts[0].message.contains(QStringLiteral("(6) gif: bad block"))) << prompts[0].message.toStdString();
    EXPECT_TRUE(prompts[1].message.contains(QStringLiteral("(51) plain")));
    EXPECT_TRUE(prompts[2].message.contains(QStringLiteral("(51) Unknown error")));
}

TEST_F(ErrorTrapTest, CancelCodesEndTheCommandSilently) {
    EXPECT_FALSE(Guarded([] { throw AppError(kCommonDialogCancelled, QStringLiteral("cancelled")); }));
    EXPECT_FALSE(Guarded([] { throw AppError(kEngineDialogCancelled, QStringLiteral("cancelled")); }));
    EXPECT_FALSE(Guarded([] { throw imaging::Error(imaging::ErrorCode::Cancelled, "dialog"); }));
    EXPECT_TRUE(prompts.empty());
    EXPECT_EQ(terminations, 0);
}

TEST_F(ErrorTrapTest, NormalBodiesRunToTheEnd) {
    int runs = 0;
    EXPECT_TRUE(Guarded([&] { ++runs; }));
    EXPECT_EQ(runs, 1);
    EXPECT_TRUE(prompts.empty());
}

TEST_F(ErrorTrapTest, CancelInTheReportEndsTheProcess) {
    answer = ReportAnswer::Cancel;
    Guarded([] { throw AppError(5, QStringLiteral("x")); });
    EXPECT_EQ(terminations, 1);
}

TEST_F(ErrorTrapTest, WithTrappingOffErrorsPassToTheCaller) {
    ErrorTrapping = false;
    EXPECT_THROW(Guarded([] { throw AppError(5, QStringLiteral("x")); }), AppError);
    EXPECT_THROW(Guarded([] { throw AppError(kCommonDialogCancelled, QString()); }), AppError);
    EXPECT_TRUE(prompts.empty());
}

TEST_F(ErrorTrapTest, GuardsNest) {
    // An inner guard handles its own error; the outer body goes on.
    bool outerFinished = false;
    EXPECT_TRUE(Guarded([&] {
        Guarded([] { throw AppError(3, QStringLiteral("inner")); });
        outerFinished = true;
    }));
    EXPECT_TRUE(outerFinished);
    EXPECT_EQ(prompts.size(), 1u);
}

// The real Cancel: the process ends at once with code 1 and writes nothing.
TEST(ErrorTrapDeathTest, CancelEndsTheProcessWritingNothing) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            ErrorTrapping = true;
            SetReportPrompt([](const QString&, const QString&) { return ReportAnswer::Cancel; });
            Guarded([] { throw AppError(5, QStringLiteral("x")); });
            std::fputs("still running", stderr);
            std::exit(0);
        },
        ::testing::ExitedWithCode(1), "^$");
}

}  // namespace
}  // namespace kalmira
