#pragma once
// Every key of the settings store in one place: section, key, how its text is read, and its
// default. The in-memory defaults of ProgramOptions and the built-in profiles are taken from
// these rows, so a default is written down exactly once. The profile keys (kProfileKeys) are
// kept with the profiles in rules/, where programs without the windows read them too.

#include "rules/optimizeprofile.h"
#include "settings/programoptions.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace kalmira::settings {

inline constexpr std::string_view kSectionSettings = "Settings";
inline constexpr std::string_view kSectionDisplay = "DisplaySettings";
inline constexpr std::string_view kSectionLastFiles = "LastFiles";

// A default that depends on the running program (its folder, window sizes); the caller
// supplies it.
inline constexpr std::string_view kComputedDefault = "<computed>";

struct SettingKey {
    std::string_view section;
    std::string_view key;
    ValueKind kind;
    std::string_view defaultText;
    // The ProgramOptions field the key holds, if any (at most one of the two is set).
    std::int16_t ProgramOptionsRecord::*field16 = nullptr;
    std::int32_t ProgramOptionsRecord::*field32 = nullptr;
};

// Sections "Settings", "DisplaySettings" and "LastFiles", in the order LoadSettings reads them.
inline constexpr std::array<SettingKey, 27> kSettingKeys{{
    {kSectionSettings, "MainLeft", ValueKind::StrictWholeNumber, "1000"},
    {kSectionSettings, "MainTop", ValueKind::StrictWholeNumber, "1000"},
    {kSectionSettings, "MainWidth", ValueKind::StrictWholeNumber, "6500"},
    {kSectionSettings, "MainHeight", ValueKind::StrictWholeNumber, "6500"},
    {kSectionSettings, "MainWindowState", ValueKind::LeadingInt16, "2"},  // 0 normal, 1 min, 2 max
    {kSectionSettings, "OptionsAutoApply", ValueKind::LeadingInt16, "1", &ProgramOptionsRecord::OptionsAutoApply},
    {kSectionSettings, "InitialOpenVariations", ValueKind::LeadingInt16, "1", &ProgramOptionsRecord::InitialOpenVariations},
    {kSectionSettings, "DownloadSpeed", ValueKind::LeadingInt32, "28800", nullptr, &ProgramOptionsRecord::DownloadSpeed},
    {kSectionDisplay, "FitToWindow", ValueKind::LeadingInt16, "1", &ProgramOptionsRecord::FitToWindow},
    {kSectionDisplay, "DisplayLimitWidthToEnabled", ValueKind::LeadingInt16, "0", &ProgramOptionsRecord::DisplayLimitWidthToEnabled},
    {kSectionDisplay, "DisplayLimitWidthTo", ValueKind::LeadingInt16, "320", &ProgramOptionsRecord::DisplayLimitWidthTo},
    {kSectionDisplay, "DisplayLimitHeightToEnabled", ValueKind::LeadingInt16, "0", &ProgramOptionsRecord::DisplayLimitHeightToEnabled},
    {kSectionDisplay, "DisplayLimitHeightTo", ValueKind::LeadingInt16, "200", &ProgramOptionsRecord::DisplayLimitHeightTo},
    {kSectionDisplay, "StandardZoomLevel", ValueKind::LeadingInt16, "100", &ProgramOptionsRecord::StandardZoomLevel},
    {kSectionDisplay, "DisplayOrder", ValueKind::LeadingInt16, "0", &ProgramOptionsRecord::DisplayOrder},
    {kSectionLastFiles, "File0", ValueKind::Text, ""},
    {kSectionLastFiles, "File1", ValueKind::Text, ""},
    {kSectionLastFiles, "File2", ValueKind::Text, ""},
    {kSectionLastFiles, "File3", ValueKind::Text, ""},
    {kSectionLastFiles, "File4", ValueKind::Text, ""},
    {kSectionSettings, "InitDir", ValueKind::Text, kComputedDefault},  // the pictures folder, else home
    {kSectionSettings, "ToolsOpen", ValueKind::StrictBoolean, "True"},
    {kSectionSettings, "PaletteOpen", ValueKind::StrictBoolean, "True"},
    // Read and written by the tools and palette windows themselves.
    {kSectionSettings, "ToolsLeft", ValueKind::StrictSingle, "0"},
    // main window height - status bar height - tools window height - 100
    {kSectionSettings, "ToolsTop", ValueKind::StrictSingle, kComputedDefault},
    // tools window left + tools window width
    {kSectionSettings, "PaletteLeft", ValueKind::StrictSingle, kComputedDefault},
    // tools window top + tools window height - palette window height
    {kSectionSettings, "PaletteTop", ValueKind::StrictSingle, kComputedDefault},
}};

// The loader reads a field by its row's kind; a row whose field and kind disagree would read
// or write the wrong encoding, so the table is checked where it is compiled.
constexpr bool RowsAgreeWithFields() {
    for (const SettingKey& row : kSettingKeys) {
        if (row.field16 && row.kind != ValueKind::LeadingInt16) return false;
        if (row.field32 && row.kind != ValueKind::LeadingInt32) return false;
    }
    for (const ProfileKey& row : kProfileKeys) {
        if ((row.field16 != nullptr) == (row.textField != nullptr)) return false;
        if (row.field16 && row.kind != ValueKind::LeadingInt16) return false;
        if (row.textField && row.kind != ValueKind::Text) return false;
    }
    return true;
}
static_assert(RowsAgreeWithFields());

// The row of a non-profile key; throws std::out_of_range for a key not in the table.
const SettingKey& FindSettingKey(std::string_view section, std::string_view key);

}  // namespace kalmira::settings
