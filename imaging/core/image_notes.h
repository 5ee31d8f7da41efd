#pragma once
// What a reader found beside the pixels of a file, and what loading made of it: the colour
// profile the pixels were converted from, the orientation that was applied, and the copyright
// and author a written file may keep. Filled by the readers (raw findings) and completed once
// for every format by the loading entry point (codecs/embedded.h).

#include <cstdint>
#include <string>
#include <vector>

namespace imaging {

// Why an embedded colour profile was not used (the windows show their own text for each).
enum class NoteKind { None, Damaged, TooLarge, WrongSpace };

struct ImageNotes {
    // ---- found by a reader whose library hands these out (AVIF, HEIF); the others are
    // scanned from the file's bytes by the loading entry point
    std::vector<std::uint8_t> foundProfile;  // ICC profile as embedded
    std::vector<std::uint8_t> foundExif;     // TIFF-structured EXIF block ("II*\0" / "MM\0*")
    int foundOrientation = 0;                // EXIF orientation 1..8 from a container property; 0 = none

    // ---- what loading made of it
    std::vector<std::uint8_t> iccProfile;  // the profile the pixels were converted from (empty: sRGB)
    std::string colorConversion;           // "Adobe RGB (1998) → sRGB", empty when nothing was converted
    std::string colorNote;                 // why an embedded profile was not used, empty when none
    NoteKind colorNoteKind = NoteKind::None;
    int orientation = 1;                   // the EXIF orientation that was applied (1 = as stored)
    std::string author;                    // EXIF Artist, PNG Author, TIFF Artist
    std::string copyright;                 // EXIF / TIFF Copyright, PNG Copyright
};

}  // namespace imaging
