#pragma once
// Text-to-number conversions of the settings store. Plain C++ (no Qt), so the command line and
// the fuzz build read settings exactly as the program does.
//
// Every conversion reports its outcome instead of throwing: the store turns a failure into the
// program's error with the classic runtime's numbers (13 type mismatch, 6 overflow).

#include <cstdint>
#include <string>
#include <string_view>

namespace kalmira::settings {

enum class ConversionStatus {
    Ok,
    TypeMismatch,  // the text is not of the required form
    Overflow,      // a number, but outside the target type's range
};

template <class T>
struct Conversion {
    T value{};
    ConversionStatus status = ConversionStatus::Ok;
    bool ok() const { return status == ConversionStatus::Ok; }
};

// The longest numeric prefix (blanks before it skipped; optional sign, digits, one decimal
// point, an exponent "e"/"E" with optional sign and digits). 0 when the text does not begin
// with a number. "1e3" -> 1000, "12abc" -> 12, "" -> 0. An exponent too large for a double is
// an overflow (as "1e999" is in the classic runtime).
Conversion<double> LeadingNumber(std::string_view text);

// Rounds to the nearest whole number, halves to even (2.5 -> 2, 3.5 -> 4), as the classic
// runtime's integer conversion does; out of range is an overflow.
Conversion<std::int16_t> RoundToInt16(double value);
Conversion<std::int32_t> RoundToInt32(double value);

// Leading-number parse followed by rounding: the read of every numeric preference.
Conversion<std::int16_t> LeadingInt16(std::string_view text);
Conversion<std::int32_t> LeadingInt32(std::string_view text);

// The whole text (blanks around it allowed) must be a number: sign, digits with an optional
// fraction, optional exponent. Anything else, including an empty text, is a type mismatch.
// Accepts "." or "," as the decimal separator, since a position may have been written in a
// locale that uses a comma.
Conversion<double> StrictNumber(std::string_view text);
Conversion<std::int32_t> StrictWholeNumber(std::string_view text);
Conversion<float> StrictSingle(std::string_view text);

// "True" or "False" (any letter case, blanks around allowed) or a strict number: 0 is false,
// any other number true. Anything else is a type mismatch.
Conversion<bool> StrictBoolean(std::string_view text);

// The writers' encodings.
std::string FormatWholeNumber(std::int64_t value);  // "28800", "-3"
std::string FormatSingle(float value);              // shortest text that reads back exactly
std::string FormatBoolean(bool value);              // "True" / "False"

}  // namespace kalmira::settings
