#pragma once
// TIFF on libtiff: uncompressed (engine format 3) or compressed (17, LZW, with horizontal
// differencing for 8-bit samples); 1-8 bits with a colour map, 16 bits (5-5-5 as three
// 5-bit samples), 24-bit RGB and 32-bit RGB + alpha; every page of multi-page files.

#include "core/codec.h"

namespace imaging {

class TiffCodec final : public Codec {
public:
    std::string_view name() const override { return "TIFF"; }
    std::vector<int> formats() const override { return {format::TiffUncompressed, format::TiffCompressed}; }
    std::vector<std::string_view> suffixes() const override { return {"tif", "tiff"}; }
    bool sniff(ByteView data) const override;
    ImageInfo readInfo(ByteView data) const override;
    // Palette and grey images up to 8 bits come back as palette bitmaps of their depth, our
    // own 5-5-5 files at 16 bits, 8-bit RGB at 24 (32 with alpha); anything else libtiff can
    // render (YCbCr, CMYK, 16-bit samples, tiles, ...) as 24 or, with alpha, 32 bits.
    Image read(ByteView data, const LoadOptions& options) const override;
    bool canWrite() const override { return true; }
    // Writes the first frame, or every frame as a page with options.multiPage.
    Bytes write(const Image& image, const SaveOptions& options) const override;
};

}  // namespace imaging
