#pragma once
// The document window: the Original beside up to five Variations, each the Original really
// encoded in its own format and decoded again, with its size, share and download time.
//
// The main window creates a document, loads the Original into picOriginal(), names it with
// SetGrafikOriginalFileName (and SetOriginalAnimation for an animated file) and calls
// InitialisiereGrafik(true). Picture index 0 is the Original, 1-5 are the Variations.
// Everything the document asks of the windows above it goes through document/documenthost.h.

#include <QPoint>
#include <QSize>
#include <QString>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "document/variationrecord.h"
#include "qt/imagecontrol.h"
#include "quality/quality.h"

class QGroupBox;
class QLabel;
class QFrame;
class QMenu;
class QAction;
class QScrollBar;
class QWheelEvent;

namespace imaging::ops {
class Picture;
}

namespace Ui {
class frmDocument;
}

namespace kalmira {

class DifferenceLegend;
struct QualityOptionsRecord;
struct AnimationWork;

// What a Variation's file carries beside its pixels, from the Original's notes and the Quality
// options: its colour profile when KeepProfile, its author and copyright when KeepAuthor.
imaging::ImageControl::EmbeddingSettings EmbeddingFor(const imaging::ImageNotes& original,
                                                      const QualityOptionsRecord& quality);

class frmDocument : public QWidget {
    Q_OBJECT

public:
    explicit frmDocument(QWidget* parent = nullptr);
    // Unloading: lowers OpenDocumentCount (the last document tells the main window) and frees
    // every Variation's memory block.
    ~frmDocument() override;

    // Shows "Load and auto-optimize image..." and lets it be drawn; the window calls it once it
    // is on screen, before the Original is read.
    void ShowLoadNotice();

    // --- Controls ---------------------------------------------------------------------------
    imaging::ImageControl& picOriginal();
    imaging::ImageControl& picCompress(int variation);  // 1..5
    QGroupBox* frameOriginal() const;
    QGroupBox* FrameCompress(int variation) const;
    QLabel* LabelOriginal() const;
    QLabel* LabelCompress(int variation) const;
    QFrame* frameLoadImage() const;
    imaging::ImageControl& picPreview();
    // The background under the selection, the work picture a selection is transformed in, and
    // the undo step's copy of the background.
    imaging::ImageControl& picOriginal2();
    imaging::ImageControl& picOriginalFloat();
    imaging::ImageControl& picOriginalUndo2();
    // Its background colour is what Delete fills a selection with.
    QFrame* FrameDeleteColor() const;

    // --- Document state -----------------------------------------------------------------------
    // Current zoom in percent.
    int lZoom = 100;
    // The record of picture `index` (0..6); any other index raises a range error.
    const VariationRecord& record(int index) const;
    VariationRecord& record(int index);
    QString OriginalFileName() const { return originalFileName_; }
    int ScrollLeft() const { return scrollLeft_; }
    int ScrollTop() const { return scrollTop_; }
    int RegionTool() const { return regionTool_; }

