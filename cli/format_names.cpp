#include "format_names.h"

#include <algorithm>
#include <cctype>

#include "arguments.h"
#include "codecs/registry.h"

namespace kalmira::cli {

int formatFromArgument(const std::string& text) {
    if (!text.empty() && std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); })) {
        const int number = parseInteger(text, "--format");
        const imaging::Codec* codec = imaging::codecForFormat(number);
        if (!codec || !codec->canWrite()) throw UsageError("no format with number " + std::to_string(number) + " can be written");
        return number;
    }
    std::string name = text;
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    // A name picks the codec's first number (JPEG 4:4:4, uncompressed TIFF, Windows BMP); the
    // variants are asked for by number.
    for (const auto& codec : imaging::allCodecs()) {
        if (!codec->canWrite()) continue;
        for (std::string_view suffix : codec->suffixes())
            if (suffix == name) return codec->formats().front();
    }
    throw UsageError("--format must be a format number or the name of a writable format (gif, jpeg, png, webp, avif, ...), not \"" +
                     text + "\"");
}

}  // namespace kalmira::cli
