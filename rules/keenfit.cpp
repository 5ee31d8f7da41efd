#include "rules/keenfit.h"

#include <algorithm>
#include <cmath>

#include "core/codec.h"
#include "quality/transparency.h"

namespace kalmira {

int GifDepthForColorCount(int colorCount) {
    if (colorCount <= 2) return 1;
    return static_cast<int>(std::log(static_cast<double>(colorCount - 1)) / std::log(2.0)) + 1;
}

Transparency TransparencyOf(const imaging::Bitmap& picture) {
    if (!imaging::hasTransparency(picture)) return Transparency::None;
    return picture.bits() == 32 ? Transparency::Alpha : Transparency::Keyed;
}

int SmallerFormat(std::int64_t gifSize, std::int64_t jpegSize) {
    return gifSize > jpegSize ? save_format::Jpeg : save_format::Gif;
}

namespace {

int firstFormat(const OptimizeProfile& p, const OriginalTraits& original) {
    switch (p.FileFormat) {
    case kProfileAlwaysJpeg: return save_format::Jpeg;
    case kProfileByColorDepth: return original.infoBits <= 8 ? save_format::Gif : save_format::Jpeg;
    default: return save_format::Gif;  // "Smallest file size" starts as GIF
    }
}

}  // namespace

bool NeedsColorCount(const OptimizeProfile& p, const OriginalTraits& original) {
    return !original.animatedGif && firstFormat(p, original) == save_format::Gif && p.GIFColorPalette != 64 &&
           p.GIFColorPalette != 16;
}

KeenfitChoice ChooseVariationSettings(const OptimizeProfile& p, const OriginalTraits& original) {
    KeenfitChoice c;
    c.Format = firstFormat(p, original);

    if (original.animatedGif) {
        c.PixelDepth = original.infoBits;
    } else if (c.Format == save_format::Jpeg) {
        c.PixelDepth = 24;
    } else {
        c.PixelDepth = GifDepthForColorCount(original.colorCount);
        if (p.GIFColorPalette == 64 || p.GIFColorPalette == 16) c.PixelDepth = 8;
    }
    if (p.GIFMaxPixelDepth < c.PixelDepth) c.PixelDepth = p.GIFMaxPixelDepth;
    c.DitheringMethod = p.GIFDitheringMethod;
    c.MaxColors = p.GIFMaxColors;
    c.ColorPalette = p.GIFColorPalette;
    c.GIFInterlaced = p.GIFInterlaced != 0;
    c.GIFAnimated = original.animatedGif;
    c.JPEGQFactor = 256 - p.JPEGQuality;
    c.JPEGProgressive = p.JPEGProgressive;
    c.JPEGPasses = p.JPEGPasses;
    c.JPEGGrayscale = p.JPEGGrayscale;
    c.JPEGYUV_Color = p.JPEGYUV_Color;

    c.CompareGifAndJpeg = p.FileFormat == kProfileSmallestFile && !original.animated;
    // JPEG drops every kind of transparency, GIF an alpha channel's: such an Original gets GIF
    // when the profile offers it and GIF keeps it, else 32-bit PNG. A transparent animation
    // stays an animated GIF whatever the profile says: a PNG would show one frame of it.
    const bool gifKeeps = (original.transparency == Transparency::Keyed && p.FileFormat != kProfileAlwaysJpeg) ||
                          original.animatedGif;
    if (original.transparency != Transparency::None) {
        c.CompareGifAndJpeg = false;
        c.KeptTransparency = gifKeeps ? c.Format != save_format::Gif : true;
        if (gifKeeps) {
            if (c.Format != save_format::Gif) {
                // "By colour depth" on a true-colour picture with a transparent colour.
                c.Format = save_format::Gif;
                if (!original.animatedGif) c.PixelDepth = std::min<int>(8, p.GIFMaxPixelDepth);
            }
        } else {
            c.Format = save_format::Png;
        }
    }
    if (!c.CompareGifAndJpeg) SettleFormat(c, c.Format);
    return c;
}

void SettleFormat(KeenfitChoice& choice, int format) {
    choice.Format = format;
    choice.CompareGifAndJpeg = false;
    if (format == save_format::Png && choice.KeptTransparency) choice.PixelDepth = 32;
    else if (format != save_format::Gif) choice.PixelDepth = 24;
}

int EngineFormatNumber(int format, int jpegYuv, bool bmpWindows, bool bmpCompressed, bool tiffCompressed,
                       bool& known) {
    namespace f = imaging::format;
    known = true;
    switch (format) {
    case save_format::Gif: return f::Gif;
    case save_format::Jpeg:
        if (jpegYuv == 1) return f::Jpeg422;
        if (jpegYuv == 2) return f::Jpeg411;
        return f::Jpeg444;
    case save_format::Png: return f::Png;
    case save_format::Bmp:
        if (!bmpWindows) return f::BmpOs2;
        return bmpCompressed ? f::BmpRle : f::BmpWindows;
    case save_format::Eps: return f::Eps;
    case save_format::GemImage: return f::GemImage;
    case save_format::MacPaint: return f::MacPaint;
    case save_format::MsPaint: return f::MsPaint;
    case save_format::Pict: return f::Pict;
    case save_format::Pcx: return f::Pcx;
    case save_format::Psd: return f::Psd;
    case save_format::SunRaster: return f::SunRaster;
    case save_format::Tga: return f::Tga;
    case save_format::Tiff: return tiffCompressed ? f::TiffCompressed : f::TiffUncompressed;
    case save_format::Wmf: return f::Wmf;
    case save_format::Wpg: return f::Wpg;
    case save_format::Webp: return f::Webp;
    case save_format::Avif: return f::Avif;
    default: known = false; return 0;
    }
}

EngineSaveSettings SaveSettingsFor(const KeenfitChoice& c) {
    EngineSaveSettings s;
    bool known = true;
    s.formatNumber = EngineFormatNumber(c.Format, c.JPEGYUV_Color, true, false, true, known);
    s.bitsPerPixel = c.PixelDepth;
    s.colorCount = c.ColorPalette == 2 ? std::max(0, c.MaxColors) : 0;
    if (c.Format == save_format::Jpeg) {
        s.qualityFactor = c.JPEGQFactor;
        s.bitsPerPixel = c.JPEGGrayscale == 1 ? 8 : 24;
        s.passes = c.JPEGProgressive == 1 ? c.JPEGPasses : 0;
    }
    if (c.Format == save_format::Gif) {
        s.interlaced = c.GIFInterlaced;
        s.multiPage = c.GIFAnimated;
    }
    return s;
}

}  // namespace kalmira
