// Arbitrary bytes into the HEIF reader (libheif, with its size limits and our pixel budget).
#include "reader_fuzzing.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return fuzzing::fuzzFormat(imaging::format::Heif, data, size);
}
