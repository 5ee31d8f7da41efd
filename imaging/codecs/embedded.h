#pragma once
// What files carry beside their pixels, read and written in one place for every format:
// the ICC colour profile, the EXIF orientation, and the author and copyright fields.
//
// Reading: loadMemory() completes every decoded picture with finishLoad(): the picture is
// turned upright and converted into sRGB, and Image::notes says what was done. Readers whose
// libraries hand the profile or the orientation out (AVIF, HEIF) leave them in
// Image::notes.found*; the others are scanned from the file's bytes here.
//
// Writing: nothing of the original's metadata is written (no EXIF, XMP or GPS); only the
// profile, author and copyright that SaveOptions name. saveMemory() converts the pixels into
// the profile first (prepareForSave) and embeds afterwards where the format allows it.

#include <memory>
#include <string>

#include "core/codec.h"

namespace imaging::embedded {

struct Found {
    Bytes iccProfile;
    bool iccTooLarge = false;
    bool iccDamaged = false;  // a compressed profile that does not inflate
    int orientation = 0;  // 1..8, 0 = none or invalid
    std::string author;
    std::string copyright;
};

// Scans a JPEG (APP1 Exif, APP2 ICC_PROFILE), PNG (iCCP, eXIf, tEXt/iTXt Author and
// Copyright), WebP (ICCP, EXIF chunks) or TIFF (first directory) file. Never throws; other
// formats give nothing.
Found scan(ByteView file);

class ProfileRows;

// Turns the picture upright and converts it into sRGB, filling image.notes. `converted`, when
// given, has already converted the first frame's pixels while they were decoded.
void finishLoad(Image& image, ByteView file, const ProfileRows* converted = nullptr);
// Width and height as the upright picture has them.
void finishInfo(ImageInfo& info, ByteView file);

// True for the formats whose files can carry an ICC profile.
bool carriesProfile(int format);

// The image saveMemory hands to the writer: when options name a profile for a format that
// carries one, a copy converted from sRGB into it; `options` loses the profile when it cannot
// serve (the file is then plain sRGB). Returns nullptr when the image is written as it is.
std::unique_ptr<Image> prepareForSave(const Image& image, SaveOptions& options);

// Adds what options name (iCCP, tEXt Author/Copyright) to a finished PNG, after its IHDR.
void addToPng(Bytes& png, const SaveOptions& options);
// Adds what options name (ICCP, EXIF chunks) to a finished WebP.
void addToWebp(Bytes& webp, const SaveOptions& options);

}  // namespace imaging::embedded
