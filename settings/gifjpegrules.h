#pragma once
// The two enabling rules that keep a set of GIF controls consistent. The GIF default dialog and
// the tools window both hold controls of these names, so the rules find them by name:
//   ComboDithering, ComboNumColors, cmdDefinePalette, and the palette-kind option buttons
//   optPalette1 (Fixed), optPalette2 (Optimized), optPalette8 (Windows), optPalette64
//   (Netscape), optPalette16 (Custom).
// A control the form lacks raises AppError 340 (a missing control array element).

#include <cstdint>

class QWidget;

namespace kalmira {

inline constexpr std::int16_t kPaletteFixed = 1;
inline constexpr std::int16_t kPaletteOptimized = 2;
inline constexpr std::int16_t kPaletteWindows = 8;
inline constexpr std::int16_t kPaletteCustom = 16;
inline constexpr std::int16_t kPaletteNetscape = 64;

// Depths 1..8 use a palette: dithering and the fixed, optimised and Windows palettes are
// offered; the Netscape palette only at 8 bits (a selected Netscape at fewer bits falls back to
// Fixed); the colour count only with the optimised palette. Deeper depths (16, 24, 32) switch
// all of them off. The Custom button is left alone.
void ApplyPixelDepthRules(QWidget* form, std::int16_t depth);

// The colour count is offered only for the optimised palette, the palette file only for Custom.
void ApplyPaletteKindRules(QWidget* form, std::int16_t kind);

}  // namespace kalmira
