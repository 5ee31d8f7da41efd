// Feeds arbitrary bytes to the JPEG reader: header information and a full decode must end in
// a picture or an engine error, never a crash, a hang or a runaway allocation.
#include <cstddef>
#include <cstdint>

#include "codecs/jpeg_codec.h"
#include "core/error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const imaging::JpegCodec codec;
    const imaging::ByteView bytes(data, size);
    try {
        codec.readInfo(bytes);
    } catch (const imaging::Error&) {
    }
    try {
        const imaging::Image image = codec.read(bytes, imaging::LoadOptions{});
        (void)image;
    } catch (const imaging::Error&) {
    }
    return 0;
}
