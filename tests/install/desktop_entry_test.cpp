// The desktop entry offers the program for every format it opens: each file suffix the engine
// reads has its MIME type in the entry, and types the shared database lacks are defined by the
// program's own MIME package.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "codecs/registry.h"

namespace {

std::string slurp(const std::string& path) {
    std::ifstream f(path);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

std::set<std::string> desktopMimeTypes() {
    std::istringstream entry(slurp(KALMIRA_SOURCE "/resources/desktop/kalmira.desktop"));
    std::set<std::string> types;
    for (std::string line; std::getline(entry, line);) {
        if (line.rfind("MimeType=", 0) != 0) continue;
        std::istringstream list(line.substr(9));
        for (std::string type; std::getline(list, type, ';');)
            if (!type.empty()) types.insert(type);
    }
    return types;
}

// The type a desktop gives a file of each suffix (shared-mime-info's names), or ours.
const std::map<std::string, std::string> kTypeOfSuffix = {
    {"bmp", "image/bmp"}, {"dib", "image/x-dib"}, {"rle", "image/bmp"}, {"cal", "image/x-cals"},
    {"cals", "image/x-cals"}, {"clp", "image/x-clp"}, {"cut", "image/x-halo-cut"}, {"eps", "image/x-eps"},
    {"epsf", "image/x-eps"}, {"gif", "image/gif"}, {"ico", "image/vnd.microsoft.icon"}, {"cur", "image/x-win-bitmap"},
    {"iff", "image/x-ilbm"}, {"ilbm", "image/x-ilbm"}, {"lbm", "image/x-ilbm"}, {"img", "image/x-gem"},
    {"jpg", "image/jpeg"}, {"jpeg", "image/jpeg"}, {"jpe", "image/jpeg"}, {"jfif", "image/jpeg"},
    {"mac", "image/x-macpaint"}, {"pntg", "image/x-macpaint"}, {"msp", "image/x-msp"},
    {"pbm", "image/x-portable-bitmap"}, {"pgm", "image/x-portable-graymap"}, {"ppm", "image/x-portable-pixmap"},
    {"pnm", "image/x-portable-anymap"}, {"pct", "image/x-pict"}, {"pict", "image/x-pict"},
    {"pcx", "image/vnd.zbrush.pcx"}, {"png", "image/png"}, {"psd", "image/vnd.adobe.photoshop"},
    {"ras", "image/x-sun-raster"}, {"sun", "image/x-sun-raster"}, {"tga", "image/x-tga"}, {"vda", "image/x-tga"},
    {"icb", "image/x-tga"}, {"vst", "image/x-tga"}, {"tif", "image/tiff"}, {"tiff", "image/tiff"},
    {"wmf", "image/wmf"}, {"wpg", "application/x-wpg"}, {"xbm", "image/x-xbitmap"}, {"xpm", "image/x-xpixmap"},
    {"xwd", "image/x-xwindowdump"}, {"webp", "image/webp"}, {"avif", "image/avif"},
    {"heic", "image/heif"}, {"heif", "image/heif"}, {"hif", "image/heif"},
};

TEST(DesktopEntry, OffersEveryFormatTheEngineReads) {
    const std::set<std::string> offered = desktopMimeTypes();
    ASSERT_FALSE(offered.empty());
    std::set<std::string> needed;
    for (const auto& codec : imaging::allCodecs())
        for (std::string_view suffix : codec->suffixes()) {
            const auto it = kTypeOfSuffix.find(std::string(suffix));
            ASSERT_NE(it, kTypeOfSuffix.end()) << codec->name() << " reads ." << suffix << ", which has no MIME type here";
            EXPECT_TRUE(offered.count(it->second)) << it->second << " (." << suffix << ") is not in the desktop entry";
            needed.insert(it->second);
        }
    // Ours are defined in the program's MIME package.
    const std::string package = slurp(KALMIRA_SOURCE "/resources/desktop/kalmira-mime.xml");
    for (const char* own : {"image/x-cals", "image/x-clp", "image/x-halo-cut", "image/x-gem", "image/x-msp"}) {
        EXPECT_TRUE(needed.count(own)) << own << " is defined but no format needs it";
        EXPECT_NE(package.find(std::string("<mime-type type=\"") + own + "\">"), std::string::npos) << own;
    }
}

TEST(DesktopEntry, OpensTheFilesTheDesktopPasses) {
    const std::string entry = slurp(KALMIRA_SOURCE "/resources/desktop/kalmira.desktop");
    EXPECT_NE(entry.find("\nExec=kalmira %F\n"), std::string::npos);
    EXPECT_NE(entry.find("\nIcon=kalmira\n"), std::string::npos);
}

}  // namespace
