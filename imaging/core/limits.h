#pragma once
// The engine's limits on memory and time, in one place. Each says why it is what it is; a
// reader that refuses a file because of one names the limit and its reason in its message.

#include <atomic>
#include <cstdint>
#include <string>

namespace imaging {

// The largest picture, in pixels: 2^28 (16384 x 16384). Its 32-bit bitmap alone is 1 GiB, and
// the copies one Variation needs (the Original, the reduced copy, the decoded encoding) make
// about 3.4 GB and up to 19 s for one file; nothing larger is a picture for a web page.
inline constexpr long long kMaxPixels = 1LL << 28;

// Progressive JPEG: the classic full script has 10 scans and the encoders we know write at most
// a few dozen; a decoder passes over every block of the picture once per scan, so a file of a
// thousand tiny scans costs minutes. libjpeg-turbo's own tools offer a scan limit for this
// reason. 100 leaves ample room over any real encoder.
inline constexpr int kMaxJpegScans = 100;

// Pages of a multi-page file that are counted or read (TIFF).
inline constexpr int kMaxPages = 10000;

// Frames of an animation: an animated GIF keeps every frame in memory (and a Variation its
// reduced copy), so ten thousand frames is far beyond any animation made for a page.
inline constexpr int kMaxFrames = 10000;

// How many decoded bytes one stored byte of a page may claim, by kind of compression: a page
// whose pixels need more than its own stored data times this is refused before it is decoded.
// Uncompressed data holds its bytes one to one; PackBits repeats a byte at most 128 times per
// two bytes; Deflate's best is 1032:1; LZW with 12-bit codes at most about 4096 bytes per code;
// fax coding (CCITT, JBIG) a whole white row in a few bits, 65536 pixels a byte.
enum class Compression { Uncompressed, PackBits, Deflate, Lzw, Jpeg, Fax, Other };
long long maxDecodedBytesPerStoredByte(Compression compression);
// Slack for small pages whose header and tables weigh more than their pixels.
inline constexpr long long kDecodedSlackBytes = 1LL << 20;

// What working on a picture of width x height costs at most in memory: the decoded 32-bit
// bitmap, its reduced copy and the decoded encoding, plus the encoded bytes. A batch starts a
// file only while the files in work together stay within the memory the machine has.
std::uint64_t workingBytesFor(long long width, long long height);
// The memory the machine can give a batch (available memory, or physical memory when the
// system does not say); never 0.
std::uint64_t machineMemoryBytes();

// ---- stopping a long read ----------------------------------------------------------------
// A thread that may be asked to stop (a batch worker after Ctrl+C) names its flag; the readers
// that can run long (progressive JPEG) look at it between steps and fail with
// ErrorCode::Stopped as soon as it is set. A thread without a flag is never stopped.
void setStopFlag(const std::atomic<bool>* flag);
bool stopRequested();

}  // namespace imaging
