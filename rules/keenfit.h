#pragma once
// The automatic choice of a new Variation's settings from its optimisation profile, and the
// engine save settings such a choice gives. The document window sets up each new Variation with
// these rules and kalmira-cli's batch applies them to each file, so both give the same result.

#include <cstdint>

#include "core/bitmap.h"
#include "rules/optimizeprofile.h"

namespace kalmira {

// Positions in the save-format table (SaveFormats).
namespace save_format {
inline constexpr int Gif = 0;
inline constexpr int Jpeg = 1;
inline constexpr int Png = 2;
inline constexpr int Bmp = 3;
inline constexpr int Eps = 4;
inline constexpr int GemImage = 5;
inline constexpr int MacPaint = 6;
inline constexpr int MsPaint = 7;
inline constexpr int Pict = 8;
inline constexpr int Pcx = 9;
inline constexpr int Psd = 10;
inline constexpr int SunRaster = 11;
inline constexpr int Tga = 12;
inline constexpr int Tiff = 13;
inline constexpr int Wmf = 14;
inline constexpr int Wpg = 15;
inline constexpr int Webp = 16;
inline constexpr int Avif = 17;
}  // namespace save_format

// Bits a GIF needs for n colours: 1 for up to 2 colours, else int(log(n - 1) / log 2) + 1.
int GifDepthForColorCount(int colorCount);

// The format "Smallest file size" keeps: JPEG only when the GIF is strictly larger.
int SmallerFormat(std::int64_t gifSize, std::int64_t jpegSize);

// How an Original is transparent: not at all, through a transparent colour (which a GIF keeps),
// or through an alpha channel with values below 255 (which only PNG, WebP and AVIF keep).
enum class Transparency { None, Keyed, Alpha };

// The kind of real transparency a picture's pixels use (imaging::hasTransparency).
Transparency TransparencyOf(const imaging::Bitmap& picture);

// What the choice needs to know of the Original.
struct OriginalTraits {
    int infoBits = 24;         // bits per pixel its file information gives
    int colorCount = 0;        // unique colours of the picture shown
    bool animatedGif = false;  // an animated GIF whose frames are kept (the document's MitInfo on)
    bool animated = false;     // several frames (likewise only with MitInfo on)
    Transparency transparency = Transparency::None;  // real transparency its pixels use
};

// The profile-derived fields of a Variation record, named as the record names them.
struct KeenfitChoice {
    int Format = save_format::Gif;
    int PixelDepth = 8;  // PalettePixelDepth is always the same
    int DitheringMethod = 0;
    int MaxColors = 0;
    int ColorPalette = 2;
    bool GIFInterlaced = false;
    bool GIFAnimated = false;  // PlayAnimation likewise; ImageNumber starts at 0
    int JPEGQFactor = 56;
    int JPEGProgressive = 0;
    int JPEGPasses = 0;
    int JPEGYUV_Color = 0;
    int JPEGGrayscale = 0;
    // "Smallest file size": Format and PixelDepth hold the GIF trial; the caller encodes as GIF
    // and as JPEG (at 24 bits) and settles the format with SettleFormat.
    bool CompareGifAndJpeg = false;
    // The profile's format would have dropped the Original's transparency: Format is the one
    // of the profile's formats that keeps it (GIF for a transparent colour) or else 32-bit PNG.
    bool KeptTransparency = false;
};

// Whether the choice reads OriginalTraits::colorCount (a GIF whose depth follows its colours);
// counting them is a pass over every pixel, so a caller may skip it otherwise.
bool NeedsColorCount(const OptimizeProfile& profile, const OriginalTraits& original);

// Everything of a new Variation's set-up but its transparency (read from the Original's
// palette) and the GIF/JPEG comparison. A choice without the comparison is already settled.
// A transparent Original never gets a format that drops its transparency (KeptTransparency).
KeenfitChoice ChooseVariationSettings(const OptimizeProfile& profile, const OriginalTraits& original);

// Takes the comparison's winner: a Variation other than GIF is 24 bits (PNG that keeps
// transparency 32).
void SettleFormat(KeenfitChoice& choice, int format);

// The engine file-format number of a save-format position; 0 and known = false for a
// position outside the table. jpegYuv is the YUV list position (1 4:2:2, 2 4:1:1, else 4:4:4).
int EngineFormatNumber(int format, int jpegYuv, bool bmpWindows, bool bmpCompressed, bool tiffCompressed,
                       bool& known);

// What the engine is given to save a settled GIF or JPEG choice.
struct EngineSaveSettings {
    int formatNumber = 0;
    int bitsPerPixel = 0;
    int qualityFactor = 0;  // JPEG only
    int colorCount = 0;     // the colour limit of an optimised palette, else 0
    int passes = 0;         // progressive JPEG scans, 0 = baseline
    bool interlaced = false;  // GIF only
    bool multiPage = false;   // every frame of an animated GIF
};
EngineSaveSettings SaveSettingsFor(const KeenfitChoice& choice);

}  // namespace kalmira
