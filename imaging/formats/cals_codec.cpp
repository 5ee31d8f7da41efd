#include "formats/cals_codec.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <unordered_map>

#include "formats/format_io.h"

namespace imaging {

using namespace fio;

namespace {

constexpr std::string_view kWhere = "CALS";
constexpr std::size_t kRecord = 128;
constexpr std::size_t kHeader = 2048;

struct Header {
    int type = 0;
    long long width = 0;
    long long height = 0;
    std::string orientation;
};

std::string field(ByteView data, std::string_view key) {
    for (std::size_t at = 0; at + kRecord <= kHeader && at + kRecord <= data.size(); at += kRecord) {
        const std::string_view rec(reinterpret_cast<const char*>(data.data()) + at, kRecord);
        if (rec.substr(0, key.size()) != key) continue;
        std::string value(rec.substr(key.size()));
        const std::size_t end = value.find_first_of("\r\n");
        if (end != std::string::npos) value.resize(end);
        const std::size_t first = value.find_first_not_of(' ');
        return first == std::string::npos ? std::string() : value.substr(first);
    }
    return {};
}

long long number(const std::string& s, std::size_t& p) {
    while (p < s.size() && s[p] == ' ') ++p;
    long long v = 0;
    std::size_t digits = 0;
    while (p < s.size() && s[p] >= '0' && s[p] <= '9' && digits < 9) v = v * 10 + (s[p++] - '0'), ++digits;
    if (digits == 0) corrupt(kWhere, "a header number is missing");
    return v;
}

Header readHeader(ByteView data) {
    if (data.size() < kHeader) fail(ErrorCode::Truncated, std::string(kWhere), "the file ends inside the header");
    Header h;
    const std::string type = field(data, "rtype:");
    std::size_t p = 0;
    h.type = type.empty() ? 1 : static_cast<int>(number(type, p));  // type 1 when the record is absent
    const std::string count = field(data, "rpelcnt:");
    if (count.empty()) corrupt(kWhere, "no picture size");
    p = 0;
    h.width = number(count, p);
    if (p >= count.size() || count[p] != ',') corrupt(kWhere, "an unreadable picture size");
    ++p;
    h.height = number(count, p);
    h.orientation = field(data, "rorient:");
    if (h.type != 1) unsupported(kWhere, "raster type " + std::to_string(h.type) + " is not read");
    checkSize(h.width, h.height, kWhere);
    return h;
}

// CCITT code tables: run length and code as written in the recommendation.
struct Code {
    int run;
    const char* bits;
};

constexpr Code kWhite[] = {
    {0, "00110101"},     {1, "000111"},       {2, "0111"},         {3, "1000"},         {4, "1011"},
    {5, "1100"},         {6, "1110"},         {7, "1111"},         {8, "10011"},        {9, "10100"},
    {10, "00111"},       {11, "01000"},       {12, "001000"},      {13, "000011"},      {14, "110100"},
    {15, "110101"},      {16, "101010"},      {17, "101011"},      {18, "0100111"},     {19, "0001100"},
    {20, "0001000"},     {21, "0010111"},     {22, "0000011"},     {23, "0000100"},     {24, "0101000"},
    {25, "0101011"},     {26, "0010011"},     {27, "0100100"},     {28, "0011000"},     {29, "00000010"},
    {30, "00000011"},    {31, "00011010"},    {32, "00011011"},    {33, "00010010"},    {34, "00010011"},
    {35, "00010100"},    {36, "00010101"},    {37, "00010110"},    {38, "00010111"},    {39, "00101000"},
    {40, "00101001"},    {41, "00101010"},    {42, "00101011"},    {43, "00101100"},    {44, "00101101"},
    {45, "00000100"},    {46, "00000101"},    {47, "00001010"},    {48, "00001011"},    {49, "01010010"},
    {50, "01010011"},    {51, "01010100"},    {52, "01010101"},    {53, "00100100"},    {54, "00100101"},
    {55, "01011000"},    {56, "01011001"},    {57, "01011010"},    {58, "01011011"},    {59, "01001010"},
    {60, "01001011"},    {61, "00110010"},    {62, "00110011"},    {63, "00110100"},    {64, "11011"},
    {128, "10010"},      {192, "010111"},     {256, "0110111"},    {320, "00110110"},   {384, "00110111"},
    {448, "01100100"},   {512, "01100101"},   {576, "01101000"},   {640, "01100111"},   {704, "011001100"},
    {768, "011001101"},  {832, "011010010"},  {896, "011010011"},  {960, "011010100"},  {1024, "011010101"},
    {1088, "011010110"}, {1152, "011010111"}, {1216, "011011000"}, {1280, "011011001"}, {1344, "011011010"},
    {1408, "011011011"}, {1472, "010011000"}, {1536, "010011001"}, {1600, "010011010"}, {1664, "011000"},
    {1728, "010011011"},
};

constexpr Code kBlack[] = {
    {0, "0000110111"},
    {1, "010"},
    {2, "11"},
    {3, "10"},
    {4, "011"},
    {5, "0011"},
    {6, "0010"},
    {7, "00011"},
    {8, "000101"},
    {9, "000100"},
    {10, "0000100"},
    {11, "0000101"},
    {12, "0000111"},
    {13, "00000100"},
    {14, "00000111"},
    {15, "000011000"},
    {16, "0000010111"},
    {17, "0000011000"},
    {18, "0000001000"},
    {19, "00001100111"},
    {20, "00001101000"},
    {21, "00001101100"},
    {22, "00000110111"},
    {23, "00000101000"},
    {24, "00000010111"},
    {25, "00000011000"},
    {26, "000011001010"},
    {27, "000011001011"},
    {28, "000011001100"},
    {29, "000011001101"},
    {30, "000001101000"},
    {31, "000001101001"},
    {32, "000001101010"},
    {33, "000001101011"},
    {34, "000011010010"},
    {35, "000011010011"},
    {36, "000011010100"},
    {37, "000011010101"},
    {38, "000011010110"},
    {39, "000011010111"},
    {40, "000001101100"},
    {41, "000001101101"},
    {42, "000011011010"},
    {43, "000011011011"},
    {44, "000001010100"},
    {45, "000001010101"},
    {46, "000001010110"},
    {47, "000001010111"},
    {48, "000001100100"},
    {49, "000001100101"},
    {50, "000001010010"},
    {51, "000001010011"},
    {52, "000000100100"},
    {53, "000000110111"},
    {54, "000000111000"},
    {55, "000000100111"},
    {56, "000000101000"},
    {57, "000001011000"},
    {58, "000001011001"},
    {59, "000000101011"},
    {60, "000000101100"},
    {61, "000001011010"},
    {62, "000001100110"},
    {63, "000001100111"},
    {64, "0000001111"},
    {128, "000011001000"},
    {192, "000011001001"},
    {256, "000001011011"},
    {320, "000000110011"},
    {384, "000000110100"},
    {448, "000000110101"},
    {512, "0000001101100"},
    {576, "0000001101101"},
    {640, "0000001001010"},
    {704, "0000001001011"},
    {768, "0000001001100"},
    {832, "0000001001101"},
    {896, "0000001110010"},
    {960, "0000001110011"},
    {1024, "0000001110100"},
    {1088, "0000001110101"},
    {1152, "0000001110110"},
    {1216, "0000001110111"},
    {1280, "0000001010010"},
    {1344, "0000001010011"},
    {1408, "0000001010100"},
    {1472, "0000001010101"},
    {1536, "0000001011010"},
    {1600, "0000001011011"},
    {1664, "0000001100100"},
    {1728, "0000001100101"},
};

// Make-up codes both colours share, for runs beyond 1728.
constexpr Code kExtended[] = {
    {1792, "00000001000"},  {1856, "00000001100"},  {1920, "00000001101"},  {1984, "000000010010"},
    {2048, "000000010011"}, {2112, "000000010100"}, {2176, "000000010101"}, {2240, "000000010110"},
    {2304, "000000010111"}, {2368, "000000011100"}, {2432, "000000011101"}, {2496, "000000011110"},
    {2560, "000000011111"},
};

using CodeMap = std::unordered_map<std::uint32_t, int>;  // (length << 16 | code) -> run

CodeMap buildMap(std::initializer_list<std::pair<const Code*, std::size_t>> tables) {
    CodeMap map;
    for (auto [table, n] : tables)
        for (std::size_t i = 0; i < n; ++i) {
            std::uint32_t code = 0;
            const std::size_t len = std::strlen(table[i].bits);
            for (std::size_t k = 0; k < len; ++k) code = code << 1 | static_cast<std::uint32_t>(table[i].bits[k] - '0');
            map[static_cast<std::uint32_t>(len << 16) | code] = table[i].run;
        }
    return map;
}

const CodeMap& whiteCodes() {
    static const CodeMap map = buildMap({{kWhite, std::size(kWhite)}, {kExtended, std::size(kExtended)}});
    return map;
}
const CodeMap& blackCodes() {
    static const CodeMap map = buildMap({{kBlack, std::size(kBlack)}, {kExtended, std::size(kExtended)}});
    return map;
}

class Bits {
public:
    explicit Bits(ByteView data) : data_(data) {}
    int next() {
        if (pos_ >= data_.size() * 8) fail(ErrorCode::Truncated, std::string(kWhere), "the coded data ends early");
        const int b = (data_[pos_ / 8] >> (7 - pos_ % 8)) & 1;
        ++pos_;
        return b;
    }

private:
    ByteView data_;
    std::size_t pos_ = 0;
};

// One run: make-up codes add up until a terminating code (below 64) ends the run.
long long readRun(Bits& bits, const CodeMap& codes, long long limit) {
    long long total = 0;
    for (;;) {
        std::uint32_t code = 0;
        int run = -1;
        for (int len = 1; len <= 13; ++len) {
            code = code << 1 | static_cast<std::uint32_t>(bits.next());
            const auto it = codes.find(static_cast<std::uint32_t>(len << 16) | code);
            if (it != codes.end()) {
                run = it->second;
                break;
            }
        }
        if (run < 0) corrupt(kWhere, "an unknown run-length code");
        total += run;
        if (total > limit) corrupt(kWhere, "a run longer than the line");
        if (run < 64) return total;
    }
}

// Group 4 (T.6) two-dimensional coding: every line is coded against the one above, the
// first against an imaginary white line. Lines are kept as their changing positions.
void decodeGroup4(ByteView coded, Bitmap& bmp) {
    const int width = bmp.width();
    Bits bits(coded);
    std::vector<int> ref{width, width}, cur;
    for (int y = 0; y < bmp.height(); ++y) {
        cur.clear();
        int a0 = -1;
        int colour = 0;  // 0 white, 1 black
        std::size_t i = 0;
        while (a0 < width) {
            // b1: the first change on the reference line right of a0 to the colour opposite a0's.
            // a0 only moves right, so the search resumes near where it last stopped.
            while (i > 0 && ref[i - 1] > a0) --i;
            while (i + 2 < ref.size() && (ref[i] <= a0 || static_cast<int>(i & 1) != colour)) ++i;
            const int b1 = ref[i], b2 = ref[std::min(i + 1, ref.size() - 1)];
            int mode = 0;  // number of leading zeros before the first one
            while (bits.next() == 0)
                if (++mode > 7) corrupt(kWhere, "an extension or end-of-line code inside the picture");
            int a1;
            if (mode == 0) {
                a1 = b1;  // vertical 0
            } else if (mode == 1) {
                a1 = bits.next() ? b1 + 1 : b1 - 1;
            } else if (mode == 2) {  // horizontal
                const int start = std::max(a0, 0);
                const long long r1 = readRun(bits, colour ? blackCodes() : whiteCodes(), width - start);
                const long long r2 = readRun(bits, colour ? whiteCodes() : blackCodes(), width - start - r1);
                cur.push_back(static_cast<int>(start + r1));
                cur.push_back(static_cast<int>(start + r1 + r2));
                a0 = static_cast<int>(start + r1 + r2);
                continue;
            } else if (mode == 3) {  // pass: b2 lies right of a0, so the line always advances
                a0 = b2;
                continue;
            } else if (mode == 4 || mode == 5) {
                a1 = bits.next() ? b1 + (mode - 2) : b1 - (mode - 2);  // 0000 11 / 0000 10, 00000 11 / 00000 10
            } else {
                corrupt(kWhere, "an unknown mode code");
            }
            if (a1 < std::max(a0, 0) || a1 > width) corrupt(kWhere, "a change outside the line");
            cur.push_back(a1);
            a0 = a1;
            colour ^= 1;
        }
        // Paint the line from its changes.
        std::uint8_t* d = bmp.row(y);
        int c = 0, x = 0;
        for (int change : cur) {
            const int end = std::min(change, width);
            std::fill(d + x, d + std::max(x, end), static_cast<std::uint8_t>(c ? 0 : 1));
            x = std::max(x, end);
            c ^= 1;
        }
        std::fill(d + x, d + width, static_cast<std::uint8_t>(c ? 0 : 1));
        ref = cur;
        ref.push_back(width);
        ref.push_back(width);
    }
}

}  // namespace

bool CalsCodec::sniff(ByteView data) const {
    if (data.size() < kHeader) return false;
    const std::string_view start(reinterpret_cast<const char*>(data.data()), 16);
    return (start.substr(0, 9) == "srcdocid:" || start.substr(0, 6) == "rtype:") && !field(data, "rpelcnt:").empty();
}

ImageInfo CalsCodec::readInfo(ByteView data) const {
    const Header h = readHeader(data);
    return makeInfo(format::Cals, 1, h.width, h.height, data);
}

Image CalsCodec::read(ByteView data, const LoadOptions& options) const {
    const Header h = readHeader(data);
    if (!h.orientation.empty() && h.orientation.substr(0, 7) != "000,270")
        unsupported(kWhere, "orientation " + h.orientation + " is not read");
    const ByteView coded = data.subspan(kHeader);
    checkExpansion(static_cast<std::uint64_t>(h.height), coded.size(), 8, kWhere);  // at least a bit per line
    Bitmap bmp(static_cast<int>(h.width), static_cast<int>(h.height), 1);
    bmp.palette() = {makeRgb(0, 0, 0), makeRgb(255, 255, 255)};
    decodeGroup4(coded, bmp);
    return finishRead(std::move(bmp), format::Cals, options, kWhere);
}

}  // namespace imaging
