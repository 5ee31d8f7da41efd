// The image control's encode-and-decode round trip as work for another thread.
#include <exception>
#include <new>

#include "codecs/registry.h"
#include "core/error.h"
#include "qt/imagecontrol.h"

namespace imaging {

void RoundTripWork::Run(const std::function<bool()>& stop) {
    const auto stopped = [&] {
        if (stop && stop()) cancelled = true;
        return cancelled;
    };
    if (stopped()) return;
    try {
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

void ImageControl::AdoptDecoded(Image&& image) { adoptImage(std::move(image)); }

}  // namespace imaging
