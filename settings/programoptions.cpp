#include "settings/programoptions.h"

#include "rules/conversions.h"
#include "settings/settingskeys.h"

#include <stdexcept>

namespace kalmira {

namespace {

// The table's defaults are plain decimal texts; a row that does not parse is a typo in the
// table, caught by the first test run rather than shipped as a silent 0.
std::int32_t tableNumber(std::string_view text) {
    settings::Conversion<std::int32_t> number = settings::StrictWholeNumber(text);
    if (!number.ok()) throw std::logic_error("settings table default is not a number");
    return number.value;
}

}  // namespace

ProgramOptionsRecord DefaultProgramOptions() {
    ProgramOptionsRecord options;
    for (const settings::SettingKey& row : settings::kSettingKeys) {
        if (row.field16) options.*row.field16 = static_cast<std::int16_t>(tableNumber(row.defaultText));
        if (row.field32) options.*row.field32 = tableNumber(row.defaultText);
    }
    for (int slot = kFirstProfileSlot; slot <= kLastProfileSlot; ++slot)
        options.Profiles[static_cast<std::size_t>(slot)] = BuiltInProfile(slot);
    return options;
}

ProgramOptionsRecord& ProgramOptions() {
    static ProgramOptionsRecord options = DefaultProgramOptions();
    return options;
}

MainWindowSettings& MainSettings() {
    static MainWindowSettings settings;
    return settings;
}

}  // namespace kalmira
