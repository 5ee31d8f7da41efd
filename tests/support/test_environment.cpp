// Linked into every test program: it sets up what the programs need before main() runs, so
// each passes when started straight from the build folder as well as under CTest. English
// texts (the captions the tests compare), the offscreen platform (no display needed) and a
// configuration folder of its own, so a test never reads or overwrites the user's settings.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace {

std::filesystem::path& configFolder() {
    static std::filesystem::path folder;
    return folder;
}

void removeConfigFolder() {
    std::error_code ignored;
    if (!configFolder().empty()) std::filesystem::remove_all(configFolder(), ignored);
}

struct TestEnvironment {
    TestEnvironment() {
        setenv("KALMIRA_LANGUAGE", "en", 1);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        // A document's Variation updates return once their outcomes are in, as most tests
        // expect; the tests of the asynchronous update itself switch this off.
        setenv("KALMIRA_WAIT_FOR_UPDATES", "1", 0);
        // A test function that waits for something that never comes is stopped after two
        // minutes rather than Qt Test's default five, so a hung window test fails quickly.
        setenv("QTEST_FUNCTION_TIMEOUT", "120000", 0);
        // A test program started again by its parent (a death test) shares the parent's folder.
        if (const char* inherited = std::getenv("XDG_CONFIG_HOME");
            inherited && std::filesystem::path(inherited).filename().string().starts_with("kalmira-test-") &&
            std::filesystem::is_directory(inherited))
            return;
        std::string pattern = (std::filesystem::temp_directory_path() / "kalmira-test-XXXXXX").string();
        if (!mkdtemp(pattern.data())) {
            // Going on would let the tests write into the user's own configuration.
            std::perror("kalmira tests: no private configuration folder");
            std::abort();
        }
        configFolder() = pattern;
        setenv("XDG_CONFIG_HOME", pattern.c_str(), 1);
        std::atexit(removeConfigFolder);
    }
};

const TestEnvironment environment;

}  // namespace

#include "test_data.h"

namespace kalmira::testing {

const std::string& testDataDir() {
    static const std::string dir = KALMIRA_TEST_DATA;
    return dir;
}

const std::string& buildDir() {
    static const std::string dir = KALMIRA_BUILD_DIR;
    return dir;
}

}  // namespace kalmira::testing
