#pragma once
// A private X server for the tests that need the real window system (clipboard, screen
// capture): Xvfb on a display number it picks itself, stopped when the object goes. The test's
// main() starts it before QApplication and points DISPLAY and the Qt platform at it.

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kalmira::testing {

class XvfbServer {
public:
    XvfbServer(int width = 1600, int height = 1000) {
        int pipeFds[2];
        if (pipe(pipeFds) != 0) {
            reason_ = "no pipe";
            return;
        }
        const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
        const std::string fd = std::to_string(pipeFds[1]);
        const pid_t parent = getpid();
        pid_ = fork();
        if (pid_ == 0) {
            close(pipeFds[0]);
            // The server goes with the test even when the test dies without unwinding: a server
            // left behind would hold the test's output open and the test runner would wait on it.
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (getppid() != parent) _exit(127);
            // Quiet, and holding none of the test's output: Xvfb's font warnings are not the
            // test's business.
            if (std::FILE* null = std::fopen("/dev/null", "w")) {
                dup2(fileno(null), 1);
                dup2(fileno(null), 2);
            }
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(), "-nolisten", "tcp",
                   "-noreset", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(pipeFds[1]);
        if (pid_ < 0) {
            close(pipeFds[0]);
            reason_ = "fork failed";
            return;
        }
        std::string number;
        char c = 0;
        while (read(pipeFds[0], &c, 1) == 1 && c != '\n') number += c;
        close(pipeFds[0]);
        if (number.empty()) {
            reason_ = "Xvfb did not start (is the xvfb package installed?)";
            stop();
            return;
        }
        display_ = ":" + number;
    }
    ~XvfbServer() { stop(); }
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    bool running() const { return !display_.empty(); }
    const std::string& display() const { return display_; }
    const std::string& reason() const { return reason_; }

    // DISPLAY and the xcb platform for the QApplication about to be made, English texts.
    void useForQt() const {
        setenv("DISPLAY", display_.c_str(), 1);
        setenv("QT_QPA_PLATFORM", "xcb", 1);
        setenv("KALMIRA_LANGUAGE", "en", 1);
    }

private:
    void stop() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }

    pid_t pid_ = -1;
    std::string display_;
    std::string reason_;
};

}  // namespace kalmira::testing
