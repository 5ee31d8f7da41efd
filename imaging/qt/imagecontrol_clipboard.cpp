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
#include "ops/floater.h"
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

bool offersPictureForm(const QMimeData* data) {
    if (!data) return false;
    for (const char* form : kEncodedForms) {
        if (data->hasFormat(QLatin1String(form))) return true;
    }
    return data->hasImage();
}

// The clipboard's picture as Paste takes it: the first encoded form through the engine's own
// reader, else Qt's image. Throws when there is none or it cannot be read.
Bitmap readClipboardPicture(const QMimeData* data) {
    if (!offersPictureForm(data)) fail(ErrorCode::NoImage, "clipboard", "the clipboard holds no picture");
    for (const char* form : kEncodedForms) {
        if (!data->hasFormat(QLatin1String(form))) continue;
        const QByteArray bytes = data->data(QLatin1String(form));
        const ByteView view(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                            static_cast<std::size_t>(bytes.size()));
        Image image = loadMemory(view, LoadOptions{0, 0, 1});
        if (image.empty()) fail(ErrorCode::Corrupt, "clipboard", "the picture on the clipboard is empty");
        return std::move(image.first());
    }
    Bitmap pasted = fromQImage(qvariant_cast<QImage>(data->imageData()));
    if (pasted.empty()) fail(ErrorCode::Corrupt, "clipboard", "the picture on the clipboard cannot be read");
    return pasted;
}

// The paste query reads the clipboard as Paste does, so Paste is never offered for content it
// then refuses. The answer is kept until the clipboard changes: the query runs every second,
// and the content may be large and come from another program.
struct PasteVerdict {
    std::uint64_t generation = 0;
    std::uint64_t answered = 0;  // the generation the verdict belongs to (0: none yet)
    bool pastable = false;
};

PasteVerdict& pasteVerdict(QClipboard* board) {
    static PasteVerdict verdict;
    static QClipboard* watched = nullptr;
    if (board != watched) {
        watched = board;
        verdict.generation = verdict.answered + 1;
        QObject::connect(board, &QClipboard::dataChanged, board, [] { ++verdict.generation; });
    }
    return verdict;
}

// The selected pixels as they go out: a rectangle as it is (its palette kept), any other shape
// with the pixels outside it transparent, so the copy holds the shape and nothing beside it.
Bitmap selectedPixels(const Bitmap& bitmap, const ops::Region& region) {
    ops::Floater lifted = ops::liftFloater(bitmap, region);
    if (lifted.shape.isFull()) return std::move(lifted.pixels);
    const Bitmap& pixels = lifted.pixels;
    Bitmap shaped(pixels.width(), pixels.height(), 32);  // all zero: transparent
    for (int y = 0; y < pixels.height(); ++y) {
        std::uint8_t* out = shaped.row(y);
        for (int x = 0; x < pixels.width(); ++x) {
            if (!lifted.shape.insideLocal(x, y)) continue;
            const Rgb c = pixels.pixel(x, y);
            std::uint8_t* p = out + 4 * static_cast<std::size_t>(x);
            p[0] = static_cast<std::uint8_t>(redOf(c));
            p[1] = static_cast<std::uint8_t>(greenOf(c));
            p[2] = static_cast<std::uint8_t>(blueOf(c));
            p[3] = pixels.bits() == 32 ? pixels.row(y)[4 * static_cast<std::size_t>(x) + 3] : 255;
        }
    }
    return shaped;
}

}  // namespace

int ImageControl::Copy(int flags) {
    try {
        QClipboard* board = clipboard();
        if (!board) fail(ErrorCode::Unsupported, "clipboard", "no clipboard without a window system");
        if (bitmap_.empty()) fail(ErrorCode::NoImage, "clipboard", "no picture to copy");
        if (flags & kCopyClear) board->clear();
        if (!(flags & kCopyBitmap)) return 0;
        // With a selection only its content goes out: its bounding rectangle, transparent
        // outside the shape.
        imaging::Bitmap selected;
        if (region_) selected = selectedPixels(bitmap_, *region_);
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
    if (flags & kPasteQuery) {
        if (!board) return 0;
        PasteVerdict& verdict = pasteVerdict(board);
        if (verdict.answered != verdict.generation) {
            bool pastable = false;
            try {
                pastable = !readClipboardPicture(data).empty();
            } catch (const std::exception&) {
                pastable = false;
            }
            verdict.pastable = pastable;
            verdict.answered = verdict.generation;
        }
        return verdict.pastable ? 1 : 0;
    }
    try {
        imaging::Bitmap pasted = readClipboardPicture(data);
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
