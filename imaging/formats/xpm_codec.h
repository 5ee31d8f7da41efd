#pragma once
// X pixmaps (XPM 3): C source with a colour table of characters.

#include "core/codec.h"

namespace imaging {

class XpmCodec final : public Codec {
public:
    std::string_view name() const override { return "XPM"; }
    std::vector<int> formats() const override { return {format::Xpm}; }
    std::vector<std::string_view> suffixes() const override { return {"xpm"}; }
    bool sniff(ByteView data) const override;
    ImageInfo readInfo(ByteView data) const override;
    Image read(ByteView data, const LoadOptions& options) const override;
};

}  // namespace imaging
