#pragma once
// A GNU message catalogue (a .mo file): the translations a library ships for its own texts,
// read by us rather than through the C library, so they follow the program's language and not
// the process's locale. Every offset and length is checked against the data.

#include <filesystem>
#include <string>
#include <unordered_map>

#include "core/codec.h"

namespace imaging {

class MessageCatalog {
public:
    MessageCatalog() = default;
    // Reads a catalogue; throws Error(UnknownFormat) when the data is none, Error(Truncated) or
    // Error(Corrupt) when it points outside itself.
    static MessageCatalog fromBytes(ByteView data);
    // <localeDir>/<language>/LC_MESSAGES/<domain>.mo; empty when there is no such file or it
    // cannot be read (the texts then stay as they are).
    static MessageCatalog load(const std::string& domain, const std::string& language,
                               const std::filesystem::path& localeDir = "/usr/share/locale");

    // The translation of `text`, or `text` itself when the catalogue has none.
    std::string translate(const std::string& text) const;
    std::size_t size() const { return entries_.size(); }

private:
    std::unordered_map<std::string, std::string> entries_;
};

}  // namespace imaging
