// Save options of a Variation and writing a Variation to a file.
#include <QEventLoop>
#include <QPointer>

#include <algorithm>
#include <filesystem>

#include "codecs/registry.h"
#include "core/error.h"
#include "document/documenthost.h"
#include "document/documentrules.h"
#include "document/frmdocument.h"
#include "settings/qualityoptions.h"

namespace kalmira {

imaging::ImageControl::EmbeddingSettings EmbeddingFor(const imaging::ImageNotes& original, const QualityOptionsRecord& quality) {
    imaging::ImageControl::EmbeddingSettings settings;
    // The profile the Original was converted from goes back into the file, pixels converted
    // into it; without one the Original is sRGB and the file stays plain.
    if (quality.KeepProfile) settings.iccProfile = original.iccProfile;
    if (quality.KeepAuthor) {
        settings.author = original.author;
        settings.copyright = original.copyright;
    }
    return settings;
}

const SaveOptions& frmDocument::HoleSpeicherOptionen(int index) {
    checkVariation(index);
    VariationRecord& r = records_[static_cast<std::size_t>(index)];
    imaging::ImageControl& picture = *pictures_[static_cast<std::size_t>(index)];
    SaveOptions options;
    // The colour box's own reading rule: what it keeps as typed is what is encoded.
    options.ColorCount = r.ColorPalette == 2 ? ColorLimitOf(r.MaxColorsText) : 0;
    options.BitsPerPixel = r.PixelDepth;

    // The compression boxes are read from the tools window as they are now, but they belong to
    // the Variation it shows: every other Variation (one re-encoded after the Original changed)
    // keeps the choice its record holds.
    ToolsHost* tools = toolsHost();
    const bool boxesShowThis = tools && index == FindeSelektierteGrafik() && tools->ShowsDocument(*this);
    const bool bmpCompressed = boxesShowThis ? tools->IsBMPCompressedChecked() : r.BMPCompressed == 1;
    const bool tiffCompressed = boxesShowThis ? tools->IsTIFFCompressedChecked() : r.TIFFCompressed == 1;
    bool known = true;
    options.FormatNumber = EngineFormatNumber(r, bmpCompressed, tiffCompressed, known);
    // Interlacing and progressive passes are options of one format each; the picture keeps
    // them between encodings, so a format without the control must not inherit them.
    picture.SetInterlaced(r.Format == save_format::Gif && r.GIFInterlaced);
    picture.SetProgressivePasses(r.Format == save_format::Jpeg && r.JPEGProgressive == 1 ? r.JPEGPasses : 0);
    picture.SetFastJpeg(!QualityOptions().SmallJpeg);
    switch (r.Format) {
    case save_format::Gif: break;
    case save_format::Jpeg:
        options.QualityFactor = r.JPEGQFactor;
        options.BitsPerPixel = r.JPEGGrayscale == 1 ? 8 : 24;
        break;
    case save_format::Png:
        // A chosen colour becomes transparent; without one the picture keeps the transparency
        // the Original has.
        if (r.PNGTransparent) {
            picture.SetTransparent(true);
            picture.SetTransparentColor(r.PNGTransparentColor);
        }
        break;
    case save_format::Webp:
    case save_format::Avif:
        picture.SetWebSettings({r.WebQuality, r.WebLossless, r.WebEffort});
        break;
    default: break;
    }
    picture.SetEmbedding(EmbeddingFor(pictures_[0]->Notes(), QualityOptions()));
    if (!known) showMessage(5404, true);
    if (options.FormatNumber != imaging::format::Gif) r.GIFAnimated = false;
    saveOptions_ = options;
    return saveOptions_;
}

int frmDocument::SaveVariationFile(int index, const QString& fileName) {
    checkVariation(index);
    if (UpdatePending(index)) {
        // The file is the encoding the Variation's settings make: while it is being made, the
        // save waits for it (the event loop runs on) instead of encoding the picture shown,
        // which would be the previous encoding encoded once more.
        QPointer<frmDocument> alive(this);
        QEventLoop loop;
        bool in = false;
        WhenTakenIn(index, [&] {
            in = true;
            loop.quit();
        });
        if (!in) {
            const QMetaObject::Connection gone = connect(this, &QObject::destroyed, &loop, &QEventLoop::quit);
            const QMetaObject::Connection stopped = connect(this, &frmDocument::UpdatesFinished, &loop, &QEventLoop::quit);
            loop.exec();
            if (!alive) return static_cast<int>(imaging::ErrorCode::Cancelled);
            disconnect(gone);
            disconnect(stopped);
        }
        // Closed meanwhile: nothing is written.
        if (!in) return static_cast<int>(imaging::ErrorCode::Cancelled);
    }
    imaging::ImageControl& picture = picCompress(index);
    // The animation stops while the frames are written and plays on however the save ends.
    struct AnimationResume {
        imaging::ImageControl& picture;
        bool was;
        ~AnimationResume() { picture.SetAnimationEnable(was); }
    } resume{picture, picture.AnimationEnable()};
    picture.SetAnimationEnable(false);
    const SaveOptions options = HoleSpeicherOptionen(index);
    const bool multiPage = GetVariationAnimation(index) && options.FormatNumber == imaging::format::Gif;
    if (multiPage) {
        imaging::ImageControl& original = picOriginal();
        picture.SetAnimationBackColor(original.AnimationBackColor());
        picture.SetAnimationHeight(original.AnimationHeight());
        picture.SetAnimationLoop(original.AnimationLoop());
        picture.SetAnimationWidth(original.AnimationWidth());
    }
    int result = 0;
    if (options.FormatNumber == 0)
        result = static_cast<int>(imaging::ErrorCode::UnknownFormat);
    else if (multiPage || !writeEncodingAsIs(index, options, fileName, result))
        result = picture.Save(fileName, options.FormatNumber, options.BitsPerPixel, options.QualityFactor, multiPage);
    FuelleReiterVariation(index);
    return result;
}

bool frmDocument::writeEncodingAsIs(int index, const SaveOptions& options, const QString& fileName, int& result) {
    const VariationRecord& r = records_[static_cast<std::size_t>(index)];
    const EncodedWith& with = encodedWith_[static_cast<std::size_t>(index)];
    const imaging::ImageControl& picture = *pictures_[static_cast<std::size_t>(index)];
    const bool current = with.valid && r.MemHandle && r.MemFileSize > 0 &&
                         encodedFrom_[static_cast<std::size_t>(index)] == pictures_[0]->ContentVersion() + 1 &&
                         with.options.FormatNumber == options.FormatNumber &&
                         with.options.BitsPerPixel == options.BitsPerPixel &&
                         with.options.QualityFactor == options.QualityFactor &&
                         with.options.ColorCount == options.ColorCount && with.interlaced == picture.Interlaced() &&
                         with.passes == picture.ProgressivePasses() && with.web == picture.WebSettings() &&
                         with.embedding == picture.Embedding() &&
                         with.shown == picture.ContentVersion();
    if (!current) return false;
    // Through the engine's one writer, as every file the program or the command line writes:
    // a full disk leaves the previous file whole and says so, a device or a pipe takes the
    // bytes itself instead of being replaced by a file.
    const auto size = static_cast<std::size_t>(std::min<std::int64_t>(r.MemFileSize, static_cast<std::int64_t>(r.MemHandle->data.size())));
    imaging::ImageControl& target = *pictures_[static_cast<std::size_t>(index)];
    try {
        imaging::writeFileAtomically(std::filesystem::path(fileName.toStdU16String()), imaging::ByteView(r.MemHandle->data.data(), size));
        result = 0;
    } catch (const imaging::Error& e) {
        target.SetLastErrorText(QString::fromStdString(e.what()));
        result = e.number();
    }
    return true;
}

}  // namespace kalmira
