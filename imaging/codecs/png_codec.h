#pragma once
// PNG (engine format 75): libpng reads; png_writer.cpp writes 1, 2, 4 and 8 bits with a palette (other palette
// depths at the next PNG depth), 24-bit RGB and 32-bit RGBA, a transparent colour as tRNS,
// and Adam7 interlacing; reads every colour type and bit depth PNG has.

#include "core/codec.h"

namespace imaging {

class PngCodec final : public Codec {
public:
    std::string_view name() const override { return "PNG"; }
    std::vector<int> formats() const override { return {format::Png}; }
    std::vector<std::string_view> suffixes() const override { return {"png"}; }
    bool sniff(ByteView data) const override;
    ImageInfo readInfo(ByteView data) const override;
    // Palette and grey files up to 8 bits come back as palette bitmaps of their depth (grey as
    // a grey ramp); 16-bit channels are scaled to 8; grey+alpha, RGBA and palettes with
    // partial transparency come back as 32-bit RGBA.
    Image read(ByteView data, const LoadOptions& options) const override;
    bool canWrite() const override { return true; }
    Bytes write(const Image& image, const SaveOptions& options) const override;
};

}  // namespace imaging
