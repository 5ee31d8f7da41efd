#include "qt/imagecontrol.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QResizeEvent>
#include <QPainter>
#include <QScreen>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

#include "codecs/registry.h"
#include "core/error.h"
#include "qt/colorresbridge.h"
#include "qt/qimagebridge.h"

namespace imaging {

namespace {

constexpr double kTwipsPerInch = 1440.0;
// A GIF frame delay of 0 would spin the timer; browsers show such frames for 100 ms.
constexpr int kDefaultFrameDelayMs = 100;
constexpr int kMinimumFrameDelayMs = 20;

std::filesystem::path toPath(const QString& fileName) { return std::filesystem::path(fileName.toStdU16String()); }

ByteView viewOf(const MemoryBlock& block, std::int64_t size) {
    const std::size_t n = size < 0 ? 0 : std::min<std::size_t>(static_cast<std::size_t>(size), block.data.size());
    return ByteView(block.data.data(), n);
}

}  // namespace

ImageControl::ImageControl(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::ClickFocus);
    animationTimer_.setSingleShot(true);
    connect(&animationTimer_, &QTimer::timeout, this, [this] { advanceFrame(); });
    connect(&outlineTimer_, &QTimer::timeout, this, [this] { advanceOutline(); });
}

ImageControl::~ImageControl() = default;

// --- Bitmap -----------------------------------------------------------------------------------

void ImageControl::SetBitmap(const imaging::Bitmap& bitmap) {
    bitmap_ = bitmap;
    bitmapChanged();
}

void ImageControl::SetBitmap(imaging::Bitmap&& bitmap) {
    bitmap_ = std::move(bitmap);
    bitmapChanged();
}

Rgb ImageControl::BitmapPalette(int index) const {
    const auto& palette = bitmap_.palette();
    return index >= 0 && index < static_cast<int>(palette.size()) ? palette[static_cast<std::size_t>(index)] : 0;
}

void ImageControl::SetBitmapPalette(int index, Rgb color) {
    auto& palette = bitmap_.palette();
    if (index < 0 || index >= static_cast<int>(palette.size())) return;
    palette[static_cast<std::size_t>(index)] = color & 0xFFFFFF;
    bitmapChanged();
}

Rgb ImageControl::UserPalette(int index) const {
    const auto& palette = bitmap_.userPalette();
    return index >= 0 && index < static_cast<int>(palette.size()) ? palette[static_cast<std::size_t>(index)] : 0;
}

void ImageControl::SetUserPalette(int index, Rgb color) {
    if (index < 0 || index > 255) return;
    auto& palette = bitmap_.userPalette();
    if (palette.size() <= static_cast<std::size_t>(index)) palette.resize(static_cast<std::size_t>(index) + 1, 0);
    palette[static_cast<std::size_t>(index)] = color & 0xFFFFFF;
}

Rgb ImageControl::Pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= bitmap_.width() || y >= bitmap_.height()) return 0;
    return bitmap_.pixel(x, y);
}

void ImageControl::SetPixel(int x, int y, Rgb color) {
    if (x < 0 || y < 0 || x >= bitmap_.width() || y >= bitmap_.height()) return;
    bitmap_.setPixel(x, y, color);
    bitmapChanged();
}

int ImageControl::ColorCount() const { return bitmap_.uniqueColorCount(); }

imaging::Bitmap ImageControl::ReduceKeepingSettings(imaging::Bitmap&& bitmap, int bits, int paletteKind,
                                                    int ditherCode, int colorCount) {
    std::vector<Rgb> userPalette = bitmap.userPalette();
    const bool wasTransparent = bitmap.transparent();
    Rgb key = bitmap.transparentColor();
    if (isPaletteReference(key)) {
        const auto& palette = bitmap.palette();
        const int entry = paletteIndexOf(key);
        key = entry >= 0 && entry < static_cast<int>(palette.size()) ? palette[static_cast<std::size_t>(entry)] : 0;
    }
    imaging::Bitmap reduced = detail::reduceColors(std::move(bitmap), bits, paletteKind, ditherCode, colorCount);
    reduced.userPalette() = std::move(userPalette);
    // A transparency set before the reduction (a PNG Variation's colour) survives it; an
    // index into the old palette would name another colour now, so it becomes the colour.
    if (wasTransparent && !reduced.transparent()) {
        reduced.setTransparent(true);
        reduced.setTransparentColor(key & 0xFFFFFF);
    }
    return reduced;
}

