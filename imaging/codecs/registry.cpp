#include "codecs/registry.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "core/error.h"

namespace imaging {

const std::vector<std::unique_ptr<Codec>>& allCodecs() {
    static const std::vector<std::unique_ptr<Codec>> codecs = [] {
        std::vector<std::unique_ptr<Codec>> list = mainCodecs();
        for (auto& c : furtherCodecs()) list.push_back(std::move(c));
        return list;
    }();
    return codecs;
}

const Codec* codecForFormat(int number) {
    for (const auto& c : allCodecs())
        for (int f : c->formats())
            if (f == number) return c.get();
    return nullptr;
}

const Codec* sniffCodec(ByteView data) {
    for (const auto& c : allCodecs())
        if (c->sniff(data)) return c.get();
    return nullptr;
}

static const Codec& requireSniffed(ByteView data) {
    if (data.empty()) fail(ErrorCode::Truncated, "load", "the file is empty");
    const Codec* codec = sniffCodec(data);
    if (!codec) fail(ErrorCode::UnknownFormat, "load", "unrecognized format");
    return *codec;
}

ImageInfo readInfo(ByteView data) {
    ImageInfo info = requireSniffed(data).readInfo(data);
    info.fileSize = data.size();
    return info;
}

Image loadMemory(ByteView data, const LoadOptions& options) {
    return requireSniffed(data).read(data, options);
}

// The system's reason for the last failed call ("No space left on device", "Permission
// denied", "Not a directory"), so a message says what happened and not only that it did.
static std::string systemReason(int error) {
    return error != 0 ? ": " + std::generic_category().message(error) : std::string();
}

Bytes readWholeFile(const std::filesystem::path& path) {
    // A folder opens as a stream on this system and reports a nonsense size: it is named as
    // what it is before anything is allocated for it.
    std::error_code kind;
    if (std::filesystem::is_directory(path, kind))
        fail(ErrorCode::ReadFailed, "load", "cannot read " + path.string() + ": it is a folder, not a file");
    errno = 0;
    std::ifstream in(path, std::ios::binary);
    if (!in) fail(ErrorCode::FileNotFound, "load", "cannot open " + path.string() + systemReason(errno));
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < 0) fail(ErrorCode::ReadFailed, "load", "cannot read " + path.string());
    in.seekg(0, std::ios::beg);
    Bytes data(static_cast<std::size_t>(size));
    if (size > 0 && !in.read(reinterpret_cast<char*>(data.data()), size))
        fail(ErrorCode::ReadFailed, "load", "cannot read " + path.string());
    return data;
}

ImageInfo readInfoFile(const std::filesystem::path& path) { return readInfo(readWholeFile(path)); }

Image loadFile(const std::filesystem::path& path, const LoadOptions& options) {
    return loadMemory(readWholeFile(path), options);
}

Bytes saveMemory(const Image& image, const SaveOptions& options) {
    if (image.empty() || image.first().empty()) fail(ErrorCode::NoImage, "save", "there is no image to save");
    const Codec* codec = codecForFormat(options.format);
    if (!codec) fail(ErrorCode::UnknownFormat, "save", "unknown format number " + std::to_string(options.format));
    if (!codec->canWrite()) fail(ErrorCode::Unsupported, std::string(codec->name()), "this format is read-only");
    return codec->write(image, options);
}

void saveFile(const std::filesystem::path& path, const Image& image, const SaveOptions& options) {
    const Bytes data = saveMemory(image, options);
    std::filesystem::path temp = path;
    temp += ".kalmira-part";
    {
        errno = 0;
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) fail(ErrorCode::WriteFailed, "save", "cannot create " + temp.string() + systemReason(errno));
        out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
        out.flush();
        const int writeError = errno;
        if (!out) {
            out.close();
            std::error_code ignored;
            std::filesystem::remove(temp, ignored);
            fail(ErrorCode::WriteFailed, "save", "cannot write " + path.string() + systemReason(writeError));
        }
    }
    std::error_code ec;
    std::filesystem::rename(temp, path, ec);
    if (ec) {
        std::error_code ignored;
        std::filesystem::remove(temp, ignored);
        fail(ErrorCode::WriteFailed, "save", "cannot replace " + path.string() + ": " + ec.message());
    }
}

}  // namespace imaging
