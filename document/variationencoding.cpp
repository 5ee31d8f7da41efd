// Encoding a Variation, decoding it back for display, and measuring what it costs.
#include <QGroupBox>
#include <QLabel>

#include <algorithm>
#include <mutex>
#include <optional>

#include "core/error.h"
#include "document/documenthost.h"
#include "document/documentrules.h"
#include "document/frmdocument.h"
#include "document/repaintpause.h"
#include "document/transparententry.h"
#include "settings/programoptions.h"
#include "settings/qualityoptions.h"
#include "common/errortrap.h"
#include "common/globals.h"
#include "common/routines.h"
#include "common/texts.h"

namespace kalmira {

namespace {

// Removes the temporary file however the round trip ends.
class TempFileGuard {
public:
    explicit TempFileGuard(QString name) : name_(std::move(name)) {}
    ~TempFileGuard() {
        try {
            DeleteTempFile(name_);
        } catch (...) {
        }
    }
    TempFileGuard(const TempFileGuard&) = delete;
    TempFileGuard& operator=(const TempFileGuard&) = delete;

private:
    QString name_;
};

bool takesPart(const VariationRecord& r, int index) {
    if (MainWindowHost* host = mainWindowHost()) return host->IsVariationTogglePressed(index);
    return r.Displayed;
}

}  // namespace

void frmDocument::AktualisiereVariation(int AktVariation) { AktualisiereVariationen({AktVariation}); }

void frmDocument::updateOnWindowThread(int AktVariation) {
    // The one-at-a-time update of the window's thread, which the asynchronous one is compared with.
    if (!ApplyReady || AktVariation <= 0) return;
    Guarded([&] {
        checkVariation(AktVariation);
        const int i = AktVariation;
        VariationRecord& r = records_[static_cast<std::size_t>(i)];
        QGroupBox* frame = frames_[static_cast<std::size_t>(i)];
        if (!takesPart(r, i)) {
            frame->hide();
            // The others may have been compared with it.
            RefreshDifference(i);
            return;
        }
        frame->show();
        if (UpdateBusy) return;
        UpdateBusy = true;
        struct BusyReset {
            ~BusyReset() { UpdateBusy = false; }
        } busyReset;

        InitialisiereVariation(i);
        // The format choice may have left this Variation's final encoding in place already.
        if (freshlyEncoded_ == i)
            freshlyEncoded_ = 0;
        else
            SpeichernLadenVariation(i);
        // Filling the tools window measures the Variation too.
        if (isFrameSelected(frame))
            FuelleReiterVariation(i);
        else
            AktualisiereMemInfo(i);
        pictures_[static_cast<std::size_t>(i)]->ForceRepaint();
        // The palette window shows the selected picture: a Variation encoded while another
        // picture is selected must not take its place there.
        if (PaletteHost* palette = paletteHost(); palette && isFrameSelected(frame))
            palette->DisplayPalette(*pictures_[static_cast<std::size_t>(i)]);
    });
}

void frmDocument::bringOriginalInto(int index) {
    const VariationRecord& r = records_[static_cast<std::size_t>(index)];
    imaging::ImageControl& original = *pictures_[0];
    imaging::ImageControl& target = *pictures_[static_cast<std::size_t>(index)];
    // A custom palette (the palette editor's, or the colours the Variation had when Custom was
    // chosen) belongs to the Variation, not to the picture that is replaced here.
    const std::vector<imaging::Rgb> userPalette = target.Bitmap().userPalette();
    struct KeepUserPalette {
        imaging::ImageControl& target;
        const std::vector<imaging::Rgb>& colors;
        ~KeepUserPalette() {
            for (int j = 0; j < static_cast<int>(colors.size()); ++j) target.SetUserPalette(j, colors[static_cast<std::size_t>(j)]);
        }
    } keep{target, userPalette};
    if (r.GIFAnimated) {
        target.CopyPicturesFrom(original);
        if (r.PlayAnimation) {
            target.SetAnimationEnable(true);
        } else {
            target.SetAnimationEnable(false);
            target.SetBitmapListIndex(r.ImageNumber);
        }
    } else if (originalAnimated_) {
        const bool wasAnimating = original.AnimationEnable();
        original.SetAnimationEnable(false);
        original.SetBitmapListIndex(r.ImageNumber);
        target.SetBitmapList({});
        target.SetBitmap(original.Bitmap());
        original.SetAnimationEnable(wasAnimating);
    } else {
        target.SetBitmapList({});
        target.SetBitmap(original.Bitmap());
    }
}

void frmDocument::reduceColours(int index, const SaveOptions& options) {
    const VariationRecord& r = records_[static_cast<std::size_t>(index)];
    imaging::ImageControl& target = *pictures_[static_cast<std::size_t>(index)];
    int result = 0;
    if (r.GIFAnimated) {
        // Every frame with one palette; the shown bitmap is then the reduced frame.
        result = target.ColorResList(r.PixelDepth, r.ColorPalette, r.DitheringMethod, options.ColorCount);
        if (result == 0 && target.BitmapListCount() > 0)
            target.SetBitmapListIndex(target.BitmapListIndex());
        else if (result == 0)
            result = target.ColorRes(r.PixelDepth, r.ColorPalette, r.DitheringMethod, options.ColorCount);
    } else if (r.PixelDepth > 8) {
        result = target.ColorRes(r.PixelDepth, 0, 0, 0);
    } else if (const PaletteEdit* edit = paletteEdit(index)) {
        // An edited palette: the pixels take their entries by the colours before the edit and
        // show the edited ones, so the edited entry appears where it stood.
        const std::vector<imaging::Rgb> edited = edit->edited;
        for (std::size_t j = 0; j < edit->base.size(); ++j) target.SetUserPalette(static_cast<int>(j), edit->base[j]);
        result = target.ColorRes(r.PixelDepth, r.ColorPalette, r.DitheringMethod, options.ColorCount);
        if (result == 0) {
            const std::size_t entries = target.Bitmap().palette().size();
            for (std::size_t j = 0; j < entries && j < edited.size(); ++j)
                target.SetBitmapPalette(static_cast<int>(j), edited[j]);
        }
        for (std::size_t j = 0; j < edited.size(); ++j) target.SetUserPalette(static_cast<int>(j), edited[j]);
    } else {
        result = target.ColorRes(r.PixelDepth, r.ColorPalette, r.DitheringMethod, options.ColorCount);
    }
    if (result != 0) throw imaging::Error(static_cast<imaging::ErrorCode>(result), target.LastErrorText().toStdString());
}

void frmDocument::ShowInEditedColours(imaging::Bitmap& bitmap, const std::vector<imaging::Rgb>& edited) {
    std::vector<imaging::Rgb>& palette = bitmap.palette();
    for (std::size_t j = 0; j < palette.size() && j < edited.size(); ++j) palette[j] = edited[j];
    bitmap.userPalette() = edited;
}

int frmDocument::reservedTransparentEntry(int index, imaging::Rgb wanted) const {
    // The colour reduction gives the source's transparent pixels an entry of their own, even
    // when an opaque entry has the same colour. That entry, not the first one of the colour, is
    // the one meant while the wanted colour is the source's transparent colour (or the entry's).
    const imaging::ImageControl& target = *pictures_[static_cast<std::size_t>(index)];
    int entry = transparentEntryOf(target.Bitmap());
    for (const imaging::Frame& frame : target.BitmapList()) {
        if (entry >= 0) break;
        entry = transparentEntryOf(frame.bitmap);
    }
    if (entry < 0) return -1;
    wanted &= 0xFFFFFF;
    if ((target.BitmapPalette(entry) & 0xFFFFFF) == wanted) return entry;
    const imaging::ImageControl& original = *pictures_[0];
    if (transparentColourOf(original.Bitmap()) == wanted) return entry;
    for (const imaging::Frame& frame : original.BitmapList())
        if (transparentColourOf(frame.bitmap) == wanted) return entry;
    return -1;
}

void frmDocument::snapTransparentColour(int index) {
    VariationRecord& r = records_[static_cast<std::size_t>(index)];
    imaging::ImageControl& target = *pictures_[static_cast<std::size_t>(index)];
    const bool wasAnimating = target.AnimationEnable();
    target.SetAnimationEnable(false);
    const int reserved = r.GIFTransparent ? reservedTransparentEntry(index, r.GIFTransparentColor) : -1;
    target.SetTransparent(r.GIFTransparent);
    if (reserved >= 0) {
        // The record keeps the colour the user sees; the entry is marked by its index.
        target.SetTransparentColor(imaging::kPaletteReference + static_cast<imaging::Rgb>(reserved));
    } else if (r.GIFTransparent) {
        const int entry = NearestPaletteIndex([&](int j) { return target.BitmapPalette(j); }, r.PalettePixelDepth,
                                              r.GIFTransparentColor);
        r.GIFTransparentColor = target.BitmapPalette(entry);
        // The control gets the entry itself: a palette may hold the same colour twice, and
        // the writer must mark the entry the search chose.
        target.SetTransparentColor(imaging::kPaletteReference + static_cast<imaging::Rgb>(entry));
    }
    target.SetAnimationEnable(wasAnimating);
}

void frmDocument::roundTripThroughTempFile(int index, const SaveOptions& options) {
    imaging::ImageControl& original = *pictures_[0];
    imaging::ImageControl& target = *pictures_[static_cast<std::size_t>(index)];
    target.SetAnimationBackColor(original.AnimationBackColor());
    target.SetAnimationHeight(original.AnimationHeight());
    target.SetAnimationLoop(original.AnimationLoop());
    target.SetAnimationWidth(original.AnimationWidth());
    const QString temp = CreateTempFileName();
    TempFileGuard removeTemp(temp);
    // All frames go to the file: a single-frame round trip would show a still picture for an
    // animated Variation.
    if (target.Save(temp, options.FormatNumber, options.BitsPerPixel, options.QualityFactor, true) != 0)
        showMessage(5407);
    if (target.Load(temp, 0, 0, -1) != 0) showMessage(5408);
    target.FileInfo(temp, 0);
}

bool frmDocument::encodeIntoMemory(int index, const SaveOptions& options, std::int64_t sizeLimit) {
    VariationRecord& r = records_[static_cast<std::size_t>(index)];
    imaging::ImageControl& target = *pictures_[static_cast<std::size_t>(index)];
    r.MemHandle.reset();
    r.MemFileSize = 0;
    const int result = target.SaveMemory(r.MemHandle, options.FormatNumber, options.BitsPerPixel,
                                         options.QualityFactor, r.MemFileSize, sizeLimit);
    if (result == static_cast<int>(imaging::ErrorCode::SizeLimit)) return false;
    if (result != 0) {
        showMessage(5405);
        return false;
    }
    return true;
}

void frmDocument::decodeFromMemory(int index, const SaveOptions& options) {
    VariationRecord& r = records_[static_cast<std::size_t>(index)];
    imaging::ImageControl& target = *pictures_[static_cast<std::size_t>(index)];
    const bool decoded = target.LoadMemory(*r.MemHandle, 0, 0, 1, r.MemFileSize) == 0;
    if (!decoded) showMessage(5406);
    target.MemoryInfo(*r.MemHandle, 0, r.MemFileSize);
    if (decoded)
        encodedWith_[static_cast<std::size_t>(index)] = {true, options, target.Interlaced(),
                                                         target.ProgressivePasses(), target.WebSettings(),
                                                         target.ContentVersion(), target.Embedding()};
}

void frmDocument::roundTripThroughMemory(int index, const SaveOptions& options) {
    if (encodeIntoMemory(index, options, 0)) decodeFromMemory(index, options);
}

SaveOptions frmDocument::prepareEncoding(int index, bool& wasAnimating) {
    bringOriginalInto(index);
    // The copy's animation (as the Variation plays it) resumes once the encoding is shown.
    imaging::ImageControl& target = *pictures_[static_cast<std::size_t>(index)];
    wasAnimating = target.AnimationEnable();
    target.SetAnimationEnable(false);
    const SaveOptions options = HoleSpeicherOptionen(index);
    reduceColours(index, options);
    if (records_[static_cast<std::size_t>(index)].Format == save_format::Gif) snapTransparentColour(index);
    return options;
}

void frmDocument::SpeichernLadenVariation(int AktVariation, bool notTemporaer) {
    (void)notTemporaer;
    checkVariation(AktVariation);
    const int i = AktVariation;
    imaging::ImageControl& target = *pictures_[static_cast<std::size_t>(i)];
    RepaintPause pause(target);
    encodedWith_[static_cast<std::size_t>(i)].valid = false;
    bool wasAnimating = false;
    const SaveOptions options = prepareEncoding(i, wasAnimating);
    if (records_[static_cast<std::size_t>(i)].GIFAnimated)
        roundTripThroughTempFile(i, options);
    else
        roundTripThroughMemory(i, options);
    encodedFrom_[static_cast<std::size_t>(i)] = pictures_[0]->ContentVersion() + 1;
    target.SetAnimationEnable(wasAnimating);
}

imaging::RoundTripWork frmDocument::detachEncoding(int index, SaveOptions& options,
                                                   std::shared_ptr<const imaging::Bitmap> source,
                                                   std::shared_ptr<imaging::Rgb> chosenColour,
                                                   std::shared_ptr<MeasuredQuality> quality) {
    // SpeichernLadenVariation up to the reduction, for a still Variation: the save settings go
    // into the picture, and the work leaves with them and the Original's picture to start from.
    // The picture itself keeps showing its last encoding meanwhile.
    checkVariation(index);
    imaging::ImageControl& target = *pictures_[static_cast<std::size_t>(index)];
    encodedWith_[static_cast<std::size_t>(index)].valid = false;
    const VariationRecord& r = records_[static_cast<std::size_t>(index)];
    if (originalAnimated_) {
        // The frame the Variation shows, as bringOriginalInto picks it.
        imaging::ImageControl& original = *pictures_[0];
        const bool wasAnimating = original.AnimationEnable();
        original.SetAnimationEnable(false);
        original.SetBitmapListIndex(r.ImageNumber);
        source = std::make_shared<const imaging::Bitmap>(original.Bitmap());
        original.SetAnimationEnable(wasAnimating);
    }
    target.SetAnimationEnable(false);
    options = HoleSpeicherOptionen(index);
    const bool paletted = r.PixelDepth <= 8;
    // An edited palette is matched as reduceColours matches it.
    std::vector<imaging::Rgb> edited;
    if (const PaletteEdit* edit = paletted ? paletteEdit(index) : nullptr) {
        edited = edit->edited;
        for (std::size_t j = 0; j < edit->base.size(); ++j) target.SetUserPalette(static_cast<int>(j), edit->base[j]);
    }
    imaging::RoundTripWork work = target.PrepareRoundTrip(source, r.PixelDepth, paletted ? r.ColorPalette : 0,
                                                          paletted ? r.DitheringMethod : 0, paletted ? options.ColorCount : 0,
                                                          options.FormatNumber, options.BitsPerPixel, options.QualityFactor);
    if (r.Format == save_format::Gif) work.afterReduction = transparencyStep(index, std::move(chosenColour));
    if (r.Format == save_format::Png && r.PNGTransparent) work.transparencyBefore = std::pair{true, r.PNGTransparentColor};
    if (!edited.empty()) {
        work.afterReduction = [edited, next = std::move(work.afterReduction)](imaging::Bitmap& reduced) {
            ShowInEditedColours(reduced, edited);
            if (next) next(reduced);
        };
    }
    if (quality && QualityOptions().QualityNumbers && !originalAnimated_ && !r.GIFAnimated) {
        // The caption's quality numbers, measured by the worker against the Original's picture
        // it started from; the outcome is used only if the Original still has that content.
        quality->originalVersion = pictures_[0]->ContentVersion();
        work.afterDecoding = [source, quality](const imaging::Bitmap& shown) {
            if (!source->empty() && source->width() == shown.width() && source->height() == shown.height())
                quality->score = imaging::measureQuality(*source, shown);
            quality->measured = true;
        };
    }
    return work;
}

std::function<void(imaging::Bitmap&)> frmDocument::transparencyStep(int index,
                                                                    std::shared_ptr<imaging::Rgb> chosenColour) const {
    // snapTransparentColour for a picture without frames, on values taken now: the worker
    // thread that runs it sees neither the controls nor the record.
    const VariationRecord& r = records_[static_cast<std::size_t>(index)];
    const imaging::ImageControl& original = *pictures_[0];
    std::vector<std::optional<imaging::Rgb>> originalColours{transparentColourOf(original.Bitmap())};
    for (const imaging::Frame& frame : original.BitmapList()) originalColours.push_back(transparentColourOf(frame.bitmap));
    const bool transparent = r.GIFTransparent;
    const imaging::Rgb wantedColour = r.GIFTransparentColor;
    const int depth = r.PalettePixelDepth;
    *chosenColour = wantedColour;
    return [=](imaging::Bitmap& bitmap) {
        const auto entryColour = [&bitmap](int j) -> imaging::Rgb {
            const auto& palette = bitmap.palette();
            return j >= 0 && j < static_cast<int>(palette.size()) ? palette[static_cast<std::size_t>(j)] : 0;
        };
        int reserved = -1;
        if (transparent) {
            const int entry = transparentEntryOf(bitmap);
            const imaging::Rgb wanted = wantedColour & 0xFFFFFF;
            const bool named = entry >= 0 && ((entryColour(entry) & 0xFFFFFF) == wanted ||
                                              std::find(originalColours.begin(), originalColours.end(),
                                                        std::optional<imaging::Rgb>(wanted)) != originalColours.end());
            if (named) reserved = entry;
        }
        bitmap.setTransparent(transparent);
        if (reserved >= 0) {
            bitmap.setTransparentColor(imaging::kPaletteReference + static_cast<imaging::Rgb>(reserved));
        } else if (transparent) {
            const int entry = NearestPaletteIndex(entryColour, depth, wantedColour);
            *chosenColour = entryColour(entry);
            bitmap.setTransparentColor(imaging::kPaletteReference + static_cast<imaging::Rgb>(entry));
        }
    };
}

void frmDocument::takeEncodingIn(int index, const SaveOptions& options, imaging::RoundTripWork& work,
                                 const imaging::Rgb* chosenColour, const MeasuredQuality* quality) {
    // What reduceColours, snapTransparentColour and roundTripThroughMemory leave behind, with
    // the same messages and the same exceptions.
    VariationRecord& r = records_[static_cast<std::size_t>(index)];
    imaging::ImageControl& target = *pictures_[static_cast<std::size_t>(index)];
    RepaintPause pause(target);
    if (work.reduceResult != 0) {
        target.SetBitmap(std::move(work.bitmap));
        target.SetLastErrorText(QString::fromStdString(work.reduceError));
        throw imaging::Error(static_cast<imaging::ErrorCode>(work.reduceResult), work.reduceError);
    }
    if (work.afterReductionError) {
        target.SetBitmap(std::move(work.bitmap));
        std::rethrow_exception(work.afterReductionError);
    }
    if (r.Format == save_format::Gif && chosenColour) r.GIFTransparentColor = *chosenColour;
    r.MemHandle.reset();
    r.MemFileSize = 0;
    if (work.saveResult != 0) {
        target.SetBitmap(std::move(work.bitmap));
        target.SetLastErrorText(QString::fromStdString(work.saveError));
        showMessage(5405);
    } else {
        r.MemHandle = std::make_unique<imaging::MemoryBlock>();
        r.MemHandle->data = std::move(work.encoded);
        r.MemFileSize = static_cast<std::int64_t>(r.MemHandle->data.size());
        const bool decoded = work.loadResult == 0;
        if (decoded) {
            target.AdoptDecoded(std::move(work.decoded));
            const imaging::ImageControl& original = *pictures_[0];
            if (quality && quality->measured && quality->originalVersion == original.ContentVersion() && original.HasBitmap())
                quality_[static_cast<std::size_t>(index)] =
                    QualityMemo{true, original.ContentVersion(), target.ContentVersion(), quality->score};
        } else {
            // The worker let the reduced picture go before decoding; it is made again here, as
            // the one-at-a-time update leaves it after a failed decoding.
            bringOriginalInto(index);
            target.SetAnimationEnable(false);
            reduceColours(index, options);
            if (r.Format == save_format::Gif) snapTransparentColour(index);
            target.SetLastErrorText(QString::fromStdString(work.loadError));
            showMessage(5406);
        }
        if (work.infoResult == 0)
            target.SetInfo(work.info);
        else
            target.SetLastErrorText(QString::fromStdString(work.infoError));
        if (decoded)
            encodedWith_[static_cast<std::size_t>(index)] = {
                true, options, work.options.interlaced, work.options.passes,
                imaging::ImageControl::WebSaveSettings{work.options.quality, work.options.lossless, work.options.effort},
                target.ContentVersion(),
                imaging::ImageControl::EmbeddingSettings{work.options.iccProfile, work.options.author, work.options.copyright}};
    }
    encodedFrom_[static_cast<std::size_t>(index)] = pictures_[0]->ContentVersion() + 1;
}

void frmDocument::chooseSmallestFormat(int index) {
    // Encode as JPEG and as GIF and keep the smaller; a tie keeps GIF. Only the sizes decide,
    // so the GIF encoding stops as soon as it outgrows the JPEG, and only the winner is
    // decoded for display. Its encoding stays in place, so the Variation's first update does
    // not encode again.
    VariationRecord& r = records_[static_cast<std::size_t>(index)];
    imaging::ImageControl& target = *pictures_[static_cast<std::size_t>(index)];
    RepaintPause pause(target);
    encodedWith_[static_cast<std::size_t>(index)].valid = false;
    bool wasAnimating = false;
    const int gifDepth = r.PixelDepth;

    r.Format = save_format::Jpeg;
    r.PixelDepth = 24;
    r.PalettePixelDepth = 24;
    const bool jpegEncoded = encodeIntoMemory(index, prepareEncoding(index, wasAnimating), 0);
    std::unique_ptr<imaging::MemoryBlock> jpegBlock = std::move(r.MemHandle);
    const std::int64_t jpegSize = r.MemFileSize;

    r.Format = save_format::Gif;
    r.PixelDepth = gifDepth;
    r.PalettePixelDepth = gifDepth;
    const SaveOptions gifOptions = prepareEncoding(index, wasAnimating);
    const bool gifEncoded = encodeIntoMemory(index, gifOptions, jpegEncoded ? jpegSize : 0);

    if (gifEncoded && (!jpegEncoded || SmallerFormat(r.MemFileSize, jpegSize) == save_format::Gif)) {
        decodeFromMemory(index, gifOptions);
    } else if (jpegEncoded) {
        r.Format = save_format::Jpeg;
        r.PixelDepth = 24;
        r.PalettePixelDepth = 24;
        r.MemHandle = std::move(jpegBlock);
        r.MemFileSize = jpegSize;
        // The picture takes the JPEG's own settings again (its progressive passes) before the
        // encoding is recorded as what it shows.
        decodeFromMemory(index, HoleSpeicherOptionen(index));
    }
    encodedFrom_[static_cast<std::size_t>(index)] = pictures_[0]->ContentVersion() + 1;
    target.SetAnimationEnable(wasAnimating);
    freshlyEncoded_ = index;
}

void frmDocument::AktualisiereMemInfo(int AktVariation) {
    checkIndex(AktVariation);
    if (AktVariation > kVariationCount) return;
    const int i = AktVariation;
    VariationRecord& r = records_[static_cast<std::size_t>(i)];
    imaging::ImageControl& picture = *pictures_[static_cast<std::size_t>(i)];
    if (i > 0 && !r.GIFAnimated && r.MemHandle) picture.MemoryInfo(*r.MemHandle, 0, r.MemFileSize);
    const std::int64_t fileSize = picture.InfoFileSize();
    const std::int64_t memorySize = picture.InfoMemorySize();
    const std::int32_t speed = ProgramOptions().DownloadSpeed;
    const float seconds = DownloadSeconds(fileSize, speed);

    if (isFrameSelected(frames_[static_cast<std::size_t>(i)])) {
        if (MainWindowHost* host = mainWindowHost()) {
            // The panels give the sizes in the default number format: no group separators
            // (the captions below group them).
            host->SetStatusPanelText(QStringLiteral("PanelMemSize"), LoadText(5413) + QLatin1Char(' ') + QString::number(fileSize));
            host->SetStatusPanelText(QStringLiteral("PanelFileSize"), LoadText(5414) + QLatin1Char(' ') + QString::number(memorySize));
            host->SetStatusPanelText(QStringLiteral("PanelDownloadSpeed"), DownloadPanelText(seconds, speed, i == 0 ? 5415 : 5409));
        }
    }
    if (i > 0) {
        labels_[static_cast<std::size_t>(i)]->setText(VariationCaption(
            fileSize, GetGrafikFilterSave(i), picture.InfoBits(), pictures_[0]->InfoFileSize(), seconds,
            QualityCaptionPart(i)));
    } else {
        QString caption = OriginalCaption(fileSize, picture.InfoBits(), seconds);
        if (const std::optional<QPoint> spot = CursorHotSpot()) {
            if (!caption.isEmpty()) caption += QStringLiteral(", ");
            caption += LoadText(6100).arg(spot->x()).arg(spot->y());
        }
        // What reading did to the colours: "Adobe RGB (1998) → sRGB", or why a profile was not used.
        const imaging::ImageNotes& notes = picture.Notes();
        QString colours = QString::fromStdString(notes.colorConversion);
        switch (notes.colorNoteKind) {
        case imaging::NoteKind::Damaged: colours = LoadText(6863); break;
        case imaging::NoteKind::TooLarge: colours = LoadText(6864); break;
        case imaging::NoteKind::WrongSpace: colours = LoadText(6865); break;
        case imaging::NoteKind::None: break;
        }
        if (!colours.isEmpty()) {
            if (!caption.isEmpty()) caption += QStringLiteral(", ");
            caption += colours;
        }
        labels_[0]->setText(caption);
    }
    RefreshDifference(i);
}

void frmDocument::AusfuehrenVariationAenderungen(int AktVariation) {
    Guarded([&] {
        ShowBusyPointer();
        struct PointerReset {
            ~PointerReset() { ShowDefaultPointer(); }
        } pointerReset;
        imaging::ImageControl& target = picCompress(AktVariation);
        const bool wasAnimating = target.AnimationEnable();
        target.SetAnimationEnable(false);
        FuelleStructVariation(AktVariation);
        AktualisiereVariation(AktVariation);
        target.SetAnimationEnable(wasAnimating);
    });
}

}  // namespace kalmira
