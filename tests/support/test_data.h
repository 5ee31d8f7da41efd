#pragma once
// Where the tests' data files live in the source tree. The path is compiled into the one file
// that defines this, not into every test, so the test sources compile to the same objects in any
// checkout and a fresh clone reuses what the compiler cache already holds.
#include <string>

namespace kalmira::testing {

const std::string& testDataDir();

// The build folder's root, for programs a test runs (the command-line tool, the installed
// readme).
const std::string& buildDir();

// The command-line tool of this build.
inline std::string cliProgram() { return buildDir() + "/cli/kalmira-cli"; }

}  // namespace kalmira::testing
