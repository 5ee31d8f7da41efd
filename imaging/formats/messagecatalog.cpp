#include "formats/messagecatalog.h"

#include <fstream>
#include <iterator>

#include "core/error.h"

namespace imaging {

namespace {

constexpr const char* kWhere = "message catalogue";
constexpr std::uint32_t kMagic = 0x950412DE;
constexpr std::uint32_t kSwappedMagic = 0xDE120495;
// No catalogue of a library comes near this; it bounds the work a hostile file can ask for.
constexpr std::uint64_t kMaxEntries = 1u << 20;

class Reader {
public:
    explicit Reader(ByteView data) : data_(data) {
        if (data.size() < 28) fail(ErrorCode::Truncated, kWhere, "the header is cut short");
        const std::uint32_t magic = word(0);
        if (magic == kSwappedMagic) swapped_ = true;
        else if (magic != kMagic) fail(ErrorCode::UnknownFormat, kWhere, "no message catalogue");
    }

    std::uint32_t word(std::uint64_t at) const {
        if (at + 4 > data_.size()) fail(ErrorCode::Truncated, kWhere, "a table lies beyond the end");
        const std::uint8_t* p = data_.data() + at;
        return swapped_ ? (std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3])
                        : (std::uint32_t(p[3]) << 24 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0]);
    }

    // The string the table entry at `at` describes (its length, then its offset).
    std::string_view text(std::uint64_t at) const {
        const std::uint64_t length = word(at), offset = word(at + 4);
        if (offset + length > data_.size()) fail(ErrorCode::Corrupt, kWhere, "a text lies beyond the end");
        return {reinterpret_cast<const char*>(data_.data() + offset), static_cast<std::size_t>(length)};
    }

private:
    ByteView data_;
    bool swapped_ = false;
};

}  // namespace

MessageCatalog MessageCatalog::fromBytes(ByteView data) {
    const Reader reader(data);
    const std::uint32_t revision = reader.word(4);
    if ((revision >> 16) > 1) fail(ErrorCode::Unsupported, kWhere, "an unknown revision");
    const std::uint64_t count = reader.word(8), originals = reader.word(12), translations = reader.word(16);
    if (count > kMaxEntries || originals + count * 8 > data.size() || translations + count * 8 > data.size())
        fail(ErrorCode::Corrupt, kWhere, "the tables do not fit the file");
    MessageCatalog catalog;
    for (std::uint64_t i = 0; i < count; ++i) {
        std::string_view original = reader.text(originals + i * 8);
        std::string_view translation = reader.text(translations + i * 8);
        // The header entry (an empty text) describes the file; texts in a context are not
        // the plain texts a library asks for.
        if (original.empty() || original.find('\x04') != std::string_view::npos) continue;
        // A text with plural forms: the singular, and its first form.
        original = original.substr(0, original.find('\0'));
        translation = translation.substr(0, translation.find('\0'));
        if (!translation.empty()) catalog.entries_.emplace(original, translation);
    }
    return catalog;
}

MessageCatalog MessageCatalog::load(const std::string& domain, const std::string& language,
                                    const std::filesystem::path& localeDir) {
    if (language.empty() || language.find('/') != std::string::npos || domain.find('/') != std::string::npos) return {};
    std::ifstream file(localeDir / language / "LC_MESSAGES" / (domain + ".mo"), std::ios::binary);
    if (!file) return {};
    const Bytes data((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    try {
        return fromBytes(data);
    } catch (const Error&) {
        return {};
    }
}

std::string MessageCatalog::translate(const std::string& text) const {
    const auto found = entries_.find(text);
    return found == entries_.end() ? text : found->second;
}

}  // namespace imaging
