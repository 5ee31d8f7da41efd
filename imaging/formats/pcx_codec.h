#pragma once
// PCX (version 5): run-length coded planes, the 256-colour palette at the end.

#include "core/codec.h"

namespace imaging {

class PcxCodec final : public Codec {
public:
    std::string_view name() const override { return "PCX"; }
    std::vector<int> formats() const override { return {format::Pcx}; }
    std::vector<std::string_view> suffixes() const override { return {"pcx"}; }
    bool sniff(ByteView data) const override;
    ImageInfo readInfo(ByteView data) const override;
    Image read(ByteView data, const LoadOptions& options) const override;
    bool canWrite() const override { return true; }
    Bytes write(const Image& image, const SaveOptions& options) const override;
};

}  // namespace imaging
