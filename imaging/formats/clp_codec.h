#pragma once
// Windows clipboard files: the device-independent bitmap they hold.

#include "core/codec.h"

namespace imaging {

class ClpCodec final : public Codec {
public:
    std::string_view name() const override { return "CLP"; }
    std::vector<int> formats() const override { return {format::Clp}; }
    std::vector<std::string_view> suffixes() const override { return {"clp"}; }
    bool sniff(ByteView data) const override;
    ImageInfo readInfo(ByteView data) const override;
    Image read(ByteView data, const LoadOptions& options) const override;
};

}  // namespace imaging
