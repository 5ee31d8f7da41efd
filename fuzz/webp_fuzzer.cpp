// Arbitrary bytes into the WebP reader.
#include "reader_fuzzing.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return fuzzing::fuzzFormat(imaging::format::Webp, data, size);
}
