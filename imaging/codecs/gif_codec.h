#pragma once
// GIF (engine format 2) on giflib: 1-8 bits with a palette of 2^bits entries, interlacing,
// a transparent colour, and animations with per-frame delay, disposal and offset, a loop
// count and a background colour.

#include "core/codec.h"

namespace imaging {

class GifCodec final : public Codec {
public:
    std::string_view name() const override { return "GIF"; }
    std::vector<int> formats() const override { return {format::Gif}; }
    std::vector<std::string_view> suffixes() const override { return {"gif"}; }
    bool sniff(ByteView data) const override;
    ImageInfo readInfo(ByteView data) const override;
    // Frames come back as stored: each its own bitmap at its own offset and depth.
    Image read(ByteView data, const LoadOptions& options) const override;
    bool canWrite() const override { return true; }
    // Writes the first frame, or every frame with options.multiPage. Frames must already be
    // at a palette depth; options.interlaced interlaces every frame.
    Bytes write(const Image& image, const SaveOptions& options) const override;
};

// Frame `index` as a viewer shows it: frames 0..index drawn onto the logical screen in
// order, honouring each earlier frame's disposal and transparency. 32 bits; pixels no frame
// has covered are fully transparent.
Bitmap composeGifFrame(const Image& image, int index);

}  // namespace imaging
