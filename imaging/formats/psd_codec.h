#pragma once
// Photoshop documents: the merged image, raw or PackBits; layers are not read.

#include "core/codec.h"

namespace imaging {

class PsdCodec final : public Codec {
public:
    std::string_view name() const override { return "PSD"; }
    std::vector<int> formats() const override { return {format::Psd}; }
    std::vector<std::string_view> suffixes() const override { return {"psd"}; }
    bool sniff(ByteView data) const override;
    ImageInfo readInfo(ByteView data) const override;
    Image read(ByteView data, const LoadOptions& options) const override;
    bool canWrite() const override { return true; }
    Bytes write(const Image& image, const SaveOptions& options) const override;
};

}  // namespace imaging
