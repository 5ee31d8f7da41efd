#include "document/frmdocument.h"

#include <QApplication>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QScrollBar>

#include <cmath>

#include "document/documenthost.h"
#include "qt/palettefile.h"
#include "document/documentlayout.h"
#include "document/documentrules.h"
#include "settings/programoptions.h"
#include "common/apperror.h"
#include "common/errortrap.h"
#include "common/globals.h"
#include "common/routines.h"
#include "common/texts.h"
#include "ui_frmDocument.h"

namespace kalmira {

namespace {

// The error a VB-style array access outside its bounds raises.
constexpr int kSubscriptOutOfRange = 9;
constexpr int kCustomPaletteKind = 16;

const QColor kSelectedCaption(255, 0, 0);
const QColor kUnselectedCaption(0, 0, 0);

frmDocument::MessageFunction& messageFunction() {
    static frmDocument::MessageFunction function;
    return function;
}

}  // namespace

frmDocument::MessageFunction frmDocument::SetMessageFunction(MessageFunction function) {
    MessageFunction previous = std::move(messageFunction());
    messageFunction() = std::move(function);
    return previous;
}

void frmDocument::showMessage(int textId, bool warning) const {
    const QString text = LoadText(textId);
    if (messageFunction()) {
        messageFunction()(text, warning);
        return;
    }
    QMessageBox box(warning ? QMessageBox::Warning : QMessageBox::NoIcon, ApplicationName(), text, QMessageBox::Ok,
                    const_cast<frmDocument*>(this));
    box.exec();
}

frmDocument::frmDocument(QWidget* parent) : QWidget(parent), ui_(std::make_unique<Ui::frmDocument>()) {
    ui_->setupUi(this);
    setupControls();
    connectQualityOptions();

    ShowBusyPointer();
    ui_->lblLoadImage->setText(LoadText(5416));
    // The notice fits its text in either language, and the window starts at the notice's size.
    ui_->lblLoadImage->resize(std::max(ui_->lblLoadImage->width(), ui_->lblLoadImage->sizeHint().width()),
                              ui_->lblLoadImage->height());
    ui_->frameLoadImage->setGeometry(0, 0, ui_->lblLoadImage->width() + 2 * ui_->lblLoadImage->x(),
                                     ui_->frameLoadImage->height());
    ui_->frameLoadImage->raise();
    resize(ui_->frameLoadImage->size());

    ++OpenDocumentCount;
    HoleHaupteinstellungenAusStruct();
    if (OpenDocumentCount == 1) {
        if (MainWindowHost* host = mainWindowHost()) {
            host->ToolbarAktualisieren(true);
            host->FirstDocumentOpened();
        }
    }
    lZoom = ProgramOptions().StandardZoomLevel;
    if (MainWindowHost* host = mainWindowHost()) host->ShowZoom(lZoom);
    ShowDefaultPointer();
}

frmDocument::~frmDocument() {
    // The encodings stop before anything they would report to goes.
    stopUpdates();
    for (imaging::ImageControl* picture : pictures_) picture->SetAnimationEnable(false);
    --OpenDocumentCount;
    if (OpenDocumentCount < 1) {
        if (MainWindowHost* host = mainWindowHost()) {
            host->ToolbarAktualisieren(false);
            host->LastDocumentClosed();
        }
    }
    for (VariationRecord& r : records_) r.MemHandle.reset();
}

void frmDocument::setupControls() {
    pictures_ = {ui_->picOriginal, ui_->picCompress1, ui_->picCompress2,
                 ui_->picCompress3, ui_->picCompress4, ui_->picCompress5};
    frames_ = {ui_->frameOriginal, ui_->FrameCompress1, ui_->FrameCompress2,
               ui_->FrameCompress3, ui_->FrameCompress4, ui_->FrameCompress5};
    labels_ = {ui_->LabelOriginal, ui_->LabelCompress1, ui_->LabelCompress2,
               ui_->LabelCompress3, ui_->LabelCompress4, ui_->LabelCompress5};
    frames_[0]->setTitle(LoadText(5412));
    for (int i = 1; i <= kVariationCount; ++i) frames_[i]->setTitle(LoadText(5400) + QString::number(i));
    for (QLabel* label : labels_) {
        // Only the frame's own caption shows the selection colour, not the statistics in it.
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, QApplication::palette().color(QPalette::WindowText));
        label->setPalette(palette);
    }
    for (int i = 0; i <= kVariationCount; ++i) {
        imaging::ImageControl* picture = pictures_[i];
        picture->SetAutoSize(true);
        picture->SetAutoScroll(true);
        setFrameSelected(frames_[i], i == 0);
        connect(picture, &imaging::ImageControl::clicked, this, [this, i] {
            // The click that picked a transparent colour was on the selected Variation already;
            // selecting it again would refill the tools window from the record and wipe the
            // picked colour before Apply.
            if (std::exchange(pickedColourOn_, 0) == i) return;
            SelektiereGrafik(i);
        });
        // The palette editor follows a click to the entry of the colour under the pointer.
        connect(picture, &imaging::ImageControl::pointerUp, this, [this, i](Qt::MouseButton, Qt::KeyboardModifiers, int x, int y) {
            MainWindowHost* host = mainWindowHost();
            if (PaletteHost* palette = paletteHost(); palette && host && host->IsPaletteWindowChecked())
                Guarded([&] { palette->SetPaletteButton(*pictures_[static_cast<std::size_t>(i)], x, y); });
        });
        if (i > 0) {
            // Picking a transparent colour: a press on another Variation ends the pick mode; the
            // release on the selected one picks the colour under the pointer.
            connect(picture, &imaging::ImageControl::pointerDown, this, [this, i](Qt::MouseButton, Qt::KeyboardModifiers, int, int) {
                pickedColourOn_ = 0;
                const int selected = FindeSelektierteGrafik();
                if (selectTransparentColor_ && i != selected) {
                    if (selected > 0) pictures_[static_cast<std::size_t>(selected)]->unsetCursor();
                    selectTransparentColor_ = false;
                }
            });
            connect(picture, &imaging::ImageControl::pointerUp, this, [this, i](Qt::MouseButton, Qt::KeyboardModifiers, int x, int y) {
                if (!selectTransparentColor_) return;
                Guarded([&] {
                    const imaging::Rgb colour = pictures_[static_cast<std::size_t>(i)]->Pixel(x, y) & 0xFFFFFFu;
                    selectTransparentColor_ = false;
                    pictures_[static_cast<std::size_t>(i)]->unsetCursor();
                    pickedColourOn_ = i;
                    if (ToolsHost* tools = toolsHost()) tools->TransparentColorPicked(colour);
                });
            });
            connect(picture, &imaging::ImageControl::keyDown, this, [this, i](int key, Qt::KeyboardModifiers) {
                // Escape gives up picking a colour.
                if (key != Qt::Key_Escape) return;
                selectTransparentColor_ = false;
                pictures_[static_cast<std::size_t>(i)]->unsetCursor();
            });
        }
        connect(picture, &imaging::ImageControl::scrolled, this, [this, i] {
            // Every picture, and the shared scroll bars, follow the one the user scrolled.
            const QPoint origin = ScrolledPixels(*pictures_[i]);
            ScrollPicturesTo(origin.x(), origin.y());
        });
    }
    // The pictures' shared scroll bars, shown by the layout when the pictures need them.
    hScrollPictures_ = new QScrollBar(Qt::Horizontal, this);
    hScrollPictures_->setObjectName(QStringLiteral("HScrollPictures"));
    vScrollPictures_ = new QScrollBar(Qt::Vertical, this);
    vScrollPictures_->setObjectName(QStringLiteral("VScrollPictures"));
    for (QScrollBar* bar : {hScrollPictures_, vScrollPictures_}) {
        bar->hide();
        bar->setSingleStep(16);
        connect(bar, &QScrollBar::valueChanged, this,
                [this] { ScrollPicturesTo(hScrollPictures_->value(), vScrollPictures_->value()); });
    }
    for (imaging::ImageControl* hidden : {ui_->picOriginal2, ui_->picOriginalFloat, ui_->picOriginalUndo2,
                                          ui_->picPreview, ui_->picBugFix})
        hidden->hide();
    ui_->FrameDeleteColor->hide();
    connectPointerWork();
}

