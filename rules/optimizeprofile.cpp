#include "rules/optimizeprofile.h"

#include <stdexcept>

#include "rules/conversions.h"

namespace kalmira {

OptimizeProfile BuiltInProfile(int slot) {
    if (slot < kFirstProfileSlot || slot > kLastProfileSlot) throw std::out_of_range("profile slot out of range");
    OptimizeProfile profile;
    for (const settings::ProfileKey& row : settings::kProfileKeys) {
        const std::string_view text = row.slotDefaults[static_cast<std::size_t>(slot - kFirstProfileSlot)];
        if (row.field16) {
            // The table's defaults are plain decimal texts; one that does not parse is a typo in
            // the table, caught by the first test run rather than shipped as a silent 0.
            const settings::Conversion<std::int32_t> number = settings::StrictWholeNumber(text);
            if (!number.ok()) throw std::logic_error("profile table default is not a number");
            profile.*row.field16 = static_cast<std::int16_t>(number.value);
        } else if (row.textField) {
            profile.*row.textField = std::string(text);
        }
    }
    return profile;
}

namespace settings {

std::string ProfileSection(int slot) { return std::string(kProfileSectionPrefix) + std::to_string(slot); }

}  // namespace settings

}  // namespace kalmira
