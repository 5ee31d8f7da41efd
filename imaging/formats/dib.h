#pragma once
// Device-independent bitmaps as metafiles, icons and clipboard files embed them: a
// BITMAPINFOHEADER (or the older 12-byte core header), the colour table and the rows,
// bottom-up and padded to four bytes.

#include <cstddef>

#include "core/bitmap.h"
#include "formats/format_io.h"

namespace imaging::fio {

struct DibHeader {
    std::size_t headerSize = 0;
    long long width = 0;
    long long height = 0;  // of the picture, without an icon's mask; always positive
    bool topDown = false;
    int bits = 0;
    std::uint32_t compression = 0;
    std::uint32_t masks[4] = {0, 0, 0, 0};  // red, green, blue, alpha for bit-field layouts
    std::size_t paletteEntries = 0;
    std::size_t paletteEntrySize = 4;
    std::size_t bitsOffset = 0;  // where the rows begin, counted from the header's start
    int bitmapBits = 0;          // the depth the decoded bitmap will have
};

// `icon`: the height counts the XOR rows and the AND mask together (ICO, CUR).
DibHeader readDibHeader(ByteView data, std::string_view where, bool icon);
// Decodes a packed DIB (header, colour table, rows). For icons the AND mask becomes alpha
// (32-bit result) when the picture is direct colour, or the transparent palette entry.
Bitmap readDib(ByteView data, std::string_view where, bool icon);

// A packed DIB of the bitmap at 1, 4, 8, 16, 24 or 32 bits (BI_RGB, bottom-up).
Bytes writeDib(const Bitmap& bitmap);

}  // namespace imaging::fio
