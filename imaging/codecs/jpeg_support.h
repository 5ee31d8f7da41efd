#pragma once
// What the JPEG codec and the coefficient re-encoder share: the error wrapper around libjpeg,
// the growing output buffer, and the one place that sets up a compressor from SaveOptions, so
// a file re-encoded from stored coefficients carries exactly the settings of a plain write.

// jpeglib.h needs size_t and FILE declared first.
#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

#include <vector>

#include "core/codec.h"
#include "core/error.h"

namespace imaging::jpeg {

inline constexpr const char* kWhere = "JPEG";

// ---- the one error wrapper --------------------------------------------------------------
// libjpeg reports errors by calling error_exit, which must not return. We longjmp back to
// the guard that started the library call. Everything C++ (bitmaps, vectors, the library
// objects' owners) lives outside the guarded body, so the jump skips no destructor; the guard
// turns the jump into an Error after it has returned.
struct ErrorManager {
    jpeg_error_mgr pub{};
    std::jmp_buf jump{};
    bool truncated = false;
    // A reader that keeps what arrived: a premature end only sets `truncated`, and libjpeg
    // decodes the rest as grey, as browsers show a JPEG cut short.
    bool keepPartial = false;
    char message[JMSG_LENGTH_MAX] = {};
};

void installErrorManager(ErrorManager& err);
[[noreturn]] void failFrom(const ErrorManager& err, bool writing);

template <class Body>
bool guardedCall(ErrorManager& err, Body&& body) {
    if (setjmp(err.jump)) return false;
    body();
    return true;
}

// Owners of the library objects. They are created inside a guard (creation can fail) and
// destroyed here; jpeg_destroy on a never-created object is a no-op (its memory manager is null).
template <class Info, void (*Destroy)(Info*), bool Compressing>
struct LibjpegObject {
    Info info{};
    ErrorManager err;
    LibjpegObject() {
        installErrorManager(err);
        info.err = &err.pub;
    }
    ~LibjpegObject() { Destroy(&info); }
    LibjpegObject(const LibjpegObject&) = delete;
    LibjpegObject& operator=(const LibjpegObject&) = delete;
    template <class Body>
    void run(Body&& body) {
        if (!guardedCall(err, body)) failFrom(err, Compressing);
    }
};

using Decompressor = LibjpegObject<jpeg_decompress_struct, jpeg_destroy_decompress, false>;
using Compressor = LibjpegObject<jpeg_compress_struct, jpeg_destroy_compress, true>;

// A destination that grows a byte vector: the encoded file ends up in the block we return
// without a final copy, and nothing leaks when the encoder fails halfway.
struct VectorDestination {
    jpeg_destination_mgr pub{};
    Bytes* out = nullptr;
    // `out` gets `initial` bytes to start with and the encoded size at the end.
    VectorDestination(Bytes& out, std::size_t initial);
};

// How the rows of a bitmap reach libjpeg for SaveOptions: straight from the bitmap where its
// layout is one libjpeg reads, else through one expanded scratch row.
struct RowSource {
    const Bitmap* bitmap = nullptr;
    J_COLOR_SPACE space = JCS_RGB;
    int components = 3;
    bool direct = false;
    std::vector<std::uint8_t> scratch;
};

// Checks the options a JPEG write takes (throws Error naming the fault) and returns the row
// source for the image's first bitmap.
RowSource checkedSource(const Image& image, const SaveOptions& options);
RowSource checkedSource(const Bitmap& bitmap, const SaveOptions& options);

// Everything a write sets before it starts: size, colour spaces, quality, sampling, Huffman
// optimisation and the scan script. Call inside the compressor's guard, after create.
void configure(jpeg_compress_struct& info, int width, int height, J_COLOR_SPACE inSpace, int inComponents,
               const SaveOptions& options);

// Writes the markers SaveOptions name (APP2 ICC profile, APP1 EXIF with author and copyright)
// and nothing else of a source file's metadata. Call after jpeg_start_compress (or
// jpeg_write_coefficients) and before the first row.
void writeEmbeddedMarkers(jpeg_compress_struct& info, const SaveOptions& options);

// Hands every row to a started compressor.
void writeRows(jpeg_compress_struct& info, RowSource& source);

// How many scans a file written with `passes` gets (the scan scripts are capped).
int scanCount(int passes, bool greyscale);

// The scan script of `passes` (1 or more) with its luminance's first AC band (1..5 in the
// scripts) ending before zig-zag coefficient `split` instead (0 leaves it); the same scans, the
// same number of them, only the frequencies they carry move. Scripts without such a band come
// back unchanged, and `hasSplit` (when given) says which it is.
std::vector<jpeg_scan_info> scanScript(int passes, bool greyscale, int split, bool* hasSplit = nullptr);

// Sets the scans of a configured compressor to `script` (which must outlive the compression).
void useScript(jpeg_compress_struct& info, const std::vector<jpeg_scan_info>& script);

}  // namespace imaging::jpeg
