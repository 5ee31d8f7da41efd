#include "document/documentlayout.h"

#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyle>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <optional>

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

// A picture control is never made narrower or lower than this to fit the workspace.
constexpr int kSmallestControlPixels = 48;

int ceilDiv(int value, int divisor) { return (value + divisor - 1) / divisor; }

// The room the document may take in the workspace, in pixels: the workspace less the frame and
// title of the document's window; none outside a workspace (the window then sizes freely).
std::optional<QSize> documentRoom(frmDocument& document) {
    auto* sub = qobject_cast<QMdiSubWindow*>(document.parentWidget());
    if (!sub || !sub->mdiArea()) return std::nullopt;
    const QMargins frame = sub->contentsMargins();
    QSize decoration(frame.left() + frame.right(), frame.top() + frame.bottom());
    if (const QLayout* layout = sub->layout()) {
        const QMargins inner = layout->contentsMargins();
        decoration += QSize(inner.left() + inner.right(), inner.top() + inner.bottom());
    }
    return (sub->mdiArea()->viewport()->size() - decoration).expandedTo(QSize(1, 1));
}

// The Original control's size in twips as the zoom and the display limits make it, before it is
// fitted into the workspace.
QSize designedControlSize(frmDocument& document) {
    const imaging::ImageControl& original = document.picOriginal();
    const double tx = original.TwipsPerPixelX();
    const double ty = original.TwipsPerPixelY();
    const ProgramOptionsRecord& options = ProgramOptions();
    const QSize zoomed = original.sizeHint();
    return {LimitedControlSize(toTwips(zoomed.width(), tx), original.BitmapWidth(),
                               options.DisplayLimitWidthToEnabled == 1, options.DisplayLimitWidthTo, tx),
            LimitedControlSize(toTwips(zoomed.height(), ty), original.BitmapHeight(),
                               options.DisplayLimitHeightToEnabled == 1, options.DisplayLimitHeightTo, ty)};
}

void setScrolledPixels(imaging::ImageControl& picture, QPoint origin) {
    const bool twips = picture.ScaleMode() == imaging::ImageControl::ScaleUnit::Twips;
    picture.SetDstLeft(twips ? -origin.x() * picture.TwipsPerPixelX() : -origin.x());
    picture.SetDstTop(twips ? -origin.y() * picture.TwipsPerPixelY() : -origin.y());
}

}  // namespace

QPoint ScrolledPixels(const imaging::ImageControl& picture) {
    const bool twips = picture.ScaleMode() == imaging::ImageControl::ScaleUnit::Twips;
    const double left = picture.DstLeft();
    const double top = picture.DstTop();
    return {-static_cast<int>(std::lround(twips ? left / picture.TwipsPerPixelX() : left)),
            -static_cast<int>(std::lround(twips ? top / picture.TwipsPerPixelY() : top))};
}

