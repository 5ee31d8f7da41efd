#pragma once
// A decoded file: one bitmap per page or animation frame, and what the animation shares.

#include <vector>

#include "core/bitmap.h"
#include "core/image_notes.h"

namespace imaging {

struct Frame {
    Bitmap bitmap;
    int delay = 0;      // hundredths of a second before the next frame
    int disposal = 0;   // GIF disposal method 0..3
    int left = 0;       // offset of the frame inside the logical screen
    int top = 0;
};

struct Image {
    std::vector<Frame> frames;  // at least one for a loaded image
    int format = 0;             // engine format number it was read from (0 = none)
    int loopCount = 0;          // 0 = endless
    Rgb backgroundColor = 0;
    int logicalWidth = 0;       // animation canvas; 0 = the first frame's size
    int logicalHeight = 0;
    ImageNotes notes;           // colour profile, orientation and metadata the file carried

    bool empty() const { return frames.empty(); }
    bool animated() const { return frames.size() > 1; }
    Bitmap& first() { return frames.front().bitmap; }
    const Bitmap& first() const { return frames.front().bitmap; }

    static Image fromBitmap(Bitmap bitmap, int format = 0) {
        Image image;
        image.format = format;
        image.frames.push_back(Frame{std::move(bitmap)});
        return image;
    }
};

}  // namespace imaging
