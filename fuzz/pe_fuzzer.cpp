// Arbitrary bytes into the reader of bitmap, icon and cursor resources in Windows programs.
#include <cstddef>
#include <cstdint>

#include "core/error.h"
#include "formats/pe_resources.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const imaging::ByteView file(data, size);
    try {
        for (const imaging::pe::ResourceEntry& entry : imaging::pe::listResources(file, 7)) {
            try {
                imaging::pe::loadResource(file, entry);
            } catch (const imaging::Error&) {
            }
        }
    } catch (const imaging::Error&) {
    }
    return 0;
}
