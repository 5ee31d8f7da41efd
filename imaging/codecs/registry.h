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
// loadMemory through a given reader (the fuzzers name theirs): decoded, turned upright,
// converted into sRGB (behind the decoder where the reader allows).
Image loadWith(const Codec& codec, ByteView data, const LoadOptions& options = {});
Image loadFile(const std::filesystem::path& path, const LoadOptions& options = {});
Bytes saveMemory(const Image& image, const SaveOptions& options);
// Writes to a temporary file beside `path`, with a name unique to the writer, and renames it
// over the target only after a complete write: a failed or interrupted save never destroys
// the previous file or leaves a part of the new one under its name, and of two writers racing
// for one file, one complete file stays. Failures name the system's reason (no space left,
// permission denied, not a directory); the temporary file is removed. The new file and its
// folder are synced to the disk before and after the rename, so after a power cut the name
// holds the old file or the whole new one.
void writeFileAtomically(const std::filesystem::path& path, ByteView data);
// Whether `file` is named like a temporary of writeFileAtomically (name.kalmira-XXXXXX); one that
// stays behind belongs to a writer that was killed.
bool isAtomicWriteTemporary(const std::filesystem::path& file);
void saveFile(const std::filesystem::path& path, const Image& image, const SaveOptions& options);

// Reads a regular file whole. A pipe, device or socket is refused ("not a regular file") without
// waiting for it, and a folder is named as one.
Bytes readWholeFile(const std::filesystem::path& path);

}  // namespace imaging
