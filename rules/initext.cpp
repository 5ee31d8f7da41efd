#include "rules/initext.h"

namespace kalmira::settings {

namespace {

bool isSpaceOrTab(char c) { return c == ' ' || c == '\t'; }

// Blanks at both ends, and byte-order marks that editors leave at the start of a line (also
// where files were joined).
std::string_view trimLine(std::string_view text) {
    for (;;) {
        if (!text.empty() && (isSpaceOrTab(text.front()) || text.front() == '\r'))
            text.remove_prefix(1);
        else if (text.substr(0, 3) == "\xEF\xBB\xBF")
            text.remove_prefix(3);
        else
            break;
    }
    while (!text.empty() && (isSpaceOrTab(text.back()) || text.back() == '\r')) text.remove_suffix(1);
    return text;
}

std::string_view trimValue(std::string_view text) {
    while (!text.empty() && (isSpaceOrTab(text.front()) || text.front() == '\r')) text.remove_prefix(1);
    while (!text.empty() && (isSpaceOrTab(text.back()) || text.back() == '\r')) text.remove_suffix(1);
    return text;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The inside of a quoted value. An escape it does not know is kept as written.
std::string unescape(std::string_view quoted) {
    std::string out;
    out.reserve(quoted.size());
    for (std::size_t i = 0; i < quoted.size(); ++i) {
        const char c = quoted[i];
        if (c != '\\' || i + 1 >= quoted.size()) {
            out.push_back(c);
            continue;
        }
        const char next = quoted[i + 1];
        switch (next) {
            case '\\': out.push_back('\\'); ++i; break;
            case '"': out.push_back('"'); ++i; break;
            case 'n': out.push_back('\n'); ++i; break;
            case 'r': out.push_back('\r'); ++i; break;
            case 't': out.push_back('\t'); ++i; break;
            case 'x': {
                const int high = i + 2 < quoted.size() ? hexDigit(quoted[i + 2]) : -1;
                const int low = i + 3 < quoted.size() ? hexDigit(quoted[i + 3]) : -1;
                if (high >= 0 && low >= 0) {
                    out.push_back(static_cast<char>(high * 16 + low));
                    i += 3;
                } else {
                    out.push_back(c);
                }
                break;
            }
            default: out.push_back(c); break;
        }
    }
    return out;
}

bool needsQuotes(std::string_view value) {
    if (value.empty()) return false;
    if (isSpaceOrTab(value.front()) || isSpaceOrTab(value.back()) || value.front() == '"') return true;
    for (char c : value)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return true;
    return false;
}

}  // namespace

std::vector<IniEntry> ParseIniText(std::string_view text) {
    std::vector<IniEntry> entries;
    std::string section;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = trimLine(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.empty() || line.front() == ';' || line.front() == '#') continue;
        if (line.front() == '[') {
            std::string_view name = line.substr(1);
            const std::size_t close = name.rfind(']');
            if (close != std::string_view::npos) name = name.substr(0, close);
            section = std::string(trimValue(name));
            continue;
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) continue;
        const std::string_view key = trimValue(line.substr(0, equals));
        if (key.empty()) continue;
        std::string_view value = trimValue(line.substr(equals + 1));
        std::string decoded;
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            decoded = unescape(value.substr(1, value.size() - 2));
        else
            decoded = std::string(value);
        entries.push_back({section, std::string(key), std::move(decoded)});
    }
    return entries;
}

namespace {

bool isValidUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        if (c < 0x80) length = 1;
        else if (c >= 0xC2 && c <= 0xDF) length = 2;
        else if (c >= 0xE0 && c <= 0xEF) length = 3;
        else if (c >= 0xF0 && c <= 0xF4) length = 4;
        else return false;
        if (i + length > text.size()) return false;
        for (std::size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
        i += length;
    }
    return true;
}

}  // namespace

bool IsIniText(std::string_view text) {
    if (text.find('\0') != std::string_view::npos || !isValidUtf8(text)) return false;
    bool onlyBlankOrComments = true;
    std::string_view rest = text;
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        const std::string_view line = trimLine(rest.substr(0, end));
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        if (line.empty() || line.front() == ';' || line.front() == '#') continue;
        if (line.front() == '[' || line.find('=') != std::string_view::npos) return true;
        onlyBlankOrComments = false;
    }
    return onlyBlankOrComments;
}

std::string EncodeIniValue(std::string_view value) {
    if (!needsQuotes(value)) return std::string(value);
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out = "\"";
    for (char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
            case '\\': out += "\\\\"; break;
            case '"': out += "\\\""; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (byte < 0x20 || byte == 0x7f) {
                    out += "\\x";
                    out.push_back(kHex[byte >> 4]);
                    out.push_back(kHex[byte & 0xF]);
                } else {
                    out.push_back(c);
                }
        }
    }
    out.push_back('"');
    return out;
}

std::string FormatIniText(const std::vector<IniEntry>& entries) {
    std::string out;
    bool first = true;
    const std::string* currentSection = nullptr;
    for (const IniEntry& entry : entries) {
        if (!currentSection || entry.section != *currentSection) {
            // Keys before any section need no header; after one, "[]" brings them back.
            if (!first || !entry.section.empty()) {
                if (!first) out.push_back('\n');
                out += '[' + entry.section + "]\n";
            }
            currentSection = &entry.section;
        }
        out += entry.key;
        out.push_back('=');
        out += EncodeIniValue(entry.value);
        out.push_back('\n');
        first = false;
    }
    return out;
}

}  // namespace kalmira::settings