void frmDocument::ShowLoadNotice() {
    ui_->frameLoadImage->show();
    ui_->frameLoadImage->raise();
    // The window is sized to the notice: a window without pictures yet has no size of its own.
    QWidget* frame = parentWidget() ? parentWidget() : this;
    const QSize decoration = frame->size() - size();
    frame->resize(frame->size().expandedTo(ui_->frameLoadImage->size() + decoration));
    // Pending window messages run once, so the window takes its place and the notice is drawn
    // before the first Variations are encoded (which keeps the user-interface thread busy).
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    ui_->frameLoadImage->repaint();
}

imaging::ImageControl& frmDocument::picOriginal() { return *pictures_[0]; }
imaging::ImageControl& frmDocument::picCompress(int variation) {
    checkVariation(variation);
    return *pictures_[static_cast<std::size_t>(variation)];
}
QGroupBox* frmDocument::frameOriginal() const { return frames_[0]; }
QGroupBox* frmDocument::FrameCompress(int variation) const {
    checkVariation(variation);
    return frames_[static_cast<std::size_t>(variation)];
}
QLabel* frmDocument::LabelOriginal() const { return labels_[0]; }
QLabel* frmDocument::LabelCompress(int variation) const {
    checkVariation(variation);
    return labels_[static_cast<std::size_t>(variation)];
}
QFrame* frmDocument::frameLoadImage() const { return ui_->frameLoadImage; }
imaging::ImageControl& frmDocument::picPreview() { return *ui_->picPreview; }
imaging::ImageControl& frmDocument::picOriginal2() { return *ui_->picOriginal2; }
imaging::ImageControl& frmDocument::picOriginalFloat() { return *ui_->picOriginalFloat; }
imaging::ImageControl& frmDocument::picOriginalUndo2() { return *ui_->picOriginalUndo2; }
QFrame* frmDocument::FrameDeleteColor() const { return ui_->FrameDeleteColor; }

