#include "test_pictures.h"

#include <algorithm>
#include <cstdint>

namespace kalmira::testing {

imaging::Bitmap stripes(int width, int height, int colors) {
    imaging::Bitmap b(width, height, 24);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int c = (x + y * 7) % colors;
            b.setPixel(x, y, imaging::makeRgb(c * 37 % 256, c * 11 % 256, c));
        }
    return b;
}

imaging::Bitmap photo(int width, int height) {
    imaging::Bitmap b(width, height, 24);
    std::uint32_t seed = 12345;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int grain = static_cast<int>(seed >> 28) - 8;
            b.setPixel(x, y, imaging::makeRgb(std::clamp(x * 255 / width + grain, 0, 255),
                                              std::clamp(y * 255 / height + grain, 0, 255),
                                              std::clamp((x + y) * 128 / (width + height) + 64 + grain, 0, 255)));
        }
    return b;
}

}  // namespace kalmira::testing
