#pragma once
// CALS raster type 1: a 2048-byte text header and CCITT Group 4 data.

#include "core/codec.h"

namespace imaging {

class CalsCodec final : public Codec {
public:
    std::string_view name() const override { return "CALS"; }
    std::vector<int> formats() const override { return {format::Cals}; }
    std::vector<std::string_view> suffixes() const override { return {"cal", "cals"}; }
    bool sniff(ByteView data) const override;
    ImageInfo readInfo(ByteView data) const override;
    Image read(ByteView data, const LoadOptions& options) const override;
};

}  // namespace imaging