void frmDocument::checkIndex(int index) const {
    if (index < 0 || index >= kRecordCount) throw AppError(kSubscriptOutOfRange, QStringLiteral("Subscript out of range"));
}

void frmDocument::checkVariation(int index) const {
    if (index < 1 || index > kVariationCount)
        throw AppError(kSubscriptOutOfRange, QStringLiteral("Subscript out of range"));
}

const VariationRecord& frmDocument::record(int index) const {
    checkIndex(index);
    return records_[static_cast<std::size_t>(index)];
}

VariationRecord& frmDocument::record(int index) {
    checkIndex(index);
    return records_[static_cast<std::size_t>(index)];
}

// --- Selection ---------------------------------------------------------------------------------

void frmDocument::setFrameSelected(QGroupBox* frame, bool selected) {
    QPalette palette = frame->palette();
    palette.setColor(QPalette::WindowText, selected ? kSelectedCaption : kUnselectedCaption);
    frame->setPalette(palette);
    // The selected picture's background turns teal (0xC0C000), the others light grey.
    for (std::size_t k = 0; k < frames_.size(); ++k) {
        if (frames_[k] != frame) continue;
        QPalette background = pictures_[k]->palette();
        background.setColor(QPalette::Window, selected ? QColor(0, 192, 192) : QColor(192, 192, 192));
        pictures_[k]->setPalette(background);
    }
}

bool frmDocument::isFrameSelected(const QGroupBox* frame) const {
    return frame->palette().color(QPalette::WindowText) == kSelectedCaption;
}

