#pragma once
// The small routines every window shares.

#include <QString>
#include <cstdint>

namespace imaging {
class ImageControl;
}

namespace kalmira {

// Screen pointer: hourglass, cross, default (QApplication's override cursor).
void ShowBusyPointer();
void ShowCrossPointer();
void ShowDefaultPointer();

// Creates a new empty file with a unique name ("km" prefix) in QDir::tempPath() and returns its
// full name; sets TempFilePending. Throws AppError when the file cannot be created.
QString CreateTempFileName();
// Deletes fileName if TempFilePending is set; always clears TempFilePending.
void DeleteTempFile(const QString& fileName);

// Internal dithering code (engine constant + 1, 0 = none) <-> position in the dithering lists
// ("No Dithering", "Ordered", "Floyd-Steinberg", "Burkes", "Stucki", "Sierra",
// "Stevenson Arce", "Jarvis"). Any other input yields 0.
std::int16_t DitherCodeToListIndex(std::int16_t code);
std::int16_t ListIndexToDitherCode(std::int16_t index);

// The text up to and including the last "/" or "\"; empty when there is none.
QString GetFolderOfPath(const QString& path);

// True when the file information says animated, or more than one page of a GIF (engine format 2).
inline constexpr int kEngineFormatGif = 2;
bool IsAnimatedImage(bool infoAnimation, int infoPage, int infoFormat);
// The same for the file information an image control holds.
bool IsAnimatedImage(const imaging::ImageControl& control);

// Colours are 24-bit RGB with red in the low byte.
// "r, g, b" in decimal, e.g. 0xFF8000 -> "0, 128, 255".
QString ColorToRgbText(std::int32_t color);
// Nine digits "rrrgggbbb", e.g. 0xFF8000 -> "000128255".
QString ColorToDigits(std::int32_t color);

}  // namespace kalmira
