#include "rules/conversions.h"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace kalmira::settings {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

// One number split into its parts, so that the text handed to from_chars is always in the one
// form it understands, whatever separator or sign the stored text used.
struct NumberParts {
    bool negative = false;
    std::string_view integerDigits;
    std::string_view fractionDigits;
    bool exponentNegative = false;
    std::string_view exponentDigits;
    std::size_t length = 0;  // characters of the input the number took
};

// Scans a number at the start of text. Returns false when text does not begin with one.
bool scanNumber(std::string_view text, bool allowComma, NumberParts& parts) {
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        parts.negative = text[i] == '-';
        ++i;
    }
    std::size_t start = i;
    while (i < text.size() && isDigit(text[i])) ++i;
    parts.integerDigits = text.substr(start, i - start);
    if (i < text.size() && (text[i] == '.' || (allowComma && text[i] == ','))) {
        std::size_t fractionStart = i + 1;
        std::size_t j = fractionStart;
        while (j < text.size() && isDigit(text[j])) ++j;
        if (!parts.integerDigits.empty() || j > fractionStart) {
            parts.fractionDigits = text.substr(fractionStart, j - fractionStart);
            i = j;
        }
    }
    if (parts.integerDigits.empty() && parts.fractionDigits.empty()) return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        bool negativeExponent = false;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) {
            negativeExponent = text[j] == '-';
            ++j;
        }
        std::size_t digitsStart = j;
        while (j < text.size() && isDigit(text[j])) ++j;
        if (j > digitsStart) {  // "1e" and "1e+" end before the "e"
            parts.exponentNegative = negativeExponent;
            parts.exponentDigits = text.substr(digitsStart, j - digitsStart);
            i = j;
        }
    }
    parts.length = i;
    return true;
}

// Decimal magnitude of the number, roughly: positive when it is at least 1, used only to tell
// an overflow from an underflow when from_chars gives up. Saturates instead of overflowing.
long long roughMagnitude(const NumberParts& parts) {
    constexpr long long kLimit = 1'000'000'000'000LL;
    long long exponent = 0;
    for (char c : parts.exponentDigits) {
        exponent = exponent * 10 + (c - '0');
        if (exponent > kLimit) { exponent = kLimit; break; }
    }
    if (parts.exponentNegative) exponent = -exponent;
    std::size_t firstNonZero = parts.integerDigits.find_first_not_of('0');
    if (firstNonZero != std::string_view::npos)
        return exponent + static_cast<long long>(parts.integerDigits.size() - firstNonZero);
    std::size_t fractionNonZero = parts.fractionDigits.find_first_not_of('0');
    if (fractionNonZero == std::string_view::npos) return std::numeric_limits<long long>::min();  // zero
    return exponent - static_cast<long long>(fractionNonZero);
}

Conversion<double> toDouble(const NumberParts& parts) {
    std::string normal;
    normal.reserve(parts.integerDigits.size() + parts.fractionDigits.size() + parts.exponentDigits.size() + 4);
    normal.append(parts.integerDigits.empty() ? std::string_view("0") : parts.integerDigits);
    if (!parts.fractionDigits.empty()) {
        normal.push_back('.');
        normal.append(parts.fractionDigits);
    }
    if (!parts.exponentDigits.empty()) {
        normal.push_back('e');
        if (parts.exponentNegative) normal.push_back('-');
        normal.append(parts.exponentDigits);
    }
    double value = 0;
    auto [end, error] = std::from_chars(normal.data(), normal.data() + normal.size(), value);
    Conversion<double> result;
    if (error == std::errc::result_out_of_range) {
        if (roughMagnitude(parts) > 0) {
            result.status = ConversionStatus::Overflow;
            return result;
        }
        value = 0;  // too small to tell from zero
    } else if (error != std::errc() || end != normal.data() + normal.size()) {
        result.status = ConversionStatus::TypeMismatch;  // cannot happen for a scanned number
        return result;
    }
    if (!std::isfinite(value)) {
        result.status = ConversionStatus::Overflow;
        return result;
    }
    result.value = parts.negative ? -value : value;
    return result;
}

