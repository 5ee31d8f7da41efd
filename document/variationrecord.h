#pragma once
// What a document keeps per picture: record 0 is the Original, 1-5 the Variations (index 6
// exists and stays unused). Field names and value conventions are the ones every window
// uses (Boolean fields hold true/false; check-box states hold 0, 1 or 2).

#include <QString>

#include <cstdint>
#include <memory>

#include "qt/imagecontrol.h"
#include "rules/keenfit.h"

namespace kalmira {

inline constexpr int kRecordCount = 7;
inline constexpr int kVariationCount = 5;

// BMPCompressed when RLE does not apply (OS/2 bitmap, or a depth other than 4 or 8).
inline constexpr int kBmpRleNotApplicable = 2;

struct VariationRecord {
    int Initialised = 0;
    QString FileName;
    QString FileNameSave;
    // The Variation's last encoding; the record owns it, so it is freed on re-encoding and
    // when the document goes away.
    std::unique_ptr<imaging::MemoryBlock> MemHandle;
    std::int64_t MemFileSize = 0;
    bool Displayed = false;
    int Format = save_format::Gif;
    bool GIFInterlaced = false;
    bool GIFTransparent = false;
    std::uint32_t GIFTransparentColor = 0;
    bool GIFAnimated = false;
    bool PlayAnimation = false;
    int ImageNumber = 0;
    int JPEGQFactor = 56;
    int JPEGProgressive = 0;
    int JPEGPasses = 0;
    QString JPEGYUV_Color = QStringLiteral("0");
    int JPEGGrayscale = 0;
    bool PNGTransparent = false;
    std::uint32_t PNGTransparentColor = 0;
    bool BMPWindows = true;
    int BMPCompressed = 0;
    int TIFFCompressed = 0;
    int PixelDepth = 8;
    int PalettePixelDepth = 8;
    QString MaxColorsText;
    int DitheringMethod = 0;
    int ColorPalette = 2;
    std::int32_t MaxColors = 0;
    // WebP and AVIF: quality 0..100, lossless, effort (WebP 0..6, AVIF 0..10).
    int WebQuality = 75;
    bool WebLossless = false;
    int WebEffort = 4;
};

// The engine save options of one Variation, as HoleSpeicherOptionen fills them.
struct SaveOptions {
    int FormatNumber = 0;    // engine file-format number
    int QualityFactor = 0;   // JPEG quality factor (256 - quality), else 0
    int Reserved = 0;
    int BitsPerPixel = 0;
    int ColorCount = 0;      // Optimized palette: the colour limit, else 0
};

}  // namespace kalmira
