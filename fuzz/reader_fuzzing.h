#pragma once
// What every reader's fuzz target does with its bytes: sniff them, read the header
// information and decode the whole file. Each step may only end in a result or an
// imaging::Error — never a crash, a hang or a runaway allocation.

#include <cstddef>
#include <cstdint>
#include <optional>

#include "codecs/registry.h"
#include "core/error.h"

namespace fuzzing {

// The decoded image when the reader accepted the bytes.
inline std::optional<imaging::Image> exerciseReader(const imaging::Codec& codec, const std::uint8_t* data,
                                                    std::size_t size) {
    const imaging::ByteView bytes(data, size);
    codec.sniff(bytes);
    try {
        codec.readInfo(bytes);
    } catch (const imaging::Error&) {
    }
    try {
        // As loading reads it: the file's profile (converted behind the decoder where the
        // reader allows), orientation and metadata.
        return imaging::loadWith(codec, bytes);
    } catch (const imaging::Error&) {
        return std::nullopt;
    }
}

// Goes through the registry, so that a reader meets the codecs it may hand work to
// (icons holding PNG pictures, for one).
inline int fuzzFormat(int formatNumber, const std::uint8_t* data, std::size_t size) {
    if (const imaging::Codec* codec = imaging::codecForFormat(formatNumber)) exerciseReader(*codec, data, size);
    return 0;
}

}  // namespace fuzzing
