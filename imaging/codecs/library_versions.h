#pragma once
// The versions of the codec libraries the engine runs on, for the system information window
// and bug reports: the library's own run-time answer where it has one, else the version it was
// built against.

#include <string>
#include <utility>
#include <vector>

namespace imaging {

// Pairs of library name and version, in a fixed order.
std::vector<std::pair<std::string, std::string>> libraryVersions();

}  // namespace imaging