int frmDocument::FindeSelektierteGrafik() const {
    if (isFrameSelected(frames_[0])) return 0;
    for (int i = 1; i <= kVariationCount; ++i)
        if (isFrameSelected(frames_[static_cast<std::size_t>(i)])) return i;
    return 0;
}

void frmDocument::SelektiereGrafik(int index) {
    Guarded([&] {
        checkIndex(index);
        if (index > kVariationCount) return;
        MainWindowHost* host = mainWindowHost();
        if (index == 0) {
            selectTransparentColor_ = false;
            for (int i = 1; i <= kVariationCount; ++i) pictures_[static_cast<std::size_t>(i)]->unsetCursor();
            for (int i = 0; i <= kVariationCount; ++i) setFrameSelected(frames_[static_cast<std::size_t>(i)], i == 0);
            AktualisiereMemInfo(0);
            FuelleReiterOriginal();
            if (host) host->EnableSaveCommands(false);
        } else {
            // Filling the tools window must not apply anything back; a fill that fails must not
            // leave every later apply refused either.
            struct ReadyRestore {
                bool was;
                ~ReadyRestore() { ApplyReady = was; }
            } restore{ApplyReady};
            ApplyReady = false;
            for (int i = 0; i <= kVariationCount; ++i)
                setFrameSelected(frames_[static_cast<std::size_t>(i)], i == index);
            FuelleReiterVariation(index);
            if (selectTransparentColor_) pictures_[static_cast<std::size_t>(index)]->setCursor(Qt::CrossCursor);
        }
        if (PaletteHost* palette = paletteHost(); palette && host && host->IsPaletteWindowChecked())
            palette->DisplayPalette(*pictures_[static_cast<std::size_t>(index)]);
    });
}

// --- Setting a document up ------------------------------------------------------------------

bool frmDocument::isAnimatedOriginal() const {
    const imaging::ImageControl& original = *pictures_[0];
    return IsAnimatedImage(original);
}

void frmDocument::InitialisiereGrafik(bool MitInfo) {
    Guarded([&] {
        const ProgramOptionsRecord& options = ProgramOptions();
        mitInfo_ = MitInfo;
        scrollLeft_ = 0;
        scrollTop_ = 0;
        if (MainWindowHost* host = mainWindowHost()) host->SelectRectangleRegionTool();
        selectTransparentColor_ = false;

        const QFileInfo original(originalFileName_);
        const bool onDisk = !originalFileName_.isEmpty() && original.exists();
        for (int i = 1; i <= kVariationCount; ++i) {
            VariationRecord& r = records_[static_cast<std::size_t>(i)];
            r.Displayed = false;
            r.FileName = onDisk ? NameBeforeFirstDot(original.fileName()) : LoadText(5400) + QString::number(i);
            r.FileNameSave.clear();
        }
        lZoom = options.StandardZoomLevel;
        const int initialVariations = std::clamp<int>(options.InitialOpenVariations, 0, kVariationCount);
        if (options.FitToWindow == 1 && options.DisplayOrder == 0) {
            // The pictures must carry the standard zoom before the fit measures them.
            AktualisiereZoomAnzeige();
            DoFitToWindow(*this, true, initialVariations + 1);
        }
        for (int i = 1; i <= initialVariations; ++i) records_[static_cast<std::size_t>(i)].Displayed = true;
        HoleHaupteinstellungenAusStruct();
        AktualisiereZoomAnzeige();
        if (MitInfo) {
            std::vector<int> variations;
            for (int i = 1; i <= initialVariations; ++i) variations.push_back(i);
            AktualisiereVariationen(variations);
        }
        ui_->frameLoadImage->hide();
        OriginalResize();
    });
}

