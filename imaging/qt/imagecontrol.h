#pragma once
// The image control: one picture of a window (a document's Original or Variation, a preview,
// a scratch picture). It holds a bitmap, an optional frame list that it can play as an
// animation, the information of the file or memory block it was last loaded from or queried
// for, and the display state (zoom, origin, scale unit). It draws itself from a cached QImage
// that is rebuilt only when the bitmap changes, and reports pointer, key, scroll and progress
// events as signals.
//
// Methods that load, save or query return 0 on success and the engine's error number
// otherwise (LastErrorText() then holds the reason); the windows test the result, as they do
// for every imaging call. Property names follow the roles the windows use.

#include <QImage>
#include <QLine>
#include <QPainter>

#include <map>
#include <utility>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/bitmap.h"
#include "core/codec.h"
#include "core/image.h"
#include "ops/floater.h"
#include "ops/region.h"

class QPainter;
#include "qt/textdrawing.h"

namespace imaging {

// An encoded picture in memory, as SaveMemory leaves it. The holder owns it; destroying the
// block frees it.
struct MemoryBlock {
    MemoryBlock() { ++liveCount(); }
    ~MemoryBlock() { --liveCount(); }
    MemoryBlock(const MemoryBlock&) = delete;
    MemoryBlock& operator=(const MemoryBlock&) = delete;

    // Blocks alive in the process, so a leak of encoded pictures shows.
    static int& liveCount() {
        static int count = 0;
        return count;
    }

    Bytes data;
};

// ColorRes, SaveMemory, LoadMemory and MemoryInfo as one piece of work that touches no widget,
// so several pictures can be encoded on worker threads at once. ImageControl::DetachRoundTrip
// takes the bitmap and the control's save settings out; Run may then go on any thread; the
// window's thread takes the outcome in. Each step gives exactly what the control's own method
// gives for the same input.
struct RoundTripWork {
    // The picture to encode; after Run, the reduced picture when the encoding failed (so the
    // control can show it as SaveMemory leaves it), else empty: it goes before the decoding.
    imaging::Bitmap bitmap;
    int bits = 0, paletteKind = 0, ditherCode = 0, colorCount = 0;  // as ColorRes takes them
    SaveOptions options;                                            // as SaveMemory builds them
    // Runs on the reduced bitmap before it is encoded (the transparent entry is chosen there).
    std::function<void(imaging::Bitmap&)> afterReduction;
    // Runs on the decoded picture once the decoding succeeded (a measurement of it); what it
    // throws is dropped with what it would have found.
    std::function<void(const imaging::Bitmap&)> afterDecoding;
    // When set, Run starts from a copy of this picture instead of `bitmap`, with `userPalette`
    // laid over the copy's own entries (as a control keeps its user palette when a picture is
    // copied into it). The picture is shared with other work and the window and never changed;
    // the work lets it go once copied.
    std::shared_ptr<const imaging::Bitmap> source;
    std::vector<Rgb> userPalette;
    // When set, the transparency the copy of `source` takes before the reduction, as a picture's
    // SetTransparent and SetTransparentColor give it (a PNG Variation's chosen colour).
    std::optional<std::pair<bool, Rgb>> transparencyBefore;

    // 0 or the engine's error number of each step, with its reason; a step after a failed
    // reduction or encoding does not run (MemoryInfo runs after a failed decoding, as the
    // control's callers do).
    int reduceResult = 0, saveResult = 0, loadResult = 0, infoResult = 0;
    std::string reduceError, saveError, loadError, infoError;
    std::exception_ptr afterReductionError;
    bool cancelled = false;  // `stop` said so between two steps; nothing after it ran
    Bytes encoded;
    Image decoded;
    ImageInfo info;

    void Run(const std::function<bool()>& stop = {});
};

class ImageControl : public QWidget {
    Q_OBJECT

public:
    // Units of the position properties (DstLeft, ...): twips (1440 per inch) or screen pixels.
    enum class ScaleUnit { Twips = 1, Pixels = 3 };

    explicit ImageControl(QWidget* parent = nullptr);
    ~ImageControl() override;

