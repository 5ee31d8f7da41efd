#pragma once
// Portable bitmap, greymap and pixmap files, plain (P1-P3) and raw (P4-P6).

#include "core/codec.h"

namespace imaging {

class PnmCodec final : public Codec {
public:
    std::string_view name() const override { return "PNM"; }
    std::vector<int> formats() const override { return {format::Pnm}; }
    std::vector<std::string_view> suffixes() const override { return {"pbm", "pgm", "ppm", "pnm"}; }
    bool sniff(ByteView data) const override;
    ImageInfo readInfo(ByteView data) const override;
    Image read(ByteView data, const LoadOptions& options) const override;
};

}  // namespace imaging
