#pragma once
// The --format argument: an engine format number, or a writable format's name as its files
// are named ("gif", "jpeg", "webp", "avif", ...).

#include <string>

namespace kalmira::cli {

// The engine format number `text` names; UsageError when it names no writable format.
int formatFromArgument(const std::string& text);

}  // namespace kalmira::cli
