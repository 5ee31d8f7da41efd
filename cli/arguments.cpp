#include "arguments.h"

#include <charconv>

namespace kalmira::cli {

const std::vector<std::string>& ParsedArgs::all(std::string_view name) const {
    static const std::vector<std::string> none;
    const auto it = values_.find(std::string(name));
    return it == values_.end() ? none : it->second;
}

int parseInteger(const std::string& text, std::string_view what) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end)
        throw UsageError("--" + std::string(what) + " needs a whole number, not \"" + text + "\"");
    return value;
}

int ParsedArgs::integer(std::string_view name, int fallback, int min, int max) const {
    if (!has(name)) return fallback;
    const int value = parseInteger(all(name).back(), name);
    if (value < min || value > max)
        throw UsageError("--" + std::string(name) + " must be between " + std::to_string(min) + " and " +
                         std::to_string(max));
    return value;
}

std::string ParsedArgs::text(std::string_view name) const { return has(name) ? all(name).back() : std::string(); }

ParsedArgs parseArguments(std::span<const std::string> words, std::span<const OptionDef> definitions) {
    ParsedArgs parsed;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (word.size() < 3 || word.compare(0, 2, "--") != 0) {
            parsed.positional.push_back(word);
            continue;
        }
        std::string name = word.substr(2);
        std::string value;
        bool inlineValue = false;
        if (const auto eq = name.find('='); eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.resize(eq);
            inlineValue = true;
        }
        const OptionDef* def = nullptr;
        for (const OptionDef& s : definitions)
            if (s.name == name) def = &s;
        if (!def) throw UsageError("unknown option --" + name);
        if (def->takesValue && !inlineValue) {
            if (i + 1 >= words.size()) throw UsageError("--" + name + " needs a value");
            value = words[++i];
        } else if (!def->takesValue && inlineValue) {
            throw UsageError("--" + name + " takes no value");
        }
        auto& list = parsed.values_[name];
        if (!list.empty() && !def->repeatable) throw UsageError("--" + name + " given twice");
        list.push_back(value);
    }
    return parsed;
}

}  // namespace kalmira::cli
