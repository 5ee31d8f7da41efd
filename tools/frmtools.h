#pragma once
// The floating tools window. It has two faces at the same place: the Original tab strip
// (resize, colour, filters, special operations on the master picture) and the Variation tab
// strip (the selected Variation's format and colour resolution). The active document decides
// which face shows and fills it (ToolsHost); the window writes back only through Apply.
//
// The window always works on the active document, fetched afresh on each use through the
// provider the main window installs. Values live in the controls and are converted to engine
// units where they are used.

#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>

#include "document/documenthost.h"

class QAbstractSlider;
class QAbstractButton;
class QComboBox;
class QFrame;
class QLineEdit;
class QLabel;
class QTabBar;

namespace Ui {
class frmTools;
}

namespace kalmira {

class frmDocument;

class frmTools : public QWidget, public ToolsHost {
    Q_OBJECT

public:
    // `owner` is the main window: the tools window floats above it (Qt::Tool).
    explicit frmTools(QWidget* owner = nullptr);
    ~frmTools() override;

    Ui::frmTools& ui() const { return *ui_; }

    // --- Wiring to the windows above -------------------------------------------------------
    // The document the window works on; without a provider the last document that filled the
    // window is used.
    using DocumentProvider = std::function<frmDocument*()>;
    void SetActiveDocumentProvider(DocumentProvider provider) { documentProvider_ = std::move(provider); }
    frmDocument* ActiveDocument() const;
    // Stores the undo step before an operation changes the Original (the main window's
    // UndoHinzufuegen).
    void SetUndoStepHook(std::function<void(frmDocument&)> hook) { undoHook_ = std::move(hook); }
    // The same step for the main window's own commands that change the Original (Paste, 3D text).
    const std::function<void(frmDocument&)>& UndoStepHook() const { return undoHook_; }
    // What closing by the user turns into (the main window's View > Tools, which hides us).
    void SetHideRequest(std::function<void()> request) { hideRequest_ = std::move(request); }
    // Opens the palette editor when it is not open and focuses it ("chan&ge..." of Custom).
    void SetPaletteEditorRequest(std::function<void()> request) { paletteRequest_ = std::move(request); }
    // Called when the window is unloaded: unchecks View > Tools and releases its button.
    void SetUnloadNotice(std::function<void()> notice) { unloadNotice_ = std::move(notice); }

    // Plain message boxes (5500, 5504) and the colour dialog, replaceable so tests answer them.
    using MessageFunction = std::function<void(const QString& text)>;
    static MessageFunction SetMessageFunction(MessageFunction function);
    // Returns the chosen colour, or a negative number when the dialog was cancelled.
    using ColorChooser = std::function<std::int64_t(std::uint32_t current)>;
    static ColorChooser SetColorChooser(ColorChooser chooser);

    // --- Public methods ---------------------------------------------------------------------
    void TabVariationSelected();
    void TabOriginalSelected();
    // Raises the control's maximum to a larger value, lifts a smaller value to the minimum
    // (the caller's variable changes), then sets the value.
    static void SetControl(QAbstractSlider* control, int& value);
    void EnableFrameGIFAnimation(bool enabled);
    // Acts on Enter (13) only: the text is read as a number, replaced by the slider's limit
    // when beyond it, and the slider set to it. `scale` is 100 for the gamma pair and 10 for
    // the add-noise pair, whose texts show value / scale.
    void TextToSlider(int keyAscii, QLineEdit* text, QAbstractSlider* slider, int scale = 1);
    void AktualisiereProportionen();
    void AusfuehrenOriginalAenderungen();
    void AktualisiereSelektionen() override;
    void commandAnimationPlay_Click();
    void CommandApply_Click();
    void optPalette_Click(int index);
    void CommandKeenfit_Click();

    // The faces: hide everything, then show one tab strip with the frame of its selected tab.
    void ShowOriginalFace();
    void ShowVariationFace();
    bool IsOriginalFaceShown() const;

    // Help context of the window (1100.. for the Original tabs, 1200/1201 for the Variation
    // tabs, 1014/1017 on activation).
    int HelpContextID() const { return helpContext_; }
    // The aspect ratio of the resize pair (0 = off).
    double AspectRatio() const { return aspectRatio_; }

    // The swatch colour of a colour frame (its background), red in the low byte.
    static std::uint32_t SwatchColor(const QFrame* swatch);
    static void SetSwatchColor(QFrame* swatch, std::uint32_t color);

