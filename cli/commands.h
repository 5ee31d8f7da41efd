#pragma once
// The commands of kalmira-cli. Each prints one "key: value" line per result on `out` and
// returns the exit status; UsageError (status 2) and imaging::Error (status 1) propagate to
// main, which reports them.

#include <iosfwd>
#include <string>
#include <vector>

namespace kalmira::cli {

int runInfo(const std::vector<std::string>& args, std::ostream& out);
int runConvert(const std::vector<std::string>& args, std::ostream& out);
int runCompare(const std::vector<std::string>& args, std::ostream& out);

extern const char* const kUsage;

}  // namespace kalmira::cli
