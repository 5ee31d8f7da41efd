// Feeds arbitrary bytes to the GIF reader: header information and a full decode must end in
// a picture or an engine error, never a crash, a hang or a runaway allocation.
#include <cstddef>
#include <cstdint>

#include "codecs/gif_codec.h"
#include "core/error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const imaging::GifCodec codec;
    const imaging::ByteView bytes(data, size);
    try {
        codec.readInfo(bytes);
    } catch (const imaging::Error&) {
    }
    try {
        const imaging::Image image = codec.read(bytes, imaging::LoadOptions{});
        // Composing exercises disposal and offsets; only for canvases of sane size.
        if (static_cast<long long>(image.logicalWidth) * image.logicalHeight <= (1 << 20))
            imaging::composeGifFrame(image, static_cast<int>(image.frames.size()) - 1);
    } catch (const imaging::Error&) {
    }
    return 0;
}
