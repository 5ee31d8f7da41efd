// The five main formats, in the order sniffing tries them: the formats with unambiguous
// signatures first, BMP (a two-byte signature) last so it never shadows another format.
#include "codecs/avif_codec.h"
#include "codecs/bmp_codec.h"
#include "codecs/gif_codec.h"
#include "codecs/heif_codec.h"
#include "codecs/jpeg_codec.h"
#include "codecs/png_codec.h"
#include "codecs/registry.h"
#include "codecs/tiff_codec.h"
#include "codecs/webp_codec.h"

namespace imaging {

std::vector<std::unique_ptr<Codec>> mainCodecs() {
    std::vector<std::unique_ptr<Codec>> list;
    list.push_back(std::make_unique<GifCodec>());
    list.push_back(std::make_unique<JpegCodec>());
    list.push_back(std::make_unique<PngCodec>());
    list.push_back(std::make_unique<TiffCodec>());
    list.push_back(std::make_unique<WebpCodec>());
    list.push_back(std::make_unique<AvifCodec>());
    list.push_back(std::make_unique<HeifCodec>());  // after AVIF: AVIF files name HEIF brands too
    list.push_back(std::make_unique<BmpCodec>());
    return list;
}

}  // namespace imaging
