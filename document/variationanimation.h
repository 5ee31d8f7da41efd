#pragma once
// An animated GIF Variation's round trip as work for an encoding thread: every frame of the
// Original reduced with one palette, the transparent entry chosen on the frame the Variation
// shows, all frames encoded into memory and decoded again. It gives what the image control's
// ColorResList, SetTransparent/SetTransparentColor, multi-frame Save and Load give for the same
// input, and touches no widget.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/codec.h"
#include "core/image.h"

namespace kalmira {

struct AnimationWork {
    // What the work starts from (shared with other work and never changed).
    std::shared_ptr<const std::vector<imaging::Frame>> source;
    int shownFrame = 0;  // the frame the Variation shows, which carries the transparency
    // The reduction, as ColorResList takes it.
    int bits = 0, paletteKind = 0, ditherCode = 0, colorCount = 0;
    // The file: the encoder's options (multiPage set by Run) and the animation-wide values.
    imaging::SaveOptions options;
    imaging::Rgb backgroundColor = 0;
    int loopCount = 0, logicalWidth = 0, logicalHeight = 0;
    // The transparent colour's choice on the reduced palette (a GIF Variation): the record's
    // wish, the palette depth it is matched at, and the colours the Original's pictures make
    // transparent (a wish naming one of them means the entry the reduction kept for them).
    bool snapTransparency = false;
    bool transparent = false;
    imaging::Rgb wantedColour = 0;
    int palettePixelDepth = 8;
    std::vector<std::optional<imaging::Rgb>> originalColours;

    // Outcome. A step after a failed one does not run.
    int reduceResult = 0;
    std::string reduceError, saveError, loadError;
    bool saveFailed = false, loadFailed = false;
    std::optional<imaging::Rgb> chosenColour;  // the entry's colour the record takes
    bool cancelled = false;
    imaging::Image reduced;  // kept only when the encoding or decoding failed
    imaging::Bytes encoded;
    imaging::Image decoded;
    imaging::ImageInfo info;
    bool infoRead = false;

    void Run(const std::function<bool()>& stop = {});
};

}  // namespace kalmira
