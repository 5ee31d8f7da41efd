#include "rules/profilefile.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <stdexcept>

#include "rules/conversions.h"
#include "rules/initext.h"

namespace kalmira {

ProfileReading ReadProfileFromText(std::string_view settingsText, int slot) {
    ProfileReading reading{BuiltInProfile(slot), {}};
    const std::string section = settings::ProfileSection(slot);
    std::map<std::string, std::string, std::less<>> stored;
    for (settings::IniEntry& entry : settings::ParseIniText(settingsText))
        if (entry.section == section) stored[std::move(entry.key)] = std::move(entry.value);

    for (const settings::ProfileKey& row : settings::kProfileKeys) {
        const auto it = stored.find(row.key);
        if (it == stored.end()) continue;
        if (row.textField) {
            reading.profile.*row.textField = it->second;
            continue;
        }
        const settings::Conversion<std::int16_t> value = settings::LeadingInt16(it->second);
        if (value.ok())
            reading.profile.*row.field16 = value.value;
        else
            reading.problems.push_back(section + "/" + std::string(row.key) + " = \"" + it->second + "\" " +
                                       (value.status == settings::ConversionStatus::Overflow
                                            ? "is out of range"
                                            : "is not a number") +
                                       "; the default " + std::to_string(reading.profile.*row.field16) + " is used");
    }
    return reading;
}

ProfileReading ReadProfileFromFile(const std::filesystem::path& file, int slot) {
    std::error_code ec;
    if (!std::filesystem::exists(file, ec) && !ec) return ReadProfileFromText({}, slot);
    if (std::filesystem::is_directory(file, ec))
        throw std::runtime_error("cannot read the settings file " + file.string() + ": it is a folder");
    std::ifstream in(file, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read the settings file " + file.string() + ": " + std::strerror(errno));
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) throw std::runtime_error("cannot read the settings file " + file.string());
    return ReadProfileFromText(text, slot);
}

std::filesystem::path UserSettingsFile() {
    std::filesystem::path base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/') {
        base = xdg;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        base = std::filesystem::path(home) / ".config";
    } else {
        base = ".config";
    }
    return base / "Kalmira" / "Kalmira 4.2.ini";
}

}  // namespace kalmira
