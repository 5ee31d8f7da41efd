#pragma once
// The PNG writer for non-interlaced files: picks the smallest lossless layout the pixels allow,
// a filter per row and the deflate settings that give the smallest stream, and assembles the
// chunks itself. png_codec.cpp keeps libpng for reading and for Adam7 files.

#include <cstdint>
#include <vector>

#include "core/bitmap.h"
#include "core/codec.h"

namespace imaging::png {

// Private ancillary chunk naming the depth the caller saved at, when the file stores the pixels
// in a smaller layout (a palette or grey for 24-bit pixels of few colours). The reader restores
// that depth, so what comes back is the same bitmap at the same depth as before.
inline constexpr char kDepthChunk[5] = "kmDP";

// `bitmap` is at the depth the file is to hold (1, 2, 4, 8 with a palette, 24 or 32); `alpha`
// is the palette's tRNS table (empty for none) and `transColour` the RGB tRNS colour of a
// 24-bit picture (when `hasTransColour`).
struct WriteInput {
    const Bitmap* bitmap = nullptr;
    int depth = 8;  // PNG bit depth for palette bitmaps
    std::vector<std::uint8_t> alpha;
    bool hasTransColour = false;
    Rgb transColour = 0;
};

Bytes writeNonInterlaced(const WriteInput& input);

// The depth stored in kDepthChunk before the first IDAT, or 0 when there is none.
int storedDepth(ByteView file);

// One row filtered with PNG filter type `type` (0-4) into `out` (rowBytes long); `previous` is
// null for the first row. `bpp` is the filter's byte distance (bytes per complete pixel, at least 1).
void filterRow(int type, const std::uint8_t* row, const std::uint8_t* previous, std::uint8_t* out,
               std::size_t rowBytes, int bpp);

}  // namespace imaging::png