    // --- ToolsHost --------------------------------------------------------------------------
    void FuelleReiterVariation(frmDocument& document, int variation) override;
    void VariationTakenIn(frmDocument& document, int variation) override;
    void FuelleReiterOriginal(frmDocument& document) override;
    VariationTabValues ReadVariationTab() const override;
    void ReleasePlayAnimation() override;
    void SetAnimationImageMaximum(int maximum) override;
    bool IsBMPCompressedChecked() const override;
    bool IsTIFFCompressedChecked() const override;
    bool ShowsDocument(const frmDocument& document) const override;
    void TransparentColorPicked(std::uint32_t color) override;
    void PressApply() override { CommandApply_Click(); }

    // --- Variation tab handlers (Part of the window's event table) --------------------------
    void ComboFormat_Click();
    void optPixelDepth_Click(int depth);
    void ComboNumColors_KeyPress(int keyAscii);
    void TextProgressivePasses_KeyPress(int keyAscii);
    void TextAnimationImageNumber_KeyPress(int keyAscii);
    void CheckFormatGIFAnimated_Click();
    void CommandFormatChangeColor_Click();
    void cmdDefinePalette_Click();
    // The pixel-depth buttons by depth (1-8, 16, 24, 32), the palette buttons by kind.
    QAbstractButton* optPixelDepth(int depth) const;
    QAbstractButton* optPalette(int kind) const;
    int SelectedPixelDepth() const;
    int SelectedPalette() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Handlers ask for an apply; the outermost handler of one user action applies once (a
    // handler that changes another control runs that control's handler too).
    class HandlerScope {
    public:
        explicit HandlerScope(frmTools& tools) : tools_(tools) { ++tools_.handlerDepth_; }
        ~HandlerScope() { tools_.finishHandler(); }
        HandlerScope(const HandlerScope&) = delete;
        HandlerScope& operator=(const HandlerScope&) = delete;

    private:
        frmTools& tools_;
    };
    void requestApply();
    void finishHandler();
    bool autoApplyOn() const;

    void formInitialize();
    void formLoad();
    void connectFrameArray(QComboBox* combo, const QString& prefix, int count);
    void connectPairs();
    void connectVariationTab();
    void connectOriginalButtons();
    void chooseColour(QFrame* swatch);
    void showMessage(int textId);
    void setHelpContext(int id) { helpContext_ = id; }
    void showFrameOf(const QString& prefix, int count, int index);
    void hideFrames(const QString& prefix, int count);
    void resizePairChanged(bool widthChanged);
    void applyFormatEnabling(int formatIndex);
    int selectDepthFor(int formatIndex);
    void savePosition();
    void restorePosition();

    std::unique_ptr<Ui::frmTools> ui_;
    DocumentProvider documentProvider_;
    QPointer<frmDocument> lastDocument_;
    // What the Variation face showed when it was last filled or applied, and for which
    // Variation: a face that differs holds edits not yet applied.
    VariationTabValues shownValues_;
    int shownVariation_ = 0;
    bool hasUnappliedEdits(const frmDocument& document, int variation) const;
    std::function<void(frmDocument&)> undoHook_;
    std::function<void()> hideRequest_;
    std::function<void()> paletteRequest_;
    std::function<void()> unloadNotice_;
    int helpContext_ = 0;
    double aspectRatio_ = 0.0;
    int handlerDepth_ = 0;
    bool applyPending_ = false;
    bool filling_ = false;
    bool pairLock_ = false;
    bool positioned_ = false;
    // The crop-selection request of the Crop selection button, honoured by the next run.
    short cropSelectionRequest_ = 0;
    // The colour-limit text last applied or filled, so Enter and a list choice of the same text
    // do not encode twice.
    QString lastNumColors_;
    // The WebP and AVIF settings faces (FrameFormat7, FrameFormat8); see tools/webformats.cpp.
    void createWebFormatFaces();
    class WebFormatFace* webFace(int formatIndex) const;
    class WebFormatFace* webpFace_ = nullptr;
    class WebFormatFace* avifFace_ = nullptr;
    // The target-size row (tools/bytebudgetfield.cpp).
    void createByteBudgetField();
    void applyQualityOptions();
    class QComboBox* comboTargetMode_ = nullptr;  // 0 bytes at most, 1 SSIM at least
    void commitSsimTarget(class frmDocument& document, int n, QString text);
    class QLineEdit* textTargetSize_ = nullptr;
    class QLabel* labelTargetSizeResult_ = nullptr;

public:
    // Searches the selected Variation's best setting for the typed byte budget, or its smallest
    // file for the typed SSIM, as the mode box says.
    void TextTargetSize_Commit();
    // Shows or hides the target-size row (the option of the same name), growing the window.
    void ShowByteBudgetField(bool on);
};

}  // namespace kalmira
