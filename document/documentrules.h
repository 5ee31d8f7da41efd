#pragma once
// The document's small rules that need no window: the GIF depth for a colour count, the
// transparent-colour snap, file-name rules, engine format numbers and the statistics texts.

#include <QString>

#include <cstdint>
#include <functional>

#include "document/variationrecord.h"

namespace kalmira {

// Bits a GIF needs for n colours: 1 for up to 2 colours, else int(log(n - 1) / log 2) + 1.
int GifDepthForColorCount(int colorCount);

// The palette index nearest to `color` by the sum of absolute RGB differences over entries
// 0 .. 2^palettePixelDepth - 1 (at most 256); the lower index wins ties.
int NearestPaletteIndex(const std::function<std::uint32_t(int)>& paletteEntry, int palettePixelDepth,
                        std::uint32_t color);

// The format "Smallest file size" keeps: JPEG only when the GIF is strictly larger.
int SmallerFormat(std::int64_t gifSize, std::int64_t jpegSize);

// The name of a file without folder and extension by the first-dot rule: the text before the
// first "." when one stands at the second character or later, else the whole name.
QString NameBeforeFirstDot(const QString& name);
// The text after the first "." of a file's name (not of its folder), or empty.
QString ExtensionAfterFirstDot(const QString& path);

// The engine file-format number of a record's format; 0 and known = false for a position
// outside the table.
int EngineFormatNumber(const VariationRecord& record, bool bmpCompressed, bool tiffCompressed, bool& known);

// Download time in seconds at `bitsPerSecond`: size / speed * 9, single precision.
float DownloadSeconds(std::int64_t fileSize, std::int32_t bitsPerSecond);

// Statistics texts in the default locale (QLocale()).
QString FormatWholeNumber(std::int64_t value);           // "##,###,##0"
QString FormatOneDecimal(double value);                  // "0.0"
// `quality` (", PSNR ..., SSIM ...") follows the share of the Original when not empty.
QString VariationCaption(std::int64_t fileSize, const QString& formatName, int bits,
                         std::int64_t originalFileSize, float seconds, const QString& quality = QString());
QString OriginalCaption(std::int64_t fileSize, int bits, float seconds);
QString DownloadPanelText(float seconds, std::int32_t bitsPerSecond, int atTextId);

}  // namespace kalmira
