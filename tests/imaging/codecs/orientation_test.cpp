// Orientation: the eight EXIF values on a 3 x 2 picture of six distinct colours, in every
// format that carries one, read upright; the AVIF/HEIF turn-and-mirror properties mapped onto
// them; values outside 1..8 ignored; the file information reports the upright size.
#include <gtest/gtest.h>

#include <webp/mux.h>

#include <cstring>

#include "codecs/orientation.h"
#include "codecs/registry.h"
#include "test_data.h"
#include "test_images.h"

using namespace imaging;

namespace {

// The six colours, far apart so a lossy JPEG still tells them apart: a b c / d e f.
const Rgb kLabels[6] = {makeRgb(230, 20, 20), makeRgb(20, 230, 20), makeRgb(20, 20, 230),
                        makeRgb(230, 230, 20), makeRgb(20, 230, 230), makeRgb(230, 20, 230)};

Bitmap labelled() {
    Bitmap b(3, 2, 24);
    for (int i = 0; i < 6; ++i) b.setPixel(i % 3, i / 3, kLabels[i]);
    return b;
}

// The upright layout each orientation shows, as letters row by row.
struct Expected {
    int orientation;
    int width, height;
    const char* rows;
};
const Expected kTable[] = {
    {1, 3, 2, "abcdef"}, {2, 3, 2, "cbafed"}, {3, 3, 2, "fedcba"}, {4, 3, 2, "defabc"},
    {5, 2, 3, "adbecf"}, {6, 2, 3, "daebfc"}, {7, 2, 3, "fcebda"}, {8, 2, 3, "cfbead"},
};

char nearestLabel(Rgb c) {
    int best = 0, bestDistance = 1 << 30;
    for (int i = 0; i < 6; ++i) {
        const int dr = redOf(c) - redOf(kLabels[i]), dg = greenOf(c) - greenOf(kLabels[i]), db = blueOf(c) - blueOf(kLabels[i]);
        const int d = dr * dr + dg * dg + db * db;
        if (d < bestDistance) best = i, bestDistance = d;
    }
    return static_cast<char>('a' + best);
}

std::string layout(const Bitmap& b) {
    std::string s;
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x) s += nearestLabel(b.pixel(x, y));
    return s;
}

// A big-endian EXIF block with only an orientation (big-endian, as many cameras write it).
Bytes exifWithOrientation(int value) {
    return Bytes{'M', 'M', 0, 42, 0, 0, 0, 8, 0, 1, 0x01, 0x12, 0, 3, 0, 0, 0, 1,
                 static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value), 0, 0, 0, 0, 0, 0};
}