template <class Int>
Conversion<Int> roundTo(double value) {
    Conversion<Int> result;
    if (!std::isfinite(value)) {
        result.status = ConversionStatus::Overflow;
        return result;
    }
    double whole = std::floor(value);
    double rest = value - whole;
    if (rest > 0.5 || (rest == 0.5 && std::fmod(whole, 2.0) != 0.0)) whole += 1.0;
    if (whole < static_cast<double>(std::numeric_limits<Int>::min()) ||
        whole > static_cast<double>(std::numeric_limits<Int>::max())) {
        result.status = ConversionStatus::Overflow;
        return result;
    }
    result.value = static_cast<Int>(whole);
    return result;
}

template <class Out, class In>
Conversion<Out> then(const Conversion<In>& first, Conversion<Out> (*next)(double)) {
    if (!first.ok()) return {Out{}, first.status};
    return next(first.value);
}

bool equalsIgnoringCase(std::string_view text, std::string_view word) {
    if (text.size() != word.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != word[i]) return false;
    }
    return true;
}

}  // namespace

Conversion<double> LeadingNumber(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    NumberParts parts;
    if (!scanNumber(text, false, parts)) return {};
    return toDouble(parts);
}

Conversion<std::int16_t> RoundToInt16(double value) { return roundTo<std::int16_t>(value); }
Conversion<std::int32_t> RoundToInt32(double value) { return roundTo<std::int32_t>(value); }

Conversion<std::int16_t> LeadingInt16(std::string_view text) {
    return then(LeadingNumber(text), &RoundToInt16);
}

Conversion<std::int32_t> LeadingInt32(std::string_view text) {
    return then(LeadingNumber(text), &RoundToInt32);
}

Conversion<double> StrictNumber(std::string_view text) {
    text = trimBlanks(text);
    NumberParts parts;
    if (!scanNumber(text, true, parts) || parts.length != text.size())
        return {0.0, ConversionStatus::TypeMismatch};
    return toDouble(parts);
}

Conversion<std::int32_t> StrictWholeNumber(std::string_view text) {
    return then(StrictNumber(text), &RoundToInt32);
}

Conversion<float> StrictSingle(std::string_view text) {
    Conversion<double> number = StrictNumber(text);
    if (!number.ok()) return {0.0f, number.status};
    // Texts a little above FLT_MAX (such as its own shortest text, "3.4028235e+38") still round
    // to it; only what rounds to infinity overflows.
    constexpr double kRoundsToInfinity = 0x1.ffffffp127;
    const double magnitude = std::fabs(number.value);
    if (magnitude >= kRoundsToInfinity) return {0.0f, ConversionStatus::Overflow};
    if (magnitude > static_cast<double>(FLT_MAX)) return {std::copysign(FLT_MAX, static_cast<float>(number.value > 0 ? 1 : -1)), ConversionStatus::Ok};
    return {static_cast<float>(number.value), ConversionStatus::Ok};
}

Conversion<bool> StrictBoolean(std::string_view text) {
    std::string_view word = trimBlanks(text);
    if (equalsIgnoringCase(word, "true")) return {true, ConversionStatus::Ok};
    if (equalsIgnoringCase(word, "false")) return {false, ConversionStatus::Ok};
    Conversion<double> number = StrictNumber(word);
    if (!number.ok()) return {false, number.status};
    return {number.value != 0.0, ConversionStatus::Ok};
}

std::string FormatWholeNumber(std::int64_t value) { return std::to_string(value); }

std::string FormatSingle(float value) {
    char buffer[64];
    auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    if (error != std::errc()) return "0";
    return std::string(buffer, end);
}

std::string FormatBoolean(bool value) { return value ? "True" : "False"; }

}  // namespace kalmira::settings