bool frmDocument::needsColourCount(int index) const {
    checkIndex(index);
    const VariationRecord& r = records_[static_cast<std::size_t>(index)];
    if (r.Initialised == 1) return false;
    const imaging::ImageControl& original = *pictures_[0];
    if (colourCountOf_ == original.ContentVersion() + 1) return false;
    const int slot = std::clamp(index, kFirstProfileSlot, kLastProfileSlot);
    OriginalTraits traits;
    traits.infoBits = original.InfoBits();
    traits.animatedGif = mitInfo_ && isAnimatedOriginal();
    traits.animated = mitInfo_ && originalAnimated_;
    return NeedsColorCount(ProgramOptions().Profiles[static_cast<std::size_t>(slot)], traits);
}

void frmDocument::setColourCount(int count, std::uint64_t contentVersion) {
    if (contentVersion != pictures_[0]->ContentVersion()) return;
    colourCount_ = count;
    colourCountOf_ = contentVersion + 1;
}

void frmDocument::InitialisiereVariation(int index) {
    checkIndex(index);
    VariationRecord& r = records_[static_cast<std::size_t>(index)];
    if (r.Initialised == 1) return;
    r.Initialised = 1;
    const int slot = std::clamp(index, kFirstProfileSlot, kLastProfileSlot);
    const OptimizeProfile& p = ProgramOptions().Profiles[static_cast<std::size_t>(slot)];
    imaging::ImageControl& original = *pictures_[0];
    OriginalTraits traits;
    traits.infoBits = original.InfoBits();
    traits.animatedGif = mitInfo_ && isAnimatedOriginal();
    traits.animated = mitInfo_ && originalAnimated_;
    if (NeedsColorCount(p, traits)) {
        // Counted once per content of the Original, not once per Variation: a photo's count
        // takes a while, and the window's thread pays for it.
        if (colourCountOf_ != original.ContentVersion() + 1) {
            colourCount_ = original.ColorCount();
            colourCountOf_ = original.ContentVersion() + 1;
        }
        traits.colorCount = colourCount_;
    }
    traits.transparency = TransparencyOf(original.Bitmap());
    const KeenfitChoice c = ChooseVariationSettings(p, traits);
    r.Format = c.Format;
    r.PixelDepth = c.PixelDepth;
    r.PalettePixelDepth = c.PixelDepth;
    r.DitheringMethod = c.DitheringMethod;
    r.MaxColorsText = QString::number(c.MaxColors);
    r.MaxColors = c.MaxColors;
    r.ColorPalette = c.ColorPalette;
    r.GIFInterlaced = c.GIFInterlaced;
    // A custom palette comes from the profile's palette file, read as the palette editor reads
    // it. A file that cannot be read leaves the Variation its own colours, which the custom
    // kind then keeps.
    if (r.ColorPalette == kCustomPaletteKind && !p.GIFPaletteFileName.empty()) {
        std::vector<imaging::Rgb> colors;
        if (imaging::ReadPaletteFile(QString::fromStdString(p.GIFPaletteFileName), colors) == 0) {
            imaging::ImageControl& picture = *pictures_[static_cast<std::size_t>(index)];
            for (int j = 0; j < static_cast<int>(colors.size()); ++j) picture.SetUserPalette(j, colors[static_cast<std::size_t>(j)]);
        }
    }

    const bool wasAnimating = original.AnimationEnable();
    original.SetAnimationEnable(false);
    r.GIFTransparent = original.Transparent();
    if (r.GIFTransparent) {
        // The transparent colour is normally a palette reference; an RGB value (a true-colour
        // Original) is taken as it is instead of being read as an index.
        const imaging::Rgb transparent = original.TransparentColor();
        r.GIFTransparentColor = imaging::isPaletteReference(transparent)
                                    ? original.BitmapPalette(imaging::paletteIndexOf(transparent))
                                    : (transparent & 0xFFFFFF);
    }
    original.SetAnimationEnable(wasAnimating);

    r.GIFAnimated = c.GIFAnimated;
    r.PlayAnimation = c.GIFAnimated;
    r.ImageNumber = 0;
    r.JPEGQFactor = c.JPEGQFactor;
    r.JPEGProgressive = c.JPEGProgressive;
    r.JPEGPasses = c.JPEGPasses;
    r.JPEGGrayscale = c.JPEGGrayscale;
    r.JPEGYUV_Color = QString::number(c.JPEGYUV_Color);

    if (c.CompareGifAndJpeg && deferFormatChoice_)
        formatChoicePending_[static_cast<std::size_t>(index)] = true;
    else if (c.CompareGifAndJpeg)
        chooseSmallestFormat(index);
    // The comparison's winner: a Variation other than GIF is 24 bits, but for a PNG that
    // keeps the Original's transparency.
    if (r.Format != save_format::Gif && !c.KeptTransparency) {
        r.PixelDepth = 24;
        r.PalettePixelDepth = 24;
    }
    r.BMPWindows = true;
    r.TIFFCompressed = 1;
}