    // --- Bitmap -------------------------------------------------------------------------
    // The bitmap shown. Setting it copies; an animation keeps its frame list.
    const imaging::Bitmap& Bitmap() const { return bitmap_; }
    void SetBitmap(const imaging::Bitmap& bitmap);
    void SetBitmap(imaging::Bitmap&& bitmap);
    bool HasBitmap() const { return !bitmap_.empty(); }
    int BitmapWidth() const { return bitmap_.width(); }
    int BitmapHeight() const { return bitmap_.height(); }
    int BitmapBits() const { return bitmap_.bits(); }
    // Palette entry `index` of the bitmap (0 outside the palette) and its user palette.
    Rgb BitmapPalette(int index) const;
    void SetBitmapPalette(int index, Rgb color);
    Rgb UserPalette(int index) const;
    void SetUserPalette(int index, Rgb color);
    Rgb Pixel(int x, int y) const;
    void SetPixel(int x, int y, Rgb color);
    // Number of distinct colours the pixels use.
    int ColorCount() const;
    // Reduces the shown bitmap to `bits` bits per pixel with the palette kind, dither code and
    // colour limit (0 = none) given. Returns 0 or an error number.
    int ColorRes(int bits, int paletteFlags, int ditherFlags, int colorCount);
    // The same for every frame of the frame list, with one palette for all of them.
    int ColorResList(int bits, int paletteFlags, int ditherFlags, int colorCount);
    // A new bitmap of the given size and depth filled with `color` (frames are dropped).
    void CreateBitmap(int width, int height, int bits, Rgb color);
    void ClearBitmap();

    // --- Transparency and save options ------------------------------------------------------
    bool Transparent() const { return bitmap_.transparent(); }
    void SetTransparent(bool on);
    // RGB value or palette reference (kPaletteReference + index).
    Rgb TransparentColor() const { return bitmap_.transparentColor(); }
    void SetTransparentColor(Rgb color);
    bool Interlaced() const { return interlaced_; }
    void SetInterlaced(bool on) { interlaced_ = on; }
    int ProgressivePasses() const { return progressivePasses_; }
    void SetProgressivePasses(int passes) { progressivePasses_ = passes; }
    // JPEG: libjpeg's plain encoder instead of the size-optimising one.
    bool FastJpeg() const { return fastJpeg_; }
    void SetFastJpeg(bool fast) { fastJpeg_ = fast; }
    // WebP and AVIF settings of the next save (quality 0..100, lossless, effort).
    struct WebSaveSettings {
        int quality = 75;
        bool lossless = false;
        int effort = 4;
        friend bool operator==(const WebSaveSettings&, const WebSaveSettings&) = default;
    };
    const WebSaveSettings& WebSettings() const { return webSettings_; }
    void SetWebSettings(const WebSaveSettings& settings) { webSettings_ = settings; }
    // What an encoding writes beside the pixels: the colour profile to convert into and embed,
    // the author and the copyright (all empty: a plain sRGB file without metadata).
    struct EmbeddingSettings {
        std::vector<std::uint8_t> iccProfile;
        std::string author;
        std::string copyright;
        friend bool operator==(const EmbeddingSettings&, const EmbeddingSettings&) = default;
    };
    const EmbeddingSettings& Embedding() const { return embedding_; }
    void SetEmbedding(EmbeddingSettings settings) { embedding_ = std::move(settings); }
    // What the file last loaded carried: its colour conversion, orientation, author and
    // copyright. Copies and takeovers of the pictures carry it along; edits keep it.
    const ImageNotes& Notes() const { return notes_; }
    void SetNotes(const ImageNotes& notes) { notes_ = notes; }

