#include "formats/pe_resources.h"

#include <algorithm>

#include "codecs/registry.h"
#include "formats/dib.h"
#include "formats/format_io.h"

namespace imaging::pe {

namespace {

using fio::ByteReader;

constexpr std::string_view kWhere = "PE resources";
constexpr std::uint32_t kTypeCursor = 1;
constexpr std::uint32_t kTypeBitmap = 2;
constexpr std::uint32_t kTypeIcon = 3;
constexpr std::uint32_t kResourceDirectoryIndex = 2;
constexpr std::uint32_t kHighBit = 0x80000000u;
// More entries than any real program holds; a tree claiming more is refused before it is walked.
constexpr std::size_t kMaxEntries = 1u << 16;
constexpr std::size_t kMaxNameLength = 256;

struct Section {
    std::uint32_t virtualAddress = 0;
    std::uint32_t virtualSize = 0;
    std::uint32_t rawOffset = 0;
    std::uint32_t rawSize = 0;
};

struct Layout {
    std::vector<Section> sections;
    std::size_t resourceOffset = 0;  // file offset of the resource directory
    std::size_t resourceSize = 0;    // bytes of it inside the file
    std::uint32_t resourceRva = 0;
};

// The file offset of `size` bytes at `rva`, or Corrupt when no section holds all of them.
std::size_t fileOffsetOf(const Layout& layout, std::uint32_t rva, std::uint64_t size, std::size_t fileSize) {
    for (const Section& s : layout.sections) {
        const std::uint64_t extent = std::max(s.virtualSize, s.rawSize);
        if (rva < s.virtualAddress || std::uint64_t(rva) + size > std::uint64_t(s.virtualAddress) + extent) continue;
        const std::uint64_t offset = std::uint64_t(s.rawOffset) + (rva - s.virtualAddress);
        if (offset + size > std::min<std::uint64_t>(fileSize, std::uint64_t(s.rawOffset) + s.rawSize))
            fio::corrupt(kWhere, "resource data lies past its section's stored bytes");
        return static_cast<std::size_t>(offset);
    }
    fio::corrupt(kWhere, "resource data lies outside every section");
}

Layout readLayout(ByteView file) {
    ByteReader in(file, std::string(kWhere));
    if (file.size() < 64 || file[0] != 'M' || file[1] != 'Z') fail(ErrorCode::UnknownFormat, std::string(kWhere), "not a Windows program file");
    in.seek(0x3C);
    const std::uint32_t peOffset = in.u32le();
    if (peOffset > file.size() || file.size() - peOffset < 24) fail(ErrorCode::UnknownFormat, std::string(kWhere), "no PE header");
    in.seek(peOffset);
    if (in.u32le() != 0x00004550u) fail(ErrorCode::UnknownFormat, std::string(kWhere), "no PE signature");
    in.skip(2);  // machine
    const unsigned sectionCount = in.u16le();
    in.skip(12);
    const unsigned optionalSize = in.u16le();
    in.skip(2);
    const std::size_t optionalStart = in.pos();
    const unsigned magic = in.u16le();
    if (magic != 0x10B && magic != 0x20B) fio::corrupt(kWhere, "unknown optional header");
    const std::size_t countAt = optionalStart + (magic == 0x10B ? 92 : 108);
    if (countAt + 4 > optionalStart + optionalSize) fio::corrupt(kWhere, "optional header too short");
    in.seek(countAt);
    const std::uint32_t directoryCount = in.u32le();
    Layout layout;
    std::uint32_t resourceSize = 0;
    if (directoryCount > kResourceDirectoryIndex) {
        const std::size_t at = countAt + 4 + kResourceDirectoryIndex * 8;
        if (at + 8 > optionalStart + optionalSize) fio::corrupt(kWhere, "data directories past the optional header");
        in.seek(at);
        layout.resourceRva = in.u32le();
        resourceSize = in.u32le();
    }
    in.seek(optionalStart + optionalSize);
    if (std::uint64_t(sectionCount) * 40 > in.remaining()) in.truncated();
    for (unsigned i = 0; i < sectionCount; ++i) {
        in.skip(8);
        Section s;
        s.virtualSize = in.u32le();
        s.virtualAddress = in.u32le();
        s.rawSize = in.u32le();
        s.rawOffset = in.u32le();
        in.skip(16);
        layout.sections.push_back(s);
    }
    if (layout.resourceRva == 0 || resourceSize == 0) return layout;
    // The directory tree needs at least its root; its entries are checked one by one.
    layout.resourceOffset = fileOffsetOf(layout, layout.resourceRva, 16, file.size());
    layout.resourceSize = std::min<std::size_t>(resourceSize, file.size() - layout.resourceOffset);
    return layout;
}

struct DirectoryEntry {
    std::uint32_t nameOrId = 0;
    std::uint32_t target = 0;
};

// The entries of the directory at `at` (relative to the resource section).
std::vector<DirectoryEntry> readDirectory(ByteView file, const Layout& layout, std::uint32_t at, std::size_t& budget) {
    const ByteView section = file.subspan(layout.resourceOffset, layout.resourceSize);
    ByteReader in(section, std::string(kWhere));
    in.seek(at);
    in.skip(12);
    const std::size_t count = std::size_t(in.u16le()) + in.u16le();
    if (count > budget) fio::corrupt(kWhere, "more resource entries than a program holds");
    budget -= count;
    if (count * 8 > in.remaining()) in.truncated();
    std::vector<DirectoryEntry> entries(count);
    for (DirectoryEntry& e : entries) {
        e.nameOrId = in.u32le();
        e.target = in.u32le();
    }
    return entries;
}

std::string nameOf(ByteView file, const Layout& layout, std::uint32_t nameOrId) {
    if (!(nameOrId & kHighBit)) return "#" + std::to_string(nameOrId);
    ByteReader in(file.subspan(layout.resourceOffset, layout.resourceSize), std::string(kWhere));
    in.seek(nameOrId & ~kHighBit);
    const std::size_t length = std::min<std::size_t>(in.u16le(), kMaxNameLength);
    std::string name;
    for (std::size_t i = 0; i < length; ++i) {
        const unsigned c = in.u16le();
        name += c < 0x80 ? static_cast<char>(c) : '?';
    }
    return name;
}

}  // namespace

std::vector<ResourceEntry> listResources(ByteView file, int kinds) {
    const Layout layout = readLayout(file);
    std::vector<ResourceEntry> found;
    if (layout.resourceSize == 0) return found;
    std::size_t budget = kMaxEntries;
    for (const DirectoryEntry& type : readDirectory(file, layout, 0, budget)) {
        ResourceKind kind;
        if (type.nameOrId == kTypeBitmap) kind = Bitmaps;
        else if (type.nameOrId == kTypeIcon) kind = Icons;
        else if (type.nameOrId == kTypeCursor) kind = Cursors;
        else continue;
        if (!(kinds & kind)) continue;
        // Each level must lead to the next kind of node: a loop back up would be a directory
        // where data is expected, and is refused there.
        if (!(type.target & kHighBit)) fio::corrupt(kWhere, "a resource type without a directory");
        for (const DirectoryEntry& named : readDirectory(file, layout, type.target & ~kHighBit, budget)) {
            if (!(named.target & kHighBit)) fio::corrupt(kWhere, "a resource name without a directory");
            for (const DirectoryEntry& language : readDirectory(file, layout, named.target & ~kHighBit, budget)) {
                if (language.target & kHighBit) fio::corrupt(kWhere, "a resource nested deeper than three levels");
                ByteReader in(file.subspan(layout.resourceOffset, layout.resourceSize), std::string(kWhere));
                in.seek(language.target);
                const std::uint32_t rva = in.u32le();
                const std::uint32_t size = in.u32le();
                ResourceEntry entry;
                entry.kind = kind;
                entry.name = nameOf(file, layout, named.nameOrId);
                entry.language = language.nameOrId;
                entry.offset = fileOffsetOf(layout, rva, size, file.size());
                entry.size = size;
                found.push_back(std::move(entry));
            }
        }
    }
    return found;
}

Bitmap loadResource(ByteView file, const ResourceEntry& entry) {
    if (entry.offset > file.size() || entry.size > file.size() - entry.offset)
        fio::corrupt(kWhere, "the resource lies outside the file");
    ByteView data = file.subspan(entry.offset, entry.size);
    if (entry.kind == Cursors) {
        // A cursor resource starts with its hot spot.
        if (data.size() < 4) fail(ErrorCode::Truncated, std::string(kWhere), "cursor without its picture");
        data = data.subspan(4);
    }
    if (entry.kind != Bitmaps && data.size() >= 8 && data[0] == 0x89 && data[1] == 'P' && data[2] == 'N' && data[3] == 'G') {
        Image image = loadMemory(data, LoadOptions{0, 0, 1});
        if (image.empty()) fio::corrupt(kWhere, "an empty icon");
        return std::move(image.first());
    }
    return fio::readDib(data, kWhere, {.icon = entry.kind != Bitmaps});
}

}  // namespace imaging::pe
