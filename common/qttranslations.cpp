#include "common/qttranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <memory>

#include "common/globals.h"

namespace kalmira {

namespace {

std::unique_ptr<QTranslator>& installed() {
    static std::unique_ptr<QTranslator> translator;
    return translator;
}

}  // namespace

QString ProgramLanguageCode() {
    return LanguageOffset == kGermanLanguageOffset ? QStringLiteral("de") : QStringLiteral("en");
}

bool LoadQtTranslations() {
    if (!QCoreApplication::instance()) return false;
    if (installed()) {
        QCoreApplication::removeTranslator(installed().get());
        installed().reset();
    }
    const QString language = ProgramLanguageCode();
    if (language == QLatin1String("en")) return true;
    // "qtbase" holds the texts of the widgets and standard dialogs; the program uses no other
    // Qt module with texts of its own.
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QLocale(language), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    QCoreApplication::installTranslator(translator.get());
    installed() = std::move(translator);
    return true;
}

}  // namespace kalmira
