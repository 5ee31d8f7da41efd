// An animated GIF Variation encoded on an encoding thread, and taken in on the window's thread
// as the one-at-a-time round trip through a file left it.
#include "document/variationanimation.h"

#include <algorithm>

#include "codecs/registry.h"
#include "core/error.h"
#include "document/documentrules.h"
#include "document/frmdocument.h"
#include "document/repaintpause.h"
#include "document/transparententry.h"
#include "qt/colorresbridge.h"
#include "qt/imagecontrol.h"

namespace kalmira {

void AnimationWork::Run(const std::function<bool()>& stop) {
    const auto stopped = [&] {
        if (stop && stop()) cancelled = true;
        return cancelled;
    };
    if (stopped() || !source) return;
    try {
        imaging::Image list;
        list.frames = *source;
        source.reset();
        reduced = imaging::detail::reduceColors(list, bits, paletteKind, ditherCode, colorCount);
    } catch (const std::exception& e) {
        reduceResult = imaging::ImageControl::ErrorNumberOf(e);
        reduceError = e.what();
        source.reset();
        return;
    }
    if (snapTransparency && !reduced.frames.empty()) {
        // snapTransparentColour on the shown frame, with reservedTransparentEntry's choice.
        const std::size_t shown = static_cast<std::size_t>(std::clamp(shownFrame, 0, static_cast<int>(reduced.frames.size()) - 1));
        imaging::Bitmap& bitmap = reduced.frames[shown].bitmap;
        const auto entryColour = [&bitmap](int j) -> imaging::Rgb {
            const auto& palette = bitmap.palette();
            return j >= 0 && j < static_cast<int>(palette.size()) ? palette[static_cast<std::size_t>(j)] : 0;
        };
        int reserved = -1;
        if (transparent) {
            int entry = transparentEntryOf(bitmap);
            for (const imaging::Frame& frame : reduced.frames) {
                if (entry >= 0) break;
                entry = transparentEntryOf(frame.bitmap);
            }
            const imaging::Rgb wanted = wantedColour & 0xFFFFFF;
            if (entry >= 0 && ((entryColour(entry) & 0xFFFFFF) == wanted ||
                               std::find(originalColours.begin(), originalColours.end(), std::optional<imaging::Rgb>(wanted)) !=
                                   originalColours.end()))
                reserved = entry;
        }
        bitmap.setTransparent(transparent);
        if (reserved >= 0) {
            bitmap.setTransparentColor(imaging::kPaletteReference + static_cast<imaging::Rgb>(reserved));
        } else if (transparent) {
            const int entry = NearestPaletteIndex(entryColour, palettePixelDepth, wantedColour);
            chosenColour = entryColour(entry);
            bitmap.setTransparentColor(imaging::kPaletteReference + static_cast<imaging::Rgb>(entry));
        }
    }
    if (stopped()) return;
    reduced.format = options.format;
    reduced.loopCount = loopCount;
    reduced.backgroundColor = backgroundColor;
    reduced.logicalWidth = logicalWidth;
    reduced.logicalHeight = logicalHeight;
    options.multiPage = reduced.frames.size() > 1;
    try {
        encoded = imaging::saveMemory(reduced, options);
    } catch (const std::exception& e) {
        saveFailed = true;
        saveError = e.what();
        return;
    }
    if (stopped()) return;
    try {
        info = imaging::readInfo(imaging::ByteView(encoded.data(), encoded.size()));
        decoded = imaging::loadMemory(imaging::ByteView(encoded.data(), encoded.size()), imaging::LoadOptions{0, 0, -1});
        if (decoded.empty()) imaging::fail(imaging::ErrorCode::Corrupt, "load", "the data holds no picture");
        infoRead = true;
        reduced = imaging::Image();
    } catch (const std::exception& e) {
        decoded = imaging::Image();
        loadFailed = true;
        loadError = e.what();
    }
}

std::shared_ptr<AnimationWork> frmDocument::detachAnimation(int index, std::shared_ptr<const std::vector<imaging::Frame>> frames) {
    // SpeichernLadenVariation up to the encoding for an animated Variation, on values taken now:
    // the picture keeps showing its last encoding meanwhile.
    checkVariation(index);
    const VariationRecord& r = records_[static_cast<std::size_t>(index)];
    const imaging::ImageControl& original = *pictures_[0];
    imaging::ImageControl& target = *pictures_[static_cast<std::size_t>(index)];
    encodedWith_[static_cast<std::size_t>(index)].valid = false;
    auto work = std::make_shared<AnimationWork>();
    const int count = static_cast<int>(frames->size());
    work->shownFrame = r.PlayAnimation ? std::min(original.BitmapListIndex(), std::max(0, count - 1))
                                       : std::clamp(r.ImageNumber, 0, std::max(0, count - 1));
    work->source = std::move(frames);
    const SaveOptions options = HoleSpeicherOptionen(index);
    // The encoder's options as the control builds them from its settings.
    work->options = target.PrepareRoundTrip(nullptr, 0, 0, 0, 0, options.FormatNumber, options.BitsPerPixel,
                                            options.QualityFactor)
                        .options;
    work->bits = r.PixelDepth;
    work->paletteKind = r.ColorPalette;
    work->ditherCode = r.DitheringMethod;
    work->colorCount = options.ColorCount;
    work->backgroundColor = original.AnimationBackColor();
    work->loopCount = original.AnimationLoop();
    work->logicalWidth = original.AnimationWidth();
    work->logicalHeight = original.AnimationHeight();
    work->snapTransparency = r.Format == save_format::Gif;
    work->transparent = r.GIFTransparent;
    work->wantedColour = r.GIFTransparentColor;
    work->palettePixelDepth = r.PalettePixelDepth;
    work->originalColours.push_back(transparentColourOf(original.Bitmap()));
    for (const imaging::Frame& frame : original.BitmapList()) work->originalColours.push_back(transparentColourOf(frame.bitmap));
    return work;
}

void frmDocument::takeAnimationIn(int index, AnimationWork& work) {
    // What roundTripThroughTempFile leaves behind, with the same messages and exceptions.
    VariationRecord& r = records_[static_cast<std::size_t>(index)];
    imaging::ImageControl& target = *pictures_[static_cast<std::size_t>(index)];
    RepaintPause pause(target);
    encodedWith_[static_cast<std::size_t>(index)].valid = false;
    if (work.reduceResult != 0) {
        target.SetLastErrorText(QString::fromStdString(work.reduceError));
        throw imaging::Error(static_cast<imaging::ErrorCode>(work.reduceResult), work.reduceError);
    }
    if (work.chosenColour) r.GIFTransparentColor = *work.chosenColour;
    const bool play = r.PlayAnimation;
    target.SetAnimationEnable(false);
    if (work.saveFailed) {
        target.SetLastErrorText(QString::fromStdString(work.saveError));
        target.AdoptDecoded(std::move(work.reduced));
        showMessage(5407);
        // Nothing was written to read back.
        showMessage(5408);
    } else if (work.loadFailed) {
        target.SetLastErrorText(QString::fromStdString(work.loadError));
        target.AdoptDecoded(std::move(work.reduced));
        showMessage(5408);
    } else {
        target.AdoptDecoded(std::move(work.decoded));
    }
    if (work.infoRead) target.SetInfo(work.info);
    encodedFrom_[static_cast<std::size_t>(index)] = pictures_[0]->ContentVersion() + 1;
    target.SetAnimationEnable(play);
}

}  // namespace kalmira
