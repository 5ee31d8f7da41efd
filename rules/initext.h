#pragma once
// The text form of the settings file. Plain C++ (no Qt), so the command line and the fuzz build
// read it exactly as the program does.
//
// A value is the text after "=" as it stands, so a hand-written path such as C:\pal\web.pal or
// a name with ";" or "#" in it reads back exactly. Only a value that could not survive that
// (line breaks, other control characters, blanks at either end, a leading quote) is written
// in double quotes with backslash escapes (\\ \" \n \r \t \xHH).
//
// Reading is lenient: lines it cannot use are skipped, never an error, so a damaged file still
// gives every key it holds.

#include <string>
#include <string_view>
#include <vector>

namespace kalmira::settings {

struct IniEntry {
    std::string section;  // empty for keys before the first section
    std::string key;
    std::string value;

    friend bool operator==(const IniEntry&, const IniEntry&) = default;
};

// Entries in file order. Lines: "[section]", "key=value", comments starting with ";" or "#",
// blank lines; anything else is skipped. A section line missing its "]" still names the section.
std::vector<IniEntry> ParseIniText(std::string_view text);

// Whether a file's bytes are settings text at all: valid UTF-8 without NUL bytes, holding a
// section or an entry, or nothing but blanks and comments. Binary garbage is not.
bool IsIniText(std::string_view text);

// One "key=value" line's value, quoted only when it must be.
std::string EncodeIniValue(std::string_view value);

// The file text of entries in order; a section header is written wherever the section changes,
// so ParseIniText gives the same entries back.
std::string FormatIniText(const std::vector<IniEntry>& entries);

}  // namespace kalmira::settings
