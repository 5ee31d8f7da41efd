// Arbitrary bytes into the GIF reader, then the frame composer the display uses.
#include "codecs/gif_codec.h"
#include "reader_fuzzing.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const imaging::GifCodec codec;
    const std::optional<imaging::Image> image = fuzzing::exerciseReader(codec, data, size);
    // Composing exercises disposal and offsets; only for canvases of sane size.
    if (image && !image->frames.empty() && static_cast<long long>(image->logicalWidth) * image->logicalHeight <= (1 << 20) &&
        static_cast<long long>(image->first().width()) * image->first().height() <= (1 << 20))
        imaging::composeGifFrame(*image, static_cast<int>(image->frames.size()) - 1);
    return 0;
}