void putBe32(Bytes& out, std::uint32_t v) {
    for (int i = 3; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

Bytes withOrientation(int format, int value) {
    SaveOptions o;
    o.format = format;
    o.qualityFactor = 2;
    o.lossless = true;
    Bytes file = saveMemory(Image::fromBitmap(labelled()), o);
    const Bytes exif = exifWithOrientation(value);
    if (format == format::Jpeg444) {
        Bytes app1{0xFF, 0xE1, 0, 0, 'E', 'x', 'i', 'f', 0, 0};
        app1.insert(app1.end(), exif.begin(), exif.end());
        app1[2] = static_cast<std::uint8_t>((app1.size() - 2) >> 8);
        app1[3] = static_cast<std::uint8_t>(app1.size() - 2);
        file.insert(file.begin() + 2, app1.begin(), app1.end());
    } else if (format == format::Png) {
        Bytes chunk;
        putBe32(chunk, static_cast<std::uint32_t>(exif.size()));
        chunk.insert(chunk.end(), {'e', 'X', 'I', 'f'});
        chunk.insert(chunk.end(), exif.begin(), exif.end());
        putBe32(chunk, 0);  // the CRC is not what a reader of metadata checks
        file.insert(file.end() - 12, chunk.begin(), chunk.end());  // after IDAT, before IEND: allowed
    } else if (format == format::Webp) {
        WebPData in{file.data(), file.size()}, out{};
        WebPMux* mux = WebPMuxCreate(&in, 1);
        const WebPData chunk{exif.data(), exif.size()};
        EXPECT_EQ(WebPMuxSetChunk(mux, "EXIF", &chunk, 1), WEBP_MUX_OK);
        EXPECT_EQ(WebPMuxAssemble(mux, &out), WEBP_MUX_OK);
        file.assign(out.bytes, out.bytes + out.size);
        WebPDataClear(&out);
        WebPMuxDelete(mux);
    } else if (format == format::TiffUncompressed) {
        // Our writer stores orientation 1; the tag's value is patched in place.
        const std::uint32_t ifd = file[4] | (file[5] << 8) | (file[6] << 16) | (static_cast<std::uint32_t>(file[7]) << 24);
        const int count = file[ifd] | (file[ifd + 1] << 8);
        bool patched = false;
        for (int i = 0; i < count; ++i) {
            std::uint8_t* e = file.data() + ifd + 2 + 12 * i;
            if ((e[0] | (e[1] << 8)) == 274) {
                e[8] = static_cast<std::uint8_t>(value), e[9] = static_cast<std::uint8_t>(value >> 8);
                patched = true;
            }
        }
        EXPECT_TRUE(patched);
    }
    return file;
}

class OrientationTable : public ::testing::TestWithParam<int> {};

TEST_P(OrientationTable, EveryValueReadsUpright) {
    const int format = GetParam();
    for (const Expected& e : kTable) {
        SCOPED_TRACE("orientation " + std::to_string(e.orientation));
        const Bytes file = withOrientation(format, e.orientation);
        const Image image = loadMemory(file);
        EXPECT_EQ(image.first().width(), e.width);
        EXPECT_EQ(image.first().height(), e.height);
        EXPECT_EQ(layout(image.first()), e.rows);
        EXPECT_EQ(image.notes.orientation, e.orientation);
        const ImageInfo info = readInfo(file);
        EXPECT_EQ(info.width, e.width);
        EXPECT_EQ(info.height, e.height);
    }
}

TEST_P(OrientationTable, ValuesOutsideOneToEightAreIgnored) {
    for (int value : {0, 9, 255, 65535}) {
        const Image image = loadMemory(withOrientation(GetParam(), value));
        EXPECT_EQ(layout(image.first()), "abcdef") << value;
        EXPECT_EQ(image.notes.orientation, 1) << value;
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, OrientationTable,
                         ::testing::Values(format::Jpeg444, format::Png, format::Webp, format::TiffUncompressed),
                         [](const auto& info) {
                             switch (info.param) {
                             case format::Jpeg444: return std::string("Jpeg");
                             case format::Png: return std::string("Png");
                             case format::Webp: return std::string("Webp");
                             default: return std::string("Tiff");
                             }
                         });

TEST(Orientation, PaletteAndAlphaPicturesTurnWithTheirPaletteAndTransparency) {
    Bitmap b(3, 2, 8);
    for (int i = 0; i < 6; ++i) b.setPixel(i % 3, i / 3, static_cast<std::uint32_t>(i));
    b.palette()[4] = makeRgb(1, 2, 3);
    b.setTransparent(true);
    b.setTransparentColor(kPaletteReference + 5);
    applyOrientation(b, 6);
    ASSERT_EQ(b.width(), 2);
    const int expected[6] = {3, 0, 4, 1, 5, 2};  // "daebfc"
    for (int i = 0; i < 6; ++i) EXPECT_EQ(b.rawPixel(i % 2, i / 2), static_cast<std::uint32_t>(expected[i])) << i;
    EXPECT_EQ(b.palette()[4], makeRgb(1, 2, 3));
    EXPECT_EQ(b.transparentColor(), kPaletteReference + 5);
}

// irot turns anticlockwise in quarter turns, then imir mirrors (mode 0 top-bottom, 1 left-right).
TEST(Orientation, HeifTurnAndMirrorPropertiesMapOntoExifValues) {
    struct Case {
        int turns, mirror, orientation;
    };
    const Case cases[] = {{0, -1, 1}, {1, -1, 8}, {2, -1, 3}, {3, -1, 6}, {0, 1, 2},
                          {0, 0, 4},  {1, 1, 7},  {1, 0, 5},  {2, 1, 4}, {3, 1, 5}};
    for (const Case& c : cases)
        EXPECT_EQ(orientationFromRotation(c.turns, c.mirror), c.orientation) << c.turns << " " << c.mirror;
}

// AVIF files made by avifenc --irot/--imir from the 3 x 2 picture; libheif shows each so too.
TEST(Orientation, AvifTurnAndMirrorPropertiesAreAppliedOnLoad) {
    const struct {
        const char* file;
        const char* rows;
        int orientation;
    } cases[] = {{"irot1.avif", "cfbead", 8}, {"irot3.avif", "daebfc", 6}, {"imir1.avif", "cbafed", 2},
                 {"irot1_imir0.avif", "adbecf", 5}};
    for (const auto& c : cases) {
        const Image image = loadFile(kalmira::testing::testDataDir() + "/codecs/avif_orient/" + c.file);
        EXPECT_EQ(layout(image.first()), c.rows) << c.file;
        EXPECT_EQ(image.notes.orientation, c.orientation) << c.file;
        const ImageInfo info = readInfoFile(kalmira::testing::testDataDir() + "/codecs/avif_orient/" + c.file);
        EXPECT_EQ(info.width, image.first().width()) << c.file;
        EXPECT_EQ(info.height, image.first().height()) << c.file;
    }
}

}  // namespace
