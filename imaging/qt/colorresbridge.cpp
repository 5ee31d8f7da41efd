#include "qt/colorresbridge.h"

#include "color/colorres.h"

namespace imaging::detail {

Bitmap reduceColors(const Bitmap& source, int bits, int paletteKind, int ditherCode, int colorCount) {
    return colorRes(source, bits, paletteKind, ditherCode, colorCount);
}

Bitmap reduceColors(Bitmap&& source, int bits, int paletteKind, int ditherCode, int colorCount) {
    return colorRes(std::move(source), bits, paletteKind, ditherCode, colorCount);
}

Image reduceColors(const Image& source, int bits, int paletteKind, int ditherCode, int colorCount) {
    return colorRes(source, bits, paletteKind, ditherCode, colorCount);
}

}  // namespace imaging::detail