int ImageControl::ColorRes(int bits, int paletteFlags, int ditherFlags, int colorCount) {
    try {
        // The bitmap itself is handed over, so a 24-bit Variation holds no second full-size
        // copy while it is encoded.
        bitmap_ = ReduceKeepingSettings(std::move(bitmap_), bits, paletteFlags, ditherFlags, colorCount);
        bitmapChanged();
        return 0;
    } catch (const std::exception& e) {
        return failed(e);
    }
}

int ImageControl::ColorResList(int bits, int paletteFlags, int ditherFlags, int colorCount) {
    if (frames_.empty()) return 0;
    try {
        Image list;
        list.frames = frames_;
        Image reduced = detail::reduceColors(list, bits, paletteFlags, ditherFlags, colorCount);
        frames_ = std::move(reduced.frames);
        framesChanged();
        return 0;
    } catch (const std::exception& e) {
        return failed(e);
    }
}

void ImageControl::CreateBitmap(int width, int height, int bits, Rgb color) {
    imaging::Bitmap bitmap(width, height, bits);
    if (bits > 8) {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) bitmap.setPixel(x, y, color);
    } else {
        bitmap.palette()[0] = color & 0xFFFFFF;
    }
    SetAnimationEnable(false);
    frames_.clear();
    framesChanged();
    frameIndex_ = 0;
    bitmap_ = std::move(bitmap);
    bitmapChanged();
}

void ImageControl::ClearBitmap() {
    SetAnimationEnable(false);
    frames_.clear();
    framesChanged();
    frameIndex_ = 0;
    bitmap_ = imaging::Bitmap();
    bitmapChanged();
}

void ImageControl::SetTransparent(bool on) {
    bitmap_.setTransparent(on);
    if (frameIndex_ < BitmapListCount()) frames_[static_cast<std::size_t>(frameIndex_)].bitmap.setTransparent(on);
}

void ImageControl::SetTransparentColor(Rgb color) {
    bitmap_.setTransparentColor(color);
    if (frameIndex_ < BitmapListCount())
        frames_[static_cast<std::size_t>(frameIndex_)].bitmap.setTransparentColor(color);
}

// --- Files and memory -----------------------------------------------------------------------

int ImageControl::failed(const std::exception& error) {
    lastError_ = QString::fromStdString(error.what());
    return ErrorNumberOf(error);
}

int ImageControl::ErrorNumberOf(const std::exception& error) {
    if (const auto* engineError = dynamic_cast<const Error*>(&error)) return engineError->number();
    if (dynamic_cast<const std::bad_alloc*>(&error)) return static_cast<int>(ErrorCode::OutOfMemory);
    return static_cast<int>(ErrorCode::InvalidArgument);
}

int ImageControl::FileInfo(const QString& fileName, int flags) {
    (void)flags;
    try {
        info_ = readInfoFile(toPath(fileName));
        return 0;
    } catch (const std::exception& e) {
        return failed(e);
    }
}

void ImageControl::adoptImage(Image&& image) {
    SetAnimationEnable(false);
    notes_ = std::move(image.notes);
    animationBackColor_ = image.backgroundColor;
    animationLoop_ = image.loopCount;
    animationWidth_ = image.logicalWidth ? image.logicalWidth : image.first().width();
    animationHeight_ = image.logicalHeight ? image.logicalHeight : image.first().height();
    animationPalette_ = image.first().palette();
    frameIndex_ = 0;
    if (image.frames.size() > 1) {
        frames_ = std::move(image.frames);
        framesChanged();
        bitmap_ = frames_.front().bitmap;
    } else {
        frames_.clear();
    framesChanged();
        bitmap_ = std::move(image.first());
    }
    bitmapChanged();
    emit progress(100);
    if (autoAnimate_ && frames_.size() > 1) SetAnimationEnable(true);
}

