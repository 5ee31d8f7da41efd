#include "tools/toolsnumbers.h"

#include <cmath>
#include <limits>

#include "document/documentrules.h"
#include "rules/conversions.h"

namespace kalmira {

double ReadNumber(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    const settings::Conversion<double> number =
        settings::LeadingNumber(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    // A number too large for a double is still far beyond every limit: it reads as "very large"
    // so the clamps replace it, instead of failing the box.
    if (number.status == settings::ConversionStatus::Overflow)
        return bytes.trimmed().startsWith('-') ? -std::numeric_limits<double>::max() : std::numeric_limits<double>::max();
    return number.ok() && std::isfinite(number.value) ? number.value : 0.0;
}

int RoundHalfEven(double value) {
    if (std::isnan(value)) return 0;
    constexpr double low = std::numeric_limits<int>::min();
    constexpr double high = std::numeric_limits<int>::max();
    const double rounded = std::nearbyint(value);
    if (rounded <= low) return std::numeric_limits<int>::min();
    if (rounded >= high) return std::numeric_limits<int>::max();
    return static_cast<int>(rounded);
}

QString FormatScaled(int value, int scale) {
    if (scale <= 1) return QString::number(value);
    return QString::number(static_cast<double>(value) / scale, 'g', 12);
}

int ProportionalSize(double quotient) {
    if (std::trunc(quotient) == 0.0) return 1;
    return RoundHalfEven(quotient);
}

QString ClampColorCountText(const QString& text, const QString& noLimitText) {
    // The encoding reads the kept text by the same rule, so what the box shows is what is used.
    const int limit = ColorLimitOf(text);
    if (limit <= 0) return noLimitText;
    if (ReadNumber(text) > 256) return QStringLiteral("256");
    return text;
}

QString ClampPassesText(const QString& text) {
    const double number = ReadNumber(text);
    if (number > 64) return QStringLiteral("64");
    if (number < 0) return QStringLiteral("0");
    return text;
}

int ClampImageNumber(const QString& text, int maximum) {
    double number = ReadNumber(text);
    if (number > maximum) number = maximum;
    if (number < 1) number = 1;
    return RoundHalfEven(number);
}

namespace {

int characterOf(int depth) {
    if (depth >= 1 && depth <= 8) return depth - 1;
    if (depth == 16) return 8;
    if (depth == 24) return 9;
    if (depth == 32) return 10;
    return -1;
}

}  // namespace

bool DepthAllowed(const QString& pixelDepths, int depth) {
    const int k = characterOf(depth);
    return k >= 0 && k < pixelDepths.size() && pixelDepths.at(k) == QLatin1Char('1');
}

int ChooseDepthForFormat(const QString& pixelDepths, int current) {
    int d = current;
    for (int k = 1; k <= 8; ++k)
        if (k >= d && DepthAllowed(pixelDepths, k)) return k;
    for (int k : {16, 24, 32})
        if (k >= d && DepthAllowed(pixelDepths, k)) return k;
    if (d >= 16)
        for (int k = d; k >= 16; k -= 8)
            if (DepthAllowed(pixelDepths, k)) return k;
    if (d > 8) d = 8;
    for (int k = d; k >= 1; --k)
        if (DepthAllowed(pixelDepths, k)) return k;
    return 0;
}

}  // namespace kalmira
