#pragma once
// The tools window's number rules that need no window: reading a typed number, the clamps of
// its text boxes, the rounding of the resize pair and the depth chosen for a new format.

#include <QString>

namespace kalmira {

// KeyAscii of the Enter key; the text boxes commit on it.
inline constexpr int kKeyEnter = 13;
// Scroll bars hold 16-bit signed values.
inline constexpr int kScrollBarLimit = 32767;

// The leading number of a typed text ("12abc" -> 12); a text that is not a number reads as 0.
double ReadNumber(const QString& text);
// Whole number, halves to even (2.5 -> 2, 3.5 -> 4), held inside the int range.
int RoundHalfEven(double value);
// A slider value as its text box shows it: value / scale as a plain number ("1.5", "3").
QString FormatScaled(int value, int scale);
// The other side of the resize pair: the quotient rounded half to even, or 1 when its integer
// part is 0 (a 200 x 100 picture narrowed to width 1 keeps height 1, not 0).
int ProportionalSize(double quotient);

// The colour-limit box on Enter: no number or one of 0 or less gives `noLimitText`, above 256
// gives "256", anything else stays as typed.
QString ClampColorCountText(const QString& text, const QString& noLimitText);
// The progressive-passes box on Enter: above 64 gives "64", below 0 gives "0".
QString ClampPassesText(const QString& text);
// The frame-number box on Enter: above `maximum` gives the maximum, then below 1 gives 1.
int ClampImageNumber(const QString& text, int maximum);

// Whether depth `depth` (1-8, 16, 24, 32) is allowed by a format's 11-character PixelDepths
// string ("1" = allowed; characters 9, 10, 11 stand for 16, 24, 32).
bool DepthAllowed(const QString& pixelDepths, int depth);
// The depth a format change selects: the current one when allowed, else the next allowed
// higher one, else the nearest lower one; 0 when the format allows none.
int ChooseDepthForFormat(const QString& pixelDepths, int current);

}  // namespace kalmira
