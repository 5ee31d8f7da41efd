#pragma once
// IFF pictures: ILBM (planar, ByteRun1, EHB and HAM) and PBM (chunky).

#include "core/codec.h"

namespace imaging {

class IffCodec final : public Codec {
public:
    std::string_view name() const override { return "IFF"; }
    std::vector<int> formats() const override { return {format::Iff}; }
    std::vector<std::string_view> suffixes() const override { return {"iff", "ilbm", "lbm"}; }
    bool sniff(ByteView data) const override;
    ImageInfo readInfo(ByteView data) const override;
    Image read(ByteView data, const LoadOptions& options) const override;
};

}  // namespace imaging
