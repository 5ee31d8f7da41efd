// Arbitrary bytes into the reader of the translations a library ships (GNU message catalogues).
#include <cstddef>
#include <cstdint>

#include "core/error.h"
#include "formats/messagecatalog.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        const imaging::MessageCatalog catalog = imaging::MessageCatalog::fromBytes(imaging::ByteView(data, size));
        (void)catalog.translate("Resolution");
    } catch (const imaging::Error&) {
    }
    return 0;
}
