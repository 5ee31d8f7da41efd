#include "batch_encode.h"

#include <cmath>
#include <limits>
#include <new>
#include <string>

#include "budget/bytebudget.h"
#include "budget/ssimtarget.h"
#include "codecs/codec_support.h"
#include "codecs/registry.h"
#include "core/error.h"
#include "color/colorres.h"
#include "quality/quality.h"
#include "rules/keenfit.h"

namespace kalmira::cli {

namespace {

// The Original's transparency as a new Variation takes it: a palette reference names the
// entry, a true-colour key is the colour itself.
struct Transparency {
    bool on = false;
    imaging::Rgb color = 0;
};

Transparency transparencyOf(const imaging::Bitmap& original) {
    Transparency t;
    t.on = original.transparent();
    if (!t.on) return t;
    const imaging::Rgb key = original.transparentColor();
    if (!imaging::isPaletteReference(key)) {
        t.color = key & 0xFFFFFF;
    } else if (const auto index = static_cast<std::size_t>(imaging::paletteIndexOf(key)); index < original.palette().size()) {
        t.color = original.palette()[index];
    } else {
        t.on = false;  // a reference past the palette names no colour
    }
    return t;
}

imaging::Bytes encodeAs(const imaging::Image& input, const KeenfitChoice& choice, const Transparency& transparency,
                        const BatchEncodeOptions& encoding);

// The output's encoding, its failures named as the output's: a JPEG encoder that runs out of
// memory while converting a TIFF says so, rather than looking like the TIFF reader's fault.
imaging::Bytes encode(const imaging::Image& input, const KeenfitChoice& choice, const Transparency& transparency,
                      const BatchEncodeOptions& encoding) {
    const char* const format = choice.Format == save_format::Gif ? "GIF" : choice.Format == save_format::Png ? "PNG" : "JPEG";
    try {
        return encodeAs(input, choice, transparency, encoding);
    } catch (const imaging::Error& e) {
        throw imaging::Error(e.code(), std::string("making the ") + format + " output: " + e.what());
    } catch (const std::bad_alloc&) {
        imaging::fail(imaging::ErrorCode::OutOfMemory, std::string("making the ") + format + " output",
                      "out of memory");
    }
}

imaging::Bytes encodeAs(const imaging::Image& input, const KeenfitChoice& choice, const Transparency& transparency,
                        const BatchEncodeOptions& encoding) {
    const EngineSaveSettings s = SaveSettingsFor(choice);
    imaging::Image reduced;
    if (s.multiPage) {
        reduced = imaging::colorRes(input, choice.PixelDepth, choice.ColorPalette, choice.DitheringMethod, s.colorCount);
    } else {
        const imaging::Bitmap& first = input.first();
        reduced = imaging::Image::fromBitmap(
            choice.PixelDepth > 8
                ? imaging::colorRes(first, choice.PixelDepth, 0, 0, 0)
                : imaging::colorRes(first, choice.PixelDepth, choice.ColorPalette, choice.DitheringMethod, s.colorCount));
        reduced.frames.front().delay = input.frames.front().delay;
    }
    if (choice.Format == save_format::Gif && transparency.on && !s.multiPage) {
        // The entry nearest to the Original's transparent colour, unless the reduction kept
        // the transparent pixels an entry of their own already.
        imaging::Bitmap& bmp = reduced.first();
        if (!(bmp.transparent() && imaging::isPaletteReference(bmp.transparentColor())) && bmp.isIndexed()) {
            const int best = imaging::codec::nearestPaletteIndex(bmp.palette(), 1 << bmp.bits(), transparency.color);
            bmp.setTransparent(true);
            bmp.setTransparentColor(imaging::kPaletteReference + static_cast<imaging::Rgb>(best));
        }
    }
    imaging::SaveOptions save;
    save.format = s.formatNumber;
    save.bits = s.bitsPerPixel;
    save.qualityFactor = s.qualityFactor;
    save.passes = s.passes;
    save.interlaced = s.interlaced;
    save.multiPage = s.multiPage;
    save.fastJpeg = encoding.fastJpeg;
    if (encoding.targetSsim > 0 && !s.multiPage) {
        // The quality target replaces the profile's quality or colour count; a transparent GIF
        // keeps its settings (the search does not place the transparent entry).
        if (imaging::budgetByQuality(save.format))
            return imaging::fitQualityToSsim(input.first(), reduced.first(), save, encoding.targetSsim).encoded;
        if (imaging::budgetByColours(save.format) && choice.PixelDepth <= 8 &&
            choice.ColorPalette == imaging::palette_kind::Optimized && !transparency.on)
            return imaging::fitColoursToSsim(input.first(), save, encoding.targetSsim, choice.DitheringMethod).encoded;
    }
    return imaging::saveMemory(reduced, save);
}

}  // namespace

OptimisedFile optimiseFile(const imaging::Bytes& data, const OptimizeProfile& profile, const BatchEncodeOptions& encoding) {
    const imaging::ImageInfo info = imaging::readInfo(data);
    // As a document opens a file: an animation is an animated GIF, kept with its frames; of any
    // other file only the first page is read (a TIFF's further pages would only cost memory).
    const bool animation = info.animated || (info.pages > 1 && info.format == imaging::format::Gif);
    imaging::LoadOptions load;
    if (!animation) load.pageCount = 1;
    const imaging::Image input = imaging::loadMemory(data, load);

    OriginalTraits traits;
    traits.infoBits = info.bits;
    traits.animatedGif = animation;
    traits.animated = traits.animatedGif;
    if (NeedsColorCount(profile, traits)) traits.colorCount = static_cast<int>(input.first().uniqueColorCount());
    traits.transparency = TransparencyOf(input.first());
    KeenfitChoice choice = ChooseVariationSettings(profile, traits);
    const Transparency transparency = transparencyOf(input.first());

    OptimisedFile result;
    if (choice.CompareGifAndJpeg) {
        KeenfitChoice jpeg = choice;
        SettleFormat(jpeg, save_format::Jpeg);
        imaging::Bytes jpegBytes = encode(input, jpeg, transparency, encoding);
        SettleFormat(choice, save_format::Gif);
        imaging::Bytes gifBytes = encode(input, choice, transparency, encoding);
        if (SmallerFormat(static_cast<std::int64_t>(gifBytes.size()), static_cast<std::int64_t>(jpegBytes.size())) ==
            save_format::Jpeg) {
            choice = jpeg;
            result.encoded = std::move(jpegBytes);
        } else {
            result.encoded = std::move(gifBytes);
        }
    } else {
        result.encoded = encode(input, choice, transparency, encoding);
    }
    const bool gif = choice.Format == save_format::Gif, png = choice.Format == save_format::Png;
    result.extension = gif ? "gif" : png ? "png" : "jpg";
    result.formatName = gif ? "GIF" : png ? "PNG" : "JPEG";
    result.keptTransparency = choice.KeptTransparency;

    const imaging::Image decoded = imaging::loadMemory(result.encoded);
    const imaging::Bitmap& shown = decoded.first();
    result.psnr = shown.width() == input.first().width() && shown.height() == input.first().height()
                      ? imaging::psnrRgb(input.first(), shown)
                      : std::numeric_limits<double>::quiet_NaN();
    return result;
}

}  // namespace kalmira::cli
