#include "document/documentrules.h"

#include <QFileInfo>
#include <QLocale>

#include <cmath>
#include <cstdlib>

#include "core/codec.h"
#include "core/color.h"
#include "common/texts.h"
#include "rules/conversions.h"

namespace kalmira {

int NearestPaletteIndex(const std::function<std::uint32_t(int)>& paletteEntry, int palettePixelDepth,
                        std::uint32_t color) {
    // A palette holds at most 256 entries; a larger depth would only search empty slots.
    const int entries = 1 << std::clamp(palettePixelDepth, 0, 8);
    int best = 0;
    int bestDistance = 1000;
    for (int j = 0; j < entries; ++j) {
        const std::uint32_t entry = paletteEntry(j);
        const int distance = std::abs(imaging::redOf(entry) - imaging::redOf(color)) +
                             std::abs(imaging::greenOf(entry) - imaging::greenOf(color)) +
                             std::abs(imaging::blueOf(entry) - imaging::blueOf(color));
        if (distance < bestDistance) {
            bestDistance = distance;
            best = j;
        }
        if (distance == 0) break;
    }
    return best;
}

QString NameBeforeFirstDot(const QString& name) {
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    return dot >= 1 ? name.left(dot) : name;
}

QString ExtensionAfterFirstDot(const QString& path) {
    // Only the file's own name counts: a dot in a folder name ("/home/j.doe/") is no extension.
    const QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    return dot >= 0 ? name.mid(dot + 1) : QString();
}

int ColorLimitOf(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    const settings::Conversion<double> number =
        settings::LeadingNumber(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    if (number.status == settings::ConversionStatus::Overflow) return bytes.trimmed().startsWith('-') ? 0 : 256;
    if (!number.ok() || !std::isfinite(number.value)) return 0;
    const double rounded = std::nearbyint(number.value);
    if (rounded <= 0) return 0;
    return rounded >= 256 ? 256 : static_cast<int>(rounded);
}

QString ProposedSaveName(const QString& path, const QString& extension) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const QString folder = path.left(slash + 1);
    const QString name = NameBeforeFirstDot(path.mid(slash + 1));
    return extension.isEmpty() ? folder + name : folder + name + QLatin1Char('.') + extension;
}

int EngineFormatNumber(const VariationRecord& record, bool bmpCompressed, bool tiffCompressed, bool& known) {
    const int yuv = record.JPEGYUV_Color == QLatin1String("1") ? 1 : record.JPEGYUV_Color == QLatin1String("2") ? 2 : 0;
    return EngineFormatNumber(record.Format, yuv, record.BMPWindows, bmpCompressed, tiffCompressed, known);
}

float DownloadSeconds(std::int64_t fileSize, std::int32_t bitsPerSecond) {
    if (bitsPerSecond <= 0) return 0.0f;
    return static_cast<float>(fileSize) / static_cast<float>(bitsPerSecond) * 9.0f;
}

QString FormatWholeNumber(std::int64_t value) { return QLocale().toString(static_cast<qlonglong>(value)); }

QString FormatOneDecimal(double value) {
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
    return locale.toString(value, 'f', 1);
}

static QString bitsText(int bits) {
    return QStringLiteral(", ") + QString::number(bits) + QStringLiteral(" Bit") + (bits > 1 ? QStringLiteral("s") : QString());
}

QString VariationCaption(std::int64_t fileSize, const QString& formatName, int bits, std::int64_t originalFileSize,
                         float seconds, const QString& quality) {
    QString caption = FormatWholeNumber(fileSize) + QLatin1Char(' ') + LoadText(5410);
    caption += QStringLiteral(", ") + formatName;
    caption += bitsText(bits);
    if (originalFileSize > 0) {
        const double percent = 100.0 * static_cast<double>(fileSize) / static_cast<double>(originalFileSize);
        caption += QStringLiteral(", ") + FormatWholeNumber(std::llround(percent)) + QLatin1Char('%');
    }
    caption += quality;
    caption += QStringLiteral(", ") + FormatOneDecimal(seconds) + LoadText(5411);
    return caption;
}

QString OriginalCaption(std::int64_t fileSize, int bits, float seconds) {
    if (fileSize == 0) return {};
    QString caption = FormatWholeNumber(fileSize) + QLatin1Char(' ') + LoadText(5410);
    caption += bitsText(bits);
    caption += QStringLiteral(", ") + FormatOneDecimal(seconds) + QLatin1Char(' ') + LoadText(5411);
    return caption;
}

QString DownloadPanelText(float seconds, std::int32_t bitsPerSecond, int atTextId) {
    return FormatOneDecimal(seconds) + LoadText(atTextId) + FormatOneDecimal(bitsPerSecond / 1000.0) +
           QStringLiteral("kbps)");
}

}  // namespace kalmira
