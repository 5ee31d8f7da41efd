#include "common/globals.h"

#include <QByteArray>
#include <QtGlobal>

namespace kalmira {

bool ErrorTrapping = false;
// Taken from the environment already here, so code that runs without Main (tests, tools)
// reads the language the user asked for; Main sets it again as its first step.
int LanguageOffset = LanguageOffsetFromEnvironment();
QString HelpFilePath;
QStringList OpenFormatNames;
QStringList OpenFormatPatterns;
std::array<SaveFormat, kAllSaveFormatCount> SaveFormats;
QMainWindow* MainWindow = nullptr;
int OpenDocumentCount = 0;
bool ApplyReady = false;
bool UpdateBusy = false;
bool TempFilePending = false;

QString ApplicationName() { return QStringLiteral("Kalmira 4.2"); }

int LanguageOffsetFromEnvironment() {
    const QByteArray language = qgetenv("KALMIRA_LANGUAGE").trimmed().toLower();
    if (language == "en" || language.startsWith("en_") || language.startsWith("en-")) {
        return 0;
    }
    return kGermanLanguageOffset;
}

}  // namespace kalmira
