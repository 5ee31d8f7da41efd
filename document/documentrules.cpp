#include "document/documentrules.h"

#include <QFileInfo>
#include <QLocale>

#include <cmath>
#include <cstdlib>

#include "core/codec.h"
#include "core/color.h"
#include "common/texts.h"

namespace kalmira {

int GifDepthForColorCount(int colorCount) {
    if (colorCount <= 2) return 1;
    return static_cast<int>(std::log(static_cast<double>(colorCount - 1)) / std::log(2.0)) + 1;
}

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

int SmallerFormat(std::int64_t gifSize, std::int64_t jpegSize) {
    return gifSize > jpegSize ? save_format::Jpeg : save_format::Gif;
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

int EngineFormatNumber(const VariationRecord& record, bool bmpCompressed, bool tiffCompressed, bool& known) {
    namespace f = imaging::format;
    known = true;
    switch (record.Format) {
    case save_format::Gif: return f::Gif;
    case save_format::Jpeg:
        if (record.JPEGYUV_Color == QLatin1String("1")) return f::Jpeg422;
        if (record.JPEGYUV_Color == QLatin1String("2")) return f::Jpeg411;
        return f::Jpeg444;
    case save_format::Png: return f::Png;
    case save_format::Bmp:
        if (!record.BMPWindows) return f::BmpOs2;
        return bmpCompressed ? f::BmpRle : f::BmpWindows;
    case save_format::Eps: return f::Eps;
    case save_format::GemImage: return f::GemImage;
    case save_format::MacPaint: return f::MacPaint;
    case save_format::MsPaint: return f::MsPaint;
    case save_format::Pict: return f::Pict;
    case save_format::Pcx: return f::Pcx;
    case save_format::Psd: return f::Psd;
    case save_format::SunRaster: return f::SunRaster;
    case save_format::Tga: return f::Tga;
    case save_format::Tiff: return tiffCompressed ? f::TiffCompressed : f::TiffUncompressed;
    case save_format::Wmf: return f::Wmf;
    case save_format::Wpg: return f::Wpg;
    case save_format::Webp: return f::Webp;
    case save_format::Avif: return f::Avif;
    default: known = false; return 0;
    }
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
