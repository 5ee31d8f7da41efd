#pragma once
// Building blocks the further formats share: bounds-checked reading, writing in either byte
// order, PackBits, packing rows of small pixels, and the depth a writer actually stores.
// Every reader goes through ByteReader so that a short or lying file ends in Error(Truncated)
// instead of a read past the buffer.

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "codecs/codec_support.h"
#include "core/codec.h"
#include "core/error.h"

namespace imaging::fio {

using ByteReader = codec::ByteReader;

class ByteWriter {
public:
    Bytes& bytes() { return out_; }
    Bytes take() { return std::move(out_); }
    std::size_t size() const { return out_.size(); }
    void u8(unsigned v) { out_.push_back(static_cast<std::uint8_t>(v)); }
    void u16le(unsigned v);
    void u16be(unsigned v);
    void u32le(std::uint32_t v);
    void u32be(std::uint32_t v);
    void append(ByteView v) { out_.insert(out_.end(), v.begin(), v.end()); }
    void append(const Bytes& v) { out_.insert(out_.end(), v.begin(), v.end()); }
    void text(std::string_view s) { out_.insert(out_.end(), s.begin(), s.end()); }
    void fill(std::size_t n, unsigned v) { out_.insert(out_.end(), n, static_cast<std::uint8_t>(v)); }
    void patchU16be(std::size_t at, unsigned v);
    void patchU16le(std::size_t at, unsigned v);
    void patchU32be(std::size_t at, std::uint32_t v);
    void patchU32le(std::size_t at, std::uint32_t v);

private:
    Bytes out_;
};

[[noreturn]] void corrupt(std::string_view where, const std::string& reason);
[[noreturn]] void unsupported(std::string_view where, const std::string& reason);

// PackBits (Apple; also the run-length scheme of PSD and ILBM's ByteRun1).
void packBitsEncode(const std::uint8_t* src, std::size_t n, Bytes& out);
// Decodes until `n` bytes are produced. Runs reaching past `n` are cut at `n`, so a lying
// stream can never write outside the row; a stream that ends early is Truncated.
void packBitsDecode(ByteReader& in, std::uint8_t* dst, std::size_t n);
// Largest expansion of PackBits (128 bytes from 2 input bytes), for plausibility checks.
inline constexpr std::uint64_t kPackBitsMaxRatio = 64;

// Rows of 1, 2, 4 or 8 bits per pixel, most significant bits first.
std::size_t packedRowBytes(int width, int bits);
void unpackRow(const std::uint8_t* src, int bits, int width, std::uint8_t* dst);
void packRow(const std::uint8_t* src, int bits, int width, std::uint8_t* dst);

// Palettes in files are often shorter than the bitmap's 2^bits entries; missing ones are black.
std::vector<Rgb> paddedPalette(std::vector<Rgb> palette, int bits);
bool isGreyRamp(const std::vector<Rgb>& palette);
int luminance(Rgb c);

// The smallest palette depth (1..8) that holds `colours` entries.
int bitsForColours(std::size_t colours);

// Converts without losing colours: more palette bits pad the palette, fewer bits or a
// palette from direct colour need the colours to fit (InvalidArgument otherwise: the caller
// reduces colours first). 24 → 16 packs to 5-5-5 and 32 → 24 drops alpha, as a layout demands.
Bitmap convertDepth(const Bitmap& source, int bits, std::string_view where);

// The bitmap a writer encodes: the first frame at the requested depth (the bitmap's own when
// options.bits is 0), moved up to the next depth in `native` the format stores, or down to
// the deepest one when the request is above all of them.
Bitmap bitmapForWrite(const Image& image, const SaveOptions& options, std::initializer_list<int> native,
                      std::string_view where);

// 1-bit formats that store no palette: true where the pixel should be written as ink (black).
std::vector<bool> inkIndices(const Bitmap& bitmap);

ImageInfo makeInfo(int format, int bits, long long width, long long height, ByteView data);
// Applies the load options' depth and wraps the bitmap as the read image.
Image finishRead(Bitmap bitmap, int format, const LoadOptions& options, std::string_view where);

// Checks a size read from a header before anything is allocated for it.
void checkSize(long long width, long long height, std::string_view where);
// Refuses a header that promises more pixels than `available` bytes can hold when each byte
// of input expands to at most `maxRatio` bytes of output.
void checkExpansion(std::uint64_t outputBytes, std::size_t available, std::uint64_t maxRatio, std::string_view where);

}  // namespace imaging::fio
