#pragma once
// The one place that knows every codec, and the file/memory entry points built on it.

#include <filesystem>
#include <memory>
#include <vector>

#include "core/codec.h"

namespace imaging {

// All codecs, main formats first. Built once, never changes.
const std::vector<std::unique_ptr<Codec>>& allCodecs();

// The codec handling engine format number `number`, or nullptr.
const Codec* codecForFormat(int number);
// The first codec whose sniff accepts the data, or nullptr.
const Codec* sniffCodec(ByteView data);

// Lists each library of codecs contributes; defined in codecs/ and formats/.
std::vector<std::unique_ptr<Codec>> mainCodecs();
std::vector<std::unique_ptr<Codec>> furtherCodecs();

// File information, loading and saving. Every failure throws Error.
ImageInfo readInfo(ByteView data);
ImageInfo readInfoFile(const std::filesystem::path& path);
Image loadMemory(ByteView data, const LoadOptions& options = {});
Image loadFile(const std::filesystem::path& path, const LoadOptions& options = {});
Bytes saveMemory(const Image& image, const SaveOptions& options);
// Writes to a temporary file beside `path`, with a name unique to the writer, and renames it
// over the target only after a complete write: a failed or interrupted save never destroys
// the previous file or leaves a part of the new one under its name, and of two writers racing
// for one file, one complete file stays. Failures name the system's reason (no space left,
// permission denied, not a directory); the temporary file is removed.
void writeFileAtomically(const std::filesystem::path& path, ByteView data);
void saveFile(const std::filesystem::path& path, const Image& image, const SaveOptions& options);

Bytes readWholeFile(const std::filesystem::path& path);

}  // namespace imaging
