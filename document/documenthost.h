#pragma once
// What a document window needs from the windows above it. The document layer never includes
// the main window, the tools window or the palette editor; each of them implements its
// interface here and registers itself once. Every host is optional: with none registered the
// document still opens, encodes and measures its pictures (a Variation's settings then come
// from its optimisation profile alone, and the BMP/TIFF compression choice from its record).
//
// All calls happen on the user-interface thread. The registered objects are not owned; a host
// that goes away registers nullptr first.

#include <QString>

#include <cstdint>

namespace imaging {
class ImageControl;
}

namespace kalmira {

class frmDocument;

// The main window as a document sees it.
class MainWindowHost {
public:
    virtual ~MainWindowHost() = default;

    // Whether the toggle of Variation i (1..5; toolbar button i + 15, View menu entry i) is
    // pressed. A released toggle hides the Variation without encoding it.
    virtual bool IsVariationTogglePressed(int variation) const = 0;
    // Presses or releases toggle i and checks or unchecks its View menu entry, without running
    // the toggle's command.
    virtual void SetVariationToggle(int variation, bool pressed) = 0;

    // Sets the text of a status-bar panel by key: "PanelMemSize", "PanelFileSize",
    // "PanelDownloadSpeed" (and "PanelStatus").
    virtual void SetStatusPanelText(const QString& key, const QString& text) = 0;

    // Runs Edit > Select Region > Rectangle, so the new document starts with that tool.
    virtual void SelectRectangleRegionTool() = 0;

    // ToolbarAktualisieren: enables or disables every document command. A document calls it
    // with true when it is the first to open and with false when the last one closes.
    virtual void ToolbarAktualisieren(bool enabled) = 0;

    // The first document opened: show the tools window and the palette editor when their View
    // menu entries are checked, hide them otherwise.
    virtual void FirstDocumentOpened() {}
    // The last document closed: hide the tools window and the palette editor.
    virtual void LastDocumentClosed() = 0;

    // File > Save, File > Save As and toolbar button 3 enabled or not (a Variation is saved, the
    // master image never).
    virtual void EnableSaveCommands(bool enabled) { (void)enabled; }
    // The zoom box shows the active document's zoom ("100%").
    virtual void ShowZoom(int percent) { (void)percent; }
    // Undo (menu and toolbar button 5) enabled or not.
    virtual void EnableUndo(bool enabled) { (void)enabled; }
    // Width in pixels of the area the document windows live in; 0 when unknown (fitting a new
    // document to the window is then skipped).
    virtual int DocumentAreaWidth() const { return 0; }
    // Whether View > Tools and View > Palette are checked.
    virtual bool IsToolsWindowChecked() const { return false; }
    virtual bool IsPaletteWindowChecked() const { return false; }
    // Runs the main window's menu command whose item has this objectName ("mnuFileSave",
    // "mnuEditPaste", "mnuViewVariation2", ...), as choosing it from the menu would.
    virtual void RunMainCommand(const QString& objectName) { (void)objectName; }
    // Edit > Paste and toolbar button 8 enabled or not.
    virtual void EnablePaste(bool enabled) { (void)enabled; }
    // Puts a zoom text ("150%") into the zoom box and commits it as Enter would.
    virtual void ApplyZoomText(const QString& text) { (void)text; }
    // Stores the active document's Original as the undo step (UndoHinzufuegen).
    virtual void StoreUndoStep() {}
    // The View menu's difference view check and its toolbar button show `on` (the active
    // document's state, as it is activated) ...
    virtual void ShowDifferenceView(bool on) { (void)on; }
    // ... or follow `document`'s switched state when it is the active one.
    virtual void DifferenceViewSwitched(const frmDocument& document) { (void)document; }
    // A long update's progress in the status bar: `text`, with `done` of `total` steps done.
    // EndProgress takes it away again.
    virtual void ShowProgress(const QString& text, int done, int total) {
        (void)text;
        (void)done;
        (void)total;
    }
    virtual void EndProgress() {}
};

// Everything the Variation tab of the tools window holds, read at once as plain values
// (FuelleStructVariation turns them into the record). Positions are list positions.
struct VariationTabValues {
    int FormatIndex = 0;             // ComboFormat position = save-format index 0..17
    int PixelDepth = 8;              // the first pressed optPixelDepth button: 1-8, 16, 24, 32
    QString MaxColorsText;           // ComboNumColors text
    int DitheringListIndex = 0;      // ComboDithering position
    int ColorPalette = 2;            // the pressed optPalette button: 1, 2, 8, 16, 64
    // GIF
    bool GIFInterlaced = false;
    bool GIFTransparent = false;
    std::uint32_t GIFTransparentColor = 0;  // the GIF swatch's background, red in the low byte
    bool GIFAnimated = false;        // CheckFormatGIFAnimated
    int AnimationImageNumber = 0;    // the frame spinner's value
    bool PlayAnimation = false;      // commandAnimationPlay pressed
    // JPEG
    int JPEGQuality = 100;           // number in TextQuality (1..254)
    int JPEGYUVIndex = 0;            // ComboYUV position
    int JPEGProgressive = 0;         // CheckProgressive state
    int JPEGPasses = 0;              // number in TextProgressivePasses
    int JPEGGrayscale = 0;           // CheckGrayscale state
    // PNG
    bool PNGTransparent = false;
    std::uint32_t PNGTransparentColor = 0;
    // BMP, TIFF
    bool BMPWindows = true;          // OptionFormatWindowsBitmap
    int BMPCompressed = 1;           // CheckFormatBMPCompressed state
    int TIFFCompressed = 1;          // CheckFormatTIFFCompressed state
    // WebP, AVIF: the shown web format face
    int WebQuality = 75;             // 0..100
    bool WebLossless = false;
    int WebEffort = 4;               // WebP 0..6, AVIF 0..10
    friend bool operator==(const VariationTabValues&, const VariationTabValues&) = default;
};

// The tools window as a document sees it.
class ToolsHost {
public:
    virtual ~ToolsHost() = default;

