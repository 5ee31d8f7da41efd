// Files written by other programs read as the manifest says: format number, depth, size,
// pages and the colours an independent decoder sees; the broken ones are refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "codecs/registry.h"
#include "core/error.h"
#include "test_images.h"
#include "test_data.h"

using namespace imaging;

namespace {

const std::string kDir = kalmira::testing::testDataDir() + "/codecs/";

struct Entry {
    std::string file;
    bool error = false;
    int code = 0;
    int format = 0, bits = 0, width = 0, height = 0, pages = 0;
    std::string first, last;
    int tolerance = 0;
};

std::ostream& operator<<(std::ostream& os, const Entry& e) { return os << e.file; }

std::vector<Entry> readManifest() {
    std::vector<Entry> list;
    std::ifstream in(kDir + "manifest.txt");
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        Entry e;
        std::string second;
        fields >> e.file >> second;
        if (second == "error") {
            e.error = true;
            fields >> e.code;
        } else {
            e.format = std::stoi(second);
            fields >> e.bits >> e.width >> e.height >> e.pages >> e.first >> e.last >> e.tolerance;
        }
        list.push_back(e);
    }
    return list;
}

void expectColour(const Bitmap& b, int x, int y, const std::string& hex, int tolerance, const std::string& what) {
    const unsigned long v = std::stoul(hex, nullptr, 16);
    const bool alpha = hex.size() == 8;
    const int r = static_cast<int>((v >> (alpha ? 24 : 16)) & 0xFF), g = static_cast<int>((v >> (alpha ? 16 : 8)) & 0xFF),
              bl = static_cast<int>((v >> (alpha ? 8 : 0)) & 0xFF);
    const Rgb c = b.pixel(x, y);
    EXPECT_NEAR(redOf(c), r, tolerance) << what;
    EXPECT_NEAR(greenOf(c), g, tolerance) << what;
    EXPECT_NEAR(blueOf(c), bl, tolerance) << what;
    if (alpha) {
        ASSERT_EQ(b.bits(), 32) << what;
        EXPECT_NEAR(b.row(y)[4 * x + 3], static_cast<int>(v & 0xFF), tolerance) << what;
    }
}

class KnownAnswer : public ::testing::TestWithParam<Entry> {};

TEST_P(KnownAnswer, ReadsAsTheManifestSays) {
    const Entry& e = GetParam();
    const Bytes data = readWholeFile(kDir + e.file);
    if (e.error) {
        try {
            loadMemory(data);
            FAIL() << e.file << " was accepted";
        } catch (const Error& err) {
            EXPECT_EQ(err.number(), e.code) << err.what();
        }
        return;
    }
    const ImageInfo info = readInfo(data);
    EXPECT_EQ(info.format, e.format);
    EXPECT_EQ(info.bits, e.bits);
    EXPECT_EQ(info.width, e.width);
    EXPECT_EQ(info.height, e.height);
    EXPECT_EQ(info.pages, e.pages);
    EXPECT_EQ(info.animated, e.format == format::Gif && e.pages > 1);
    EXPECT_EQ(info.fileSize, data.size());

    const Image image = loadMemory(data);
    ASSERT_EQ(static_cast<int>(image.frames.size()), e.pages);
    const Bitmap& b = image.first();
    EXPECT_EQ(image.format, e.format);
    EXPECT_EQ(b.bits(), info.bits);
    EXPECT_EQ(b.memorySize(), info.memorySize);
    ASSERT_EQ(b.width(), e.width);
    ASSERT_EQ(b.height(), e.height);
    expectColour(b, 0, 0, e.first, e.tolerance, e.file + " first pixel");
    expectColour(b, e.width - 1, e.height - 1, e.last, e.tolerance, e.file + " last pixel");

    // One page on request, as the document loads a Variation.
    LoadOptions one;
    one.pageCount = 1;
    EXPECT_EQ(loadMemory(data, one).frames.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Files, KnownAnswer, ::testing::ValuesIn(readManifest()), [](const auto& info) {
    std::string name = info.param.file;
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
});

// Layouts only other programs write (YCbCr with JPEG compression, tiles, separate planes,
// CMYK, 16-bit samples, Deflate) decode to the colours ImageMagick sees. Generated here
// when ImageMagick is installed.
TEST(ExternalTiff, DecodesLikeImageMagick) {
    if (!test::haveImageMagick()) GTEST_SKIP() << "ImageMagick is not installed";
    struct Case {
        const char* options;
        int tolerance;
    };
    const Case cases[] = {
        {"-compress JPEG -quality 95", 6},
        {"-depth 8 -define tiff:tile-geometry=16x16", 0},
        {"-depth 8 -interlace Plane", 0},
        {"-depth 8 -colorspace CMYK", 2},
        {"-depth 16 -compress Zip", 1},
        {"-colorspace Gray -depth 16", 1},
    };
    const std::string dir = ::testing::TempDir();
    int n = 0;
    for (const Case& c : cases) {
        const std::string tif = dir + "kalmira-ext-" + std::to_string(n++) + ".tif";
        bool ok = false;
        test::runCommand("/usr/bin/convert -size 37x21 gradient:orange-navy -swirl 90 " + std::string(c.options) + " '" +
                             tif + "'",
                         &ok);
        ASSERT_TRUE(ok) << c.options;
        const std::string rgb = test::runCommand("/usr/bin/convert '" + tif + "' -colorspace sRGB -depth 8 rgb:-", &ok);
        ASSERT_TRUE(ok);
        const Bitmap ours = loadMemory(readWholeFile(tif)).first();
        std::remove(tif.c_str());
        ASSERT_EQ(rgb.size(), 37u * 21u * 3u) << c.options;
        ASSERT_EQ(ours.width(), 37);
        ASSERT_EQ(ours.height(), 21);
        int worst = 0;
        for (int y = 0; y < 21; ++y)
            for (int x = 0; x < 37; ++x) {
                const Rgb p = ours.pixel(x, y);
                const auto* q = reinterpret_cast<const unsigned char*>(rgb.data()) + 3 * (y * 37 + x);
                worst = std::max({worst, std::abs(redOf(p) - q[0]), std::abs(greenOf(p) - q[1]), std::abs(blueOf(p) - q[2])});
            }
        EXPECT_LE(worst, c.tolerance) << c.options;
    }
}

}  // namespace
