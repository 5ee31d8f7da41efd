// The image control's encode-and-decode round trip as work for another thread.
#include <exception>
#include <new>

#include "codecs/registry.h"
#include "core/error.h"
#include "qt/colorresbridge.h"
#include "qt/imagecontrol.h"

namespace imaging {

namespace {

// Whether laying `overlay` over the source's user palette leaves it as it is.
bool keepsUserPalette(const Bitmap& source, const std::vector<Rgb>& overlay) {
    const std::vector<Rgb>& own = source.userPalette();
    if (overlay.size() > own.size()) return false;
    for (std::size_t j = 0; j < overlay.size(); ++j)
        if ((overlay[j] & 0xFFFFFF) != own[j]) return false;
    return true;
}

// ImageControl::ReduceKeepingSettings on a picture that is only read.
Bitmap reduceSharedKeepingSettings(const Bitmap& source, int bits, int paletteKind, int ditherCode, int colorCount) {
    const bool wasTransparent = source.transparent();
    Rgb key = source.transparentColor();
    if (isPaletteReference(key)) {
        const auto& palette = source.palette();
        const int entry = paletteIndexOf(key);
        key = entry >= 0 && entry < static_cast<int>(palette.size()) ? palette[static_cast<std::size_t>(entry)] : 0;
    }
    Bitmap reduced = detail::reduceColors(source, bits, paletteKind, ditherCode, colorCount);
    reduced.userPalette() = source.userPalette();
    if (wasTransparent && !reduced.transparent()) {
        reduced.setTransparent(true);
        reduced.setTransparentColor(key & 0xFFFFFF);
    }
    return reduced;
}

}  // namespace

void RoundTripWork::Run(const std::function<bool()>& stop) {
    const auto stopped = [&] {
        if (stop && stop()) cancelled = true;
        return cancelled;
    };
    if (stopped()) return;
    bool reducedAlready = false;
    if (source && bits <= 8 && !transparencyBefore && keepsUserPalette(*source, userPalette)) {
        // A palette reduction reads its source and makes a new picture: it reads the shared
        // one, so the work holds no full-size copy of its own.
        try {
            bitmap = reduceSharedKeepingSettings(*source, bits, paletteKind, ditherCode, colorCount);
            reducedAlready = true;
        } catch (const std::exception& e) {
            reduceResult = ImageControl::ErrorNumberOf(e);
            reduceError = e.what();
            // What the control would show after a failed reduction: the picture as it came.
            try {
                bitmap = *source;
            } catch (...) {
            }
            source.reset();
            return;
        }
        source.reset();
    } else if (source) {
        try {
            bitmap = *source;
            auto& palette = bitmap.userPalette();
            if (palette.size() < userPalette.size()) palette.resize(userPalette.size(), 0);
            for (std::size_t j = 0; j < userPalette.size(); ++j) palette[j] = userPalette[j] & 0xFFFFFF;
            if (transparencyBefore) {
                bitmap.setTransparent(transparencyBefore->first);
                bitmap.setTransparentColor(transparencyBefore->second);
            }
        } catch (const std::exception& e) {
            reduceResult = ImageControl::ErrorNumberOf(e);
            reduceError = e.what();
            source.reset();
            return;
        }
        source.reset();
    }
    if (!reducedAlready) try {
        bitmap = ImageControl::ReduceKeepingSettings(std::move(bitmap), bits, paletteKind, ditherCode, colorCount);
    } catch (const std::exception& e) {
        reduceResult = ImageControl::ErrorNumberOf(e);
        reduceError = e.what();
        return;
    }
    if (afterReduction) {
        try {
            afterReduction(bitmap);
        } catch (...) {
            afterReductionError = std::current_exception();
            return;
        }
    }
    if (stopped()) return;
    try {
        // The encoder borrows the bitmap, as SaveMemory lends it the control's.
        Image image;
        image.frames.push_back(Frame{std::move(bitmap)});
        image.format = options.format;
        try {
            encoded = saveMemory(image, options);
        } catch (...) {
            bitmap = std::move(image.frames.front().bitmap);
            throw;
        }
        // The reduced picture goes before the decoded one comes: one full-size picture less
        // at the round trip's peak. Should the decoding fail, the window's thread makes it again.
        image = Image();
    } catch (const std::exception& e) {
        saveResult = ImageControl::ErrorNumberOf(e);
        saveError = e.what();
        return;
    }
    if (stopped()) return;
    try {
        decoded = loadMemory(ByteView(encoded.data(), encoded.size()), LoadOptions{0, 0, 1});
        if (decoded.empty()) imaging::fail(ErrorCode::Corrupt, "load", "the data holds no picture");
    } catch (const std::exception& e) {
        decoded = Image();
        loadResult = ImageControl::ErrorNumberOf(e);
        loadError = e.what();
    }
    if (loadResult == 0 && afterDecoding && !stopped()) {
        try {
            afterDecoding(decoded.first());
        } catch (...) {
        }
    }
    try {
        info = readInfo(ByteView(encoded.data(), encoded.size()));
    } catch (const std::exception& e) {
        infoResult = ImageControl::ErrorNumberOf(e);
        infoError = e.what();
    }
}

RoundTripWork ImageControl::DetachRoundTrip(int bits, int paletteKind, int ditherCode, int colorCount, int format,
                                            int saveBits, int qualityFactor) {
    RoundTripWork work;
    work.bits = bits;
    work.paletteKind = paletteKind;
    work.ditherCode = ditherCode;
    work.colorCount = colorCount;
    work.options = encodeOptions(format, saveBits, qualityFactor);
    ++encodeCount_;
    work.bitmap = TakeBitmap();
    return work;
}

RoundTripWork ImageControl::PrepareRoundTrip(std::shared_ptr<const imaging::Bitmap> source, int bits, int paletteKind,
                                             int ditherCode, int colorCount, int format, int saveBits, int qualityFactor) {
    RoundTripWork work;
    work.bits = bits;
    work.paletteKind = paletteKind;
    work.ditherCode = ditherCode;
    work.colorCount = colorCount;
    work.options = encodeOptions(format, saveBits, qualityFactor);
    ++encodeCount_;
    work.source = std::move(source);
    work.userPalette = bitmap_.userPalette();
    return work;
}

void ImageControl::AdoptDecoded(Image&& image) { adoptImage(std::move(image)); }

}  // namespace imaging