int ImageControl::Load(const QString& fileName, int bits, int firstPage, int pageCount) {
    try {
        const Bytes data = readWholeFile(toPath(fileName));
        ImageInfo info = readInfo(data);
        Image image = loadMemory(data, LoadOptions{bits, firstPage, pageCount});
        if (image.empty()) imaging::fail(ErrorCode::Corrupt, "load", "the file holds no picture");
        info_ = info;
        adoptImage(std::move(image));
        return 0;
    } catch (const std::exception& e) {
        return failed(e);
    }
}

int ImageControl::Save(const QString& fileName, int format, int bits, int qualityFactor, bool multiPage) {
    try {
        Image image;
        if (multiPage && frames_.size() > 1) {
            image.frames = frames_;
        } else {
            image.frames.push_back(Frame{bitmap_});
        }
        image.format = format;
        image.loopCount = animationLoop_;
        image.backgroundColor = animationBackColor_;
        image.logicalWidth = animationWidth_;
        image.logicalHeight = animationHeight_;
        SaveOptions options = encodeOptions(format, bits, qualityFactor);
        options.multiPage = multiPage && frames_.size() > 1;
        ++encodeCount_;
        saveFile(toPath(fileName), image, options);
        return 0;
    } catch (const std::exception& e) {
        return failed(e);
    }
}

SaveOptions ImageControl::encodeOptions(int format, int bits, int qualityFactor) const {
    SaveOptions options;
    options.format = format;
    options.bits = bits;
    options.qualityFactor = qualityFactor;
    options.passes = progressivePasses_;
    options.fastJpeg = fastJpeg_;
    options.interlaced = interlaced_;
    options.quality = webSettings_.quality;
    options.lossless = webSettings_.lossless;
    options.effort = webSettings_.effort;
    options.iccProfile = embedding_.iccProfile;
    options.author = embedding_.author;
    options.copyright = embedding_.copyright;
    return options;
}

int ImageControl::SaveMemory(std::unique_ptr<MemoryBlock>& block, int format, int bits, int qualityFactor,
                             std::int64_t& size, std::int64_t sizeLimit) {
    block.reset();
    size = 0;
    try {
        // The image only borrows the bitmap for the encoder; a 2-megapixel copy per encode
        // would cost as much as a fast encoder itself.
        Image image;
        image.frames.push_back(Frame{std::move(bitmap_)});
        image.format = format;
        SaveOptions options = encodeOptions(format, bits, qualityFactor);
        options.sizeLimit = sizeLimit > 0 ? static_cast<std::size_t>(sizeLimit) : 0;
        Bytes encoded;
        ++encodeCount_;
        try {
            encoded = saveMemory(image, options);
        } catch (...) {
            bitmap_ = std::move(image.frames.front().bitmap);
            throw;
        }
        bitmap_ = std::move(image.frames.front().bitmap);
        block = std::make_unique<MemoryBlock>();
        block->data = std::move(encoded);
        size = static_cast<std::int64_t>(block->data.size());
        return 0;
    } catch (const std::exception& e) {
        return failed(e);
    }
}

int ImageControl::LoadMemory(const MemoryBlock& block, int bits, int firstPage, int pageCount, std::int64_t size) {
    try {
        Image image = loadMemory(viewOf(block, size), LoadOptions{bits, firstPage, pageCount});
        if (image.empty()) imaging::fail(ErrorCode::Corrupt, "load", "the data holds no picture");
        adoptImage(std::move(image));
        return 0;
    } catch (const std::exception& e) {
        return failed(e);
    }
}

int ImageControl::MemoryInfo(const MemoryBlock& block, int page, std::int64_t size) {
    (void)page;
    try {
        info_ = readInfo(viewOf(block, size));
        return 0;
    } catch (const std::exception& e) {
        return failed(e);
    }
}

// --- Frames ------------------------------------------------------------------------------------

void ImageControl::SetBitmapList(const std::vector<Frame>& frames) {
    const bool wasPlaying = animationEnabled_;
    SetAnimationEnable(false);
    frames_ = frames;
    framesChanged();
    frameIndex_ = 0;
    if (!frames_.empty()) {
        bitmap_ = frames_.front().bitmap;
        bitmapChanged();
    }
    if (wasPlaying) SetAnimationEnable(true);
}

