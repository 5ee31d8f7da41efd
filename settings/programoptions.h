#pragma once
// The preferences the program keeps between runs, held in memory while it runs. One instance
// for the whole process (ProgramOptions()); the options dialog edits a copy and replaces it
// wholesale on OK, then SaveAllSettings writes it out, so store and record agree after every OK.
//
// Field names are the store's key names; keep them stable, every window reads them by name.

#include <QString>

#include "rules/optimizeprofile.h"

#include <array>
#include <cstdint>

namespace kalmira {

struct ProgramOptionsRecord {
    std::int16_t OptionsAutoApply = 1;            // 1 = a Variation change is applied at once
    std::int16_t InitialOpenVariations = 1;       // 0..5 Variations shown for a new image
    std::int16_t StandardZoomLevel = 100;         // percent, 1..800
    std::int32_t DownloadSpeed = 28800;           // bits per second
    std::int16_t FitToWindow = 1;                 // 1 or 0
    std::int16_t DisplayLimitWidthToEnabled = 0;  // 1 or 0
    std::int16_t DisplayLimitWidthTo = 320;       // pixels, 2..1000
    std::int16_t DisplayLimitHeightToEnabled = 0; // 1 or 0
    std::int16_t DisplayLimitHeightTo = 200;      // pixels, 2..1000
    std::int16_t DisplayOrder = 0;                // 0 horizontal, 1 vertical
    std::array<OptimizeProfile, kProfileSlotCount> Profiles{};  // 1..5 Variations, 6 batch

    friend bool operator==(const ProgramOptionsRecord&, const ProgramOptionsRecord&) = default;
};

// Every preference at its built-in default, profiles included.
ProgramOptionsRecord DefaultProgramOptions();

// The process's preferences. Starts at the built-in defaults; LoadSettings fills it.
ProgramOptionsRecord& ProgramOptions();

// Main-window values kept outside ProgramOptions: the remembered normal placement (twips) and
// window state, the Open dialog's folder, the recent files and whether the tools and palette
// windows were open. LoadSettings fills them; the main window keeps them up to date.
inline constexpr std::int16_t kWindowStateNormal = 0;
inline constexpr std::int16_t kWindowStateMinimized = 1;
inline constexpr std::int16_t kWindowStateMaximized = 2;
inline constexpr int kRecentFileCount = 5;

struct MainWindowPlacement {
    std::int32_t MainLeft = 1000;
    std::int32_t MainTop = 1000;
    std::int32_t MainWidth = 6500;
    std::int32_t MainHeight = 6500;
    std::int16_t MainWindowState = kWindowStateMaximized;

    friend bool operator==(const MainWindowPlacement&, const MainWindowPlacement&) = default;
};

struct MainWindowSettings {
    MainWindowPlacement Placement;
    QString InitialDirectory;                            // default: the program's folder
    std::array<QString, kRecentFileCount> RecentFiles;   // 0 = most recent; empty = free
    bool ToolsOpen = true;
    bool PaletteOpen = true;
};

MainWindowSettings& MainSettings();

// Reads every value in the store's order (placement, options, the six profiles, recent files,
// Open dialog folder, tools and palette flags) into ProgramOptions() and MainSettings().
// A missing key gives its default, and so does a value that does not convert; reading goes on,
// so one damaged value does not cost the user every preference after it (and a later OK in the
// options dialog does not overwrite them with defaults). The first conversion error or overflow
// is then raised as kalmira::AppError (13 or 6), for the caller's guard to report.
void LoadSettings();

// Writes ProgramOptions(): its "Settings" keys, all of "DisplaySettings" and Optimize1..6.
// A write the store cannot keep raises kalmira::AppError.
void SaveAllSettings();

}  // namespace kalmira
