#pragma once
// X bitmaps: C source of a monochrome image.

#include "core/codec.h"

namespace imaging {

class XbmCodec final : public Codec {
public:
    std::string_view name() const override { return "XBM"; }
    std::vector<int> formats() const override { return {format::Xbm}; }
    std::vector<std::string_view> suffixes() const override { return {"xbm"}; }
    bool sniff(ByteView data) const override;
    ImageInfo readInfo(ByteView data) const override;
    Image read(ByteView data, const LoadOptions& options) const override;
};

}  // namespace imaging