void frmDocument::FuelleStructVariation(int index) {
    checkIndex(index);
    ToolsHost* tools = toolsHost();
    if (!tools) return;  // no tools window: the record keeps its profile's settings
    VariationRecord& r = records_[static_cast<std::size_t>(index)];
    // The user's settings take the place of a format comparison still being encoded.
    if (index <= kVariationCount) formatChoicePending_[static_cast<std::size_t>(index)] = false;
    const VariationTabValues v = tools->ReadVariationTab();
    r.Format = v.FormatIndex;
    if (r.Format != save_format::Gif) tools->ReleasePlayAnimation();
    r.MaxColors = 0;
    r.PixelDepth = v.PixelDepth;
    r.PalettePixelDepth = v.PixelDepth;
    r.MaxColorsText = v.MaxColorsText;
    r.DitheringMethod = ListIndexToDitherCode(static_cast<std::int16_t>(v.DitheringListIndex));
    r.ColorPalette = v.ColorPalette;
    switch (r.Format) {
    case save_format::Gif:
        r.GIFInterlaced = v.GIFInterlaced;
        r.GIFTransparent = v.GIFTransparent;
        r.GIFTransparentColor = v.GIFTransparentColor;
        r.GIFAnimated = v.GIFAnimated;
        if (r.GIFAnimated) {
            r.ImageNumber = v.AnimationImageNumber;
            tools->SetAnimationImageMaximum(originalImageCount_ - 1);
            r.PlayAnimation = v.PlayAnimation;
        } else if (originalAnimated_) {
            r.ImageNumber = v.AnimationImageNumber;
        }
        break;
    case save_format::Jpeg:
        r.JPEGQFactor = 256 - v.JPEGQuality;
        r.JPEGYUV_Color = QString::number(v.JPEGYUVIndex);
        r.JPEGProgressive = v.JPEGProgressive;
        r.JPEGPasses = v.JPEGPasses;
        r.JPEGGrayscale = v.JPEGGrayscale;
        break;
    case save_format::Png:
        r.PNGTransparent = v.PNGTransparent;
        r.PNGTransparentColor = v.PNGTransparentColor;
        break;
    case save_format::Webp:
    case save_format::Avif:
        r.WebQuality = v.WebQuality;
        r.WebLossless = v.WebLossless;
        r.WebEffort = v.WebEffort;
        break;
    case save_format::Bmp:
        r.BMPWindows = v.BMPWindows;
        r.BMPCompressed = (r.BMPWindows && (r.PixelDepth == 4 || r.PixelDepth == 8)) ? v.BMPCompressed
                                                                                       : kBmpRleNotApplicable;
        break;
    case save_format::Tiff: r.TIFFCompressed = v.TIFFCompressed; break;
    case save_format::Eps:
    case save_format::GemImage:
    case save_format::MacPaint:
    case save_format::MsPaint:
    case save_format::Pict:
    case save_format::Pcx:
    case save_format::Psd:
    case save_format::SunRaster:
    case save_format::Tga:
    case save_format::Wmf:
    case save_format::Wpg: break;
    default: showMessage(5402, true); break;
    }
}