void FitControlsIntoRoom(LayoutInput& input, LayoutResult& layout, int roomWidth, int roomHeight,
                         int smallestWidth, int smallestHeight) {
    int pictures = 1;
    for (int i = 1; i <= 5; ++i)
        if (input.takesPart[static_cast<std::size_t>(i)]) ++pictures;
    const int columns = input.vertical ? 1 : pictures;
    const int rows = input.vertical ? pictures : 1;
    const int excessWidth = layout.windowWidth - kWindowWidthMargin - roomWidth;
    if (excessWidth > 0 && input.controlWidth > smallestWidth) {
        input.controlWidth = std::max(smallestWidth, input.controlWidth - ceilDiv(excessWidth, columns));
        // Narrower captions may wrap to more lines: the heights are measured again.
        layout = ComputeLayout(input);
    }
    const int excessHeight = layout.windowHeight - kWindowHeightMargin - roomHeight;
    if (excessHeight > 0 && input.controlHeight > smallestHeight) {
        input.controlHeight = std::max(smallestHeight, input.controlHeight - ceilDiv(excessHeight, rows));
        layout = ComputeLayout(input);
    }
}

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
    const QSize designed = designedControlSize(document);
    LayoutInput input;
    input.controlWidth = designed.width();
    input.controlHeight = designed.height();
    input.vertical = options.DisplayOrder == 1;
    for (int i = 1; i <= 5; ++i) input.takesPart[static_cast<std::size_t>(i)] = takesPart(document, i);
    input.labelHeight = [&](int i, int width) {
        QLabel* label = i == 0 ? document.LabelOriginal() : document.LabelCompress(i);
        if (label->text().isEmpty()) return toTwips(label->fontMetrics().height(), ty);
        return toTwips(label->heightForWidth(toPixels(width, tx)), ty);
    };
    LayoutResult layout = ComputeLayout(input);

    // The document never grows past the workspace (its title and buttons would leave the
    // screen, and the Variations beyond it could not be reached): the picture controls shrink
    // until every frame fits, and the pictures scroll together inside them by the shared
    // scroll bars, the wheel and the arrow keys.
    QWidget* window = windowOf(document);
    const std::optional<QSize> room = documentRoom(document);
    if (auto* sub = qobject_cast<QMdiSubWindow*>(window); sub && sub->mdiArea())
        sub->mdiArea()->viewport()->installEventFilter(&document);  // once: Qt keeps one entry per filter
    const int barExtent = document.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, document.HScrollPictures());
    const auto needsBars = [&] {
        return toPixels(input.controlWidth, tx) < zoomed.width() || toPixels(input.controlHeight, ty) < zoomed.height();
    };
    if (room && !window->isMinimized()) {
        // Twice: the bars a first fit makes necessary take room of their own.
        for (int pass = 0; pass < 2; ++pass) {
            const int bar = needsBars() ? barExtent : 0;
            FitControlsIntoRoom(input, layout, toTwips(room->width() - bar, tx), toTwips(room->height() - bar, ty),
                                toTwips(kSmallestControlPixels, tx), toTwips(kSmallestControlPixels, ty));
        }
    }

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
    }

    // The shared scroll bars below and right of the frames, each shown when the pictures are
    // larger than their controls that way.
    const QSize frames(toPixels(layout.windowWidth - kWindowWidthMargin, tx),
                       toPixels(layout.windowHeight - kWindowHeightMargin, ty));
    const QSize control = original.size();
    const bool horizontalBar = control.width() < zoomed.width();
    const bool verticalBar = control.height() < zoomed.height();
    QScrollBar* hBar = document.HScrollPictures();
    QScrollBar* vBar = document.VScrollPictures();
    {
        const QSignalBlocker holdH(hBar);
        const QSignalBlocker holdV(vBar);
        hBar->setRange(0, std::max(0, zoomed.width() - control.width()));
        hBar->setPageStep(std::max(1, control.width()));
        vBar->setRange(0, std::max(0, zoomed.height() - control.height()));
        vBar->setPageStep(std::max(1, control.height()));
    }
    hBar->setGeometry(0, frames.height(), frames.width(), barExtent);
    vBar->setGeometry(frames.width(), 0, barExtent, frames.height());
    hBar->setVisible(horizontalBar);
    vBar->setVisible(verticalBar);
    const QSize content = frames + QSize(verticalBar ? barExtent : 0, horizontalBar ? barExtent : 0);

    // Every picture at the document's scroll position, kept within what the controls now show.
    const bool twips = original.ScaleMode() == imaging::ImageControl::ScaleUnit::Twips;
    document.ScrollPicturesTo(-static_cast<int>(std::lround(twips ? document.ScrollLeft() / tx : document.ScrollLeft())),
                              -static_cast<int>(std::lround(twips ? document.ScrollTop() / ty : document.ScrollTop())));

    if (!window->isMinimized()) {
        if (window == &document) {
            // Without a frame window the margins have no border or title to hold.
            document.setMinimumSize(0, 0);
            document.resize(content);
        } else {
            document.setMinimumSize(room ? content.boundedTo(*room) : content);
            QSize size(content.width() + toPixels(kWindowWidthMargin, tx), content.height() + toPixels(kWindowHeightMargin, ty));
            size = size.expandedTo(window->minimumSizeHint());
            if (auto* sub = qobject_cast<QMdiSubWindow*>(window); sub && sub->mdiArea()) {
                // Within the workspace, and moved back into it where it would reach past its edge.
                const QSize area = sub->mdiArea()->viewport()->size();
                size = size.boundedTo(area).expandedTo(window->minimumSizeHint());
                window->resize(size);
                const int left = std::clamp(window->x(), 0, std::max(0, area.width() - window->width()));
                const int top = std::clamp(window->y(), 0, std::max(0, area.height() - window->height()));
                window->move(left, top);
            } else {
                window->resize(size);
            }
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
    // The control's width as the zoom makes it, not as a workspace too narrow for it has shrunk it.
    const int needed = parDisplayedPictures * designedControlSize(document).width() + parDisplayedPictures * kFitGapPerPicture;
    const int available = toTwips(areaPixels, tx);
    if (needed <= available && parLimitZoom) return;
    document.lZoom = FitZoom(available, document.lZoom, needed);
    AktualisiereZoomAnzeige(document);
}

void frmDocument::ScrollPicturesTo(int x, int y) {
    const QSize shown = pictures_[0]->sizeHint();
    const QSize control = pictures_[0]->size();
    const QPoint origin(std::clamp(x, 0, std::max(0, shown.width() - control.width())),
                        std::clamp(y, 0, std::max(0, shown.height() - control.height())));
    for (imaging::ImageControl* picture : pictures_) setScrolledPixels(*picture, origin);
    scrollLeft_ = static_cast<int>(std::lround(pictures_[0]->DstLeft()));
    scrollTop_ = static_cast<int>(std::lround(pictures_[0]->DstTop()));
    const QSignalBlocker holdH(hScrollPictures_);
    const QSignalBlocker holdV(vScrollPictures_);
    hScrollPictures_->setValue(origin.x());
    vScrollPictures_->setValue(origin.y());
}

bool frmDocument::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize && pictures_[0]->HasBitmap()) {
        auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget());
        if (sub && sub->mdiArea() && watched == sub->mdiArea()->viewport() && !sub->isMinimized() && !sub->isMaximized())
            OriginalResize();
    }
    return QWidget::eventFilter(watched, event);
}

void frmDocument::wheelEvent(QWheelEvent* event) {
    // The same steps as over a picture: Shift turns the wheel sideways.
    const QPoint delta = event->angleDelta() / 4;
    const bool sideways = event->modifiers().testFlag(Qt::ShiftModifier);
    const QPoint origin = ScrolledPixels(*pictures_[0]);
    ScrollPicturesTo(origin.x() - (sideways ? delta.y() : delta.x()), origin.y() - (sideways ? 0 : delta.y()));
    event->accept();
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
