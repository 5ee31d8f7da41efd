#pragma once
// WordPerfect Graphics (version 1) bitmap records with their colour map.

#include "core/codec.h"

namespace imaging {

class WpgCodec final : public Codec {
public:
    std::string_view name() const override { return "WPG"; }
    std::vector<int> formats() const override { return {format::Wpg}; }
    std::vector<std::string_view> suffixes() const override { return {"wpg"}; }
    bool sniff(ByteView data) const override;
    ImageInfo readInfo(ByteView data) const override;
    Image read(ByteView data, const LoadOptions& options) const override;
    bool canWrite() const override { return true; }
    Bytes write(const Image& image, const SaveOptions& options) const override;
};

}  // namespace imaging
