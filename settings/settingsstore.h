#pragma once
// The per-user settings store: an INI file under the application name "Kalmira 4.2", every
// value text. settingskeys.h lists every section and key with its type and default; the
// typed accessors below are what the windows call.
//
// Reads never fail for a missing key (the default is used). A stored value that does not
// convert raises kalmira::AppError 13 (type mismatch) or 6 (overflow) for the caller's guard.
// Every write is flushed at once; a write the store cannot keep raises kalmira::AppError
// instead of being lost quietly. Nothing is ever removed from the store.

#include "settings/programoptions.h"

#include <QString>

#include <array>
#include <cstdint>
#include <optional>

namespace kalmira {

inline constexpr const char* kSettingsOrganization = "Kalmira";
inline constexpr const char* kSettingsApplication = "Kalmira 4.2";

// Number the settings code raises when the store cannot be written (the classic runtime's
// "Path/File access error").
inline constexpr int kSettingsWriteError = 75;
inline constexpr int kTypeMismatchError = 13;
inline constexpr int kOverflowError = 6;

// Full path of the INI file (for messages and tests).
QString SettingsFilePath();
// How often the file has been read and parsed since start (each key read must not cost one).
std::uint64_t SettingsFileReads();
// The largest settings file the store reads: the program writes a few kilobytes; a larger file
// was not written by it and would cost its load and every write seconds each.
inline constexpr qint64 kMaxSettingsFileBytes = 1 << 20;
// A store file that is not settings text (binary garbage), or is larger than
// kMaxSettingsFileBytes, would be overwritten with defaults at the next write: it is copied
// beside itself and emptied. Returns the copy's path, or empty when the file is fine, absent or
// could not be copied (then it is left alone).
QString RescueUnreadableSettingsFile();

// The store's two operations. ReadSetting returns the stored text, or defaultText when the key
// is absent. WriteSetting stores text and flushes it to disk.
QString ReadSetting(const QString& section, const QString& key, const QString& defaultText);
void WriteSetting(const QString& section, const QString& key, const QString& text);

// Typed reads by the encodings of the store:
//  - leading number: the numeric prefix ("1e3" -> 1000, "12abc" -> 12, "abc" -> 0), rounded;
//  - strict whole number / strict single: the whole text must be a number;
//  - strict boolean: True, False or a number (0 false, other true).
std::int16_t ReadLeadingInt16(const QString& section, const QString& key, std::int16_t defaultValue);
std::int32_t ReadLeadingInt32(const QString& section, const QString& key, std::int32_t defaultValue);
std::int32_t ReadStrictWholeNumber(const QString& section, const QString& key, std::int32_t defaultValue);
float ReadStrictSingle(const QString& section, const QString& key, float defaultValue);
bool ReadStrictBoolean(const QString& section, const QString& key, bool defaultValue);

void WriteWholeNumber(const QString& section, const QString& key, std::int64_t value);
void WriteSingle(const QString& section, const QString& key, float value);
void WriteBoolean(const QString& section, const QString& key, bool value);  // "True" / "False"

// The main window (load and unload).
MainWindowPlacement ReadMainWindowPlacement();
// A minimised state is stored as normal, so the next start does not open as an icon.
void WriteMainWindowPlacement(const MainWindowPlacement& placement);
// The folder the Open dialog starts in; until one was stored, the user's pictures folder (or
// the home folder when there is none).
QString ReadInitialDirectory();
QString DefaultInitialDirectory();
void WriteInitialDirectory(const QString& folder);
bool ReadToolsOpen();
void WriteToolsOpen(bool open);
bool ReadPaletteOpen();
void WritePaletteOpen(bool open);
// The main window's unload: both flags and the folder in one write.
void WriteWindowsOpenAndFolder(bool toolsOpen, bool paletteOpen, const QString& folder);

// Recent files, position 0..4 (0 the most recent); empty while the position is free.
QString ReadRecentFile(int position);
void WriteRecentFile(int position, const QString& fileName);
// The whole list in one write: each write reaches the disk before it returns (some tens of
// milliseconds), so a list that shifts is cheaper written at once.
void WriteRecentFiles(const std::array<QString, kRecentFileCount>& fileNames);

// The tools and palette windows' positions in twips. Their defaults depend on the windows'
// sizes, so the caller passes them.
float ReadToolsLeft(float defaultValue);
float ReadToolsTop(float defaultValue);
void WriteToolsPosition(float left, float top);
float ReadPaletteLeft(float defaultValue);
float ReadPaletteTop(float defaultValue);
void WritePalettePosition(float left, float top);
// Whether a place was stored for the tools or the palette window (false at the first start: the
// window then takes its first place beside the document area).
bool ToolsPositionStored();
bool PalettePositionStored();

// Reads the preferences of ProgramOptions and the six profiles (LoadSettings' middle steps).
void LoadProgramOptions(ProgramOptionsRecord& options);
// Writes one record; SaveAllSettings passes ProgramOptions().
void SaveProgramOptions(const ProgramOptionsRecord& options);

}  // namespace kalmira
