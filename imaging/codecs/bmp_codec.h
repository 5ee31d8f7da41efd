#pragma once
// BMP in its three saved variants: Windows (engine format 6), Windows with run-length coding
// (84: RLE8 for 5-8 bits, RLE4 for 2-4 bits) and OS/2 (74). Our own code: the format is
// simple enough that a library would add nothing but a dependency.

#include "core/codec.h"

namespace imaging {

class BmpCodec final : public Codec {
public:
    std::string_view name() const override { return "BMP"; }
    std::vector<int> formats() const override { return {format::BmpWindows, format::BmpRle, format::BmpOs2}; }
    std::vector<std::string_view> suffixes() const override { return {"bmp", "dib", "rle"}; }
    bool sniff(ByteView data) const override;
    ImageInfo readInfo(ByteView data) const override;
    // 1, 2, 4 and 8 bits come back as palette bitmaps, 5-5-5 16-bit files as 16 bits, other
    // 16-bit bit fields as 24 bits, 24 and 32 bits as they are (32-bit files without an alpha
    // mask are opaque).
    Image read(ByteView data, const LoadOptions& options) const override;
    bool canWrite() const override { return true; }
    // Palette depths 2-3 are written at 4 bits and 5-7 at 8, their palettes padded; 16 bits as
    // 5-5-5 (OS/2: 24), 32 bits as 24. Run-length coding exists only at 4 and 8 bits, so the
    // RLE variant writes 1, 16 and 24 bits uncompressed.
    Bytes write(const Image& image, const SaveOptions& options) const override;
};

}  // namespace imaging
