#pragma once
// Windows icons and cursors: every entry is a page (device-independent bitmap or PNG).

#include "core/codec.h"

namespace imaging {

class IcoCodec final : public Codec {
public:
    std::string_view name() const override { return "ICO"; }
    std::vector<int> formats() const override { return {format::Ico, format::Cur}; }
    std::vector<std::string_view> suffixes() const override { return {"ico", "cur"}; }
    bool sniff(ByteView data) const override;
    ImageInfo readInfo(ByteView data) const override;
    Image read(ByteView data, const LoadOptions& options) const override;
};

}  // namespace imaging
