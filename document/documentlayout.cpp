#include "document/documentlayout.h"

#include <QGroupBox>
#include <QLabel>
#include <QMdiSubWindow>

#include <algorithm>
#include <cmath>

#include "document/documenthost.h"
#include "document/frmdocument.h"
#include "settings/programoptions.h"
#include "common/globals.h"
#include "common/routines.h"

namespace kalmira {

namespace {

int toPixels(double twips, double twipsPerPixel) { return static_cast<int>(std::lround(twips / twipsPerPixel)); }
int toTwips(double pixels, double twipsPerPixel) { return static_cast<int>(std::lround(pixels * twipsPerPixel)); }

// Edges are rounded, not sizes, so frames that touch in twips touch on the screen too.
QRect toPixelRect(const TwipRect& r, double tx, double ty) {
    const int left = toPixels(r.left, tx);
    const int top = toPixels(r.top, ty);
    return {left, top, toPixels(r.left + r.width, tx) - left, toPixels(r.top + r.height, ty) - top};
}

bool takesPart(const frmDocument& document, int i) {
    if (MainWindowHost* host = mainWindowHost()) return host->IsVariationTogglePressed(i);
    return document.record(i).Displayed;
}

// The widget that is the document's window: its sub-window in the main window, else itself.
QWidget* windowOf(frmDocument& document) {
    if (auto* sub = qobject_cast<QMdiSubWindow*>(document.parentWidget())) return sub;
    return &document;
}

}  // namespace

LayoutResult ComputeLayout(const LayoutInput& input) {
    LayoutResult out;
    const int frameWidth = std::max(input.controlWidth, kMinimumFrameWidth);
    const int labelWidth = frameWidth - kLabelInset;
    const int pictureLeft = frameWidth <= kMinimumFrameWidth ? (frameWidth - input.controlWidth) / 2 : 0;
    auto labelHeight = [&](int i) { return input.labelHeight ? input.labelHeight(i, labelWidth) : 0; };

    // The tallest caption sets every frame's height, so frames stay equally tall and, one
    // under the other, never overlap when a later caption wraps to more lines.
    int tallestLabel = labelHeight(0);
    for (int i = 1; i <= 5; ++i)
        if (input.takesPart[static_cast<std::size_t>(i)]) tallestLabel = std::max(tallestLabel, labelHeight(i));
    const int frameHeight = input.controlHeight + kFrameExtraHeight + tallestLabel;
    const int pictureTop = kLabelTop + tallestLabel;

    int x = 0;
    int y = 0;
    for (int i = 0; i <= 5; ++i) {
        if (i > 0 && !input.takesPart[static_cast<std::size_t>(i)]) continue;
        if (i > 0) {
            if (input.vertical)
                y += frameHeight;
            else
                x += frameWidth;
        }
        const auto k = static_cast<std::size_t>(i);
        out.frames[k] = {x, y, frameWidth, frameHeight};
        out.labels[k] = {0, kLabelTop, labelWidth, labelHeight(i)};
        out.pictures[k] = {pictureLeft, pictureTop, input.controlWidth, input.controlHeight};
    }
    out.windowHeight = frameHeight + y + kWindowHeightMargin;
    out.windowWidth = frameWidth + x + kWindowWidthMargin;
    return out;
}

int LimitedControlSize(int zoomedTwips, int pictureOwnPixels, bool limitOn, int limitPixels, double twipsPerPixel) {
    if (limitOn && limitPixels < pictureOwnPixels) return toTwips(limitPixels, twipsPerPixel);
    return zoomedTwips;
}

int FitZoom(int availableTwips, int zoom, int neededTwips) {
    if (neededTwips <= 0) return zoom;
    const double exact = static_cast<double>(availableTwips) * zoom / neededTwips - 0.5;
    // nearbyint rounds halves to even in the default rounding mode.
    return std::max(1, static_cast<int>(std::nearbyint(exact)));
}

void OriginalResize(frmDocument& document) {
    imaging::ImageControl& original = document.picOriginal();
    const double tx = original.TwipsPerPixelX();
    const double ty = original.TwipsPerPixelY();
    const ProgramOptionsRecord& options = ProgramOptions();

    const QSize zoomed = original.sizeHint();
    LayoutInput input;
    input.controlWidth = LimitedControlSize(toTwips(zoomed.width(), tx), original.BitmapWidth(),
                                            options.DisplayLimitWidthToEnabled == 1, options.DisplayLimitWidthTo, tx);
    input.controlHeight = LimitedControlSize(toTwips(zoomed.height(), ty), original.BitmapHeight(),
                                             options.DisplayLimitHeightToEnabled == 1, options.DisplayLimitHeightTo, ty);
    input.vertical = options.DisplayOrder == 1;
    for (int i = 1; i <= 5; ++i) input.takesPart[static_cast<std::size_t>(i)] = takesPart(document, i);
    input.labelHeight = [&](int i, int width) {
        QLabel* label = i == 0 ? document.LabelOriginal() : document.LabelCompress(i);
        if (label->text().isEmpty()) return toTwips(label->fontMetrics().height(), ty);
        return toTwips(label->heightForWidth(toPixels(width, tx)), ty);
    };
    const LayoutResult layout = ComputeLayout(input);

    for (int i = 0; i <= 5; ++i) {
        const auto k = static_cast<std::size_t>(i);
        QGroupBox* frame = i == 0 ? document.frameOriginal() : document.FrameCompress(i);
        QLabel* label = i == 0 ? document.LabelOriginal() : document.LabelCompress(i);
        imaging::ImageControl& picture = i == 0 ? original : document.picCompress(i);
        if (i > 0 && !input.takesPart[k]) {
            frame->hide();
            continue;
        }
        frame->setGeometry(toPixelRect(layout.frames[k], tx, ty));
        label->setGeometry(toPixelRect(layout.labels[k], tx, ty));
        // Automatic sizing would undo a display limit; the layout sizes the controls itself.
        picture.SetAutoSize(false);
        picture.setGeometry(toPixelRect(layout.pictures[k], tx, ty));
        if (i > 0) {
            picture.SetPaintZoomFactor(original.PaintZoomFactor());
            frame->show();
        }
        picture.SetDstLeft(document.ScrollLeft());
        picture.SetDstTop(document.ScrollTop());
    }

    QWidget* window = windowOf(document);
    if (!window->isMinimized()) {
        const QSize size(toPixels(layout.windowWidth, tx), toPixels(layout.windowHeight, ty));
        if (window == &document) {
            // Without a frame window the margins have no border or title to hold.
            document.setMinimumSize(0, 0);
            document.resize(toPixels(layout.windowWidth - kWindowWidthMargin, tx),
                            toPixels(layout.windowHeight - kWindowHeightMargin, ty));
        } else {
            document.setMinimumSize(toPixels(layout.windowWidth - kWindowWidthMargin, tx),
                                    toPixels(layout.windowHeight - kWindowHeightMargin, ty));
            window->resize(size.expandedTo(window->minimumSizeHint()));
        }
    }
    document.FuelleReiterOriginal();
}

void AktualisiereZoomAnzeige(frmDocument& document) {
    imaging::ImageControl& original = document.picOriginal();
    if (!original.HasBitmap()) return;
    if (MainWindowHost* host = mainWindowHost()) host->ShowZoom(document.lZoom);
    original.SetPaintZoomFactor(document.lZoom);
    original.resize(original.sizeHint());
    original.ForceRepaint();
    document.FuelleReiterOriginal();
    for (int i = 1; i <= 5; ++i) {
        imaging::ImageControl& picture = document.picCompress(i);
        picture.SetPaintZoomFactor(document.lZoom);
        picture.resize(original.size());
        QLabel* label = document.LabelCompress(i);
        const double tx = original.TwipsPerPixelX();
        label->resize(std::max(0, document.FrameCompress(i)->width() - toPixels(kLabelInset, tx)), label->height());
        picture.move(picture.x(), label->geometry().bottom() + 1);
        picture.ForceRepaint();
    }
    OriginalResize(document);
}

void DoFitToWindow(frmDocument& document, bool parLimitZoom, int parDisplayedPictures) {
    if (ProgramOptions().DisplayOrder == 1) return;
    MainWindowHost* host = mainWindowHost();
    const int areaPixels = host ? host->DocumentAreaWidth() : 0;
    QWidget* window = windowOf(document);
    window->move(0, window->y());
    if (areaPixels <= 0) return;  // the main window's width is not known: nothing to fit into
    imaging::ImageControl& original = document.picOriginal();
    const double tx = original.TwipsPerPixelX();
    const int needed = parDisplayedPictures * toTwips(original.width(), tx) + parDisplayedPictures * kFitGapPerPicture;
    const int available = toTwips(areaPixels, tx);
    if (needed <= available && parLimitZoom) return;
    document.lZoom = FitZoom(available, document.lZoom, needed);
    AktualisiereZoomAnzeige(document);
}

bool UndoAvailable(frmDocument& document) { return document.picPreview().HasBitmap(); }

void ActivateDocument(frmDocument& document) {
    // Ready again however the activation ends: a step that fails must not leave every later
    // Variation update refused.
    struct ReadyAtEnd {
        ~ReadyAtEnd() { ApplyReady = true; }
    } readyAtEnd;
    ApplyReady = false;
    document.setProperty("HelpContextID", 1009);
    AktualisiereZoomAnzeige(document);
    document.HoleHaupteinstellungenAusStruct();
    OriginalResize(document);
    MainWindowHost* host = mainWindowHost();
    if (ToolsHost* tools = toolsHost(); tools && host && host->IsToolsWindowChecked()) tools->AktualisiereSelektionen();
    // Selecting the picture again makes the tools window show its face.
    document.SelektiereGrafik(document.FindeSelektierteGrafik());
    if (host) host->EnableUndo(UndoAvailable(document));
    if (host) host->ShowDifferenceView(document.DifferenceView());
    ShowDefaultPointer();
}

}  // namespace kalmira
