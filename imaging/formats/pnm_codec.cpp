#include "formats/pnm_codec.h"

#include <cstring>

#include "formats/format_io.h"

namespace imaging {

using namespace fio;

namespace {

constexpr std::string_view kWhere = "PNM";

class Tokens {
public:
    explicit Tokens(ByteView data) : data_(data) {}
    std::size_t pos() const { return pos_; }
    void skipSpace() {
        while (pos_ < data_.size()) {
            const char c = static_cast<char>(data_[pos_]);
            if (c == '#') {
                while (pos_ < data_.size() && data_[pos_] != '\n' && data_[pos_] != '\r') ++pos_;
            } else if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f') {
                ++pos_;
            } else {
                return;
            }
        }
    }
    long long number() {
        skipSpace();
        if (pos_ >= data_.size())
            fail(ErrorCode::Truncated, std::string(kWhere), "the file ends before the image does");
        long long v = 0;
        std::size_t digits = 0;
        while (pos_ < data_.size() && data_[pos_] >= '0' && data_[pos_] <= '9') {
            v = v * 10 + (data_[pos_++] - '0');
            if (v > 0xFFFFFFFFLL) corrupt(kWhere, "a number too large");
            ++digits;
        }
        if (digits == 0) corrupt(kWhere, "a number was expected");
        return v;
    }
    // Plain bitmaps may run their 0s and 1s together.
    int bit() {
        skipSpace();
        if (pos_ >= data_.size())
            fail(ErrorCode::Truncated, std::string(kWhere), "the file ends before the image does");
        const std::uint8_t c = data_[pos_++];
        if (c != '0' && c != '1') corrupt(kWhere, "a bit other than 0 or 1");
        return c - '0';
    }
    void skipOne() { ++pos_; }

private:
    ByteView data_;
    std::size_t pos_ = 2;
};

struct Header {
    int kind = 0;  // 1..6
    long long width = 0;
    long long height = 0;
    long long maxval = 1;
    std::size_t dataStart = 0;
    int bits() const { return kind == 1 || kind == 4 ? 1 : (kind == 2 || kind == 5 ? 8 : 24); }
};

Header readHeader(ByteView data, Tokens& t) {
    if (data.size() < 3 || data[0] != 'P' || data[1] < '1' || data[1] > '6') corrupt(kWhere, "not a portable anymap");
    Header h;
    h.kind = data[1] - '0';
    h.width = t.number();
    h.height = t.number();
    if (h.kind != 1 && h.kind != 4) {
        h.maxval = t.number();
        if (h.maxval < 1 || h.maxval > 65535) corrupt(kWhere, "a maximum value of " + std::to_string(h.maxval));
    }
    checkSize(h.width, h.height, kWhere);
    if (h.kind >= 4) t.skipOne();  // the single whitespace before binary data
    h.dataStart = t.pos();
    return h;
}

}  // namespace

bool PnmCodec::sniff(ByteView data) const {
    if (data.size() < 3 || data[0] != 'P' || data[1] < '1' || data[1] > '6') return false;
    const std::uint8_t c = data[2];
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '#';
}

ImageInfo PnmCodec::readInfo(ByteView data) const {
    Tokens t(data);
    const Header h = readHeader(data, t);
    return makeInfo(format::Pnm, h.bits(), h.width, h.height, data);
}

Image PnmCodec::read(ByteView data, const LoadOptions& options) const {
    Tokens t(data);
    const Header h = readHeader(data, t);
    const int width = static_cast<int>(h.width), height = static_cast<int>(h.height);
    const int channels = h.kind == 3 || h.kind == 6 ? 3 : 1;
    const int sampleBytes = h.maxval > 255 ? 2 : 1;
    const std::uint64_t samples = static_cast<std::uint64_t>(width) * height * channels;
    const std::size_t rest = data.size() - h.dataStart;
    if (h.kind == 4) checkExpansion(packedRowBytes(width, 1) * height, rest, 1, kWhere);
    else if (h.kind >= 5) checkExpansion(samples * sampleBytes, rest, 1, kWhere);
    else checkExpansion(samples, rest, 1, kWhere);  // at least one character per sample

    Bitmap bmp(width, height, h.bits());
    auto scale = [&](long long v) {
        if (v > h.maxval) corrupt(kWhere, "a sample above the maximum value");
        return static_cast<std::uint8_t>(h.maxval == 255 ? v : (v * 255 + h.maxval / 2) / h.maxval);
    };
    ByteReader raw(data, kWhere);
    raw.seek(h.dataStart);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* d = bmp.row(y);
        if (h.kind == 4) {
            unpackRow(raw.bytes(packedRowBytes(width, 1)).data(), 1, width, d);
            for (int x = 0; x < width; ++x) d[x] = static_cast<std::uint8_t>(1 - d[x]);  // 1 is black
        } else if (h.kind == 1) {
            for (int x = 0; x < width; ++x) d[x] = static_cast<std::uint8_t>(1 - t.bit());
        } else if (h.kind >= 5 && h.maxval == 255) {
            // Bytes that are the samples already: a row at a time.
            const std::size_t n = static_cast<std::size_t>(width) * static_cast<std::size_t>(channels);
            std::memcpy(d, raw.bytes(n).data(), n);
        } else {
            for (int i = 0; i < width * channels; ++i) {
                long long v;
                if (h.kind <= 3) v = t.number();
                else v = sampleBytes == 2 ? raw.u16be() : raw.u8();
                d[i] = scale(v);
            }
        }
    }
    return finishRead(std::move(bmp), format::Pnm, options, kWhere);
}

}  // namespace imaging