void frmDocument::HoleHaupteinstellungenAusStruct() {
    MainWindowHost* host = mainWindowHost();
    if (!host) return;
    for (int i = 1; i <= kVariationCount; ++i) host->SetVariationToggle(i, records_[static_cast<std::size_t>(i)].Displayed);
}

// --- Accessors --------------------------------------------------------------------------------

int frmDocument::GetVariationFormat(int index) const { return record(index).Format; }
QString frmDocument::GetGrafikFileName(int index) const { return record(index).FileName; }
void frmDocument::SetGrafikFileName(int index, const QString& name) { record(index).FileName = name; }
void frmDocument::SetGrafikFileNameSave(int index, const QString& name) { record(index).FileNameSave = name; }

static const SaveFormat& saveFormatOf(const VariationRecord& r) {
    if (r.Format < 0 || r.Format >= kAllSaveFormatCount)
        throw AppError(kSubscriptOutOfRange, QStringLiteral("Subscript out of range"));
    return SaveFormats[static_cast<std::size_t>(r.Format)];
}

QString frmDocument::GetGrafikFileNameDefault(int index) {
    VariationRecord& r = record(index);
    const QString extension = saveFormatOf(r).Extension;
    if (ExtensionAfterFirstDot(r.FileNameSave) != extension) {
        r.FileNameSave.clear();
        // The name may carry the folder of an earlier Save As; a dot in a folder is no extension.
        r.FileName = ProposedSaveName(r.FileName, QString());
    }
    return r.FileNameSave;
}

QString frmDocument::GetGrafikFilterSave(int index) const { return saveFormatOf(record(index)).FormatName; }
QString frmDocument::GetGrafikPatternSave(int index) const { return saveFormatOf(record(index)).Extension; }
void frmDocument::SetGrafikOriginalFileName(const QString& fileName) { originalFileName_ = fileName; }
void frmDocument::SetGrafikAnzeigen(int index, bool displayed) { record(index).Displayed = displayed; }
void frmDocument::SetGrafikInitialisiert(int index, int value) { record(index).Initialised = value; }

void frmDocument::SetOriginalAnimation(bool animated, int count) {
    originalAnimated_ = animated;
    originalImageCount_ = count;
}

bool frmDocument::GetVariationAnimation(int index) const { return index > 0 && record(index).GIFAnimated; }

void frmDocument::SetVariationPlayAnimation(int index, bool play) {
    if (index <= 0) return;
    VariationRecord& r = record(index);
    r.GIFAnimated = play;
    r.PlayAnimation = play;
    if (index <= kVariationCount) picCompress(index).SetAnimationEnable(play);
}

void frmDocument::SetImageNumberVariation(int index, int imageNumber) {
    if (index <= 0) return;
    record(index).ImageNumber = imageNumber;
    if (index <= kVariationCount) picCompress(index).SetBitmapListIndex(imageNumber);
}

int frmDocument::GetNumberDisplayedPictures() const {
    int count = 1;
    for (int i = 1; i <= kVariationCount; ++i)
        if (records_[static_cast<std::size_t>(i)].Displayed) ++count;
    return count;
}

void frmDocument::SetRegionTool(int tool) { regionTool_ = tool; }
void frmDocument::SetTransparentFarbeSelektieren(bool on) { selectTransparentColor_ = on; }

// --- Tools window and layout -------------------------------------------------------------------

void frmDocument::FuelleReiterVariation(int index) {
    checkVariation(index);
    if (MainWindowHost* host = mainWindowHost()) host->EnableSaveCommands(true);
    if (ToolsHost* tools = toolsHost()) tools->FuelleReiterVariation(*this, index);
    AktualisiereMemInfo(index);
}

void frmDocument::FuelleReiterOriginal() {
    if (ToolsHost* tools = toolsHost()) tools->FuelleReiterOriginal(*this);
}

void frmDocument::SetCursorHotSpot(std::optional<QPoint> spot) {
    hotSpot_ = spot;
    hotSpotPictureSize_ = QSize(pictures_[0]->BitmapWidth(), pictures_[0]->BitmapHeight());
    AktualisiereMemInfo(0);
    // The caption may need another line under a picture as narrow as a cursor.
    OriginalResize();
}

