#include "shell/commands/picturecommands.h"

#include "ui_frmMain.h"

#include "common/apperror.h"
#include "common/errortrap.h"
#include "common/globals.h"
#include "common/routines.h"
#include "common/texts.h"
#include "document/frmdocument.h"
#include "shell/commands/filecommands.h"
#include "shell/frmmain.h"
#include "shell/prompts.h"
#include "tools/frmtools.h"

#include "codecs/gif_codec.h"
#include "core/error.h"
#include "codecs/registry.h"
#include "qt/addtextdialogs.h"
#include "qt/dialogtexts.h"
#include "qt/imagecontrol.h"
#include "qt/x11capturecontrol.h"
#include "settings/frmcapture.h"

#include <QAction>
#include <QFileInfo>

#include <algorithm>

namespace kalmira {

namespace {

constexpr int kTextInvalidClipboard = 5121;
constexpr int kTextAnimated = 5504;  // no image manipulation on an animated GIF
// All fourteen option bits of the add-text dialog.
constexpr std::uint32_t kAddTextFlags = 16383;
// The margin kept free at the top and left of the text, in displayed pixels.
constexpr double kTextMargin = 5;

imaging::ImageInfo infoOf(const imaging::Bitmap& bitmap) {
    imaging::ImageInfo info;
    info.bits = bitmap.bits();
    info.width = bitmap.width();
    info.height = bitmap.height();
    info.memorySize = bitmap.memorySize();
    return info;
}

// Remembers a picture's animation switch, switches it off and puts it back on leaving, so the
// frame that is copied is the one the user sees and the animation goes on afterwards.
class AnimationPause {
public:
    explicit AnimationPause(imaging::ImageControl& picture) : picture_(picture), was_(picture.AnimationEnable()) {
        picture_.SetAnimationEnable(false);
    }
    ~AnimationPause() { picture_.SetAnimationEnable(was_); }
    AnimationPause(const AnimationPause&) = delete;
    AnimationPause& operator=(const AnimationPause&) = delete;

private:
    imaging::ImageControl& picture_;
    bool was_;
};

}  // namespace

PictureCommands::PictureCommands(frmMain& main)
    : QObject(&main), main_(main), picTemp_(std::make_unique<imaging::ImageControl>()) {
    picTemp_->setObjectName(QStringLiteral("picTemp"));
    picTemp_->SetAutoRepaint(false);
    // The engine's dialogs speak the user's language too.
    imaging::SetDialogTextSource([](int id) { return LookupTextAbsolute(static_cast<long long>(id) + LanguageOffset); });
}

PictureCommands::~PictureCommands() = default;

void PictureCommands::showMessage(int textId, const QString& detail) {
    MessageRequest request;
    request.text = LoadText(textId);
    if (!detail.isEmpty()) request.text += QStringLiteral("\n\n") + detail;
    ShowMessage(&main_, request);
}

void PictureCommands::storeUndoStep(frmDocument& document) {
    if (auto* tools = qobject_cast<frmTools*>(main_.ToolsWindow())) {
        if (const auto& hook = tools->UndoStepHook()) hook(document);
    }
}

bool PictureCommands::ClipboardHoldsPicture() const {
    return picTemp_->Paste(imaging::ImageControl::kPasteQuery) != 0;
}

void PictureCommands::Copy() {
    frmDocument* document = main_.ActiveDocument();
    if (!document) return;
    const int n = document->FindeSelektierteGrafik();
    constexpr int flags = imaging::ImageControl::kCopyClear | imaging::ImageControl::kCopyBitmap |
                          imaging::ImageControl::kCopyPalette;
    // A Variation goes out as its encoded-and-decoded picture, its reduced colours included.
    imaging::ImageControl& picture = n > 0 ? document->picCompress(n) : document->picOriginal();
    int result = 0;
    {
        AnimationPause pause(picture);
        result = picture.Copy(flags);
    }
    if (result != 0) throw AppError(result, picture.LastErrorText());
    if (picture.Paste(imaging::ImageControl::kPasteQuery) != 0) {
        Ui::frmMain& u = main_.ui();
        u.mnuEditPaste->setEnabled(true);
        u.tbPaste->setEnabled(true);
    }
}

void PictureCommands::Paste() {
    frmDocument* document = main_.ActiveDocument();
    if (!document) return;
    imaging::ImageControl& original = document->picOriginal();
    // The picture is read into the scratch picture first (by the reader the paste query asks):
    // data that turns out to be no valid picture must leave the Original and the undo step as
    // they were. A picture that cannot be read says why.
    if (const int result = picTemp_->Paste(0); result != 0) {
        const bool nothingThere = result == static_cast<int>(imaging::ErrorCode::NoImage);
        const QString reason = picTemp_->LastErrorText();
        picTemp_->ClearBitmap();
        showMessage(kTextInvalidClipboard, nothingThere ? QString() : reason);
        return;
    }
    // The selection and its background belong to the picture the paste replaces.
    document->EndSelection();
    storeUndoStep(*document);
    imaging::Bitmap pasted = picTemp_->Bitmap();
    const imaging::ImageInfo info = picTemp_->Info();
    picTemp_->ClearBitmap();
    original.ClearBitmap();
    original.SetInfo(info);
    original.SetBitmap(std::move(pasted));
    original.ForceRepaint();
    document->SetOriginalAnimation(false, 1);
    document->picOriginalAendern();
    document->OriginalResize();
}

frmDocument* PictureCommands::NewDocumentFromBitmap(imaging::Bitmap&& picture) {
    if (picture.empty()) return nullptr;
    ShowBusyPointer();
    struct DefaultPointer {
        ~DefaultPointer() { ShowDefaultPointer(); }
    } restorePointer;
    frmDocument* document = main_.Files().NewDocument(1, 1);
    if (!document) return nullptr;
    imaging::ImageControl& original = document->picOriginal();
    const imaging::ImageInfo info = infoOf(picture);
    original.SetBitmap(std::move(picture));
    original.SetInfo(info);
    original.ForceRepaint();
    document->SetOriginalAnimation(false, 1);
    for (int i = 1; i <= kVariationCount; ++i) {
        document->SetGrafikInitialisiert(i, false);
        document->AktualisiereVariation(i);
    }
    document->picOriginalAendern();
    return document;
}

void PictureCommands::Duplicate() {
    frmDocument* source = main_.ActiveDocument();
    if (!source) return;
    // The frame shown: an animation's duplicate is a single picture, the frame as a viewer
    // sees it (the whole logical screen with the frames before it drawn under it), not the
    // piece of the screen the frame itself covers.
    const imaging::ImageControl& original = source->picOriginal();
    imaging::Bitmap copy = original.BitmapListCount() > 1 ? ShownFrame(original) : original.Bitmap();
    NewDocumentFromBitmap(std::move(copy));
}

imaging::Bitmap PictureCommands::ShownFrame(const imaging::ImageControl& picture) {
    imaging::Image animation;
    animation.frames = picture.BitmapList();
    animation.format = picture.InfoFormat();
    animation.backgroundColor = picture.AnimationBackColor();
    animation.logicalWidth = picture.AnimationWidth();
    animation.logicalHeight = picture.AnimationHeight();
    if (animation.frames.empty()) return picture.Bitmap();
    const int index = std::clamp(picture.BitmapListIndex(), 0, static_cast<int>(animation.frames.size()) - 1);
    return imaging::composeGifFrame(animation, index);
}

void PictureCommands::SetImageDialogs(std::unique_ptr<imaging::TextDialogs> dialogs) {
    dialogs_ = std::move(dialogs);
}

imaging::TextDialogs& PictureCommands::ImageDialogs1() {
    if (!dialogs_) {
        auto dialogs = std::make_unique<imaging::AddTextDialogs>();
        dialogs->SetImagePicker([this](imaging::Bitmap& image) {
            FileDialogRequest request;
            request.title = LoadText(6226);
            request.filters = FileCommands::OpenDialogFilters();
            const QString file = AskForFile(&main_, request);
            if (file.isEmpty()) return false;
            try {
                image = imaging::loadFile(std::filesystem::path(file.toStdU16String()), {0, 0, 1}).first();
                return !image.empty();
            } catch (const std::exception& e) {
                showMessage(6230, QString::fromStdString(e.what()));
                return false;
            }
        });
        dialogs_ = std::move(dialogs);
    }
    return *dialogs_;
}

void PictureCommands::Insert3DText() {
    frmDocument* document = main_.ActiveDocument();
    if (!document) return;
    imaging::ImageControl& original = document->picOriginal();
    // Text drawn into one frame would leave one partial frame of the animation; like every
    // other operation on the Original, it is refused with the same message.
    if (IsAnimatedImage(original) || original.BitmapListCount() > 1) {
        showMessage(kTextAnimated);
        return;
    }
    imaging::TextDialogs& dialogs = ImageDialogs1();
    dialogs.SetFlags(kAddTextFlags);
    dialogs.SetBitmap(&original.Bitmap());
    dialogs.SetForegroundImage(nullptr);
    const int result = dialogs.ShowAddText(&main_);
    dialogs.SetBitmap(nullptr);
    if (result == imaging::TextDialogs::kDialogCancelled) return;
    if (result != 0) throw AppError(result, QStringLiteral("add text dialog"));

    imaging::TextDrawing& drawing = original.Drawing();
    // The dialog's font, property by property.
    const QFont chosen = dialogs.TextFont();
    drawing.DrawFont.setFamily(chosen.family());
    drawing.DrawFont.setBold(chosen.bold());
    drawing.DrawFont.setItalic(chosen.italic());
    drawing.DrawFont.setPointSizeF(chosen.pointSizeF());
    drawing.DrawFont.setStrikeOut(chosen.strikeOut());
    drawing.DrawFont.setUnderline(chosen.underline());
    drawing.DrawFont.setWeight(chosen.weight());

    storeUndoStep(*document);

    original.SetAutoRepaint(false);
    const int z = std::max(1, original.PaintZoomFactor());
    original.SetPaintZoomFactor(100);
    drawing.DrawPersistence = true;
    drawing.DrawFontColor = dialogs.TextColor();
    // With a selection the text stays inside it.
    std::optional<QRectF> selection;
    if (original.HasRgn())
        selection = QRectF(original.RgnLeft(), original.RgnTop(), original.RgnWidth(), original.RgnHeight());
    const QRectF box = TextRectangle(original.BitmapWidth(), original.BitmapHeight(), z, selection);
    drawing.TextTop = box.top();
    drawing.TextLeft = box.left();
    drawing.TextWidth = box.width();
    drawing.TextHeight = box.height();
    drawing.TextAlign = dialogs.TextAlignment();
    drawing.TextAngle = dialogs.TextAngle();
    drawing.TextHiliteColor = dialogs.TextHighlightColor();
    drawing.TextStyle = dialogs.TextStyle();
    drawing.ShadowColor = dialogs.ShadowColor();
    drawing.ShadowXDepth = dialogs.ShadowXDepth();
    drawing.ShadowYDepth = dialogs.ShadowYDepth();
    drawing.TextWordWrap = dialogs.TextWordWrap();
    drawing.PaintEffect = 0;
    drawing.PaintPass = 1;
    drawing.PaintMaxPasses = 1;

    int drawn = 0;
    if (dialogs.UsesForegroundImage() && dialogs.ForegroundImage()) {
        picTemp_->SetBitmap(*dialogs.ForegroundImage());
        drawn = original.DrawText(dialogs.Text(), &picTemp_->Bitmap());
        picTemp_->ClearBitmap();
    } else {
        drawn = original.DrawText(dialogs.Text(), nullptr);
    }
    original.SetPaintZoomFactor(z);
    original.SetAutoRepaint(true);
    if (drawn != 0) throw AppError(drawn, original.LastErrorText());
    ShowBusyPointer();
    document->SetOriginalAnimation(false, 1);
    document->picOriginalAendern();
    ShowDefaultPointer();
}

void PictureCommands::SetCaptureControl(std::unique_ptr<imaging::CaptureControl> control) {
    capture_ = std::move(control);
    capture_->SetCapturedHandler([this](imaging::Bitmap&& captured) {
        if (captured.empty()) return;
        Guarded([&] {
            frmDocument* document = NewDocumentFromBitmap(std::move(captured));
            if (document && capture_->CapturedHotSpot()) document->SetCursorHotSpot(capture_->CapturedHotSpot());
            // The new Original owns the picture now; the dialog has done its part.
            if (captureDialog_) captureDialog_->Unload();
        });
    });
}

imaging::CaptureControl& PictureCommands::ScreenCapture1() {
    if (!capture_) {
        auto control = std::make_unique<imaging::X11CaptureControl>();
        control->setObjectName(QStringLiteral("ScreenCapture1"));
        SetCaptureControl(std::move(control));
    }
    return *capture_;
}

void PictureCommands::StopCapture() {
    CaptureKind = 0;
    if (capture_ && capture_->Capturing()) capture_->StopCapture();
}

void PictureCommands::Capture() {
    frmCapture dialog(ScreenCapture1(), &main_, imaging::X11CaptureControl::Available());
    captureDialog_ = &dialog;
    dialog.exec();
    captureDialog_ = nullptr;
}

QRectF PictureCommands::TextRectangle(int pictureWidth, int pictureHeight, int zoom, std::optional<QRectF> region) {
    if (region) {
        if (region->width() > kTextMargin && region->height() > kTextMargin)
            return QRectF(region->left() + kTextMargin, region->top() + kTextMargin, region->width() - kTextMargin,
                          region->height() - kTextMargin);
        return *region;
    }
    // The displayed area, in screen pixels at the zoom, turned back into picture pixels.
    const double scaleWidth = pictureWidth * zoom / 100.0;
    const double scaleHeight = pictureHeight * zoom / 100.0;
    const double toPicture = 100.0 / zoom;
    if (scaleWidth > kTextMargin && scaleHeight > kTextMargin)
        return QRectF(kTextMargin * toPicture, kTextMargin * toPicture, (scaleWidth - kTextMargin) * toPicture,
                      (scaleHeight - kTextMargin) * toPicture);
    return QRectF(0, 0, scaleWidth * toPicture, scaleHeight * toPicture);
}

}  // namespace kalmira
