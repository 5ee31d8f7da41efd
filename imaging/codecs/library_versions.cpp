#include "codecs/library_versions.h"

#include <cstdio>
#include <gif_lib.h>
#include <png.h>
#include <tiffio.h>
#include <zlib.h>
// jpeglib.h needs the standard types declared first.
#include <jpeglib.h>

namespace imaging {

std::vector<std::pair<std::string, std::string>> libraryVersions() {
    std::vector<std::pair<std::string, std::string>> versions;
#ifdef LIBJPEG_TURBO_VERSION
#define KALMIRA_TEXT_OF(x) #x
#define KALMIRA_TEXT(x) KALMIRA_TEXT_OF(x)
    versions.emplace_back("libjpeg-turbo", KALMIRA_TEXT(LIBJPEG_TURBO_VERSION));
#undef KALMIRA_TEXT
#undef KALMIRA_TEXT_OF
#else
    versions.emplace_back("libjpeg", std::to_string(JPEG_LIB_VERSION / 10) + "." + std::to_string(JPEG_LIB_VERSION % 10));
#endif
    versions.emplace_back("libpng", png_get_libpng_ver(nullptr));
    versions.emplace_back("giflib", std::to_string(GIFLIB_MAJOR) + "." + std::to_string(GIFLIB_MINOR) + "." +
                                        std::to_string(GIFLIB_RELEASE));
    // "LIBTIFF, Version 4.5.0\nCopyright ..." : the first line's number is the version.
    std::string tiff = TIFFGetVersion();
    tiff = tiff.substr(0, tiff.find('\n'));
    if (const auto at = tiff.find("Version "); at != std::string::npos) tiff = tiff.substr(at + 8);
    versions.emplace_back("libtiff", tiff);
    versions.emplace_back("zlib", zlibVersion());
    return versions;
}

}  // namespace imaging
