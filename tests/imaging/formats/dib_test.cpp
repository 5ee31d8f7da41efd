// The one DIB reader behind BMP, ICO, CUR, WMF and CLP, on hand-made bitmaps whose pixels
// follow from their bytes: run-length coding with every escape, bit fields of 5, 6 and 10
// bits, the OS/2 headers, short colour tables, icon masks and the BMP file's pixel offset.
#include <gtest/gtest.h>

#include <initializer_list>

#include "codecs/registry.h"
#include "core/error.h"

using namespace imaging;

namespace {

struct Dib {
    Bytes b;
    void u8(unsigned v) { b.push_back(static_cast<std::uint8_t>(v)); }
    void u16(unsigned v) { u8(v & 0xFF), u8(v >> 8); }
    void u32(std::uint32_t v) { u16(v & 0xFFFF), u16(v >> 16); }
    void bytes(std::initializer_list<unsigned> v) {
        for (unsigned x : v) u8(x);
    }
};

// A 40-byte Windows header; `used` colour table entries.
Dib infoHeader(int width, int height, int bits, unsigned compression, unsigned used = 0) {
    Dib d;
    d.u32(40);
    d.u32(static_cast<std::uint32_t>(width));
    d.u32(static_cast<std::uint32_t>(height));
    d.u16(1);
    d.u16(static_cast<unsigned>(bits));
    d.u32(compression);
    d.u32(0);
    d.u32(2835);
    d.u32(2835);
    d.u32(used);
    d.u32(0);
    return d;
}

// Palette entry i is (16 i, 255 - 16 i, i), stored blue first.
void palette(Dib& d, int entries) {
    for (int i = 0; i < entries; ++i) d.bytes({static_cast<unsigned>(i), 255u - 16u * i, 16u * i, 0});
}
Rgb entry(int i) { return makeRgb(16 * i, 255 - 16 * i, i); }

// A BMP file around a packed DIB; `gap` bytes between the colour table and the rows.
Bytes bmpFile(const Dib& header, const Dib& table, const Dib& rows, std::size_t gap = 0) {
    Dib f;
    f.bytes({'B', 'M'});
    const std::size_t offset = 14 + header.b.size() + table.b.size() + gap;
    f.u32(static_cast<std::uint32_t>(offset + rows.b.size()));
    f.u32(0);
    f.u32(static_cast<std::uint32_t>(offset));
    f.b.insert(f.b.end(), header.b.begin(), header.b.end());
    f.b.insert(f.b.end(), table.b.begin(), table.b.end());
    f.b.insert(f.b.end(), gap, 0xEE);
    f.b.insert(f.b.end(), rows.b.begin(), rows.b.end());
    return f.b;
}

// An icon file (type 1) or cursor (type 2) of one packed DIB.
Bytes iconFile(const Bytes& dib, int type = 1) {
    Dib f;
    f.u16(0);
    f.u16(static_cast<unsigned>(type));
    f.u16(1);
    f.bytes({0, 0, 0, 0});
    f.u16(type == 2 ? 0 : 1);
    f.u16(type == 2 ? 0 : 32);
    f.u32(static_cast<std::uint32_t>(dib.size()));
    f.u32(22);
    f.b.insert(f.b.end(), dib.begin(), dib.end());
    return f.b;
}

Bytes concat(std::initializer_list<const Dib*> parts) {
    Bytes out;
    for (const Dib* p : parts) out.insert(out.end(), p->b.begin(), p->b.end());
    return out;
}

std::vector<std::vector<int>> indices(const Bitmap& b) {
    std::vector<std::vector<int>> rows;
    for (int y = 0; y < b.height(); ++y) rows.emplace_back(b.row(y), b.row(y) + b.width());
    return rows;
}

ErrorCode errorOf(const Bytes& file) {
    try {
        loadMemory(file);
    } catch (const Error& e) {
        return e.code();
    }
    return ErrorCode::Ok;
}

TEST(DibRunLength, Rle4DrawsAlternatingRunsAbsoluteRunsAndDeltas) {
    Dib table, rows;
    palette(table, 16);
    // File order is bottom-up. Bottom row: a run of three alternating 1, 2; end of line.
    // Middle row: three literal pixels 4, 5, 6; end of line. Top row: a delta of two pixels
    // right, a run of 9, 10; end of bitmap. Pixels never drawn keep index 0.
    rows.bytes({3, 0x12, 0, 0, 0, 3, 0x45, 0x60, 0, 0, 0, 2, 2, 0, 2, 0x9A, 0, 1});
    const Bytes file = bmpFile(infoHeader(4, 3, 4, 2), table, rows);
    const Image image = loadMemory(file);
    EXPECT_EQ(image.format, format::BmpRle);
    const Bitmap& b = image.first();
    ASSERT_EQ(b.bits(), 4);
    EXPECT_EQ(indices(b), (std::vector<std::vector<int>>{{0, 0, 9, 10}, {4, 5, 6, 0}, {1, 2, 1, 0}}));
    EXPECT_EQ(b.palette().at(9), entry(9));
}

TEST(DibRunLength, Rle8TopDownWithAPaddedAbsoluteRunAndADeltaDown) {
    Dib table, rows;
    palette(table, 16);
    // Top-down: row 0 holds three literal pixels (padded to an even count); after the end of
    // line, row 1 holds a run of two 5s and one 6.
    rows.bytes({0, 3, 7, 8, 9, 0, 0, 0, 2, 5, 1, 6, 0, 1});
    const Bitmap b = loadMemory(bmpFile(infoHeader(3, -2, 8, 1, 16), table, rows)).first();
    ASSERT_EQ(b.bits(), 8);
    EXPECT_EQ(indices(b), (std::vector<std::vector<int>>{{7, 8, 9}, {5, 5, 6}}));
    // A delta moves down and right; what it skips keeps index 0.
    Dib skip;
    skip.bytes({1, 3, 0, 2, 1, 1, 1, 4, 0, 1});
    EXPECT_EQ(indices(loadMemory(bmpFile(infoHeader(3, 2, 8, 1, 16), table, skip)).first()),
              (std::vector<std::vector<int>>{{0, 0, 4}, {3, 0, 0}}));
}

TEST(DibRunLength, DataEndingBeforeTheBitmapIsTruncated) {
    Dib table, rows;
    palette(table, 16);
    rows.bytes({3, 1, 0, 0});  // one row of two, then nothing
    EXPECT_EQ(errorOf(bmpFile(infoHeader(3, 2, 8, 1, 16), table, rows)), ErrorCode::Truncated);
}

TEST(DibBitFields, FieldsAreScaledToFullRangeAndRounded) {
    // 5-6-5 behind a 40-byte header: the three masks follow it.
    Dib header = infoHeader(4, 1, 16, 3);
    Dib masks, rows;
    for (std::uint32_t m : {0xF800u, 0x07E0u, 0x001Fu}) masks.u32(m);
    for (unsigned v : {0xF800u, 0x07E0u, 0x001Fu, 0x8410u}) rows.u16(v);
    const Bitmap b565 = loadMemory(bmpFile(header, masks, rows)).first();
    ASSERT_EQ(b565.bits(), 24);
    // 16 of 31 -> 131.6 -> 132; 32 of 63 -> 129.5 -> 130.
    EXPECT_EQ(b565.pixel(0, 0), makeRgb(255, 0, 0));
    EXPECT_EQ(b565.pixel(1, 0), makeRgb(0, 255, 0));
    EXPECT_EQ(b565.pixel(2, 0), makeRgb(0, 0, 255));
    EXPECT_EQ(b565.pixel(3, 0), makeRgb(132, 130, 132));

    // 10-10-10 in 32 bits: 3 of 1023 is 0.75 -> 1, 514 -> 128.1 -> 128, 1023 -> 255.
    Dib h32 = infoHeader(2, 1, 32, 3);
    Dib m32, r32;
    for (std::uint32_t m : {0x3FF00000u, 0x000FFC00u, 0x000003FFu}) m32.u32(m);
    r32.u32(3u << 20 | 1023u << 10 | 514u);
    r32.u32(1022u << 20 | 0u << 10 | 2u);
    const Bitmap b10 = loadMemory(bmpFile(h32, m32, r32)).first();
    ASSERT_EQ(b10.bits(), 32);
    EXPECT_EQ(b10.pixel(0, 0), makeRgb(1, 255, 128));
    EXPECT_EQ(b10.pixel(1, 0), makeRgb(255, 0, 0));  // 1022 -> 254.75 -> 255, 2 -> 0.499 -> 0
    EXPECT_EQ(b10.row(0)[3], 255);                   // no alpha mask: opaque
}

TEST(DibHeaders, Os2CoreAndOs2LongHeadersReadTheirTables) {
    // The 12-byte header with three-byte table entries, 1 bit: rows of 0b10100000.
    Dib core;
    core.u32(12);
    core.u16(3);
    core.u16(2);
    core.u16(1);
    core.u16(1);
    Dib table, rows;
    table.bytes({0, 0, 0, 255, 255, 255});
    rows.bytes({0xA0, 0, 0, 0, 0x40, 0, 0, 0});
    const Image image = loadMemory(bmpFile(core, table, rows));
    EXPECT_EQ(image.format, format::BmpOs2);
    EXPECT_EQ(indices(image.first()), (std::vector<std::vector<int>>{{0, 1, 0}, {1, 0, 1}}));
    EXPECT_EQ(image.first().palette().at(1), makeRgb(255, 255, 255));

    // A 64-byte OS/2 2.x header: the fields the Windows header has, then its own (zero here).
    Dib header = infoHeader(2, 1, 4, 0, 2);
    header.b[0] = 64;
    header.b.insert(header.b.end(), 24, 0);
    Dib table4, rows4;
    palette(table4, 2);
    rows4.bytes({0x10, 0, 0, 0});
    const Image os2 = loadMemory(bmpFile(header, table4, rows4));
    EXPECT_EQ(os2.format, format::BmpOs2);
    EXPECT_EQ(os2.first().pixel(0, 0), entry(1));
    EXPECT_EQ(os2.first().pixel(1, 0), entry(0));
}

TEST(DibLayout, TheFileOffsetAndAMissingLastPaddingAreHonoured) {
    Dib table, rows;
    palette(table, 4);
    // 2 bits, 3 x 2: the rows start 6 bytes after the table, as the file header says.
    rows.bytes({0x1B, 0, 0, 0, 0xE4, 0, 0, 0});
    const Bitmap b = loadMemory(bmpFile(infoHeader(3, 2, 2, 0, 4), table, rows, 6)).first();
    ASSERT_EQ(b.bits(), 2);
    EXPECT_EQ(indices(b), (std::vector<std::vector<int>>{{3, 2, 1}, {0, 1, 2}}));
    // 24 bits whose last row lacks its padding byte still read; without a pixel, Truncated.
    Dib rgb;
    rgb.bytes({1, 2, 3, 0, 4, 5, 6});
    Bytes file = bmpFile(infoHeader(1, 2, 24, 0), Dib{}, rgb);
    EXPECT_EQ(loadMemory(file).first().pixel(0, 0), makeRgb(6, 5, 4));
    file.pop_back();
    EXPECT_EQ(errorOf(file), ErrorCode::Truncated);
}

TEST(DibIcons, TheAndMaskMakesOneTransparentEntryOrAlpha) {
    // A 4-bit icon of 2 x 2 with a three-entry table; the mask hides both pixels of index 2.
    Dib header = infoHeader(2, 4, 4, 0, 3);
    Dib table, rows, mask;
    palette(table, 3);
    rows.bytes({0x12, 0, 0, 0, 0x20, 0, 0, 0});  // bottom row 1, 2; top row 2, 0
    mask.bytes({0x40, 0, 0, 0, 0x80, 0, 0, 0});  // bottom: second pixel; top: first
    const Bitmap b = loadMemory(iconFile(concat({&header, &table, &rows, &mask}))).first();
    ASSERT_EQ(b.bits(), 4);
    EXPECT_EQ(indices(b), (std::vector<std::vector<int>>{{2, 0}, {1, 2}}));
    EXPECT_TRUE(b.transparent());
    EXPECT_EQ(b.transparentColor(), kPaletteReference + 2);
    EXPECT_EQ(b.palette().at(2), entry(2));
    EXPECT_EQ(b.palette().at(3), makeRgb(0, 0, 0));  // beyond the short table

    // 32 bits: without any alpha the mask decides; with alpha, the alpha does.
    Dib h32 = infoHeader(1, 2, 32, 0);
    Dib noAlpha, withAlpha, m;
    noAlpha.bytes({10, 20, 30, 0});
    withAlpha.bytes({10, 20, 30, 77});
    m.bytes({0x80, 0, 0, 0});
    const Bitmap masked = loadMemory(iconFile(concat({&h32, &noAlpha, &m}), 2)).first();
    ASSERT_EQ(masked.bits(), 32);
    EXPECT_EQ(masked.pixel(0, 0), makeRgb(30, 20, 10));
    EXPECT_EQ(masked.row(0)[3], 0);
    const Bitmap alpha = loadMemory(iconFile(concat({&h32, &withAlpha, &m}))).first();
    EXPECT_EQ(alpha.row(0)[3], 77);
}

TEST(DibHeaders, HostileAndUnknownHeadersAreRefusedWithTheirCode) {
    Dib table, rows;
    palette(table, 16);
    rows.bytes({0, 0, 0, 0});
    struct Case {
        Dib header;
        ErrorCode code;
    };
    Dib badDepth = infoHeader(1, 1, 3, 0);
    Dib rleDepth = infoHeader(1, 1, 8, 2, 16);  // RLE4 on 8 bits
    Dib jpeg = infoHeader(1, 1, 24, 4);
    Dib fieldsOnPalette = infoHeader(1, 1, 8, 3, 16);
    Dib huge = infoHeader(16000, 16000, 24, 0);
    Dib hugeRle = infoHeader(16000, 16000, 8, 1, 16);
    Dib size = infoHeader(1, 1, 8, 0);
    size.b[0] = 13;
    const std::pair<const Dib*, ErrorCode> cases[] = {
        {&badDepth, ErrorCode::Corrupt},        {&rleDepth, ErrorCode::Corrupt},
        {&jpeg, ErrorCode::Unsupported},        {&fieldsOnPalette, ErrorCode::Corrupt},
        {&huge, ErrorCode::Truncated},          {&hugeRle, ErrorCode::Corrupt},
    };
    for (const auto& [header, code] : cases)
        EXPECT_EQ(errorOf(bmpFile(*header, table, rows)), code) << header->b[14] + 256 * header->b[15] << " bits";
    EXPECT_EQ(errorOf(bmpFile(size, table, rows)), ErrorCode::UnknownFormat);  // not taken for a BMP
}

}  // namespace
