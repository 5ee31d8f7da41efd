#pragma once
// X window dumps (version 7): Z pixmaps of 1 to 32 bits and XY bitmaps.

#include "core/codec.h"

namespace imaging {

class XwdCodec final : public Codec {
public:
    std::string_view name() const override { return "XWD"; }
    std::vector<int> formats() const override { return {format::Xwd}; }
    std::vector<std::string_view> suffixes() const override { return {"xwd"}; }
    bool sniff(ByteView data) const override;
    ImageInfo readInfo(ByteView data) const override;
    Image read(ByteView data, const LoadOptions& options) const override;
};

}  // namespace imaging