    // --- Public operations ------------------------------------------------------------------
    void InitialisiereGrafik(bool MitInfo);
    void InitialisiereVariation(int index);
    void FuelleStructVariation(int index);
    void HoleHaupteinstellungenAusStruct();
    int GetVariationFormat(int index) const;
    QString GetGrafikFileName(int index) const;
    void SetGrafikFileName(int index, const QString& name);
    void SetGrafikFileNameSave(int index, const QString& name);
    QString GetGrafikFileNameDefault(int index);
    QString GetGrafikFilterSave(int index) const;
    QString GetGrafikPatternSave(int index) const;
    void SetGrafikOriginalFileName(const QString& fileName);
    void SetGrafikAnzeigen(int index, bool displayed);
    void SetGrafikInitialisiert(int index, int value);
    void SetOriginalAnimation(bool animated, int count);
    bool GetOriginalAnimation() const { return originalAnimated_; }
    // Everything that describes the Original beside its pixels: the information of the file
    // or memory it came from (size, format, animation), the animation state and a captured
    // cursor's hot spot. An undo step keeps it with the pixels and brings it back with them.
    struct OriginalDescription {
        imaging::ImageInfo info;
        bool animated = false;
        int imageCount = 0;
        bool playing = false;
        std::optional<QPoint> hotSpot;
        QSize hotSpotPictureSize;
    };
    OriginalDescription DescribeOriginal() const;
    // Takes a description back; the caller then reports the change (picOriginalAendern).
    void RestoreOriginalDescription(const OriginalDescription& description);
    // The description that belongs to the undo step in picPreview (kept by the main window's
    // UndoHinzufuegen and taken by UndoZurueckholen).
    void SetUndoDescription(std::optional<OriginalDescription> description) { undoDescription_ = std::move(description); }
    std::optional<OriginalDescription> TakeUndoDescription() { return std::exchange(undoDescription_, std::nullopt); }
    int GetOriginalImageNumber() const { return originalImageCount_; }
    bool GetVariationAnimation(int index) const;
    void SetVariationPlayAnimation(int index, bool play);
    void SetImageNumberVariation(int index, int imageNumber);
    int GetNumberDisplayedPictures() const;
    // The picture whose frame caption is pure red; 0 when none is.
    int FindeSelektierteGrafik() const;
    void SetRegionTool(int tool);
    void SetTransparentFarbeSelektieren(bool on);
    bool GetTransparentFarbeSelektieren() const { return selectTransparentColor_; }

    // The palette editor changed colours of Variation `index`'s palette from `before` to
    // `after`. While the Variation keeps that palette as its custom one, its pixels are given
    // their entries by the palette they had before the edits and shown in the edited colours,
    // so an edited entry shows where it stood instead of being dropped by a fresh reduction.
    void SetEditedPalette(int index, const std::vector<imaging::Rgb>& before, const std::vector<imaging::Rgb>& after);

