// Arbitrary bytes as an embedded colour profile (lcms2's parser and our transform cache), and
// as metadata blocks: EXIF read by itself, and the container scan that finds profiles and EXIF
// in JPEG, PNG, WebP and TIFF files.
#include "codecs/embedded.h"
#include "codecs/exif.h"
#include "color/icc_transform.h"
#include "core/error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const imaging::ByteView bytes(data, size);
    imaging::Bitmap rgb(4, 2, 24), grey(4, 2, 8);
    for (std::size_t i = 0; i < rgb.data().size(); ++i) rgb.data()[i] = static_cast<std::uint8_t>(i * 37);
    imaging::icc::convertToSrgb(rgb, bytes);
    imaging::icc::convertToSrgb(grey, bytes);
    imaging::icc::convertFromSrgb(rgb, bytes);
    imaging::exif::read(bytes);
    imaging::embedded::scan(bytes);
    return 0;
}
