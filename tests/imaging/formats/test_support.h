#pragma once
// Pictures, files and outside tools the format tests share.

#include <filesystem>
#include <string>

#include "core/bitmap.h"
#include "core/codec.h"

namespace testing_formats {

// A deterministic picture with runs and noise (so run-length coders meet both), every
// palette entry distinct. Palette depths get a coloured palette unless `blackWhite`
// (then black and white, or a grey ramp above 1 bit).
imaging::Bitmap makePicture(int width, int height, int bits, unsigned seed = 1, bool blackWhite = false);

std::filesystem::path tempDir();
imaging::Bytes readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const imaging::Bytes& data);

// True when the program exists; tests that need it skip otherwise.
bool haveTool(const std::string& path);
// Runs a shell command; returns its exit status.
int run(const std::string& command);

// Decodes `file` with ImageMagick into RGBA bytes (empty on failure).
imaging::Bytes magickRgba(const std::filesystem::path& file, int& width, int& height);
// The picture as RGBA bytes the same way, for comparing colours only.
imaging::Bytes rgbaOf(const imaging::Bitmap& bitmap);
// Writes a binary PPM of the picture's colours (input for the other programs).
void writePpm(const std::filesystem::path& path, const imaging::Bitmap& bitmap);

}  // namespace testing_formats
