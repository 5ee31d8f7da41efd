#include "settings/qualityoptions.h"

#include "settings/settingsstore.h"

namespace kalmira {

namespace {

const QString kSection = QString::fromLatin1(kQualitySection);

bool readFlag(const char* key, bool defaultValue) {
    return ReadLeadingInt16(kSection, QString::fromLatin1(key), defaultValue ? 1 : 0) != 0;
}

}  // namespace

QualityOptionsRecord& QualityOptions() {
    static QualityOptionsRecord options;
    return options;
}

void LoadQualityOptions(QualityOptionsRecord& options) {
    const QualityOptionsRecord defaults;
    options.QualityNumbers = readFlag("QualityNumbers", defaults.QualityNumbers);
    options.ByteBudget = readFlag("ByteBudget", defaults.ByteBudget);
    options.WebpAvif = readFlag("WebpAvif", defaults.WebpAvif);
    options.DifferenceView = readFlag("DifferenceView", defaults.DifferenceView);
    options.SmallJpeg = readFlag("SmallJpeg", defaults.SmallJpeg);
    options.KeepProfile = readFlag("KeepProfile", defaults.KeepProfile);
    options.KeepAuthor = readFlag("KeepAuthor", defaults.KeepAuthor);
}

void SaveQualityOptions(const QualityOptionsRecord& options) {
    WriteWholeNumber(kSection, QStringLiteral("QualityNumbers"), options.QualityNumbers ? 1 : 0);
    WriteWholeNumber(kSection, QStringLiteral("ByteBudget"), options.ByteBudget ? 1 : 0);
    WriteWholeNumber(kSection, QStringLiteral("WebpAvif"), options.WebpAvif ? 1 : 0);
    WriteWholeNumber(kSection, QStringLiteral("DifferenceView"), options.DifferenceView ? 1 : 0);
    WriteWholeNumber(kSection, QStringLiteral("SmallJpeg"), options.SmallJpeg ? 1 : 0);
    WriteWholeNumber(kSection, QStringLiteral("KeepProfile"), options.KeepProfile ? 1 : 0);
    WriteWholeNumber(kSection, QStringLiteral("KeepAuthor"), options.KeepAuthor ? 1 : 0);
}

QualityOptionsNotifier& QualityOptionsNotifier::instance() {
    static QualityOptionsNotifier notifier;
    return notifier;
}

}  // namespace kalmira