void ImageControl::SetBitmapListIndex(int index) {
    if (frames_.empty()) return;
    showFrame(std::clamp(index, 0, BitmapListCount() - 1));
}

void ImageControl::CopyPicturesFrom(const ImageControl& other) {
    // Both copies are made before anything here changes.
    std::vector<Frame> frames = other.frames_;
    imaging::Bitmap bitmap = other.bitmap_;
    SetAnimationEnable(false);
    frames_ = std::move(frames);
    framesChanged();
    frameIndex_ = std::min(other.frameIndex_, std::max(0, BitmapListCount() - 1));
    bitmap_ = std::move(bitmap);
    animationPalette_ = other.animationPalette_;
    animationBackColor_ = other.animationBackColor_;
    animationWidth_ = other.animationWidth_;
    animationHeight_ = other.animationHeight_;
    animationLoop_ = other.animationLoop_;
    notes_ = other.notes_;
    bitmapChanged();
}

void ImageControl::TakePicturesFrom(ImageControl& other) {
    SetAnimationEnable(false);
    other.SetAnimationEnable(false);
    frames_ = std::move(other.frames_);
    other.frames_.clear();
    framesChanged();
    other.framesChanged();
    frameIndex_ = std::min(other.frameIndex_, std::max(0, BitmapListCount() - 1));
    other.frameIndex_ = 0;
    bitmap_ = std::move(other.bitmap_);
    other.bitmap_ = imaging::Bitmap();
    animationPalette_ = std::move(other.animationPalette_);
    animationBackColor_ = other.animationBackColor_;
    animationWidth_ = other.animationWidth_;
    animationHeight_ = other.animationHeight_;
    animationLoop_ = other.animationLoop_;
    notes_ = std::move(other.notes_);
    other.notes_ = ImageNotes();
    other.bitmapChanged();
    bitmapChanged();
}

void ImageControl::showFrame(int index) {
    frameIndex_ = index;
    bitmap_ = frames_[static_cast<std::size_t>(index)].bitmap;
    bitmapChanged(false);
    emit frameChanged(index);
}

void ImageControl::SetAnimationEnable(bool on) {
    animationEnabled_ = on && frames_.size() > 1;
    if (animationEnabled_) {
        loopsDone_ = 0;
        scheduleNextFrame();
    } else {
        animationTimer_.stop();
    }
}

void ImageControl::scheduleNextFrame() {
    const int delay = frames_[static_cast<std::size_t>(frameIndex_)].delay * 10;
    animationTimer_.start(delay <= 0 ? kDefaultFrameDelayMs : std::max(delay, kMinimumFrameDelayMs));
}

void ImageControl::advanceFrame() {
    if (!animationEnabled_ || frames_.size() < 2) return;
    int next = frameIndex_ + 1;
    if (next >= BitmapListCount()) {
        next = 0;
        ++loopsDone_;
        if (animationLoop_ > 0 && loopsDone_ >= animationLoop_) {
            animationEnabled_ = false;
            return;
        }
    }
    showFrame(next);
    scheduleNextFrame();
}

// --- Display -----------------------------------------------------------------------------------

void ImageControl::SetPaintZoomFactor(int percent) {
    zoom_ = std::clamp(percent, 1, 32000);
    if (autoSize_) resize(sizeHint());
    requestRepaint();
}

double ImageControl::TwipsPerPixelX() const {
    const QScreen* s = screen();
    const double dpi = s ? s->logicalDotsPerInchX() : 96.0;
    return kTwipsPerInch / (dpi > 0 ? dpi : 96.0);
}

double ImageControl::TwipsPerPixelY() const {
    const QScreen* s = screen();
    const double dpi = s ? s->logicalDotsPerInchY() : 96.0;
    return kTwipsPerInch / (dpi > 0 ? dpi : 96.0);
}

double ImageControl::toUnits(double pixels, bool horizontal) const {
    if (scaleMode_ == ScaleUnit::Pixels) return pixels;
    return pixels * (horizontal ? TwipsPerPixelX() : TwipsPerPixelY());
}

