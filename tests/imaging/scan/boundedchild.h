#pragma once
// Scan steps run in a child process with a time bound. SANE's test backend writes the picture
// from a reader thread that sane_cancel stops with pthread_cancel and then joins; a thread
// stopped inside the allocator keeps its arena locked and never ends, so the join waits for
// ever (seen in about one run of 30). Every scan that ends before its data does (cancelled,
// refused, failing) runs through inChild.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <functional>
#include <sys/wait.h>
#include <unistd.h>

#include "core/error.h"

namespace kalmira::testing {

// The error code `body` throws, Ok when it throws none.
inline imaging::ErrorCode codeOf(const std::function<void()>& body) {
    try {
        body();
    } catch (const imaging::Error& e) {
        return e.code();
    }
    return imaging::ErrorCode::Ok;
}

// Runs `body` in a child process and gives back the error code it ends with (Ok when it throws
// none). A child that has not ended after `seconds` is taken for the backend's deadlock and run
// afresh, up to `attempts` times; only a device that hangs every time fails the test, after a
// bounded wait, naming the step. A body reports a wrong result by throwing (an expectation in
// the child would be lost with it).
inline imaging::ErrorCode inChild(const char* what, const std::function<void()>& body, int seconds = 10,
                                  int attempts = 3) {
    for (int attempt = 1; attempt <= attempts; ++attempt) {
        const pid_t child = ::fork();
        if (child == 0) {
            ::alarm(static_cast<unsigned>(seconds));
            std::_Exit(static_cast<int>(codeOf(body)));
        }
        int status = 0;
        if (child < 0 || ::waitpid(child, &status, 0) != child) {
            ADD_FAILURE() << what << ": no child process";
            return imaging::ErrorCode::Ok;
        }
        if (WIFEXITED(status)) return static_cast<imaging::ErrorCode>(WEXITSTATUS(status));
        if (!WIFSIGNALED(status) || WTERMSIG(status) != SIGALRM) break;
    }
    ADD_FAILURE() << what << " did not end within " << seconds << " s, " << attempts << " times";
    return imaging::ErrorCode::Ok;
}

}  // namespace kalmira::testing
