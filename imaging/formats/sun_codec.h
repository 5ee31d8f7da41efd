#pragma once
// Sun raster files: standard and run-length coded, with an RGB colour map.

#include "core/codec.h"

namespace imaging {

class SunCodec final : public Codec {
public:
    std::string_view name() const override { return "SUN Raster"; }
    std::vector<int> formats() const override { return {format::SunRaster}; }
    std::vector<std::string_view> suffixes() const override { return {"ras", "sun"}; }
    bool sniff(ByteView data) const override;
    ImageInfo readInfo(ByteView data) const override;
    Image read(ByteView data, const LoadOptions& options) const override;
    bool canWrite() const override { return true; }
    Bytes write(const Image& image, const SaveOptions& options) const override;
};

}  // namespace imaging
