#pragma once
// Windows metafiles holding one device-independent bitmap record.

#include "core/codec.h"

namespace imaging {

class WmfCodec final : public Codec {
public:
    std::string_view name() const override { return "WMF"; }
    std::vector<int> formats() const override { return {format::Wmf}; }
    std::vector<std::string_view> suffixes() const override { return {"wmf"}; }
    bool sniff(ByteView data) const override;
    ImageInfo readInfo(ByteView data) const override;
    Image read(ByteView data, const LoadOptions& options) const override;
    bool canWrite() const override { return true; }
    Bytes write(const Image& image, const SaveOptions& options) const override;
};

}  // namespace imaging
