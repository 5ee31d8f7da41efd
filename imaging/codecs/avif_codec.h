#pragma once
// AVIF (engine format 161) on libavif: 8-bit YUV 4:2:0 for lossy files and 4:4:4 with the
// identity matrix for lossless ones, quality 0..100 (mapped onto AV1's quantiser 63..0) and
// speed from effort 0..10 (10 - effort, so higher effort is slower as with WebP), alpha
// from RGBA or a transparent colour. Reads the first picture of a file to 24 bits, or 32 with
// alpha; deeper files are scaled to 8 bits.

#include "core/codec.h"

namespace imaging {

class AvifCodec final : public Codec {
public:
    std::string_view name() const override { return "AVIF"; }
    std::vector<int> formats() const override { return {format::Avif}; }
    std::vector<std::string_view> suffixes() const override { return {"avif"}; }
    bool sniff(ByteView data) const override;
    ImageInfo readInfo(ByteView data) const override;
    Image read(ByteView data, const LoadOptions& options) const override;
    bool canWrite() const override { return true; }
    Bytes write(const Image& image, const SaveOptions& options) const override;
};

// AV1's quantiser (0 best .. 63) for a quality 0..100.
int avifQuantizerForQuality(int quality);

}  // namespace imaging
