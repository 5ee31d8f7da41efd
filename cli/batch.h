#pragma once
// `kalmira-cli batch`: many files optimised with one profile, on several cores and, by shares of
// the input list, on several machines.

#include <iosfwd>
#include <string>
#include <vector>

namespace kalmira::cli {

// Exit status 0 when every file was written, 1 when any failed (each is listed), 130 when
// interrupted (the files in work are finished, no further one is started).
int runBatch(const std::vector<std::string>& args, std::ostream& out);

extern const char* const kBatchUsage;

}  // namespace kalmira::cli
