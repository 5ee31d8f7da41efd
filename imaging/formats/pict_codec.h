#pragma once
// Macintosh PICT 2 pictures holding one pixel map (PackBitsRect or DirectBitsRect).

#include "core/codec.h"

namespace imaging {

class PictCodec final : public Codec {
public:
    std::string_view name() const override { return "PICT"; }
    std::vector<int> formats() const override { return {format::Pict}; }
    std::vector<std::string_view> suffixes() const override { return {"pct", "pict"}; }
    bool sniff(ByteView data) const override;
    ImageInfo readInfo(ByteView data) const override;
    Image read(ByteView data, const LoadOptions& options) const override;
    bool canWrite() const override { return true; }
    Bytes write(const Image& image, const SaveOptions& options) const override;
};

}  // namespace imaging
