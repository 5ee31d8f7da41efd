#pragma once
// Pictures stored as resources in Windows programs and libraries (PE files: .exe, .dll, .icl
// and the like): bitmaps, icons and cursors. Every offset and size in the file is checked
// against the data before it is followed; a file that lies ends in imaging::Error.

#include <cstdint>
#include <string>
#include <vector>

#include "core/bitmap.h"
#include "core/codec.h"

namespace imaging::pe {

// Resource kinds, as bits that combine into a selection.
enum ResourceKind : int { Bitmaps = 1, Icons = 2, Cursors = 4 };

struct ResourceEntry {
    ResourceKind kind = Bitmaps;
    std::string name;         // "#12" for a numbered resource, else its name
    std::uint32_t language = 0;
    std::size_t offset = 0;   // of the resource's bytes in the file
    std::size_t size = 0;
};

// The bitmap, icon and cursor resources of the kinds selected by `kinds` (ResourceKind bits),
// in the order the file lists them. Throws Error(UnknownFormat) for data that is not a PE file,
// Corrupt/Truncated for one whose headers or resource tree point outside it.
std::vector<ResourceEntry> listResources(ByteView file, int kinds);

// Decodes one listed resource: a bitmap as its DIB, an icon or cursor as its DIB with the mask
// turned into transparency (or the PNG it holds). Throws Error on data that does not decode.
Bitmap loadResource(ByteView file, const ResourceEntry& entry);

}  // namespace imaging::pe
