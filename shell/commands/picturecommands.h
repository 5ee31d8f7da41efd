#pragma once
// The Edit commands that bring a picture in or out without a file: Copy and Paste through the
// platform clipboard, Duplicate Image, and the 3D text drawn onto the Original. Each works on
// the active document; the new-document cases go through the File commands' NewDocument.

#include <QObject>
#include <QRectF>

#include <memory>
#include <optional>

namespace imaging {
class Bitmap;
class CaptureControl;
class ImageControl;
class TextDialogs;
}  // namespace imaging

namespace kalmira {

class frmMain;
class frmDocument;
class frmCapture;

class PictureCommands : public QObject {
    Q_OBJECT

public:
    explicit PictureCommands(frmMain& main);
    ~PictureCommands() override;

    void Copy();
    void Paste();
    void Duplicate();
    void Insert3DText();
    // Edit > Capture: the capture dialog; each captured picture becomes a new document.
    void Capture();
    // Ends a capture that waits for its hot key (the main window closing).
    void StopCapture();
    // The capture control (ScreenCapture1); tests put one of their own.
    imaging::CaptureControl& ScreenCapture1();
    void SetCaptureControl(std::unique_ptr<imaging::CaptureControl> control);
    // The capture dialog while it is shown, else nullptr.
    frmCapture* CaptureDialog() const { return captureDialog_; }
    // A picture that arrived without a file (duplicate, capture, scanner) becomes the Original of
    // a new blank-named document whose Variations are all chosen and encoded afresh. Returns the
    // document, or nullptr when the picture is empty.
    frmDocument* NewDocumentFromBitmap(imaging::Bitmap&& picture);

    // An animated picture's frame as it is shown: the frames up to the shown one composed on
    // the whole logical screen (32 bits; what no frame covers is transparent). A still
    // picture's bitmap as it is.
    static imaging::Bitmap ShownFrame(const imaging::ImageControl& picture);

    // Whether the clipboard holds a picture Paste can take (the query, nothing is pasted).
    bool ClipboardHoldsPicture() const;
    // The add-text dialog; tests put one that answers without a window.
    void SetImageDialogs(std::unique_ptr<imaging::TextDialogs> dialogs);
    imaging::TextDialogs& ImageDialogs1();

    // The rectangle 3D text is laid out in, picture pixels: the displayed area (the picture at
    // `zoom` percent) less a margin of 5 displayed pixels at the top and left, or with a
    // selection its bounds less 5 pixels; a picture or selection of 5 or less keeps no margin.
    static QRectF TextRectangle(int pictureWidth, int pictureHeight, int zoom, std::optional<QRectF> region);

private:
    // The undo step the tools window's Apply stores too (UndoHinzufuegen).
    void storeUndoStep(frmDocument& document);
    void showMessage(int textId, const QString& detail = QString());

    frmMain& main_;
    // Scratch picture (picTemp): a paste lands here first, so bad data changes nothing.
    std::unique_ptr<imaging::ImageControl> picTemp_;
    std::unique_ptr<imaging::TextDialogs> dialogs_;
    std::unique_ptr<imaging::CaptureControl> capture_;
    frmCapture* captureDialog_ = nullptr;
};

}  // namespace kalmira
