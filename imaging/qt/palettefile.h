#pragma once
// Palette files: a GIF holding a 1 x 1 image whose colour table is the palette. Any image the
// engine reads at up to 8 bits per pixel serves as a palette source (its colour table is taken,
// its pixels ignored), so palettes can come from GIF, PNG, TIFF or BMP files as well.
//
// The palette editor, the tools window's custom palette and the GIF defaults dialog all go
// through these two functions, so every place reads and writes the same files.

#include <QString>

#include <vector>

#include "core/color.h"

namespace imaging {

// The depth a palette of `count` colours is stored at: 1 for fewer than 3 colours, else the
// smallest b with 2^b >= count (8 at most).
int UsedPaletteBits(int count);

// Reads the colour table of `fileName` into `colors` (2^b entries for a b-bit file). Returns 0,
// or the engine's error number with `errorText` naming the reason: a file that is not an image,
// is cut short, or stores more than 8 bits per pixel (Unsupported) is refused, and `colors` is
// then left as it was.
int ReadPaletteFile(const QString& fileName, std::vector<Rgb>& colors, QString* errorText = nullptr);

// Writes `colors` (1..256 entries) as a palette file at UsedPaletteBits(colors.size()) bits;
// the table is padded with black to 2^b entries. The extension does not matter: the data is
// always GIF. Returns 0 or the engine's error number; a failed write leaves an existing file.
int WritePaletteFile(const QString& fileName, const std::vector<Rgb>& colors, QString* errorText = nullptr);

}  // namespace imaging
