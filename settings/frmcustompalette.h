#pragma once
// The floating "Color Palette" window: the colour table of the picture selected in the active
// document, 256 cells in a 16 x 16 grid. An entry can be selected and changed, the palette
// loaded from and saved to palette files, copied and pasted within the window, and applied to
// the selected Variation, which is then encoded again with the edited palette as its custom
// palette. While the document waits for a transparent colour, a cell click chooses it.
//
// The window sits below the document and the tools window; what it needs of them (the selected
// picture, the tools window's Apply, the pick mode) comes in through Hooks the main window
// installs. It keeps its cells, selection and palette clipboard while hidden.

#include <QPointer>
#include <QRect>
#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "core/color.h"
#include "qt/imagecontrol.h"

class QPushButton;

namespace Ui {
class frmCustomPalette;
}

namespace kalmira {

class frmCustomPalette : public QWidget {
    Q_OBJECT

public:
    static constexpr int kCellCount = 256;

    // What the window asks of the windows above it. Every hook is optional.
    struct Hooks {
        // The active document's selected picture: 0 the Original, 1..5 a Variation; -1 when no
        // document is open.
        std::function<int()> selectedVariation;
        // The picture selected in the active document (its Variation or its Original), shown
        // whenever the window is shown; nullptr without a document.
        std::function<imaging::ImageControl*()> selectedPicture;
        // The active document's Original, for editing its palette colour by colour.
        std::function<imaging::ImageControl*()> original;
        // The document's Original-changed step (encodes the Variations again).
        std::function<void()> originalChanged;
        // Whether the active document waits for a transparent colour; the chosen colour ends
        // the wait, goes into both transparent-colour swatches and is applied with auto-apply.
        std::function<bool()> isPickingTransparentColor;
        std::function<void(imaging::Rgb)> transparentColorPicked;
        // The tools window: select pixel depth b / palette kind Custom without applying (the
        // tools window then copies the picture's palette into its user palette), and Apply.
        std::function<void(int bits)> setToolsPixelDepth;
        std::function<void()> setToolsCustomPalette;
        std::function<void()> toolsApply;
        // A colour of the selected Variation's palette was edited: its palette `before` and
        // `after` the edit, so the Variation keeps its pixels on their entries and shows the
        // edited colour instead of being reduced to the new palette afresh.
        std::function<void(const std::vector<imaging::Rgb>& before, const std::vector<imaging::Rgb>& after)>
            variationPaletteEdited;
        // Closing by the user runs View > Palette instead; unloading unchecks it.
        std::function<void()> hideRequest;
        std::function<void()> unloadNotice;
        // Where the tools window stands: the default place is beside it, bottoms aligned.
        std::function<QRect()> toolsGeometry;
    };

    explicit frmCustomPalette(QWidget* owner = nullptr);
    ~frmCustomPalette() override;

    void SetHooks(Hooks hooks) { hooks_ = std::move(hooks); }

    // --- Dialog seams, replaceable so tests answer them ------------------------------------------
    // The colour dialog: the chosen colour, or a negative number when cancelled.
    using ColorChooser = std::function<std::int64_t(imaging::Rgb initial)>;
    static ColorChooser SetColorChooser(ColorChooser chooser);
    // Open and save dialogs: the chosen file, empty when cancelled.
    using FileChooser = std::function<QString(QWidget* owner, const QString& title, const QString& filter, bool save)>;
    static FileChooser SetFileChooser(FileChooser chooser);
    // Message boxes: text and title.
    using MessageFunction = std::function<void(const QString& text, const QString& title)>;
    static MessageFunction SetMessageFunction(MessageFunction function);

    // --- Public operations ---------------------------------------------------------------------
    // Shows the palette of `source` (of `target` when absent) and makes `target` the picture
    // Apply writes into.
    void DisplayPalette(imaging::ImageControl& target, const imaging::ImageControl* source = nullptr);
    // Selects the cell of the colour under (x, y), given in twips within the picture control.
    void SetPaletteButton(imaging::ImageControl& picture, float x, float y);
    // The same for the picture's own pixel (px, py), as the picture's pointer events give it.
    void SetPaletteButtonAtPixel(imaging::ImageControl& picture, int px, int py);
    // Reads a palette file into the cells; an unreadable file gives message 5034 and changes
    // nothing. Returns whether the cells took the file's colours.
    bool LoadPaletteFromFile(const QString& fileName);
    // Writes the visible cells as a palette file; false (after message 5032) when that failed.
    bool SavePaletteToFile(const QString& fileName);
    // 1 for fewer than three visible cells, else the smallest b with 2^b >= the visible count.
    int UsedPaletteBits() const;

    // --- Handlers -------------------------------------------------------------------------------
    void Command1_Click(int index);
    void cmdApply_Click();
    void cmdChangeColor_Click();
    void cmdCopy_Click();
    void cmdPaste_Click();
    void cmdLoadPalette_Click();
    void cmdSavePalette_Click();

    int SelectedIndex() const { return selectedIndex_; }
    imaging::ImageControl* CurrentPicture() const { return currentPicture_.data(); }
    imaging::Rgb CellColor(int index) const { return cells_[static_cast<std::size_t>(index)].color; }
    bool IsCellVisible(int index) const { return cells_[static_cast<std::size_t>(index)].visible; }
    QPushButton* Cell(int index) const { return cellButtons_[static_cast<std::size_t>(index)]; }
    int HelpContextID() const { return 1023; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    struct CellState {
        imaging::Rgb color = 0;
        bool visible = false;
    };

    void createCells();
    void setCell(int index, imaging::Rgb color, bool visible);
    void showCells(const std::vector<imaging::Rgb>& colors, int count);
    void enableButtons(int bits);
    void showMessage(int textId, int titleId = 0);
    void restorePosition();
    void savePosition();

    std::unique_ptr<Ui::frmCustomPalette> ui_;
    Hooks hooks_;
    std::array<QPushButton*, kCellCount> cellButtons_{};
    std::array<CellState, kCellCount> cells_{};
    // The palette clipboard: lives as long as the window.
    std::array<imaging::Rgb, kCellCount> clipboard_{};
    QPointer<imaging::ImageControl> currentPicture_;
    int selectedIndex_ = 0;
    bool positioned_ = false;
    imaging::Rgb lastChosenColor_ = 0;
};

}  // namespace kalmira
