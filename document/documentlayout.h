#pragma once
// How a document window lays out its pictures: each in a captioned frame, side by side or one
// under the other, all at one zoom and one scroll position; and the steps of activating a
// document window. Positions are computed in twips (1440 per inch) and converted with the
// screen's twips per pixel only when they are applied to the widgets.

#include <QPoint>

#include <array>
#include <functional>

namespace imaging {
class ImageControl;
}

namespace kalmira {

class frmDocument;

// Twip constants of the layout.
inline constexpr int kFrameExtraHeight = 280;      // frame = picture + this + caption label
inline constexpr int kLabelInset = 240;            // caption label = frame width - this
inline constexpr int kMinimumFrameWidth = 1200;    // narrower pictures are centred in it
inline constexpr int kWindowHeightMargin = 2 * 280;
inline constexpr int kWindowWidthMargin = 2 * 48;
inline constexpr int kFitGapPerPicture = 105;      // DoFitToWindow's room per picture
// Top of a caption label inside its frame, below the frame's own title.
inline constexpr int kLabelTop = 240;

struct TwipRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    int bottom() const { return top + height; }
};

// What the layout needs to know, in twips. Index 0 is the Original, 1-5 the Variations.
struct LayoutInput {
    int controlWidth = 0;   // the Original control, after the display limits
    int controlHeight = 0;
    std::array<bool, 6> takesPart{true, false, false, false, false, false};
    // Height of caption label i when it is `width` twips wide (captions wrap).
    std::function<int(int index, int width)> labelHeight;
    bool vertical = false;
};

struct LayoutResult {
    std::array<TwipRect, 6> frames;    // in the window
    std::array<TwipRect, 6> labels;    // in their frames
    std::array<TwipRect, 6> pictures;  // in their frames
    int windowWidth = 0;
    int windowHeight = 0;
};

// The frames, labels and pictures: every frame as wide as the Original's (at least 1200),
// every frame as tall as the tallest (a caption wrapping to more lines makes all frames
// taller), Variations that do not take part leave no gap.
LayoutResult ComputeLayout(const LayoutInput& input);

// The Original control's size in one direction after the display limit: the limit (in the
// Original's own pixels) applies when it is on and smaller than the picture.
int LimitedControlSize(int zoomedTwips, int pictureOwnPixels, bool limitOn, int limitPixels, double twipsPerPixel);

// Shrinks the controls of `input` until the frames of `layout` (computed from it, and
// recomputed here) fit `roomWidth` × `roomHeight` twips, the pictures being laid out in a row or
// a column; never below the smallest sizes given. What still does not fit stays as it is.
void FitControlsIntoRoom(LayoutInput& input, LayoutResult& layout, int roomWidth, int roomHeight,
                         int smallestWidth, int smallestHeight);

// How far a control's picture is scrolled, in screen pixels of the zoomed picture.
QPoint ScrolledPixels(const imaging::ImageControl& picture);

// The zoom DoFitToWindow chooses: available × zoom / needed - 0.5, rounded half to even, at
// least 1.
int FitZoom(int availableTwips, int zoom, int neededTwips);

// --- On a document window ------------------------------------------------------------------
// Lays out all frames and sizes the window (OriginalResize).
void OriginalResize(frmDocument& document);
// Applies lZoom to every picture, shows it in the zoom box, lays out again.
void AktualisiereZoomAnzeige(frmDocument& document);
// Chooses a zoom so that `parDisplayedPictures` pictures fit side by side in the main window;
// with parLimitZoom the zoom only shrinks. Horizontal order only.
void DoFitToWindow(frmDocument& document, bool parLimitZoom, int parDisplayedPictures);
// Form_Activate: lay out, show the main window's toggles, re-select the selected picture so
// the tools window shows the right face, enable Undo by the rule below.
void ActivateDocument(frmDocument& document);
// Undo is offered exactly when the document's undo picture holds an image.
bool UndoAvailable(frmDocument& document);

}  // namespace kalmira