    // --- Regions and pointer work (pointerwork.cpp, regionwork.cpp) ---------------------------
    bool MovingSelection() const { return movingSelection_; }
    void SaveBackground();
    void RestoreBackground();
    // The tools window's geometry on a selection: each lifts the selected pixels, puts the
    // background back, transforms them and places them centred where the selection was.
    void ResizeRegion(int nNewWidth, int nNewHeight, int nResizeFlag);
    void RotateRegion(long Angle, bool bResizeRegion);
    void FlipRegion(bool Richtung);
    void ShearRegion(long Angle, bool bHorizontal);
    // Delete: fills the selection with FrameDeleteColor's colour (an undo step first).
    void DeleteSelection();
    // Escape: during a drag of the selection's pixels, puts them back where they were lifted
    // (the picture exactly as before the drag; the selection stays); otherwise ends the
    // selection as EndSelection does. Edits are taken back only by Undo, never by Escape.
    void CancelSelection();
    // Ends the selection and keeps the picture as it is: a drag in progress is put back first,
    // and the background known for the selection is forgotten (Undo and Paste call it, so a
    // selection never outlives the picture it was drawn on).
    void EndSelection();
    // The pointer and key handlers of the Original, in picture pixels (public so that a test
    // can drive them as the control's events do).
    void picOriginal_MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);
    void picOriginal_MouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers, int x, int y);
    void picOriginal_MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);
    void picOriginal_KeyDown(int key, Qt::KeyboardModifiers modifiers);
    void picOriginal_KeyUp();

    // --- Pop-up menu and paste check (documentmenu.cpp) ---------------------------------------
    // The pop-up menu of the pictures, set up for the Original (0) or a Variation.
    QMenu* mnuDocument();
    QAction* DocumentMenuItem(const QString& name) const;
    void SetUpDocumentMenu(int index);
    // Shows the pop-up menu for picture `index` at the pointer (tests replace how it shows).
    void ShowDocumentMenu(int index);
    using MenuFunction = std::function<void(QMenu& menu)>;
    static MenuFunction SetMenuFunction(MenuFunction function);
    // Enables Paste everywhere when the clipboard holds a picture, disables it otherwise.
    void CheckKopierenMoeglich();

    // Encoding and statistics. AktualisiereVariation(i) is AktualisiereVariationen({i}).
    void AktualisiereVariation(int AktVariation);
    void SpeichernLadenVariation(int AktVariation, bool notTemporaer = false);
    void AktualisiereMemInfo(int AktVariation);
    void AusfuehrenVariationAenderungen(int AktVariation);
    // Asks for the Variations given (1..5) to be brought up to date, as AktualisiereVariation
    // did one after another, and returns at once: a hidden one is hidden, the others' encodings
    // run on worker threads while the window goes on, and the window's thread takes each outcome
    // in, in the order asked for, with the same pictures, captions and messages as the
    // one-at-a-time update. Meanwhile each picture shows its previous encoding. Asking again
    // for a Variation whose encoding runs stops that encoding and starts one with the record
    // as it is then (its outcome is never shown); a Variation has at most one encoding running.
    // A round of updates longer than a third of a second shows its progress in the status bar.
    // Closing the document stops every encoding at once; what they hold goes with them.
    void AktualisiereVariationen(const std::vector<int>& variations);
    // Whether Variations are encoded on worker threads (the default), or, for tests and
    // benchmarks that compare with it, one after another on the window's thread at the call.
    static void SetParallelUpdates(bool on);
    static bool ParallelUpdates();
    // Encodings kept running at once over all documents: 0 (the default) for one per core the
    // engine may use, else that many (benchmarks compare the choices).
    static void SetUpdateEncodings(int count);
    // Whether AktualisiereVariationen returns only once its outcomes are in (the document then
    // runs the event loop meanwhile). For tests and benchmarks written against the update that
    // the window waited for; the program never sets it. KALMIRA_WAIT_FOR_UPDATES=1 in the
    // environment sets it at start.
    static void SetWaitForUpdates(bool on);
    static bool WaitsForUpdates();
    // Runs the event loop until no update of this document is left (returns at once if none).
    void WaitForUpdates();
    // True while Variations asked for are not all taken in.
    bool UpdateRunning() const;
    // Encodings and searches of this document running on worker threads now (stopped ones
    // until they end; a colour count or search until the window's thread has its outcome).
    int EncodingsRunning() const;
    // Called on the window's thread after an update has taken in one Variation (tests close
    // the document from it); returns the previous function.
    using UpdateStepFunction = std::function<void(frmDocument& document, int variation)>;
    static UpdateStepFunction SetUpdateStepFunction(UpdateStepFunction function);
    // PSNR and SSIM of Variation `index` against the Original as both are shown (alpha over
    // the white matte the reduction used); none for an animated Variation or when the sizes
    // differ. Remembered until either picture changes.
    std::optional<imaging::QualityScore> VariationQuality(int index);
    // How many measurements VariationQuality has made in the process (on the window's thread;
    // those of an update are made by its workers).
    static int WindowThreadQualityMeasurements();
    // ", PSNR 34.2 dB, SSIM 0.987" for the caption, or empty when switched off or not comparable.
    QString QualityCaptionPart(int index);
    // The hot spot of a captured mouse cursor, shown in the Original's caption. It holds while
    // the Original keeps the cursor's size: a crop or resize leaves no pixel it could name.
    void SetCursorHotSpot(std::optional<QPoint> spot);
    std::optional<QPoint> CursorHotSpot() const;
    // The best setting of Variation `index` whose file has at most `bytes`: the JPEG, WebP or
    // AVIF quality, or the colour count (and dithering, when the record asks for it) of an
    // optimised GIF or PNG palette. The record takes it and the Variation is encoded with it;
    // when nothing fits it keeps the smallest. Not applicable to other formats, animations and
    // lossless web files (nothing then changes).
    struct BudgetOutcome {
        bool applicable = false;
        bool fits = false;
        std::int64_t bytes = 0;  // the Variation's file size afterwards
        int quality = 0;         // JPEG slider quality (1..254) or web quality (0..100)
        int colors = 0;
        bool dithered = false;
        int encodes = 0;         // encodes of the search (one more follows for the Variation)
        bool superseded = false; // a later search of the same Variation took its place
    };
    // The search runs on a worker thread; `done` is called on the window's thread once the
    // Variation shows the encoding found (at once when nothing applies; never when the
    // document closes first). A Variation has one search at work at a time: a search asked
    // for while another runs starts when that one ends, and the earlier search's outcome (or
    // a waiting one's) is dropped, its `done` told it was superseded and the record left alone.
    void FitVariationToBudget(int index, std::int64_t bytes, std::function<void(const BudgetOutcome&)> done);
    // The same, returning once it is done (the event loop runs meanwhile); for tests.
    BudgetOutcome FitVariationToBudget(int index, std::int64_t bytes);
    // The smallest file of Variation `index` whose SSIM against the Original (as the caption
    // shows it) is at least `target` (0 < target <= 1): the lowest JPEG, WebP or AVIF quality
    // or the fewest colours of an optimised GIF or PNG palette. The record takes it and the
    // Variation is encoded with it; when no setting reaches the target it gets the best one.
    // Applicable where FitVariationToBudget is.
    struct SsimOutcome {
        bool applicable = false;
        bool reached = false;
        double ssim = 0;         // of the chosen file
        std::int64_t bytes = 0;  // the Variation's file size afterwards
        int quality = 0;         // as in BudgetOutcome
        int colors = 0;
        bool superseded = false; // as in BudgetOutcome
    };
    // On a worker thread, as FitVariationToBudget (and sharing its one search per Variation).
    void FitVariationToSsim(int index, double target, std::function<void(const SsimOutcome&)> done);
    // The same, returning once it is done (the event loop runs meanwhile); for tests.
    SsimOutcome FitVariationToSsim(int index, double target);
    // Calls `then` on the window's thread once Variation `index` has been taken in (at once
    // when no update of it is pending); dropped when the document closes first.
    void WhenTakenIn(int index, std::function<void()> then);
    // Whether Variation `index` has been asked for and not yet taken in.
    bool UpdatePending(int index) const;
    // Captions follow the quality switches when the options dialog changes them.
    void connectQualityOptions();

