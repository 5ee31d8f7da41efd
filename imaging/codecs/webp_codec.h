#pragma once
// WebP (engine format 160) on libwebp: lossy or lossless, 24-bit RGB or 32-bit RGBA (a palette
// or 16-bit picture is written as RGB, a transparent colour as alpha), quality 0..100 and
// effort (method) 0..6. Reads still files to 24 bits, or 32 when the file has alpha; an
// animated WebP is refused.

#include "core/codec.h"

namespace imaging {

class WebpCodec final : public Codec {
public:
    std::string_view name() const override { return "WebP"; }
    std::vector<int> formats() const override { return {format::Webp}; }
    std::vector<std::string_view> suffixes() const override { return {"webp"}; }
    bool sniff(ByteView data) const override;
    ImageInfo readInfo(ByteView data) const override;
    Image read(ByteView data, const LoadOptions& options) const override;
    bool canWrite() const override { return true; }
    Bytes write(const Image& image, const SaveOptions& options) const override;
};

// The pixels a web writer gets: 32-bit RGBA when the bitmap has alpha or a transparent colour
// (the transparent pixels at alpha 0), else 24-bit RGB. Shared by WebP and AVIF.
Bitmap webPixels(const Bitmap& bitmap);

}  // namespace imaging
