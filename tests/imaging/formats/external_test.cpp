// Independent readers: a file we write opens in ImageMagick, Ghostscript or netpbm with the
// same colours; and files other programs write open here with the colours they hold.
#include <gtest/gtest.h>

#include <cstdlib>

#include "codecs/registry.h"
#include "core/error.h"
#include "test_support.h"

using namespace imaging;
using namespace testing_formats;

namespace {

const std::string kConvert = "/usr/bin/convert";

struct External {
    int format;
    int bits;
    const char* suffix;
    bool blackWhite = false;
    const char* viaTool = nullptr;  // a netpbm converter to PNM, where ImageMagick reads the format wrongly
};

class OthersReadOurFile : public testing::TestWithParam<External> {};

TEST_P(OthersReadOurFile, ImageMagickSeesTheSameColours) {
    const External& c = GetParam();
    if (!haveTool(kConvert)) GTEST_SKIP() << "ImageMagick is not installed";
    const Bitmap original = makePicture(c.format == format::MacPaint ? 576 : 29,
                                        c.format == format::MacPaint ? 720 : 13, c.bits, 3, c.blackWhite);
    SaveOptions options;
    options.format = c.format;
    options.bits = c.bits;
    const auto path = tempDir() / ("ours_" + std::to_string(c.format) + "_" + std::to_string(c.bits) + "." + c.suffix);
    writeFile(path, saveMemory(Image::fromBitmap(original), options));
    int w = 0, h = 0;
    auto decoded = path;
    if (c.viaTool) {
        const std::string via = c.viaTool, tool = via.substr(0, via.find(' '));
        if (!haveTool(tool)) GTEST_SKIP() << tool << " is not installed";
        decoded += ".pnm";
        ASSERT_EQ(run(std::string(c.viaTool) + " '" + path.string() + "' > '" + decoded.string() + "'"), 0);
    }
    const Bytes theirs = magickRgba(decoded, w, h);
    ASSERT_FALSE(theirs.empty()) << "ImageMagick refused " << path;
    ASSERT_EQ(w, original.width());
    ASSERT_EQ(h, original.height());
    const Bytes ours = rgbaOf(original);
    ASSERT_EQ(theirs.size(), ours.size());
    int wrong = 0;
    std::size_t first = 0;
    // 5-bit channels may be widened by scaling instead of replicating bits: one step apart.
    const int slack = original.bits() == 16 ? 4 : 0;
    auto differ = [&](std::size_t i) { return std::abs(int(ours[i]) - int(theirs[i])) > slack; };
    for (std::size_t i = 0; i < ours.size(); i += 4) {
        const bool alpha = original.bits() == 32 && !c.viaTool;  // PNM has no alpha
        if (differ(i) || differ(i + 1) || differ(i + 2) || (alpha && differ(i + 3)))
            if (wrong++ == 0) first = i;
    }
    EXPECT_EQ(wrong, 0) << "pixels with other colours in ImageMagick's reading of " << path << ", first at pixel "
                        << first / 4 << ": ours " << int(ours[first]) << "," << int(ours[first + 1]) << ","
                        << int(ours[first + 2]) << "," << int(ours[first + 3]) << " theirs " << int(theirs[first])
                        << "," << int(theirs[first + 1]) << "," << int(theirs[first + 2]) << ","
                        << int(theirs[first + 3]);
}

const char* const kGhostscript =
    "/usr/bin/gs -q -dSAFER -dNOPAUSE -dBATCH -sDEVICE=ppmraw -r72 -dEPSCrop -sOutputFile=-";

const External kOurs[] = {
    {format::Eps, 8, "eps", false, kGhostscript},
    {format::GemImage, 1, "img", true, "/usr/bin/gemtopnm"},
    {format::MacPaint, 1, "mac", true, "/usr/bin/macptopbm"},
    {format::Pict, 1, "pct"},
    {format::Pict, 4, "pct"},
    {format::Pict, 8, "pct"},
    {format::Pict, 24, "pct"},
    {format::Pcx, 1, "pcx", true, "/usr/bin/pcxtoppm"},
    {format::Pcx, 4, "pcx"},
    {format::Pcx, 8, "pcx"},
    {format::Pcx, 24, "pcx"},
    // ImageMagick 6.9 refuses indexed Photoshop files, even its own: grey is checked instead.
    {format::Psd, 1, "psd", true},
    {format::Psd, 8, "psd", true},
    {format::Psd, 24, "psd"},
    // ImageMagick 6.9 reads byte-encoded Sun rasters with red and blue swapped and refuses
    // 1-bit ones; netpbm follows the format's description, so it is the judge here.
    {format::SunRaster, 1, "ras", false, "/usr/bin/rasttopnm"},
    {format::SunRaster, 1, "ras", true, "/usr/bin/rasttopnm"},
    {format::SunRaster, 4, "ras", false, "/usr/bin/rasttopnm"},
    {format::SunRaster, 8, "ras", false, "/usr/bin/rasttopnm"},
    {format::SunRaster, 24, "ras", false, "/usr/bin/rasttopnm"},
    {format::SunRaster, 32, "ras", false, "/usr/bin/rasttopnm"},
    {format::Tga, 8, "tga"},
    {format::Tga, 16, "tga"},
    {format::Tga, 24, "tga"},
    {format::Tga, 32, "tga"},
    {format::Wpg, 1, "wpg"},
    {format::Wpg, 4, "wpg"},
    {format::Wpg, 8, "wpg"},
};

INSTANTIATE_TEST_SUITE_P(ImageMagick, OthersReadOurFile, testing::ValuesIn(kOurs),
                         [](const testing::TestParamInfo<External>& i) {
                             std::string name = std::string(i.param.suffix) + "_" + std::to_string(i.param.bits);
                             if (i.param.blackWhite) name += "_bw";
                             if (i.param.viaTool) {
                                 const std::string via = i.param.viaTool;
                                 const std::string tool = via.substr(0, via.find(' '));
                                 name += "_via_" + tool.substr(tool.rfind('/') + 1);
                             }
                             return name;
                         });

// Files written by other software from one known picture, read here and compared pixel by
// pixel with that picture.
struct Foreign {
    const char* name;
    const char* command;  // %in = a PPM of the picture, %out = the file to read
    int format;
    int pictureBits = 4;  // 1: a black and white picture, for monochrome formats
    bool grey = false;    // a grey picture, for grey formats
};

class WeReadTheirFile : public testing::TestWithParam<Foreign> {};

TEST_P(WeReadTheirFile, ColoursMatchThePicture) {
    const Foreign& c = GetParam();
    std::string command = c.command;
    const std::string tool = command.substr(0, command.find(' '));
    if (!haveTool(tool)) GTEST_SKIP() << tool << " is not installed";
    // Few colours, so palette formats hold the picture exactly.
    const Bitmap picture = makePicture(31, 17, c.pictureBits, 5, c.pictureBits == 1 || c.grey);
    const auto dir = tempDir();
    const auto in = dir / (std::string(c.name) + ".ppm");
    const auto out = dir / (std::string(c.name) + ".out");
    writePpm(in, picture);
    for (auto [key, value] : {std::pair<std::string, std::string>{"%in", in.string()}, {"%out", out.string()}})
        for (std::size_t at; (at = command.find(key)) != std::string::npos;) command.replace(at, key.size(), value);
    ASSERT_EQ(run(command), 0) << command;
    const Bytes file = readFile(out);
    const Codec* codec = sniffCodec(file);
    ASSERT_EQ(codec, codecForFormat(c.format)) << "sniffed as " << (codec ? codec->name() : "nothing");
    const Image image = loadMemory(file);
    const Bitmap& back = image.first();
    int dx = 0, dy = 0;
    if (c.format == format::MacPaint) {  // always a whole page, on which pbmtomacp centres the picture
        ASSERT_EQ(back.width(), 576);
        ASSERT_EQ(back.height(), 720);
        dx = (576 - picture.width()) / 2;
        dy = (720 - picture.height()) / 2;
    } else {
        ASSERT_EQ(back.width(), picture.width());
        ASSERT_EQ(back.height(), picture.height());
    }
    int wrong = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) wrong += back.pixel(x + dx, y + dy) != picture.pixel(x, y);
    EXPECT_EQ(wrong, 0) << "pixels with other colours";
}

