#include "codecs/registry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "codecs/embedded.h"
#include "codecs/profile_rows.h"
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
    embedded::finishInfo(info, data);
    return info;
}

Image loadMemory(ByteView data, const LoadOptions& options) { return loadWith(requireSniffed(data), data, options); }

Image loadWith(const Codec& codec, ByteView data, const LoadOptions& options) {
    // A tagged picture is converted into sRGB behind its decoder where the reader allows.
    std::unique_ptr<embedded::ProfileRows> profileRows =
        options.rowListener || options.firstPage != 0 ? nullptr : embedded::ProfileRows::forFile(data);
    LoadOptions withRows = options;
    if (profileRows) withRows.rowListener = profileRows.get();
    Image image = codec.read(data, withRows);
    embedded::finishLoad(image, data, profileRows && profileRows->complete() ? profileRows.get() : nullptr);
    return image;
}

// The system's reason for the last failed call ("No space left on device", "Permission
// denied", "Not a directory"), so a message says what happened and not only that it did.
static std::string systemReason(int error) {
    return error != 0 ? ": " + std::generic_category().message(error) : std::string();
}

// What a file that is not a regular file is, for the message that refuses it.
static std::string kindOf(mode_t mode) {
    if (S_ISFIFO(mode)) return "a pipe";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
    if (S_ISSOCK(mode)) return "a socket";
    return "not a plain file";
}

Bytes readWholeFile(const std::filesystem::path& path) {
    // A folder is named as what it is before anything is allocated for it.
    std::error_code kind;
    if (std::filesystem::is_directory(path, kind))
        fail(ErrorCode::ReadFailed, "load", "cannot read " + path.string() + ": it is a folder, not a file");
    // Opened without blocking: a pipe or a device would wait forever for a writer or a medium
    // (a batch given a FIFO hung in open); only a regular file is read.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) fail(ErrorCode::FileNotFound, "load", "cannot open " + path.string() + systemReason(errno));
    struct Close {
        int fd;
        ~Close() { ::close(fd); }
    } closeFd{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0) fail(ErrorCode::ReadFailed, "load", "cannot read " + path.string() + systemReason(errno));
    if (!S_ISREG(st.st_mode))
        fail(ErrorCode::ReadFailed, "load", "cannot read " + path.string() + ": not a regular file (" + kindOf(st.st_mode) + ")");
    Bytes data(static_cast<std::size_t>(st.st_size));
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::read(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) fail(ErrorCode::ReadFailed, "load", "cannot read " + path.string() + systemReason(errno));
        if (n == 0) break;  // shrunk while being read: what is there is what the file holds
        done += static_cast<std::size_t>(n);
    }
    data.resize(done);
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
    // Only what the options name goes into the file: the profile (the pixels converted into
    // it first), the author and the copyright; never the original's other metadata.
    SaveOptions kept = options;
    const std::unique_ptr<Image> converted = embedded::prepareForSave(image, kept);
    Bytes bytes = codec->write(converted ? *converted : image, kept);
    if (options.format == format::Png) embedded::addToPng(bytes, kept);
    else if (options.format == format::Webp) embedded::addToWebp(bytes, kept);
    return bytes;
}

namespace {

// The mode a new file gets: 0666 less the process's umask. Read from the kernel rather than by
// setting and restoring the umask, which would race with other threads creating files.
mode_t newFileMode() {
    static const mode_t mode = [] {
        std::ifstream status("/proc/self/status");
        for (std::string line; std::getline(status, line);)
            if (line.rfind("Umask:", 0) == 0) return static_cast<mode_t>(0666 & ~std::stoul(line.substr(6), nullptr, 8));
        return static_cast<mode_t>(0644);
    }();
    return mode;
}

[[noreturn]] void failWrite(const std::filesystem::path& path, const std::string& what, int error) {
    fail(ErrorCode::WriteFailed, "save", what + " " + path.string() + ": " + std::strerror(error));
}

}  // namespace

namespace {

template <class BeforeClose = void (*)(int)>
void writeAll(int fd, const std::filesystem::path& path, ByteView data, BeforeClose beforeClose = [](int) {}) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const int error = n < 0 ? errno : ENOSPC;
            ::close(fd);
            failWrite(path, "cannot write", error);
        }
        done += static_cast<std::size_t>(n);
    }
    beforeClose(fd);
    if (::close(fd) != 0) failWrite(path, "cannot write", errno);
}

// Makes the bytes of a file reach the disk, so that after a power cut the new name never
// points to an empty or partial file.
void syncFile(int fd, const std::filesystem::path& path) {
    if (::fsync(fd) != 0 && errno != EINVAL) {
        const int error = errno;
        ::close(fd);
        failWrite(path, "cannot write", error);
    }
}

// Makes a rename in `folder` reach the disk.
void syncFolder(const std::filesystem::path& folder) {
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

void writeFileAtomically(const std::filesystem::path& given, ByteView data) {
    // A symbolic link stays a link: the file it names is the one replaced.
    std::filesystem::path path = given;
    std::error_code ec;
    if (std::filesystem::is_symlink(given, ec)) {
        std::filesystem::path target = std::filesystem::weakly_canonical(given, ec);
        if (!ec) path = std::move(target);
    }
    struct stat existing {};
    const bool exists = ::stat(path.c_str(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode)) failWrite(path, "cannot write", EISDIR);
    // A device or a pipe takes the bytes itself; a file renamed over it would replace the
    // device node (a program run as root would turn /dev/null into a picture).
    if (exists && !S_ISREG(existing.st_mode)) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd < 0) failWrite(path, "cannot open", errno);
        writeAll(fd, path, data);
        return;
    }
    // The temporary name is unique to this writer, so two writers of one file never write into
    // each other's temporary: each renames a complete file of its own and the last one wins
    // whole. It stands beside the target, as a rename only replaces within one file system.
    std::string temp = path.string() + ".kalmira-XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) failWrite(path, "cannot create a file beside", errno);
    struct Remove {
        std::string name;
        bool keep = false;
        ~Remove() {
            if (!keep) ::unlink(name.c_str());
        }
    } removeTemp{temp};
    // mkstemp's file is private; the picture gets the mode of the file it replaces, or that of
    // any new file.
    ::fchmod(fd, exists ? (existing.st_mode & 07777) : newFileMode());
    writeAll(fd, path, data, [&](int open) { syncFile(open, path); });
    if (::rename(temp.c_str(), path.c_str()) != 0) failWrite(path, "cannot replace", errno);
    removeTemp.keep = true;
    syncFolder(path.parent_path());
}

bool isAtomicWriteTemporary(const std::filesystem::path& file) {
    // name.kalmira-XXXXXX, as mkostemp fills the six X: letters and digits
    const std::string name = file.filename().string();
    const std::string mark = ".kalmira-";
    if (name.size() < mark.size() + 7) return false;
    const std::size_t at = name.size() - 6 - mark.size();
    if (name.compare(at, mark.size(), mark) != 0) return false;
    for (std::size_t i = name.size() - 6; i < name.size(); ++i)
        if (!std::isalnum(static_cast<unsigned char>(name[i]))) return false;
    return true;
}

void saveFile(const std::filesystem::path& path, const Image& image, const SaveOptions& options) {
    writeFileAtomically(path, saveMemory(image, options));
}

}  // namespace imaging
