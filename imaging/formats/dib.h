#pragma once
// Device-independent bitmaps: the one reader behind BMP files and the bitmaps that icons,
// cursors, metafiles and clipboard files embed. A DIB is a header (the 12-byte OS/2 1.x core
// header, an OS/2 2.x one of 16 to 64 bytes, or the Windows one of 40 bytes and its larger
// versions), the colour table and the rows: bottom-up unless the height is negative, each
// padded to four bytes, or run-length coded at 4 and 8 bits.

#include <cstddef>

#include "core/bitmap.h"
#include "formats/format_io.h"

namespace imaging::fio {

struct DibHeader {
    std::size_t headerSize = 0;
    bool os2 = false;      // an OS/2 header (which knows no bit fields)
    long long width = 0;
    long long height = 0;  // of the picture, without an icon's mask; always positive
    bool topDown = false;
    int bits = 0;
    std::uint32_t compression = 0;
    std::uint32_t masks[4] = {0, 0, 0, 0};  // red, green, blue, alpha of direct-colour pixels
    std::size_t paletteOffset = 0;    // where the colour table begins, counted from the header's start
    std::size_t paletteEntries = 0;   // entries of the table that become the palette (at most 2^bits)
    std::size_t paletteEntrySize = 4;
    std::size_t bitsOffset = 0;  // where the rows begin when no container says: after the whole table
    int bitmapBits = 0;          // the depth the decoded bitmap will have
    bool runLength() const { return compression == 1 || compression == 2; }
};

struct DibOptions {
    // The height counts the picture's rows and the AND mask's together (ICO, CUR); the mask
    // becomes alpha or the transparent palette entry.
    bool icon = false;
    // 32-bit pixels without an alpha mask come back as 32 bits (opaque) rather than 24.
    bool keep32 = false;
    // Where the rows begin, counted from the header's start, as a BMP file header states it;
    // 0, or an offset inside the colour table or past the data, means right after the table.
    std::size_t pixelOffset = 0;
};

DibHeader readDibHeader(ByteView data, std::string_view where, const DibOptions& options);
Bitmap readDib(ByteView data, std::string_view where, const DibOptions& options);

// A packed DIB of the bitmap at 1, 4, 8, 16, 24 or 32 bits (BI_RGB, bottom-up).
Bytes writeDib(const Bitmap& bitmap);

}  // namespace imaging::fio
