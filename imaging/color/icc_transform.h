#pragma once
// Colour-profile conversions through Little CMS 2: a picture read with an embedded ICC profile
// becomes sRGB, and a picture written with "keep the original profile" goes back into it.
//
// Rendering intent: relative colorimetric, without black-point compensation. The profiles
// photos carry (Adobe RGB, Display P3, ProPhoto, camera and scanner matrices) are
// matrix-shaper profiles, which define no perceptual mapping: lcms would fall back to
// colorimetric for them anyway. Relative colorimetric keeps every colour sRGB can show exactly
// where it is, so a picture converted and converted back returns within a level, and it is
// what browsers do with the same file, which is what a web designer compares against.
// Colours outside sRGB are clipped to its gamut.
//
// Transforms are built once per profile and pixel layout and cached (8-bit, lcms's optimised
// paths); a transform serves several threads at once.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "core/bitmap.h"
#include "core/image_notes.h"

namespace imaging::icc {

// Profiles beyond this size are not real display profiles; they are ignored unread.
inline constexpr std::size_t kMaxProfileBytes = std::size_t{4} << 20;

struct Conversion {
    bool converted = false;    // the pixels were changed
    std::string description;   // "Adobe RGB (1998) → sRGB" when converted
    std::string note;          // why the profile was not used ("damaged", "too large", ...), else empty
    NoteKind kind = NoteKind::None;
};

// Converts `bitmap` (palette entries at 1..8 bits, pixels at 24 and 32 bits, alpha kept) from
// the colour space `profile` describes into sRGB. An RGB profile serves colour pictures, a grey
// profile grey ones. A profile that equals sRGB converts nothing and says nothing; a damaged,
// oversized or mismatched profile leaves the pixels as they are and says why in `note`.
Conversion convertToSrgb(Bitmap& bitmap, std::span<const std::uint8_t> profile);

// The conversion of a 24-bit RGB picture into sRGB, a band of rows at a time (as a reader
// finishes them), giving exactly the pixels convertToSrgb gives. Several threads may convert
// different rows at once.
class RowConversion {
public:
    // Empty when the profile does not convert RGB pixels (an sRGB, grey, damaged or mismatched
    // profile): convertToSrgb on the whole picture then says what it says.
    static std::unique_ptr<RowConversion> forRgb(std::span<const std::uint8_t> profile);
    ~RowConversion();
    // Converts rows [first, end) of a 24-bit picture without a transparent colour, in place.
    void convert(Bitmap& bitmap, int first, int end) const;
    // What convertToSrgb reports for the whole picture.
    Conversion result() const;

private:
    struct State;
    explicit RowConversion(std::shared_ptr<State> state);
    std::shared_ptr<State> state_;
};

// Converts sRGB pixels into the colour space of `profile` (an RGB or grey profile). Returns
// false, with the bitmap unchanged, when the profile cannot serve.
bool convertFromSrgb(Bitmap& bitmap, std::span<const std::uint8_t> profile);

// The profile's own description ("Adobe RGB (1998)"), or an empty text when it cannot be read.
std::string profileDescription(std::span<const std::uint8_t> profile);

// An RGB profile with the given primaries and white point (CIE xy) and a pure gamma, as lcms
// builds it; for tests and for pictures that name their primaries instead of embedding a profile.
struct Primaries {
    double rx, ry, gx, gy, bx, by, wx, wy;
};
std::vector<std::uint8_t> makeRgbProfile(const Primaries& primaries, double gamma, const std::string& description);
// An sRGB profile as lcms builds it.
std::vector<std::uint8_t> srgbProfile();

}  // namespace imaging::icc
