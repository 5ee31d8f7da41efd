#pragma once
// The GIF writer: assembles the file itself and codes the pixels with its own LZW coder, so it
// can choose how the code table is renewed. Each colour table holds only the entries up to the
// highest one in use (a power of two, 2 to 256), when the entries dropped repeat the last one
// kept (the colour reduction pads its palette so); the LZW codes then start as narrow as the
// table allows. A frame whose table is smaller than the depth it was saved at is preceded by a
// private application extension naming that depth, and the reader widens the frame back to it.
// gif_codec.cpp keeps giflib for reading.

#include <cstdint>
#include <vector>

#include "core/bitmap.h"
#include "core/codec.h"

namespace imaging::gif {

// Application identifier (8 bytes) and authentication code (3 bytes) of the depth extension;
// its one data sub-block is a single byte, the depth (1-8) of the frame that follows.
inline constexpr char kDepthExtension[12] = "KALMIRA DPT";

// How the coder renews its table once all 4096 codes are taken.
enum class TablePolicy {
    ClearWhenFull,  // start afresh with a clear code, as most encoders do
    KeepWhenFull,   // keep coding with the full table and add nothing more
    Watch,          // keep the full table while it codes about as well as it did, then clear
    Smallest,       // try clearing at once and watching with several windows; keep the shortest
};

// The LZW-coded pixels of `bitmap` as a GIF image's data: the minimum code size byte, the data
// sub-blocks and the block terminator. Rows go in interlaced order when `interlaced`.
Bytes lzwImageData(const Bitmap& bitmap, int minCodeSize, bool interlaced, TablePolicy policy = TablePolicy::Smallest);

struct FrameInput {
    const Bitmap* bitmap = nullptr;
    int bits = 8;          // the depth the caller saves the frame at
    int transparent = -1;  // palette index, or -1
    int delay = 0;
    int disposal = 0;
    int left = 0, top = 0;
};

struct FileInput {
    std::vector<FrameInput> frames;
    int screenWidth = 0, screenHeight = 0;
    bool animation = false;  // writes the loop extension and every frame's control block
    int loopCount = 0;
    int background = 0;  // index into the first frame's table
    bool interlaced = false;
    std::size_t sizeLimit = 0;  // 0 = none; beyond it the write fails with SizeLimit
};

Bytes writeFile(const FileInput& input);

// The number of entries a frame's table needs: the smallest power of two (at least 2) that
// holds every entry in `used`, provided the entries of `palette` beyond it repeat the last one
// kept; else all 2^bits.
int tableEntries(const std::vector<Rgb>& palette, int bits, const std::vector<bool>& used);

}  // namespace imaging::gif
