#pragma once
// The document's small rules that need no window: the transparent-colour snap, file-name
// rules, engine format numbers and the statistics texts. The rules a new Variation is set up
// by are in rules/keenfit.h, shared with the command line.

#include <QString>

#include <cstdint>
#include <functional>

#include "document/variationrecord.h"

namespace kalmira {

// The palette index nearest to `color` by the sum of absolute RGB differences over entries
// 0 .. 2^palettePixelDepth - 1 (at most 256); the lower index wins ties.
int NearestPaletteIndex(const std::function<std::uint32_t(int)>& paletteEntry, int palettePixelDepth,
                        std::uint32_t color);

// The name of a file without folder and extension by the first-dot rule: the text before the
// first "." when one stands at the second character or later, else the whole name.
QString NameBeforeFirstDot(const QString& name);
// The text after the first "." of a file's name (not of its folder), or empty.
QString ExtensionAfterFirstDot(const QString& path);
// The name Save As proposes: the path's folder and its file name by the first-dot rule, with
// `extension` (the Variation's present format) in place of whatever extension it had.
QString ProposedSaveName(const QString& path, const QString& extension);

// The colour limit a colour-count text stands for: its leading number rounded half to even
// ("100.5" and "17abc" limit to 100 and 17), 0 (no limit) for no number or one of 0 or less,
// and at most 256. The colour box and the encoding read the text by this one rule.
int ColorLimitOf(const QString& text);

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
