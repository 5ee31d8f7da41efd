// Small files built byte by byte from the formats' descriptions, for the coding paths our
// writers never take: WPG line repeats and 0xFF runs, raw Microsoft Paint, GEM patterns,
// PNM comments, right-to-left TGA, TGA 16-bit colour maps starting past entry 0.
#include <gtest/gtest.h>

#include <string>

#include "codecs/registry.h"
#include "core/error.h"

using namespace imaging;

namespace {

constexpr Rgb K = makeRgb(0, 0, 0);
constexpr Rgb W = makeRgb(255, 255, 255);
constexpr Rgb R = makeRgb(255, 0, 0);
constexpr Rgb B = makeRgb(0, 0, 255);

struct Handmade {
    const char* name;
    int format;
    Bytes file;
    int width;
    std::vector<Rgb> pixels;  // row by row
};

Bytes b(std::initializer_list<int> values) {
    Bytes out;
    for (int v : values) out.push_back(static_cast<std::uint8_t>(v));
    return out;
}

Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

std::vector<Rgb> repeat(std::initializer_list<std::pair<Rgb, int>> runs) {
    std::vector<Rgb> out;
    for (auto [c, n] : runs) out.insert(out.end(), static_cast<std::size_t>(n), c);
    return out;
}

// An uncompressed one-line ILBM: bit planes of the given pixel values, a colour map and
// the Amiga display mode.
Bytes ilbm(const std::vector<int>& pixels, int planes, std::uint32_t mode, const std::vector<Rgb>& map) {
    const int width = static_cast<int>(pixels.size());
    const int planeBytes = (width + 15) / 16 * 2;
    auto be32 = [](std::uint32_t v) { return b({int(v >> 24), int(v >> 16 & 255), int(v >> 8 & 255), int(v & 255)}); };
    Bytes bmhd = cat({text("BMHD"), be32(20), b({0, width, 0, 1, 0, 0, 0, 0, planes, 0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0})});
    Bytes cmap = cat({text("CMAP"), be32(static_cast<std::uint32_t>(map.size() * 3))});
    for (Rgb c : map) cmap = cat({cmap, b({redOf(c), greenOf(c), blueOf(c)})});
    Bytes body(static_cast<std::size_t>(planeBytes * planes), 0);
    for (int k = 0; k < planes; ++k)
        for (int x = 0; x < width; ++x)
            if (pixels[x] >> k & 1) body[k * planeBytes + x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
    const Bytes chunks = cat({bmhd, cmap, text("CAMG"), be32(4), be32(mode), text("BODY"),
                              be32(static_cast<std::uint32_t>(body.size())), body});
    return cat({text("FORM"), be32(static_cast<std::uint32_t>(chunks.size() + 4)), text("ILBM"), chunks});
}

std::vector<Handmade> cases() {
    std::vector<Handmade> list;
    // WPG: 8 x 3, colour map black/white; row 0 = one 0xFF byte by the short form, row 1
    // literal, row 2 repeats row 1.
    list.push_back(
        {"wpg_runs", format::Wpg,
         cat({b({0xFF, 'W', 'P', 'C', 16, 0, 0, 0, 1, 0x16, 1, 0, 0, 0, 0, 0}), b({0x0F, 6, 1, 0, 0, 0, 0, 0}),
              b({0x0E, 10, 0, 0, 2, 0, 0, 0, 0, 255, 255, 255}),
              b({0x0B, 16, 8, 0, 3, 0, 1, 0, 75, 0, 75, 0, 0x80, 0x01, 0x01, 0x0F, 0x00, 0x01}), b({0x10, 0})}),
         8, repeat({{W, 8}, {K, 4}, {W, 4}, {K, 4}, {W, 4}})});
    // Microsoft Paint version 1: raw lines, a set bit is white.
    Bytes msp = cat({b({0x44, 0x61, 0x6E, 0x4D, 8, 0, 2, 0}), Bytes(24, 0), b({0xF0, 0x0F})});
    list.push_back({"msp_v1", format::MsPaint, msp, 8, repeat({{W, 4}, {K, 4}, {K, 4}, {W, 4}})});
    // GEM: a pattern run of two bytes repeated twice makes one 32-pixel line.
    list.push_back({"gem_pattern", format::GemImage,
                    cat({b({0, 1, 0, 8, 0, 1, 0, 2, 0, 85, 0, 85, 0, 32, 0, 1}), b({0x00, 0x02, 0xAA, 0x55})}), 32, [] {
                        std::vector<Rgb> row;
                        for (int rep = 0; rep < 2; ++rep) {
                            for (int i = 0; i < 8; ++i) row.push_back(i % 2 ? W : K);  // 0xAA
                            for (int i = 0; i < 8; ++i) row.push_back(i % 2 ? K : W);  // 0x55
                        }
                        return row;
                    }()});
    list.push_back({"pnm_comments",
                    format::Pnm,
                    text("P3\n# made by hand\n2 1 # two pixels\n255\n255 0 0\n0 0 255\n"),
                    2,
                    {R, B}});
    list.push_back({"pnm_small_maxval", format::Pnm, text("P2 2 1 15 0 15"), 2, {K, W}});
    list.push_back({"pbm_packed_plain", format::Pnm, text("P1\n3 1\n010"), 3, {W, K, W}});
    // TGA true colour, top-left origin but right to left: the file's first pixel is the rightmost.
    list.push_back({"tga_right_to_left",
                    format::Tga,
                    cat({b({0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 1, 0, 24, 0x30}), b({255, 0, 0, 0, 0, 255})}),
                    2,
                    {R, B}});
    // TGA colour map of 16-bit entries that starts at index 1.
    list.push_back(
        {"tga_map16_offset",
         format::Tga,
         cat({b({0, 1, 1, 1, 0, 2, 0, 16, 0, 0, 0, 0, 2, 0, 1, 0, 8, 0x20}), b({0x00, 0x7C, 0x1F, 0x00}), b({1, 2})}),
         2,
         {R, B}});
    // Hold and modify (6 planes): a palette colour, then blue, red and green changed in turn.
    std::vector<Rgb> sixteen(16, K);
    sixteen[1] = R;
    list.push_back({"ilbm_ham6", format::Iff, ilbm({0x01, 0x1F, 0x20, 0x38}, 6, 0x800, sixteen), 4,
                    {R, makeRgb(255, 0, 255), makeRgb(0, 0, 255), makeRgb(0, 136, 255)}});
    // Extra half-brite: entries 32-63 are the first 32 at half brightness.
    std::vector<Rgb> thirtyTwo(32, K);
    thirtyTwo[1] = makeRgb(200, 100, 50);
    list.push_back({"ilbm_ehb", format::Iff, ilbm({1, 33}, 6, 0x80, thirtyTwo), 2,
                    {makeRgb(200, 100, 50), makeRgb(100, 50, 25)}});
    return list;
}

class HandmadeFile : public testing::TestWithParam<Handmade> {};

TEST_P(HandmadeFile, ReadsTheColoursItWasBuiltWith) {
    const Handmade& c = GetParam();
    const Codec* codec = sniffCodec(c.file);
    ASSERT_EQ(codec, codecForFormat(c.format)) << "sniffed as " << (codec ? codec->name() : "nothing");
    const Bitmap bmp = loadMemory(c.file).first();
    ASSERT_EQ(bmp.width(), c.width);
    ASSERT_EQ(static_cast<std::size_t>(bmp.width()) * bmp.height(), c.pixels.size());
    for (std::size_t i = 0; i < c.pixels.size(); ++i)
        EXPECT_EQ(bmp.pixel(static_cast<int>(i) % c.width, static_cast<int>(i) / c.width), c.pixels[i])
            << "pixel " << i;
}

INSTANTIATE_TEST_SUITE_P(Files, HandmadeFile, testing::ValuesIn(cases()),
                         [](const testing::TestParamInfo<Handmade>& i) { return std::string(i.param.name); });

TEST(Cals, RefusesOrientationsItDoesNotTurn) {
    std::string header;
    for (const char* rec : {"srcdocid: NONE", "rtype: 1", "rorient: 090,000", "rpelcnt: 000008,000002"}) {
        std::string r = rec;
        r.resize(128, ' ');
        header += r;
    }
    header.resize(2048, ' ');
    Bytes file = text(header);
    file.push_back(0xFF);
    try {
        loadMemory(file);
        ADD_FAILURE() << "read a turned CALS picture as if upright";
    } catch (const Error& e) {
        EXPECT_EQ(e.code(), ErrorCode::Unsupported) << e.what();
    }
}

}  // namespace