double ImageControl::toPixels(double units, bool horizontal) const {
    if (scaleMode_ == ScaleUnit::Pixels) return units;
    return units / (horizontal ? TwipsPerPixelX() : TwipsPerPixelY());
}

void ImageControl::SetAutoRepaint(bool on) {
    autoRepaint_ = on;
    if (on && repaintPending_) requestRepaint();
}

void ImageControl::ForceRepaint() {
    repaintPending_ = false;
    update();
}

void ImageControl::requestRepaint() {
    if (!autoRepaint_) {
        repaintPending_ = true;
        return;
    }
    repaintPending_ = false;
    update();
}

void ImageControl::framesChanged() {
    composedIndex_ = -1;
    tiles_.clear();
    beforeFrame_.clear();
}

template <class Body>
void ImageControl::forTiles(const QRect& area, bool create, Body&& body) {
    const QSize size = pictureSize();
    const QRect clipped = area.intersected(QRect(QPoint(0, 0), size));
    if (clipped.isEmpty()) return;
    for (int ty = clipped.top() / kTile; ty <= clipped.bottom() / kTile; ++ty)
        for (int tx = clipped.left() / kTile; tx <= clipped.right() / kTile; ++tx) {
            const TileKey key{tx, ty};
            auto it = tiles_.find(key);
            if (it == tiles_.end()) {
                if (!create) {
                    body(key, nullptr);
                    continue;
                }
                QImage tile(std::min(kTile, size.width() - tx * kTile), std::min(kTile, size.height() - ty * kTile),
                            QImage::Format_ARGB32_Premultiplied);
                tile.fill(Qt::transparent);
                it = tiles_.emplace(key, std::move(tile)).first;
            }
            body(key, &it->second);
        }
}

void ImageControl::composeUpTo(int index) {
    // Frames are stored as the file holds them (each at its own offset, some only a patch);
    // a viewer draws them one over the other, honouring each frame's disposal.
    if (composedIndex_ >= 0 && index == composedIndex_) return;
    if (composedIndex_ < 0 || index < composedIndex_) {
        tiles_.clear();
        beforeFrame_.clear();
        composedIndex_ = -1;
    }
    for (int j = composedIndex_ + 1; j <= index; ++j) {
        if (j > 0) {
            const Frame& previous = frames_[static_cast<std::size_t>(j - 1)];
            const QRect area(previous.left, previous.top, previous.bitmap.width(), previous.bitmap.height());
            if (previous.disposal == 2) {
                forTiles(area, false, [&](const TileKey& key, QImage* tile) {
                    if (!tile) return;
                    QPainter painter(tile);
                    painter.setCompositionMode(QPainter::CompositionMode_Clear);
                    painter.fillRect(area.translated(-key.first * kTile, -key.second * kTile), Qt::transparent);
                });
            } else if (previous.disposal == 3) {
                for (auto& [key, saved] : beforeFrame_) {
                    if (saved.isNull()) tiles_.erase(key);
                    else tiles_[key] = std::move(saved);
                }
            }
            beforeFrame_.clear();
        }
        const Frame& frame = frames_[static_cast<std::size_t>(j)];
        const QRect area(frame.left, frame.top, frame.bitmap.width(), frame.bitmap.height());
        if (frame.disposal == 3)
            forTiles(area, false, [&](const TileKey& key, QImage* tile) { beforeFrame_[key] = tile ? tile->copy() : QImage(); });
        const QImage picture = toQImage(frame.bitmap);
        forTiles(area, true, [&](const TileKey& key, QImage* tile) {
            QPainter painter(tile);
            painter.drawImage(frame.left - key.first * kTile, frame.top - key.second * kTile, picture);
        });
    }
    composedIndex_ = index;
}

std::size_t ImageControl::AnimationCanvasBytes() const {
    std::size_t bytes = 0;
    for (const auto& [key, tile] : tiles_) bytes += static_cast<std::size_t>(tile.sizeInBytes());
    for (const auto& [key, tile] : beforeFrame_) bytes += static_cast<std::size_t>(tile.sizeInBytes());
    return bytes;
}

