// The writing half of embedded.h: a finished PNG or WebP file gets the profile and the
// author and copyright fields its SaveOptions name.
#include <webp/mux.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "codecs/embedded.h"
#include "codecs/exif.h"
#include "core/error.h"

namespace imaging::embedded {
namespace {

void putBe32(Bytes& out, std::uint32_t v) {
    for (int i = 3; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

Bytes pngChunk(const char* type, const Bytes& body) {
    Bytes chunk;
    chunk.reserve(body.size() + 12);
    putBe32(chunk, static_cast<std::uint32_t>(body.size()));
    for (int i = 0; i < 4; ++i) chunk.push_back(static_cast<std::uint8_t>(type[i]));
    chunk.resize(8 + body.size());
    if (!body.empty()) std::memcpy(chunk.data() + 8, body.data(), body.size());
    const uLong crc = crc32(crc32(0, nullptr, 0), chunk.data() + 4, static_cast<uInt>(chunk.size() - 4));
    putBe32(chunk, static_cast<std::uint32_t>(crc));
    return chunk;
}

// tEXt holds Latin-1; a text beyond ASCII goes into an uncompressed iTXt, which holds UTF-8.
Bytes pngText(const std::string& key, const std::string& value) {
    const bool ascii = std::all_of(value.begin(), value.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    Bytes body(key.begin(), key.end());
    body.push_back(0);
    if (!ascii) body.insert(body.end(), {0, 0, 0, 0});  // not compressed, no language, no translated key
    body.insert(body.end(), value.begin(), value.end());
    return pngChunk(ascii ? "tEXt" : "iTXt", body);
}

}  // namespace

void addToPng(Bytes& png, const SaveOptions& options) {
    constexpr std::size_t kAfterIhdr = 8 + 12 + 13;
    if (png.size() < kAfterIhdr) return;
    Bytes extra;
    if (!options.iccProfile.empty()) {
        uLongf size = compressBound(static_cast<uLong>(options.iccProfile.size()));
        Bytes body{'I', 'C', 'C', ' ', 'P', 'r', 'o', 'f', 'i', 'l', 'e', 0, 0};
        const std::size_t head = body.size();
        body.resize(head + size);
        if (compress2(body.data() + head, &size, options.iccProfile.data(), static_cast<uLong>(options.iccProfile.size()), 9) != Z_OK)
            fail(ErrorCode::WriteFailed, "PNG", "cannot compress the colour profile");
        body.resize(head + size);
        const Bytes chunk = pngChunk("iCCP", body);
        extra.insert(extra.end(), chunk.begin(), chunk.end());
    }
    for (const auto& [key, value] : {std::pair{"Author", &options.author}, std::pair{"Copyright", &options.copyright}}) {
        if (value->empty()) continue;
        const Bytes chunk = pngText(key, *value);
        extra.insert(extra.end(), chunk.begin(), chunk.end());
    }
    png.insert(png.begin() + static_cast<std::ptrdiff_t>(kAfterIhdr), extra.begin(), extra.end());
}

void addToWebp(Bytes& webp, const SaveOptions& options) {
    const Bytes exifBlock = exif::build(options.author, options.copyright);
    if (options.iccProfile.empty() && exifBlock.empty()) return;
    const WebPData input{webp.data(), webp.size()};
    struct MuxDeleter {
        void operator()(WebPMux* m) const { WebPMuxDelete(m); }
    };
    std::unique_ptr<WebPMux, MuxDeleter> mux(WebPMuxCreate(&input, 0));
    if (!mux) fail(ErrorCode::WriteFailed, "WebP", "cannot add the colour profile or the author");
    if (!options.iccProfile.empty()) {
        const WebPData icc{options.iccProfile.data(), options.iccProfile.size()};
        if (WebPMuxSetChunk(mux.get(), "ICCP", &icc, 1) != WEBP_MUX_OK) fail(ErrorCode::WriteFailed, "WebP", "cannot add the colour profile");
    }
    if (!exifBlock.empty()) {
        const WebPData exifData{exifBlock.data(), exifBlock.size()};
        if (WebPMuxSetChunk(mux.get(), "EXIF", &exifData, 1) != WEBP_MUX_OK) fail(ErrorCode::WriteFailed, "WebP", "cannot add the author");
    }
    WebPData output{};
    if (WebPMuxAssemble(mux.get(), &output) != WEBP_MUX_OK) fail(ErrorCode::WriteFailed, "WebP", "cannot assemble the file");
    Bytes assembled(output.bytes, output.bytes + output.size);
    WebPDataClear(&output);
    webp = std::move(assembled);
}

}  // namespace imaging::embedded