    // --- Files and memory -------------------------------------------------------------------
    // Reads the file's information (Info*). `flags` is accepted for the callers' sake.
    int FileInfo(const QString& fileName, int flags = 0);
    // Loads pages firstPage .. firstPage + pageCount - 1 (pageCount -1 = all) converted to
    // `bits` (0 = as stored). The information values describe the file afterwards.
    int Load(const QString& fileName, int bits = 0, int firstPage = 0, int pageCount = -1);
    // Saves the bitmap (multiPage: the whole frame list) through a temporary file beside the
    // target, so a failed save leaves an existing file untouched.
    int Save(const QString& fileName, int format, int bits, int qualityFactor, bool multiPage = false);
    // Encodes the bitmap into a new memory block; `block` receives it (any block it held is
    // freed first) and `size` its byte count. With a `sizeLimit` a format that can stop early
    // (GIF) gives up once its output outgrows it, returning ErrorCode::SizeLimit and no block.
    int SaveMemory(std::unique_ptr<MemoryBlock>& block, int format, int bits, int qualityFactor,
                   std::int64_t& size, std::int64_t sizeLimit = 0);
    // Decodes `size` bytes of `block` into the control.
    int LoadMemory(const MemoryBlock& block, int bits, int firstPage, int pageCount, std::int64_t size);
    // Reads the information of the picture held in `block` (Info*).
    int MemoryInfo(const MemoryBlock& block, int page, std::int64_t size);

    // --- Encoding on another thread (imagecontrol_roundtrip.cpp) ----------------------------
    // Takes the bitmap out (the control is left empty) with the reduction and save settings
    // of ColorRes(bits, ...) followed by SaveMemory(format, saveBits, qualityFactor); counts as
    // an encoding. The frame list must be empty (an animation is encoded through a file).
    RoundTripWork DetachRoundTrip(int bits, int paletteKind, int ditherCode, int colorCount, int format, int saveBits,
                                  int qualityFactor);
    // The same work, but starting from `source` (see RoundTripWork::source): the control keeps
    // showing its picture until the outcome is adopted.
    RoundTripWork PrepareRoundTrip(std::shared_ptr<const imaging::Bitmap> source, int bits, int paletteKind,
                                   int ditherCode, int colorCount, int format, int saveBits, int qualityFactor);
    // Shows a decoded picture as LoadMemory would after decoding it.
    void AdoptDecoded(Image&& image);
    void SetLastErrorText(const QString& text) { lastError_ = text; }
    // The reduction ColorRes applies to its bitmap: the user palette and a transparency set
    // before it survive. For a bitmap the caller gives up; left as it was when it fails.
    static imaging::Bitmap ReduceKeepingSettings(imaging::Bitmap&& bitmap, int bits, int paletteKind, int ditherCode,
                                                 int colorCount);
    // The engine's error number of an exception the control's methods catch.
    static int ErrorNumberOf(const std::exception& error);

    int InfoFormat() const { return info_.format; }
    int InfoPage() const { return info_.pages; }
    bool InfoAnimation() const { return info_.animated; }
    int InfoBits() const { return info_.bits; }
    int InfoWidth() const { return info_.width; }
    int InfoHeight() const { return info_.height; }
    std::int64_t InfoFileSize() const { return static_cast<std::int64_t>(info_.fileSize); }
    std::int64_t InfoMemorySize() const { return static_cast<std::int64_t>(info_.memorySize); }
    const ImageInfo& Info() const { return info_; }
    // The information of a picture made in memory (pasted, new): no file behind it.
    void SetInfo(const ImageInfo& info) { info_ = info; }
    QString LastErrorText() const { return lastError_; }

    // --- Clipboard (the platform's; other programs read and write it) -------------------------
    // Copy flags: 1 empties the clipboard first, 2 puts the bitmap (PNG, BMP and Qt's own image
    // form), 8 keeps its palette (a palette picture goes as one). The frame shown is copied.
    static constexpr int kCopyClear = 1;
    static constexpr int kCopyBitmap = 2;
    static constexpr int kCopyPalette = 8;
    // Paste flag that only asks: Paste returns non-zero when the clipboard holds a picture.
    static constexpr int kPasteQuery = 16384;
    int Copy(int flags);
    // With flag 0 the clipboard's picture (PNG, BMP, JPEG or a plain image) replaces the
    // bitmap and the frame list; 0 or an error number, and on an error nothing changes.
    int Paste(int flags);

