#pragma once
// The repeatable `--op NAME=ARG,ARG...` option of `kalmira-cli convert`: operations on the
// picture by name, with the arguments in the same units as the tools window passes them
// (see imaging/ops/operation_table.h), run in the order given.

#include <string>
#include <string_view>
#include <vector>

#include "core/image.h"

namespace kalmira::cli {

struct OpCall {
    std::string name;
    std::vector<long> args;
};

// Parses one option value: "Invert", "Sharpen=200", "Size=800,600,2", "Fill=0x0000FF".
// Arguments are decimal or 0x-hexadecimal integers with an optional sign. The name must be
// one of the engine's operations and the argument count must fit it. Throws imaging::Error
// (InvalidArgument) naming the option and the reason.
OpCall parseOpArgument(std::string_view text);

// Runs the calls in order on the image; returns the milliseconds they took together.
// Throws imaging::Error from the first operation that refuses its arguments.
double applyOpCalls(imaging::Image& image, const std::vector<OpCall>& calls);

}  // namespace kalmira::cli