void ImageControl::bitmapChanged(bool content) {
    if (content) ++contentVersion_;
    // A smaller bitmap keeps only the part of the selection that still lies on it.
    if (region_ && (region_->bounds().right() > bitmap_.width() || region_->bounds().bottom() > bitmap_.height()))
        SetRgn(*region_);
    cacheValid_ = false;
    if (autoSize_) resize(sizeHint());
    requestRepaint();
}

double ImageControl::DstLeft() const { return toUnits(dst_.x(), true); }
double ImageControl::DstTop() const { return toUnits(dst_.y(), false); }
double ImageControl::DstWidth() const { return toUnits(pictureSize().width() * zoom_ / 100.0, true); }
double ImageControl::DstHeight() const { return toUnits(pictureSize().height() * zoom_ / 100.0, false); }
void ImageControl::SetDstLeft(double value) {
    dst_.setX(static_cast<int>(std::lround(toPixels(value, true))));
    requestRepaint();
}
void ImageControl::SetDstTop(double value) {
    dst_.setY(static_cast<int>(std::lround(toPixels(value, false))));
    requestRepaint();
}
double ImageControl::SrcLeft() const { return toUnits(src_.x(), true); }
double ImageControl::SrcTop() const { return toUnits(src_.y(), false); }
void ImageControl::SetSrcLeft(double value) {
    src_.setX(static_cast<int>(std::lround(toPixels(value, true))));
    requestRepaint();
}
void ImageControl::SetSrcTop(double value) {
    src_.setY(static_cast<int>(std::lround(toPixels(value, false))));
    requestRepaint();
}

void ImageControl::SetAutoSize(bool on) {
    autoSize_ = on;
    if (on) resize(sizeHint());
}

QSize ImageControl::pictureSize() const {
    if (frames_.size() < 2) return {bitmap_.width(), bitmap_.height()};
    int w = animationWidth_;
    int h = animationHeight_;
    for (const Frame& f : frames_) {
        w = std::max(w, f.left + f.bitmap.width());
        h = std::max(h, f.top + f.bitmap.height());
    }
    return {w, h};
}

void ImageControl::SetStandIn(const QImage& image) {
    if (image.isNull() && standIn_.isNull()) return;
    standIn_ = image;
    requestRepaint();
}

QSize ImageControl::sizeHint() const {
    const QSize picture = pictureSize();
    if (picture.isEmpty()) return {32, 32};
    return {std::max(1, picture.width() * zoom_ / 100), std::max(1, picture.height() * zoom_ / 100)};
}

const QImage& ImageControl::cachedImage() {
    // 24- and 32-bit pixels are laid out as Qt's RGB888 and RGBA8888, so the picture shown
    // reads the bitmap's own rows instead of a copy: every picture on screen would otherwise be
    // held twice. The view is rebuilt whenever the rows it reads are no longer the bitmap's.
    const bool direct = bitmap_.bits() == 24 || bitmap_.bits() == 32;
    const std::uint8_t* rows = bitmap_.data().data();
    if (cacheValid_ && direct && (cachedRows_ != rows || cache_.width() != bitmap_.width() ||
                                  cache_.height() != bitmap_.height() || cachedBits_ != bitmap_.bits()))
        cacheValid_ = false;
    if (!cacheValid_) {
        if (direct && !bitmap_.empty()) {
            cache_ = QImage(rows, bitmap_.width(), bitmap_.height(), static_cast<qsizetype>(bitmap_.stride()),
                            bitmap_.bits() == 24 ? QImage::Format_RGB888 : QImage::Format_RGBA8888);
        } else {
            cache_ = toQImage(bitmap_);
        }
        cachedRows_ = direct ? rows : nullptr;
        cachedBits_ = bitmap_.bits();
        cacheValid_ = true;
    }
    return cache_;
}

void ImageControl::paintEvent(QPaintEvent* event) {
    ++paintCount_;
    QPainter painter(this);
    painter.fillRect(event->rect(), palette().color(QPalette::Window));
    painter.setRenderHint(QPainter::SmoothPixmapTransform, zoom_ < 100);
    if (!standIn_.isNull()) {
        drawAt(painter, standIn_, QPoint(0, 0), event->rect());
    } else if (frames_.size() > 1 && frameIndex_ < BitmapListCount()) {
        composeUpTo(frameIndex_);
        for (const auto& [key, tile] : tiles_) drawAt(painter, tile, QPoint(key.first * kTile, key.second * kTile), event->rect());
    } else {
        const QImage& image = cachedImage();
        if (image.isNull()) return;
        drawAt(painter, image, QPoint(0, 0), event->rect());
    }
    paintRegion(painter);
}

