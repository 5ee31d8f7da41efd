#pragma once
// Raster pictures in Encapsulated PostScript: 8-bit images as hex data under a bounding box.

#include "core/codec.h"

namespace imaging {

class EpsCodec final : public Codec {
public:
    std::string_view name() const override { return "EPS"; }
    std::vector<int> formats() const override { return {format::Eps}; }
    std::vector<std::string_view> suffixes() const override { return {"eps", "epsf"}; }
    bool sniff(ByteView data) const override;
    ImageInfo readInfo(ByteView data) const override;
    Image read(ByteView data, const LoadOptions& options) const override;
    bool canWrite() const override { return true; }
    Bytes write(const Image& image, const SaveOptions& options) const override;
};

}  // namespace imaging
