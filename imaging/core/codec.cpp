#include "core/codec.h"

#include "core/error.h"

namespace imaging {

Bytes Codec::write(const Image&, const SaveOptions&) const {
    fail(ErrorCode::Unsupported, std::string(name()), "this format is read-only");
}

}  // namespace imaging
