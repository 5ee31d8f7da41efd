#include "op_args.h"

#include <charconv>
#include <chrono>

#include "core/error.h"
#include "ops/operation_table.h"

namespace kalmira::cli {

namespace {

[[noreturn]] void refuse(std::string_view text, const std::string& reason) {
    imaging::fail(imaging::ErrorCode::InvalidArgument, "--op " + std::string(text), reason);
}

long parseNumber(std::string_view whole, std::string_view item) {
    std::string_view digits = item;
    bool negative = false;
    if (!digits.empty() && (digits.front() == '-' || digits.front() == '+')) {
        negative = digits.front() == '-';
        digits.remove_prefix(1);
    }
    int base = 10;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        base = 16;
        digits.remove_prefix(2);
    }
    long value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
    if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size())
        refuse(whole, "\"" + std::string(item) + "\" is not a whole number");
    return negative ? -value : value;
}

}  // namespace

OpCall parseOpArgument(std::string_view text) {
    const std::size_t eq = text.find('=');
    OpCall call;
    call.name = std::string(text.substr(0, eq));
    const imaging::ops::OperationInfo* info = imaging::ops::findOperation(call.name);
    if (!info) refuse(text, "unknown operation \"" + call.name + "\"");
    if (eq != std::string_view::npos && eq + 1 < text.size()) {
        std::string_view rest = text.substr(eq + 1);
        while (true) {
            const std::size_t comma = rest.find(',');
            call.args.push_back(parseNumber(text, rest.substr(0, comma)));
            if (comma == std::string_view::npos) break;
            rest.remove_prefix(comma + 1);
        }
    }
    const std::size_t least = static_cast<std::size_t>(info->requiredArgs);
    const std::size_t most = least + info->defaults.size();
    if (call.args.size() < least || call.args.size() > most)
        refuse(text, call.name + " takes " + std::to_string(least) +
                         (most > least ? " to " + std::to_string(most) : std::string()) + " arguments, not " +
                         std::to_string(call.args.size()));
    return call;
}

double applyOpCalls(imaging::Image& image, const std::vector<OpCall>& calls) {
    const auto start = std::chrono::steady_clock::now();
    for (const OpCall& call : calls) imaging::ops::applyNamedOperation(image, call.name, call.args);
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace kalmira::cli