    // --- Drawing ------------------------------------------------------------------------------
    // Font, colours, rectangle (picture pixels) and 3D look of the next DrawText.
    TextDrawing& Drawing() { return drawing_; }
    const TextDrawing& Drawing() const { return drawing_; }
    // Draws `text` into the bitmap (the frame list is dropped: the picture is one image after
    // it); `fill`, when given, fills the letters. 0 or an error number; nothing changes on one.
    int DrawText(const QString& text, const imaging::Bitmap* fill);

    // --- Frames -----------------------------------------------------------------------------
    const std::vector<Frame>& BitmapList() const { return frames_; }
    void SetBitmapList(const std::vector<Frame>& frames);
    int BitmapListCount() const { return static_cast<int>(frames_.size()); }
    int BitmapListIndex() const { return frameIndex_; }
    // Shows frame `index` of the list (clamped to the list).
    void SetBitmapListIndex(int index);
    // Copies another control's pictures: frame list, bitmap, animation-wide values. A copy that
    // fails (out of memory) leaves this control as it was.
    void CopyPicturesFrom(const ImageControl& other);
    // Takes another control's pictures over without copying them; `other` is left empty.
    void TakePicturesFrom(ImageControl& other);

    bool AnimationEnable() const { return animationEnabled_; }
    void SetAnimationEnable(bool on);
    // Start the animation by itself when an animated file is loaded.
    bool AutoAnimate() const { return autoAnimate_; }
    void SetAutoAnimate(bool on) { autoAnimate_ = on; }
    const std::vector<Rgb>& AnimationPalette() const { return animationPalette_; }
    void SetAnimationPalette(const std::vector<Rgb>& palette) { animationPalette_ = palette; }
    Rgb AnimationBackColor() const { return animationBackColor_; }
    void SetAnimationBackColor(Rgb color) { animationBackColor_ = color; }
    int AnimationWidth() const { return animationWidth_; }
    void SetAnimationWidth(int width) { animationWidth_ = width; }
    int AnimationHeight() const { return animationHeight_; }
    void SetAnimationHeight(int height) { animationHeight_ = height; }
    int AnimationLoop() const { return animationLoop_; }
    void SetAnimationLoop(int loop) { animationLoop_ = loop; }

    // --- Display ----------------------------------------------------------------------------
    int PaintZoomFactor() const { return zoom_; }
    void SetPaintZoomFactor(int percent);
    ScaleUnit ScaleMode() const { return scaleMode_; }
    void SetScaleMode(ScaleUnit unit) { scaleMode_ = unit; }
    // Twips per screen pixel from the screen's resolution (1440 / dpi).
    double TwipsPerPixelX() const;
    double TwipsPerPixelY() const;
    // While off, changes do not repaint; switching it on repaints what changed meanwhile.
    bool AutoRepaint() const { return autoRepaint_; }
    void SetAutoRepaint(bool on);
    void ForceRepaint();
    // Where the picture's top-left corner is drawn in the control, in ScaleMode units, and
    // the size it is drawn at.
    double DstLeft() const;
    double DstTop() const;
    double DstWidth() const;
    double DstHeight() const;
    void SetDstLeft(double value);
    void SetDstTop(double value);
    // The picture position drawn at the destination's corner, in ScaleMode units.
    double SrcLeft() const;
    double SrcTop() const;
    void SetSrcLeft(double value);
    void SetSrcTop(double value);
    // Resize the control to the zoomed picture whenever the picture changes.
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool on);
    // Let the wheel and the arrow keys scroll a picture larger than the control.
    bool AutoScroll() const { return autoScroll_; }
    void SetAutoScroll(bool on) { autoScroll_ = on; }
    // Number of times the control has been drawn, and has encoded its picture (Save,
    // SaveMemory): updates must not draw or encode more often than needed.
    int PaintCount() const { return paintCount_; }
    // Bytes of pixels held to show the current animation frame (the composed tiles).
    std::size_t AnimationCanvasBytes() const;
    int EncodeCount() const { return encodeCount_; }
    // Goes up with every change of the pictures' content (not with showing another frame), so
    // a holder can tell whether what it derived from them is still current.
    std::uint64_t ContentVersion() const { return contentVersion_; }

    QSize sizeHint() const override;

