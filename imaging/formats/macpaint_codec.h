#pragma once
// MacPaint documents: one 576 x 720 monochrome page, PackBits per scan line.

#include "core/codec.h"

namespace imaging {

class MacPaintCodec final : public Codec {
public:
    std::string_view name() const override { return "MacPaint"; }
    std::vector<int> formats() const override { return {format::MacPaint}; }
    std::vector<std::string_view> suffixes() const override { return {"mac", "pntg"}; }
    bool sniff(ByteView data) const override;
    ImageInfo readInfo(ByteView data) const override;
    Image read(ByteView data, const LoadOptions& options) const override;
    bool canWrite() const override { return true; }
    Bytes write(const Image& image, const SaveOptions& options) const override;
};

}  // namespace imaging