signals:
    // Every Variation asked for has been taken in (or dropped); the update is idle.
    void UpdatesFinished();

public:

    // --- Difference view (differenceview.cpp) ---------------------------------------------------
    // Whether the document shows each Variation as its error against the reference (the
    // colour scale of quality/difference.h, with a legend on each picture). Switching encodes
    // nothing: the pictures keep their bitmaps and memory blocks, only what is drawn changes.
    // The main window's menu check and toolbar button follow.
    bool DifferenceView() const { return differenceView_; }
    void SetDifferenceView(bool on);
    // What the Variations are compared with: 0 the Original, or Variation 1..5, which is then
    // shown as it is. A reference that is hidden or animated falls back to the Original.
    int DifferenceReference() const { return differenceReference_; }
    void SetDifferenceReference(int index);
    // The legend on picture `index` (1..5), or nullptr while it has none.
    DifferenceLegend* DifferenceLegendOf(int index) const;
    // Brings picture `index` (or, for the reference, every Variation) up to date after it changed.
    void RefreshDifference(int index);

    // Save options: fills and returns the save options of Variation `index` and sets its
    // picture's format options (interlace, progressive passes, PNG transparency).
    const SaveOptions& HoleSpeicherOptionen(int index);
    const SaveOptions& CurrentSaveOptions() const { return saveOptions_; }
    // Writes Variation `index` to `fileName` in its format with its settings (animated GIF
    // Variations with all frames). Returns 0 or the engine's error number; the previous file
    // survives a failed save. The caller refuses the Original before calling. While the
    // Variation is being encoded, the save waits for that encoding (the event loop runs on;
    // Cancelled when the document closes meanwhile).
    int SaveVariationFile(int index, const QString& fileName);

    // The Original changed (loaded, edited, undone): refresh its caption and every displayed
    // Variation.
    void picOriginalAendern();
    // Marks picture `index` as the selected one (red caption) and shows it in the tools window
    // and the status bar.
    void SelektiereGrafik(int index);
    // Shows record `index` in the tools window, enables saving, refreshes its caption.
    void FuelleReiterVariation(int index);
    void FuelleReiterOriginal();
    // Lays the pictures out side by side and sizes the window around them.
    void OriginalResize();
    // Applies lZoom to every picture, shows it in the zoom box and lays out again.
    void AktualisiereZoomAnzeige();
    // The scroll bars the pictures share when they are larger than their controls: the window
    // never grows past the workspace, so at a high zoom each picture shows a part, all the same
    // part (documentlayout.cpp).
    QScrollBar* HScrollPictures() const { return hScrollPictures_; }
    QScrollBar* VScrollPictures() const { return vScrollPictures_; }
    // Scrolls every picture so that pixel (x, y) of the zoomed picture is at its control's
    // top-left corner, kept within what the controls can show; the scroll bars follow.
    void ScrollPicturesTo(int x, int y);

    // How the document shows its plain messages (5402-5408); replaceable so that tests answer
    // without a window. `warning` selects the warning icon.
    using MessageFunction = std::function<void(const QString& text, bool warning)>;
    static MessageFunction SetMessageFunction(MessageFunction function);

    // The quality numbers a worker measured on its decoded picture, and the Original's content
    // version they were measured against.
    struct MeasuredQuality {
        bool measured = false;
        std::optional<imaging::QualityScore> score;
        std::uint64_t originalVersion = 0;
    };