    // A picture drawn instead of the bitmap, at its place and zoom (a view derived from it,
    // such as its difference to another picture); a null image shows the bitmap again. The
    // bitmap, the frames and ContentVersion stay as they are, so nothing derived from them (an
    // encoding, a measurement) is redone. A stand-in smaller than the picture leaves the rest
    // of the control empty.
    void SetStandIn(const QImage& image);
    const QImage& StandIn() const { return standIn_; }

    // --- Regions (imagecontrol_region.cpp) --------------------------------------------------
    // The selection, in picture pixels. It is always inside the bitmap: setting one clips it,
    // and one wholly outside is no selection. A new bitmap clips it again.
    bool HasRgn() const { return region_.has_value(); }
    void SetRgn(const ops::Region& region);
    void FreeRgn();
    const ops::Region* Rgn() const { return region_ ? &*region_ : nullptr; }
    int RgnLeft() const { return region_ ? region_->RgnLeft() : 0; }
    int RgnTop() const { return region_ ? region_->RgnTop() : 0; }
    int RgnWidth() const { return region_ ? region_->RgnWidth() : 0; }
    int RgnHeight() const { return region_ ? region_->RgnHeight() : 0; }
    // How the selection's outline shows: 0 not at all, 2 as an animated outline.
    int RgnFrameType() const { return rgnFrameType_; }
    void SetRgnFrameType(int type);
    // The shape a left-button drag draws: 0 none, 1 rectangle, 2 rounded rectangle, 3 ellipse,
    // 4 freehand. The release makes the drawn shape the selection; a freehand line of fewer
    // than three points or a shape without area makes none (the old selection is gone).
    int RgnMarkMode() const { return markMode_; }
    void SetRgnMarkMode(int mode);
    // True while a drag draws a shape.
    bool IsMarking() const { return marking_; }

    // The floating copy of the selected pixels: it lies over the picture at its own place,
    // hidden until shown, and is moved in picture pixels.
    bool HasFloater() const { return floater_.has_value(); }
    const ops::Floater* Floater() const { return floater_ ? &*floater_ : nullptr; }
    // Floater = the selected pixels, hidden, lying exactly over the selection. Returns 0, or
    // the engine's error number without a selection.
    int CreateFloater();
    void SetFloater(ops::Floater floater);
    ops::Floater TakeFloater();
    void ReleaseFloater();
    bool FloaterVisible() const { return floaterVisible_; }
    void SetFloaterVisible(bool visible);
    void MoveFloater(int dx, int dy);
    // The end of a drag: the floater's shape at its place becomes the selection (clipped),
    // the pixels under that selection's rectangle are returned (its new background), the
    // floater's pixels are pasted there (copy mode 288) and the floater is released. Returns
    // an empty bitmap when the floater lies wholly off the picture.
    imaging::Bitmap DropFloater();
    // Crop to the selection: the bitmap becomes the selected pixels; selection and floater go.
    int CropToRgn();

    // The pixels of a rectangle (parts off the bitmap are black / index 0).
    imaging::Bitmap CopyRect(const ops::Rect& rect) const;
    // Pastes a bitmap with its top-left corner at (left, top), clipped, in copy mode 288.
    void PasteBitmap(const imaging::Bitmap& source, int left, int top);
    // Runs an engine operation by name (ops/operation_table.h): colour operations and filters
    // change only the selected pixels when there is a selection. Returns 0 or the error number.
    int Apply(std::string_view name, const std::vector<long>& args);
    // Takes the bitmap out (the control is left empty), so it can move elsewhere uncopied.
    imaging::Bitmap TakeBitmap();

