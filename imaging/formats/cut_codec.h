#pragma once
// Dr. Halo CUT: run-length coded 8-bit indices; the palette lives in a separate file, so the picture is read as grey.

#include "core/codec.h"

namespace imaging {

class CutCodec final : public Codec {
public:
    std::string_view name() const override { return "Dr. Halo CUT"; }
    std::vector<int> formats() const override { return {format::Cut}; }
    std::vector<std::string_view> suffixes() const override { return {"cut"}; }
    bool sniff(ByteView data) const override;
    ImageInfo readInfo(ByteView data) const override;
    Image read(ByteView data, const LoadOptions& options) const override;
};

}  // namespace imaging
