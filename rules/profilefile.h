#pragma once
// Reading an optimisation profile straight from the user's settings file, as the settings
// store reads it (same file, same text form, same keys, defaults and conversions), for
// programs that run without the windows.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "rules/optimizeprofile.h"

namespace kalmira {

struct ProfileReading {
    OptimizeProfile profile;
    // One line per stored value that did not convert; such a value keeps its default, as
    // the windows keep it.
    std::vector<std::string> problems;
};

// Slot `slot` (1..6) of a settings file's text. A missing key or section gives the slot's
// built-in default; numbers are read by the leading-number parse; a key given twice counts
// with its last value. Throws std::out_of_range for a slot outside 1..6.
ProfileReading ReadProfileFromText(std::string_view settingsText, int slot);

// The same from a file. A file that does not exist gives the built-in profile (a user who
// never changed a preference has none); one that exists but cannot be read throws
// std::runtime_error naming the file and the system's reason.
ProfileReading ReadProfileFromFile(const std::filesystem::path& file, int slot);

// Where the program keeps the user's settings: $XDG_CONFIG_HOME (else ~/.config) /
// "Kalmira/Kalmira 4.2.ini".
std::filesystem::path UserSettingsFile();

}  // namespace kalmira
