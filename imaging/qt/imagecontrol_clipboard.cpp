// The image control's clipboard transfer. Pictures go out in the forms other programs read
// (PNG keeps a reduced palette exactly, BMP for older paint programs, Qt's own image form for
// Qt programs) and come in through the engine's own bounds-checked readers where the data is
// an encoded file, so a hostile clipboard owner meets the same checks as a file.

#include "qt/imagecontrol.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include "codecs/registry.h"
#include "core/error.h"
#include "qt/qimagebridge.h"

namespace imaging {

namespace {

constexpr int kPngFormat = 75;
constexpr int kBmpFormat = 6;

// Encoded forms read in this order of preference: exact ones first.
const char* const kEncodedForms[] = {"image/png", "image/bmp", "image/x-bmp", "image/x-MS-bmp", "image/jpeg"};

QByteArray encode(const Bitmap& bitmap, int format) {
    SaveOptions options;
    options.format = format;
    // A PNG or BMP has no 16-bit layout other programs read alike; send the colours as 24 bits.
    const Bytes bytes = bitmap.bits() == 16 ? saveMemory(Image::fromBitmap(bitmap.toRgb24()), options)
                                            : saveMemory(Image::fromBitmap(bitmap), options);
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

QClipboard* clipboard() {
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) ? QGuiApplication::clipboard() : nullptr;
}

bool holdsPicture(const QMimeData* data) {
    if (!data) return false;
    for (const char* form : kEncodedForms) {
        if (data->hasFormat(QLatin1String(form))) return true;
    }
    return data->hasImage();
}

}  // namespace

int ImageControl::Copy(int flags) {
    try {
        QClipboard* board = clipboard();
        if (!board) fail(ErrorCode::Unsupported, "clipboard", "no clipboard without a window system");
        if (bitmap_.empty()) fail(ErrorCode::NoImage, "clipboard", "no picture to copy");
        if (flags & kCopyClear) board->clear();
        if (!(flags & kCopyBitmap)) return 0;
        // With a selection only its content goes out (the bounding rectangle of its shape, as
        // other programs take rectangles only).
        imaging::Bitmap selected;
        if (region_) selected = CopyRect(region_->bounds());
        const imaging::Bitmap& shown = selected.empty() ? bitmap_ : selected;
        // Without the palette flag a palette picture goes out in its colours as 24 bits.
        imaging::Bitmap direct;
        if (shown.isIndexed() && !(flags & kCopyPalette)) direct = shown.toRgb24();
        const imaging::Bitmap& out = direct.empty() ? shown : direct;
        auto data = std::make_unique<QMimeData>();
        data->setData(QStringLiteral("image/png"), encode(out, kPngFormat));
        data->setData(QStringLiteral("image/bmp"), encode(out, kBmpFormat));
        data->setImageData(toQImage(out));
        board->setMimeData(data.release());
        return 0;
    } catch (const std::exception& e) {
        return failed(e);
    }
}

int ImageControl::Paste(int flags) {
    QClipboard* board = clipboard();
    const QMimeData* data = board ? board->mimeData() : nullptr;
    if (flags & kPasteQuery) return holdsPicture(data) ? 1 : 0;
    try {
        if (!holdsPicture(data)) fail(ErrorCode::NoImage, "clipboard", "the clipboard holds no picture");
        imaging::Bitmap pasted;
        for (const char* form : kEncodedForms) {
            if (!data->hasFormat(QLatin1String(form))) continue;
            const QByteArray bytes = data->data(QLatin1String(form));
            const ByteView view(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                static_cast<std::size_t>(bytes.size()));
            Image image = loadMemory(view, LoadOptions{0, 0, 1});
            if (image.empty()) fail(ErrorCode::Corrupt, "clipboard", "the picture on the clipboard is empty");
            pasted = std::move(image.first());
            break;
        }
        if (pasted.empty()) {
            pasted = fromQImage(qvariant_cast<QImage>(data->imageData()));
            if (pasted.empty()) fail(ErrorCode::Corrupt, "clipboard", "the picture on the clipboard cannot be read");
        }
        ImageInfo info;
        info.bits = pasted.bits();
        info.width = pasted.width();
        info.height = pasted.height();
        info.memorySize = pasted.memorySize();
        ClearBitmap();
        info_ = info;
        SetBitmap(std::move(pasted));
        return 0;
    } catch (const std::exception& e) {
        return failed(e);
    }
}

}  // namespace imaging
