#pragma once
// Truevision TGA: colour-mapped, true-colour and grey images, raw or run-length coded.

#include "core/codec.h"

namespace imaging {

class TgaCodec final : public Codec {
public:
    std::string_view name() const override { return "TGA"; }
    std::vector<int> formats() const override { return {format::Tga}; }
    std::vector<std::string_view> suffixes() const override { return {"tga", "vda", "icb", "vst"}; }
    bool sniff(ByteView data) const override;
    ImageInfo readInfo(ByteView data) const override;
    Image read(ByteView data, const LoadOptions& options) const override;
    bool canWrite() const override { return true; }
    Bytes write(const Image& image, const SaveOptions& options) const override;
};

}  // namespace imaging
