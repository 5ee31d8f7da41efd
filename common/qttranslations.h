#pragma once
// Qt's own texts (the standard dialog buttons "Cancel", "Yes", "No", the file dialog, the
// colour dialog) in the program's language: the German program would otherwise mix German
// texts with Qt's English ones.

#include <QString>

namespace kalmira {

// The language code of LanguageOffset: "de" for German, "en" for English.
QString ProgramLanguageCode();

// Installs Qt's translations for the program's language on the running application, taking
// away those of an earlier call. English needs none. Returns whether Qt's texts are now in the
// program's language (false when the German translation files are not installed: Qt's texts
// then stay English, which is all that is lost).
bool LoadQtTranslations();

}  // namespace kalmira
