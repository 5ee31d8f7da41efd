#pragma once
// Error trapping. Every event handler and public operation runs its
// body through Guarded(): while ErrorTrapping is on, an error ends the body and is reported
// through ReportError (OK returns to the caller; Cancel ends the process at once). The engine's
// cancel (20150) and a cancelled common dialog (32755) end the command silently.
// While ErrorTrapping is off the error passes on to the caller unchanged.

#include <QString>
#include <exception>
#include <functional>
#include <utility>

namespace kalmira {

// Numbers for errors that carry none of their own.
inline constexpr int kOutOfMemoryNumber = 7;        // std::bad_alloc
inline constexpr int kUnexpectedErrorNumber = 51;   // any other exception ("internal error")

// The error being reported: number and description, as ReportError shows them.
struct ErrorInfo {
    int number = 0;
    QString description;
};

// The answer of the error report's message box.
enum class ReportAnswer { Ok, Cancel };

// Shows the error report's message box and returns the user's answer. Replaceable so that tests
// answer it without a window; returns the previous function. nullptr restores the default.
using ReportPrompt = std::function<ReportAnswer(const QString& title, const QString& message)>;
ReportPrompt SetReportPrompt(ReportPrompt prompt);

// What Cancel does; by default std::_Exit(1) (no unload handlers, no settings written).
// Replaceable for tests only.
using ProcessTerminator = std::function<void()>;
ProcessTerminator SetProcessTerminator(ProcessTerminator terminator);

// The common error report: default pointer, message 5002 + "(n) description"
// + 5003, critical icon, title 5004, OK and Cancel; Cancel ends the process.
void ReportError(const ErrorInfo& error);

// The number and description of an exception: kalmira::AppError and imaging::Error keep theirs,
// std::bad_alloc is 7 "Out of memory", any other exception 51 with its what() text.
ErrorInfo DescribeException(std::exception_ptr error);

// True for the numbers that end a command silently (20150, 32755).
bool IsSilentCancel(int number);

// Handles the exception currently being caught (call only inside a catch block):
// silent for the cancel codes, else ReportError. Rethrows when ErrorTrapping is off.
void HandleCurrentError();

// Runs body; while ErrorTrapping is on, every error it throws is handled as above and Guarded
// returns false. Returns true when the body ended normally.
template <class F>
bool Guarded(F&& body) {
    try {
        std::forward<F>(body)();
        return true;
    } catch (...) {
        HandleCurrentError();
        return false;
    }
}

}  // namespace kalmira