protected:
    // Closing stops the document's encodings at once.
    void closeEvent(QCloseEvent* event) override;
    // The wheel over a caption or between the pictures scrolls them as it does over a picture.
    void wheelEvent(QWheelEvent* event) override;
    // A workspace that becomes smaller or larger (the main window resized or maximised) lays
    // the pictures out again, so the document keeps within it.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct UpdateQueue;
    friend struct UpdateQueue;
    void setupControls();
    void checkIndex(int index) const;
    void checkVariation(int index) const;
    void setFrameSelected(QGroupBox* frame, bool selected);
    bool isFrameSelected(const QGroupBox* frame) const;
    void showMessage(int textId, bool warning = false) const;
    void bringOriginalInto(int index);
    void reduceColours(int index, const SaveOptions& options);
    void snapTransparentColour(int index);
    // The entry the colour reduction kept for the source's transparent pixels, when `wanted`
    // names them; -1 otherwise.
    int reservedTransparentEntry(int index, imaging::Rgb wanted) const;
    void roundTripThroughTempFile(int index, const SaveOptions& options);
    // Encodes into the record's block; false when it failed (with the message) or outgrew sizeLimit.
    bool encodeIntoMemory(int index, const SaveOptions& options, std::int64_t sizeLimit);
    void decodeFromMemory(int index, const SaveOptions& options);
    void roundTripThroughMemory(int index, const SaveOptions& options);
    // The Original's copy in the Variation's picture, reduced as its record says, ready to encode.
    SaveOptions prepareEncoding(int index, bool& wasAnimating);
    void chooseSmallestFormat(int index);
    // The pieces of an update on worker threads (variationbatch.cpp): preparing one encoding on
    // the window's thread, the transparent-entry choice it runs between reduction and encoding,
    // and taking its outcome in as roundTripThroughMemory would have left it.
    imaging::RoundTripWork detachEncoding(int index, SaveOptions& options, std::shared_ptr<const imaging::Bitmap> source,
                                          std::shared_ptr<imaging::Rgb> chosenColour, std::shared_ptr<MeasuredQuality> quality);
    std::function<void(imaging::Bitmap&)> transparencyStep(int index, std::shared_ptr<imaging::Rgb> chosenColour) const;
    void takeEncodingIn(int index, const SaveOptions& options, imaging::RoundTripWork& work, const imaging::Rgb* chosenColour,
                        const MeasuredQuality* quality);
    // The same for an animated Variation (variationanimation.cpp): every frame of `frames`
    // (the Original's) reduced, encoded and decoded on the worker, taken in as the round trip
    // through a file left it.
    std::shared_ptr<AnimationWork> detachAnimation(int index, std::shared_ptr<const std::vector<imaging::Frame>> frames);
    void takeAnimationIn(int index, AnimationWork& work);
    // The asynchronous update (variationbatch.cpp): asking for one Variation, and the step that
    // prepares and starts encodings and takes finished ones in, run whenever something changed.
    void requestUpdate(int index);
    void pumpUpdates();
    void pumpOnce();
    // Runs `work` on an encoding thread, then `then` on the window's thread unless the
    // document has closed meanwhile.
    void runOffWindowThread(std::function<void()> work, std::function<void()> then);
    // Stops every encoding of the document and forgets what was asked (closing).
    void stopUpdates();
    // A setting search of Variation `index` (byte budget, SSIM target) on an encoding thread:
    // `work` there, then `then(current)` on the window's thread, `current` false when a later
    // search of the Variation was asked for meanwhile (or this one never ran).
    void runSearch(int index, std::function<void()> work, std::function<void(bool current)> then);
    struct SearchSlot {
        bool running = false;
        std::uint64_t generation = 0;
        // The search asked for while one ran: called with true to start it, false to drop it.
        std::function<void(bool start)> waiting;
    };
    std::array<SearchSlot, kVariationCount + 1> searches_{};
    // Whether InitialisiereVariation(index) would count the Original's colours now (the count
    // of its present content is not known yet), and taking in a count made elsewhere.
    bool needsColourCount(int index) const;
    void setColourCount(int count, std::uint64_t contentVersion);
    // Whether Variation `index` waits for an encoding prepared from the Original as it is now.
    bool updateAskedFromCurrentOriginal(int index) const;
    void updateOnWindowThread(int index);
    bool isAnimatedOriginal() const;
    void connectPointerWork();
    void endDrawing(int x, int y);
    void dropSelection();
    // Puts a lifted selection back where the drag began (the picture as before the drag).
    void putLiftedBack();
    void transformRegion(const std::function<void(imaging::ops::Picture& work)>& transform);
    void createDocumentMenu();

    std::unique_ptr<Ui::frmDocument> ui_;
    struct UpdateQueueDeleter {
        void operator()(UpdateQueue* queue) const;
    };
    std::unique_ptr<UpdateQueue, UpdateQueueDeleter> updates_;
    // While set, InitialisiereVariation leaves the GIF-or-JPEG comparison to the caller and
    // marks it here.
    bool deferFormatChoice_ = false;
    std::array<bool, kVariationCount + 1> formatChoicePending_{};
    std::array<imaging::ImageControl*, kVariationCount + 1> pictures_{};
    std::array<QGroupBox*, kVariationCount + 1> frames_{};
    std::array<QLabel*, kVariationCount + 1> labels_{};
    std::array<VariationRecord, kRecordCount> records_;
    SaveOptions saveOptions_;

    QString originalFileName_;
    int scrollLeft_ = 0;
    int scrollTop_ = 0;
    QScrollBar* hScrollPictures_ = nullptr;  // children of the window
    QScrollBar* vScrollPictures_ = nullptr;
    bool mitInfo_ = false;
    bool originalAnimated_ = false;
    int originalImageCount_ = 0;
    // A new document draws rectangles until the Edit menu says otherwise.
    int regionTool_ = 1;
    bool selectTransparentColor_ = false;
    // The Variation whose button release just picked a transparent colour (0: none); its click,
    // which follows the release, then selects nothing anew.
    int pickedColourOn_ = 0;
    // Pointer positions in picture pixels: where the last drawing drag began, and the last
    // position while a selection's pixels are dragged.
    int drawStartX_ = 0;
    int drawStartY_ = 0;
    int dragLastX_ = 0;
    int dragLastY_ = 0;
    bool movingSelection_ = false;
    // What a drag of the selection's pixels lifted: the pixels under the selection's rectangle
    // before its background was shown there, and the background known at the time, so Escape
    // and a drop that moved nothing leave the picture exactly as it was, and a drop that moved
    // the pixels can store the undo step of the picture before the drag.
    struct LiftedSelection {
        imaging::ops::Rect rect;
        imaging::Bitmap pixels;
        imaging::Bitmap background;
    };
    std::optional<LiftedSelection> lifted_;
    std::optional<OriginalDescription> undoDescription_;
    // Per Variation: the palette its pixels are matched against and the edited colours they
    // are shown in (SetEditedPalette); empty when its palette was not edited.
    struct PaletteEdit {
        std::vector<imaging::Rgb> base;
        std::vector<imaging::Rgb> edited;
    };
    std::array<PaletteEdit, kVariationCount + 1> paletteEdits_{};
    // Variation `index`'s palette edit while its custom palette is still the edited one, else
    // nullptr (an edit that no longer holds is forgotten).
    const PaletteEdit* paletteEdit(int index);
    // Gives a reduced bitmap's entries the edited colours (and makes them its user palette).
    static void ShowInEditedColours(imaging::Bitmap& bitmap, const std::vector<imaging::Rgb>& edited);
    QMenu* documentMenu_ = nullptr;
    // Variation whose picture already holds the encoding of its final settings because the
    // format choice encoded it; its next update does not encode again.
    int freshlyEncoded_ = 0;
    // The Original's content version each Variation was last encoded from (+1; 0 = never), so
    // a report that the Original changed re-encodes only what is out of date.
    std::array<std::uint64_t, kVariationCount + 1> encodedFrom_{};
    // The Original's number of colours and its content version (+1; 0 = not counted).
    int colourCount_ = 0;
    std::uint64_t colourCountOf_ = 0;
    // What a Variation's memory block was encoded with, so Save can write that very encoding
    // instead of encoding its decoded pixels again (a JPEG would lose quality twice and no
    // longer be the size its caption shows).
    struct EncodedWith {
        bool valid = false;
        SaveOptions options;
        bool interlaced = false;
        int passes = 0;
        imaging::ImageControl::WebSaveSettings web;
        // The picture's content version once it showed the decoded encoding; any later change
        // of its pixels (a palette edit) makes the block stale.
        std::uint64_t shown = 0;
        // The profile, author and copyright the encoding carries (the Quality options' choice).
        imaging::ImageControl::EmbeddingSettings embedding;
    };
    std::array<EncodedWith, kVariationCount + 1> encodedWith_{};
    struct QualityMemo {
        bool valid = false;
        std::uint64_t original = 0, variation = 0;
        std::optional<imaging::QualityScore> score;
    };
    std::array<QualityMemo, kVariationCount + 1> quality_{};
    bool differenceView_ = false;
    int differenceReference_ = 0;
    struct DifferenceMemo {
        bool valid = false;
        int reference = 0;
        std::uint64_t from = 0, to = 0;
        int largest = 0;
        bool sizesDiffer = false;
    };
    std::array<DifferenceMemo, kVariationCount + 1> difference_{};
    std::array<DifferenceLegend*, kVariationCount + 1> legends_{};
    void showDifference(int index);
    std::optional<QPoint> hotSpot_;
    QSize hotSpotPictureSize_;
    bool writeEncodingAsIs(int index, const SaveOptions& options, const QString& fileName, int& result);
};

}  // namespace kalmira