const Foreign kTheirs[] = {
    {"pcx_magick", "/usr/bin/convert %in pcx:%out", format::Pcx},
    {"pcx_magick24", "/usr/bin/convert %in -type TrueColor pcx:%out", format::Pcx},
    {"pcx_netpbm", "/usr/bin/ppmtopcx %in > %out", format::Pcx},
    {"pcx_netpbm24", "/usr/bin/ppmtopcx -24bit %in > %out", format::Pcx},
    {"tga_top", "/usr/bin/convert %in -orient TopLeft -type TrueColor -compress None tga:%out", format::Tga},
    {"tga_top_rle", "/usr/bin/convert %in -orient TopLeft -type TrueColor -compress RLE tga:%out", format::Tga},
    {"tga_top_mapped_rle", "/usr/bin/convert %in -orient TopLeft -type Palette -compress RLE tga:%out", format::Tga},
    {"tga_bottom", "/usr/bin/ppmtotga -rgb -norle %in > %out", format::Tga},
    {"tga_netpbm_rle", "/usr/bin/ppmtotga -rgb %in > %out", format::Tga},
    {"tga_netpbm_mapped", "/usr/bin/ppmtotga -cmap %in > %out", format::Tga},
    {"psd_rle", "/usr/bin/convert %in -type TrueColor -compress RLE psd:%out", format::Psd},
    {"psd_raw", "/usr/bin/convert %in -type TrueColor -compress None psd:%out", format::Psd},
    {"psd_alpha", "/usr/bin/convert %in -type TrueColorAlpha psd:%out", format::Psd},
    {"psd_16bit", "/usr/bin/convert %in -depth 16 psd:%out", format::Psd, 24},
    {"sun_magick_rgb", "/usr/bin/convert %in -type TrueColor sun:%out", format::SunRaster},
    {"sun_magick_mapped", "/usr/bin/convert %in -type Palette sun:%out", format::SunRaster},
    {"sun_netpbm", "/usr/bin/pnmtorast %in > %out", format::SunRaster},
    {"sun_netpbm_rle", "/usr/bin/pnmtorast -rle %in > %out", format::SunRaster},
    {"pict_netpbm", "/usr/bin/ppmtopict %in > %out", format::Pict},
    {"pict_magick", "/usr/bin/convert %in pict:%out", format::Pict},
    {"pict_magick_direct", "/usr/bin/convert %in -type TrueColor pict:%out", format::Pict},
    {"macpaint_netpbm", "/usr/bin/ppmtopgm %in | /usr/bin/pgmtopbm -threshold | /usr/bin/pbmtomacp > %out",
     format::MacPaint, 1},
    {"gem_netpbm", "/usr/bin/ppmtopgm %in | /usr/bin/pgmtopbm -threshold | /usr/bin/pbmtogem > %out", format::GemImage,
     1},
    // Readers of the open list.
    {"ico_magick", "/usr/bin/convert %in ico:%out", format::Ico},
    {"ico_magick_mono", "/usr/bin/convert %in -type Bilevel ico:%out", format::Ico, 1},
    {"ico_netpbm", "/usr/bin/ppmtowinicon %in > %out", format::Ico},
    {"ico_magick_truecolour", "/usr/bin/convert %in ico:%out", format::Ico, 24},
    {"cur_magick", "/usr/bin/convert %in cur:%out", format::Cur},
    {"pnm_p1", "/usr/bin/ppmtopgm %in | /usr/bin/pgmtopbm -threshold -plain > %out", format::Pnm, 1},
    {"pnm_p4", "/usr/bin/ppmtopgm %in | /usr/bin/pgmtopbm -threshold > %out", format::Pnm, 1},
    {"pnm_p2", "/usr/bin/ppmtopgm -plain %in > %out", format::Pnm, 4, true},
    {"pnm_p5", "/usr/bin/ppmtopgm %in > %out", format::Pnm, 4, true},
    {"pnm_p3", "/usr/bin/pnmtoplainpnm %in > %out", format::Pnm},
    {"pnm_p6_16bit", "/usr/bin/convert %in -depth 16 ppm:%out", format::Pnm},
    {"pnm_p5_16bit", "/usr/bin/convert %in -depth 16 pgm:%out", format::Pnm, 4, true},
    {"xbm_magick", "/usr/bin/convert %in xbm:%out", format::Xbm, 1},
    {"xbm_netpbm", "/usr/bin/ppmtopgm %in | /usr/bin/pgmtopbm -threshold | /usr/bin/pbmtoxbm > %out", format::Xbm, 1},
    {"xbm_netpbm_x10", "/usr/bin/ppmtopgm %in | /usr/bin/pgmtopbm -threshold | /usr/bin/pbmtoxbm -x10 > %out",
     format::Xbm, 1},
    {"xpm_magick", "/usr/bin/convert %in xpm:%out", format::Xpm},
    {"xpm_netpbm", "/usr/bin/ppmtoxpm %in > %out", format::Xpm},
    {"xpm_netpbm_truecolour", "/usr/bin/ppmtoxpm %in > %out", format::Xpm, 24},
    {"xwd_magick_truecolour", "/usr/bin/convert %in xwd:%out", format::Xwd, 24},
    {"pict_magick_truecolour", "/usr/bin/convert %in pict:%out", format::Pict, 24},
    {"tga_netpbm_truecolour_rle", "/usr/bin/ppmtotga -rgb %in > %out", format::Tga, 24},
    {"xwd_magick", "/usr/bin/convert %in xwd:%out", format::Xwd},
    {"xwd_magick_mapped", "/usr/bin/convert %in -type Palette xwd:%out", format::Xwd},
    {"xwd_netpbm", "/usr/bin/pnmtoxwd %in > %out", format::Xwd},
    {"xwd_netpbm_grey", "/usr/bin/ppmtopgm %in | /usr/bin/pnmtoxwd > %out", format::Xwd, 4, true},
    {"xwd_netpbm_mono", "/usr/bin/ppmtopgm %in | /usr/bin/pgmtopbm -threshold | /usr/bin/pnmtoxwd > %out", format::Xwd,
     1},
    {"iff_netpbm", "/usr/bin/ppmtoilbm %in > %out", format::Iff},
    {"iff_netpbm_raw", "/usr/bin/ppmtoilbm -nocompress %in > %out", format::Iff},
    {"iff_netpbm_24", "/usr/bin/ppmtoilbm -24force %in > %out", format::Iff},
    {"cals_magick", "/usr/bin/convert %in -type Bilevel cals:%out", format::Cals, 1},
};

INSTANTIATE_TEST_SUITE_P(Generated, WeReadTheirFile, testing::ValuesIn(kTheirs),
                         [](const testing::TestParamInfo<Foreign>& i) { return std::string(i.param.name); });

}  // namespace
