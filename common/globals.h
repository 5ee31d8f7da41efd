#pragma once
// Program-wide state (modVariablen and modMain), one instance per process.
// Everything runs on the one user-interface thread, so these are plain variables; the names
// are the ones every window and routine of the program uses for them.

#include <QString>
#include <QStringList>
#include <array>

class QMainWindow;

namespace kalmira {

// One row of the save-format table, fields in the design's order.
struct SaveFormat {
    int FormatCode = 0;   // 1 GIF, 2 JPEG, 3 BMP, 4 TIFF, 5 other, 6 PNG, 7 WebP, 8 AVIF
    QString PixelDepths;  // 11 chars "0"/"1" for depths 1,2,3,4,5,6,7,8,16,24,32
    QString FormatName;
    QString Extension;    // without the dot
};

inline constexpr int kSaveFormatCount = 16;
// The table goes on with the web formats WebP (16) and AVIF (17) after those sixteen.
inline constexpr int kAllSaveFormatCount = kSaveFormatCount + 2;
inline constexpr int kOpenFormatCount = 38;
inline constexpr int kGermanLanguageOffset = 10000;

// On from InitApplication on; while on, Guarded() reports errors through ReportError.
extern bool ErrorTrapping;
// Added to every text id; 10000 selects German, 0 English (KALMIRA_LANGUAGE=en).
extern int LanguageOffset;
// Program folder + "/" + text 5000.
extern QString HelpFilePath;
// Open dialog's file types: row 0 "All Graphics" (all patterns), rows 1..37 the formats.
extern QStringList OpenFormatNames;
extern QStringList OpenFormatPatterns;
// The formats a Variation can be encoded in; a Variation's Format indexes this table.
extern std::array<SaveFormat, kAllSaveFormatCount> SaveFormats;
// The one frmMain; not owned here (Main owns it).
extern QMainWindow* MainWindow;
// Number of open document windows; each document window counts itself in and out.
extern int OpenDocumentCount;
// False while a document is being built, activated or filled into the tools window:
// no Variation is re-encoded meanwhile.
extern bool ApplyReady;
// Re-entrancy guard of AktualisiereVariation: one Variation update at a time.
extern bool UpdateBusy;
// True while a file made by CreateTempFileName has not been deleted by DeleteTempFile.
extern bool TempFilePending;

// The program's one name ("Kalmira 4.2"): the main window's caption, the settings store's
// application, and the title of every message box that has no title of its own.
QString ApplicationName();

// Start-up: error trapping on, help-file path, open-format list, SaveFormats.
void InitApplication();

// Reads KALMIRA_LANGUAGE: "en" gives 0 (English), anything else 10000 (German).
int LanguageOffsetFromEnvironment();

}  // namespace kalmira
