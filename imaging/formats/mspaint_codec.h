#pragma once
// Microsoft Paint files: monochrome, version 1 raw and version 2 run-length coded.

#include "core/codec.h"

namespace imaging {

class MsPaintCodec final : public Codec {
public:
    std::string_view name() const override { return "Microsoft Paint"; }
    std::vector<int> formats() const override { return {format::MsPaint}; }
    std::vector<std::string_view> suffixes() const override { return {"msp"}; }
    bool sniff(ByteView data) const override;
    ImageInfo readInfo(ByteView data) const override;
    Image read(ByteView data, const LoadOptions& options) const override;
    bool canWrite() const override { return true; }
    Bytes write(const Image& image, const SaveOptions& options) const override;
};

}  // namespace imaging
