#pragma once
// GEM bit images: monochrome, run-length coded scan lines.

#include "core/codec.h"

namespace imaging {

class GemCodec final : public Codec {
public:
    std::string_view name() const override { return "GEM Image"; }
    std::vector<int> formats() const override { return {format::GemImage}; }
    std::vector<std::string_view> suffixes() const override { return {"img"}; }
    bool sniff(ByteView data) const override;
    ImageInfo readInfo(ByteView data) const override;
    Image read(ByteView data, const LoadOptions& options) const override;
    bool canWrite() const override { return true; }
    Bytes write(const Image& image, const SaveOptions& options) const override;
};

}  // namespace imaging
