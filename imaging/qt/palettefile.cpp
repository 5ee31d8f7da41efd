#include "qt/palettefile.h"

#include <algorithm>
#include <exception>
#include <filesystem>

#include "codecs/registry.h"
#include "core/bitmap.h"
#include "core/codec.h"
#include "core/error.h"

namespace imaging {

namespace {

std::filesystem::path toPath(const QString& fileName) { return std::filesystem::path(fileName.toStdU16String()); }

int failure(const std::exception& error, QString* errorText) {
    if (errorText) *errorText = QString::fromStdString(error.what());
    if (const auto* engine = dynamic_cast<const Error*>(&error)) return engine->number();
    return static_cast<int>(ErrorCode::ReadFailed);
}

}  // namespace

int UsedPaletteBits(int count) {
    if (count < 3) return 1;
    int bits = 1;
    while (bits < 8 && (1 << bits) < count) ++bits;
    return bits;
}

int ReadPaletteFile(const QString& fileName, std::vector<Rgb>& colors, QString* errorText) {
    try {
        const Bytes data = readWholeFile(toPath(fileName));
        // The header first: a true-colour file is refused before its pixels are decoded.
        const ImageInfo info = readInfo(data);
        if (info.bits > 8)
            fail(ErrorCode::Unsupported, "palette file", std::to_string(info.bits) + " bits per pixel hold no colour table");
        const Image image = loadMemory(data, LoadOptions{0, 0, 1});
        if (image.empty()) fail(ErrorCode::Corrupt, "palette file", "the file holds no picture");
        const Bitmap& first = image.first();
        if (!first.isIndexed() || first.palette().empty())
            fail(ErrorCode::Unsupported, "palette file", "the picture has no colour table");
        colors = first.palette();
        return 0;
    } catch (const std::exception& e) {
        return failure(e, errorText);
    }
}

int WritePaletteFile(const QString& fileName, const std::vector<Rgb>& colors, QString* errorText) {
    try {
        if (colors.empty() || colors.size() > 256)
            fail(ErrorCode::InvalidArgument, "palette file", "a palette holds 1 to 256 colours");
        const int bits = UsedPaletteBits(static_cast<int>(colors.size()));
        Bitmap pixel(1, 1, bits);
        std::vector<Rgb>& table = pixel.palette();
        table.assign(std::size_t{1} << bits, Rgb{0});
        std::copy(colors.begin(), colors.end(), table.begin());
        Image image;
        image.frames.push_back(Frame{std::move(pixel)});
        image.format = format::Gif;
        SaveOptions options;
        options.format = format::Gif;
        options.bits = bits;
        options.qualityFactor = -1;
        saveFile(toPath(fileName), image, options);
        return 0;
    } catch (const std::exception& e) {
        return failure(e, errorText);
    }
}

}  // namespace imaging
