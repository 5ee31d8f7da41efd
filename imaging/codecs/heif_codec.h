#pragma once
// HEIC/HEIF (engine format 162, read only) on libheif: the primary picture of a file, turned
// upright by its irot/imir properties (libheif applies them), 24 bits or 32 with alpha; its
// ICC profile and EXIF block go to Image::notes for the loading entry point.

#include "core/codec.h"

namespace imaging {

class HeifCodec final : public Codec {
public:
    std::string_view name() const override { return "HEIF"; }
    std::vector<int> formats() const override { return {format::Heif}; }
    std::vector<std::string_view> suffixes() const override { return {"heic", "heif", "hif"}; }
    bool sniff(ByteView data) const override;
    ImageInfo readInfo(ByteView data) const override;
    Image read(ByteView data, const LoadOptions& options) const override;
};

}  // namespace imaging