void ImageControl::drawAt(QPainter& painter, const QImage& image, QPoint origin, const QRect& exposed) const {
    // Picture pixel p shows at dst_ + (p - src_) * scale; what lies left of or above src_ is not drawn.
    const double scale = zoom_ / 100.0;
    const int skipX = std::clamp(src_.x() - origin.x(), 0, image.width());
    const int skipY = std::clamp(src_.y() - origin.y(), 0, image.height());
    const QRectF source(skipX, skipY, image.width() - skipX, image.height() - skipY);
    const QRectF target(dst_.x() + (origin.x() + skipX - src_.x()) * scale, dst_.y() + (origin.y() + skipY - src_.y()) * scale,
                        source.width() * scale, source.height() * scale);
    if (source.isEmpty() || !target.intersects(QRectF(exposed))) return;
    painter.drawImage(target, image, source);
}

QPoint ImageControl::pictureAt(const QPointF& pos) const {
    const double scale = zoom_ / 100.0;
    return {static_cast<int>(std::floor((pos.x() - dst_.x()) / scale)) + src_.x(),
            static_cast<int>(std::floor((pos.y() - dst_.y()) / scale)) + src_.y()};
}

void ImageControl::mousePressEvent(QMouseEvent* event) {
    const QPoint p = pictureAt(event->position());
    // Another button during a drawing drag ends the drawing where it is.
    if (marking_ && event->button() != Qt::LeftButton) finishMarking();
    emit pointerDown(event->button(), event->modifiers(), p.x(), p.y());
    if (event->button() == Qt::LeftButton && markMode_ != 0) beginMarking(p);
}

void ImageControl::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = pictureAt(event->position());
    if (marking_) continueMarking(p);
    emit pointerMove(event->buttons(), event->modifiers(), p.x(), p.y());
}

void ImageControl::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint p = pictureAt(event->position());
    if (marking_ && event->button() == Qt::LeftButton) {
        continueMarking(p);
        finishMarking();
    }
    emit pointerUp(event->button(), event->modifiers(), p.x(), p.y());
    // A click is the left button's; the right one opens a menu that selects for itself (and may
    // hide or close what was clicked).
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) emit clicked();
}

void ImageControl::keyPressEvent(QKeyEvent* event) {
    emit keyDown(event->key(), event->modifiers());
    if (!event->text().isEmpty()) emit keyPress(event->text());
    if (autoScroll_) {
        const int step = 16;
        switch (event->key()) {
        case Qt::Key_Left: scrollBy(step, 0); break;
        case Qt::Key_Right: scrollBy(-step, 0); break;
        case Qt::Key_Up: scrollBy(0, step); break;
        case Qt::Key_Down: scrollBy(0, -step); break;
        default: break;
        }
    }
}

void ImageControl::keyReleaseEvent(QKeyEvent* event) { emit keyUp(event->key(), event->modifiers()); }

void ImageControl::wheelEvent(QWheelEvent* event) {
    if (!autoScroll_) {
        event->ignore();
        return;
    }
    const QPoint delta = event->angleDelta() / 4;
    if (event->modifiers() & Qt::ShiftModifier)
        scrollBy(delta.y(), 0);
    else
        scrollBy(delta.x(), delta.y());
    event->accept();
}

void ImageControl::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    emit resized();
}

void ImageControl::scrollBy(int dx, int dy) {
    // The picture may move left/up until its far edge meets the control's edge, never further
    // right/down than the control's corner.
    const QSize shown = sizeHint();
    const int minX = std::min(0, width() - shown.width());
    const int minY = std::min(0, height() - shown.height());
    const QPoint next(std::clamp(dst_.x() + dx, minX, 0), std::clamp(dst_.y() + dy, minY, 0));
    if (next == dst_) return;
    dst_ = next;
    requestRepaint();
    emit scrolled();
}

}  // namespace imaging
