#include "core/error.h"

namespace imaging {

void fail(ErrorCode code, const std::string& where, const std::string& reason) {
    throw Error(code, where + ": " + reason);
}

void checkDimensions(long long width, long long height, const std::string& where) {
    if (width <= 0 || height <= 0)
        fail(ErrorCode::Corrupt, where, "image has no pixels (" + std::to_string(width) + " x " +
                                            std::to_string(height) + ")");
    if (width > kMaxPixels || height > kMaxPixels || width * height > kMaxPixels)
        fail(ErrorCode::TooLarge, where, "image of " + std::to_string(width) + " x " + std::to_string(height) +
                                             " pixels is larger than the engine accepts (at most " + std::to_string(kMaxPixels) +
                                             " pixels: its working copies would need more than 3 GB)");
}

}  // namespace imaging
