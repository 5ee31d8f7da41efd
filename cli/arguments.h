#pragma once
// Command-line parsing shared by the commands: each command declares its options in a table,
// and the parser checks names, values and repetition against it. A new option is one more
// row in the table and one more read of the parsed result.

#include <map>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kalmira::cli {

// A mistake in the command line: reported with the usage text, exit status 2.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct OptionDef {
    std::string_view name;  // without the leading "--"
    bool takesValue;
    bool repeatable = false;
};

class ParsedArgs {
public:
    std::vector<std::string> positional;

    bool has(std::string_view name) const { return values_.count(std::string(name)) != 0; }
    // Every value given for a repeatable option, in command-line order.
    const std::vector<std::string>& all(std::string_view name) const;
    // An integer option in [min, max], or `fallback` when absent. Throws UsageError.
    int integer(std::string_view name, int fallback, int min, int max) const;
    // The text of a single-valued option, or empty when absent.
    std::string text(std::string_view name) const;

private:
    friend ParsedArgs parseArguments(std::span<const std::string>, std::span<const OptionDef>);
    std::map<std::string, std::vector<std::string>> values_;
};

// Options may come before, between or after the positional words; "--name value" and
// "--name=value" are both accepted. Throws UsageError.
ParsedArgs parseArguments(std::span<const std::string> words, std::span<const OptionDef> definitions);

// A whole decimal number, or UsageError naming `what`.
int parseInteger(const std::string& text, std::string_view what);

}  // namespace kalmira::cli
