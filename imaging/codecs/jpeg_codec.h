#pragma once
// JPEG on libjpeg-turbo. Engine formats 10 (4:4:4), 23 (4:2:2) and 21 (4:1:1) differ only in
// how the chroma is subsampled when writing; any of the three reads every baseline and
// progressive JPEG, greyscale and CMYK (Adobe) files included.

#include "core/codec.h"

namespace imaging {

class JpegCodec final : public Codec {
public:
    std::string_view name() const override { return "JPEG"; }
    std::vector<int> formats() const override { return {format::Jpeg444, format::Jpeg422, format::Jpeg411}; }
    std::vector<std::string_view> suffixes() const override { return {"jpg", "jpeg", "jpe", "jfif"}; }
    bool sniff(ByteView data) const override;
    ImageInfo readInfo(ByteView data) const override;
    // Greyscale files come back at 8 bits with a grey palette, everything else at 24 bits.
    Image read(ByteView data, const LoadOptions& options) const override;
    bool canWrite() const override { return true; }
    // options.qualityFactor 2..255 (lower = better), options.passes progressive scans
    // (0 = baseline), options.bits 8 = greyscale, otherwise colour. The size-optimising encoder
    // (jpeg_requant.h) writes it unless options.fastJpeg asks for libjpeg's plain one.
    Bytes write(const Image& image, const SaveOptions& options) const override;

    // libjpeg quality 1..100 for an engine quality factor 2..255.
    static int libjpegQuality(int qualityFactor);
    // How many scans a file written with `passes` gets (the scan scripts are capped).
    static int scanCount(int passes, bool greyscale);
};

}  // namespace imaging