void frmDocument::SetEditedPalette(int index, const std::vector<imaging::Rgb>& before,
                                   const std::vector<imaging::Rgb>& after) {
    checkVariation(index);
    PaletteEdit& edit = paletteEdits_[static_cast<std::size_t>(index)];
    // A further edit of the edited palette still matches the pixels against the palette they
    // had before the first edit.
    if (edit.edited != before || edit.base.size() != after.size()) edit.base = before;
    edit.edited = after;
}

const frmDocument::PaletteEdit* frmDocument::paletteEdit(int index) {
    PaletteEdit& edit = paletteEdits_[static_cast<std::size_t>(index)];
    if (edit.base.empty()) return nullptr;
    const VariationRecord& r = records_[static_cast<std::size_t>(index)];
    // Only while the custom palette is still the edited one (a decoded picture carries none of
    // its own): a palette loaded or pasted since, or another palette kind, ends the edit.
    const std::vector<imaging::Rgb>& user = pictures_[static_cast<std::size_t>(index)]->Bitmap().userPalette();
    bool current = r.ColorPalette == kCustomPaletteKind && r.PixelDepth <= 8 && !r.GIFAnimated;
    if (current && !user.empty()) {
        current = user.size() >= edit.edited.size();
        for (std::size_t j = 0; current && j < edit.edited.size(); ++j)
            current = (user[j] & 0xFFFFFFu) == (edit.edited[j] & 0xFFFFFFu);
    }
    if (!current) {
        edit = PaletteEdit();
        return nullptr;
    }
    return &edit;
}

frmDocument::OriginalDescription frmDocument::DescribeOriginal() const {
    const imaging::ImageControl& original = *pictures_[0];
    OriginalDescription d;
    d.info = original.Info();
    d.animated = originalAnimated_;
    d.imageCount = originalImageCount_;
    d.playing = original.AnimationEnable();
    d.hotSpot = hotSpot_;
    d.hotSpotPictureSize = hotSpotPictureSize_;
    return d;
}

void frmDocument::RestoreOriginalDescription(const OriginalDescription& description) {
    imaging::ImageControl& original = *pictures_[0];
    original.SetInfo(description.info);
    originalAnimated_ = description.animated;
    originalImageCount_ = description.imageCount;
    hotSpot_ = description.hotSpot;
    hotSpotPictureSize_ = description.hotSpotPictureSize;
    original.SetAnimationEnable(description.playing);
}

std::optional<QPoint> frmDocument::CursorHotSpot() const {
    if (hotSpotPictureSize_ != QSize(pictures_[0]->BitmapWidth(), pictures_[0]->BitmapHeight())) return std::nullopt;
    return hotSpot_;
}

void frmDocument::picOriginalAendern() {
    Guarded([&] {
        AktualisiereMemInfo(0);
        const std::uint64_t current = pictures_[0]->ContentVersion() + 1;
        std::vector<int> outdated;
        for (int i = 1; i <= kVariationCount; ++i)
            if (records_[static_cast<std::size_t>(i)].Displayed && encodedFrom_[static_cast<std::size_t>(i)] != current &&
                !updateAskedFromCurrentOriginal(i))
                outdated.push_back(i);
        AktualisiereVariationen(outdated);
        OriginalResize();
        // The palette window follows a changed Original while it is the selected picture; this
        // also fills it when the first document's picture has just been loaded.
        MainWindowHost* host = mainWindowHost();
        if (PaletteHost* palette = paletteHost(); palette && host && host->IsPaletteWindowChecked() && FindeSelektierteGrafik() == 0)
            palette->DisplayPalette(*pictures_[0]);
    });
}

void frmDocument::AktualisiereZoomAnzeige() { kalmira::AktualisiereZoomAnzeige(*this); }

void frmDocument::OriginalResize() { kalmira::OriginalResize(*this); }

}  // namespace kalmira