    // Shows record `variation` of `document` in the Variation tab (the document has already
    // enabled the save commands and runs AktualisiereMemInfo afterwards). Read the record
    // through the document's accessors (record(i)) and the picture through picCompress(i).
    virtual void FuelleReiterVariation(frmDocument& document, int variation) = 0;
    // The encoding of `variation` came in while the face may show it: as FuelleReiterVariation,
    // except that a face holding edits not yet applied keeps them (they are the user's input;
    // Apply takes them as they are).
    virtual void VariationTakenIn(frmDocument& document, int variation) { FuelleReiterVariation(document, variation); }
    // Fills the Original tab's resize and crop controls from document.picOriginal().
    virtual void FuelleReiterOriginal(frmDocument& document) = 0;

    // The Variation tab's controls, read for FuelleStructVariation.
    virtual VariationTabValues ReadVariationTab() const = 0;
    // Side effects FuelleStructVariation asks of the tab: release "Play animation" (a format
    // other than GIF was chosen) and set the frame spinner's maximum.
    virtual void ReleasePlayAnimation() {}
    virtual void SetAnimationImageMaximum(int maximum) { (void)maximum; }

    // The compression check boxes, read when save options are built for the Variation the
    // window shows.
    virtual bool IsBMPCompressedChecked() const = 0;
    virtual bool IsTIFFCompressedChecked() const = 0;
    // Whether the Variation face was last filled from `document` (its selected Variation).
    virtual bool ShowsDocument(const frmDocument& document) const {
        (void)document;
        return true;
    }

    // Hides every group frame of both faces (a document being activated shows its own).
    virtual void AktualisiereSelektionen() {}
    // The colour picked on the selected Variation while the pick mode was on: it goes into
    // both transparent-colour swatches, and is applied at once when auto-apply is on.
    virtual void TransparentColorPicked(std::uint32_t color) { (void)color; }
    // Presses the "Apply" button (the pop-up menu's Apply changes).
    virtual void PressApply() {}
};

// The palette editor as a document sees it.
class PaletteHost {
public:
    virtual ~PaletteHost() = default;
    // Shows the palette of `picture` (DisplayPalette).
    virtual void DisplayPalette(imaging::ImageControl& picture) = 0;
    // The user clicked pixel (x, y) of `picture`: select the palette entry of its colour
    // (SetPaletteButton).
    virtual void SetPaletteButton(imaging::ImageControl& picture, int x, int y) {
        (void)picture;
        (void)x;
        (void)y;
    }
};

// Registration; nullptr unregisters. The getters return nullptr while nothing is registered.
void SetMainWindowHost(MainWindowHost* host);
void SetToolsHost(ToolsHost* host);
void SetPaletteHost(PaletteHost* host);
MainWindowHost* mainWindowHost();
ToolsHost* toolsHost();
PaletteHost* paletteHost();

}  // namespace kalmira
