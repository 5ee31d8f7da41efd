// Arbitrary bytes into the CALS reader: it may only refuse them with imaging::Error.
#include <cstddef>
#include <cstdint>

#include "codecs/registry.h"
#include "core/error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Through the registry, so that the reader meets the codecs it may hand work to.
    const imaging::Codec* codec = imaging::codecForFormat(imaging::format::Cals);
    if (!codec) return 0;
    const imaging::ByteView bytes(data, size);
    codec->sniff(bytes);
    try {
        codec->readInfo(bytes);
    } catch (const imaging::Error&) {
    }
    try {
        codec->read(bytes, {});
    } catch (const imaging::Error&) {
    }
    return 0;
}