    // Repaints the part of the control that shows picture rectangle `rect`.
    void RepaintPictureRect(const ops::Rect& rect);
    // The control area that picture rectangle `rect` is drawn in (screen pixels).
    QRect WidgetRectOf(const ops::Rect& rect) const;
    // The control area the last outline or floater change asked to repaint.
    QRect LastRegionUpdate() const { return lastRegionUpdate_; }

signals:
    // Positions are picture pixels under the pointer.
    void pointerDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);
    void pointerMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers, int x, int y);
    void pointerUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);
    void clicked();
    void keyDown(int key, Qt::KeyboardModifiers modifiers);
    void keyUp(int key, Qt::KeyboardModifiers modifiers);
    void keyPress(const QString& text);
    // The display origin changed by the user (wheel or keys); DstLeft/DstTop hold it.
    void scrolled();
    void progress(int percent);
    void resized();
    void frameChanged(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void bitmapChanged(bool content = true);
    void framesChanged();
    void composeUpTo(int index);
    // The picture's size in its own pixels: an animation's whole canvas, else the bitmap.
    QSize pictureSize() const;
    void requestRepaint();
    void adoptImage(Image&& image);
    void showFrame(int index);
    void scheduleNextFrame();
    void advanceFrame();
    int failed(const std::exception& error);
    SaveOptions encodeOptions(int format, int bits, int qualityFactor) const;
    double toUnits(double pixels, bool horizontal) const;
    double toPixels(double units, bool horizontal) const;
    QPoint pictureAt(const QPointF& pos) const;
    void scrollBy(int dx, int dy);
    const QImage& cachedImage();
    // Region helpers (imagecontrol_region.cpp).
    void regionChanged();
    void updateRegionArea(const QRect& area);
    void paintRegion(QPainter& painter);
    void beginMarking(const QPoint& at);
    void continueMarking(const QPoint& at);
    void finishMarking();
    QRect markWidgetRect() const;
    void advanceOutline();
    void drawAt(QPainter& painter, const QImage& image, QPoint origin, const QRect& exposed) const;

    WebSaveSettings webSettings_;
    EmbeddingSettings embedding_;
    ImageNotes notes_;
    imaging::Bitmap bitmap_;
    std::vector<Frame> frames_;
    int frameIndex_ = 0;
    ImageInfo info_;
    QString lastError_;

    bool interlaced_ = false;
    int progressivePasses_ = 0;
    bool fastJpeg_ = false;

    bool animationEnabled_ = false;
    bool autoAnimate_ = false;
    int loopsDone_ = 0;
    QTimer animationTimer_;
    std::vector<Rgb> animationPalette_;
    Rgb animationBackColor_ = 0;
    int animationWidth_ = 0;
    int animationHeight_ = 0;
    int animationLoop_ = 0;

    int zoom_ = 100;
    ScaleUnit scaleMode_ = ScaleUnit::Twips;
    bool autoRepaint_ = true;
    bool repaintPending_ = false;
    bool autoSize_ = false;
    bool autoScroll_ = false;
    QPoint dst_;      // picture origin inside the control, screen pixels
    QPoint src_;      // picture pixel drawn at the origin
    int paintCount_ = 0;
    int encodeCount_ = 0;
    std::uint64_t contentVersion_ = 0;

    TextDrawing drawing_;
    QImage standIn_;
    QImage cache_;
    bool cacheValid_ = false;
    const std::uint8_t* cachedRows_ = nullptr;  // the bitmap rows cache_ reads, when it reads them in place
    int cachedBits_ = 0;
    // The animation as a viewer sees it: frames drawn over each other up to composedIndex_.
    // Only the tiles some frame has touched exist (the rest of the screen is transparent), so
    // memory follows the frames, not the logical screen, which a file may declare far larger.
    static constexpr int kTile = 64;
    using TileKey = std::pair<int, int>;  // tile column, row
    std::map<TileKey, QImage> tiles_;
    // The tiles under a frame that is to be restored (disposal 3), as they were before it;
    // a null image stands for a tile that did not exist.
    std::map<TileKey, QImage> beforeFrame_;
    int composedIndex_ = -1;

    std::optional<ops::Region> region_;
    std::vector<QLine> outline_;  // the selection's edges in picture pixels
    int rgnFrameType_ = 0;
    int outlinePhase_ = 0;
    QTimer outlineTimer_;
    int markMode_ = 0;
    bool marking_ = false;
    std::vector<ops::Point> markPoints_;  // start, then each pointer position (freehand)
    std::optional<ops::Floater> floater_;
    QImage floaterImage_;
    bool floaterVisible_ = false;
    QRect lastRegionUpdate_;
    template <class Body>
    void forTiles(const QRect& area, bool create, Body&& body);
};

}  // namespace imaging
