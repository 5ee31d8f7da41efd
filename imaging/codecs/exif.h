#pragma once
// The few EXIF fields Kalmira reads and writes. An EXIF block is a small TIFF structure; a
// TIFF file's first directory has the same tags, so one reader serves both.

#include <string>

#include "core/codec.h"

namespace imaging::exif {

struct Fields {
    int orientation = 0;      // tag 274; 0 when absent or not 1..8
    std::string author;       // tag 315 Artist
    std::string copyright;    // tag 33432 Copyright (the photographer's part)
    Bytes iccProfile;         // tag 34675 (TIFF files only)
    bool iccTooLarge = false; // the tag was there but above the profile limit
};

// Reads the first directory of a TIFF structure that starts at `tiff` ("II*\0" or "MM\0*").
// Never throws: damaged entries are skipped, and whatever was readable is returned.
Fields read(ByteView tiff);

// Finds the TIFF structure in an EXIF payload as containers hold it: bare, or after the
// "Exif\0\0" prefix JPEG uses (WebP and HEIF writers copy it). Empty when there is none.
ByteView tiffStart(ByteView payload);

// A little-endian EXIF block (without the "Exif\0\0" prefix) holding only the given author and
// copyright; empty when both are empty.
Bytes build(const std::string& author, const std::string& copyright);

}  // namespace imaging::exif
