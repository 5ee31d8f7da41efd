#pragma once
// The program's single frame: a multiple-document window whose children are the document
// windows. It owns the menus, the toolbar with the zoom box, the status bar and the one-second
// timer; the commands themselves live in one class per menu group (shell/commands/).

#include <QMainWindow>
#include <QPointer>
#include <QRect>
#include <QMap>
#include <QStringList>

#include <memory>

#include "settings/programoptions.h"

class QAction;
class QComboBox;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QTimer;

namespace Ui {
class frmMain;
}

namespace kalmira {

class frmDocument;
class FileCommands;

// Running number of document windows created since start; blank documents are named by it.
extern int ImageCounter;

class EditCommands;
class ViewCommands;
class WindowCommands;
class HelpCommands;
class ZoomBox;
class MainWindowDocumentHost;

class frmMain : public QMainWindow {
    Q_OBJECT

public:
    explicit frmMain(QWidget* parent = nullptr);
    ~frmMain() override;

    // The load handler: texts, stored settings and placement, recent files, toolbar layout,
    // then the files named on the command line, each opened as an image.
    void Load(const QStringList& commandLineFiles);

    // Enables or disables every command that needs an open document; disabling also clears
    // the document's three status panels.
    void ToolbarAktualisieren(bool enabled);
    void RefreshToolbars();
    // Whether the undo history holds a step (menu item and toolbar button 5 follow it).
    void SetUndoAvailable(bool available);
    bool UndoAvailable() const { return undoAvailable_; }
    // The undo step of the active document (undohistory.cpp): store its Original just before
    // an operation changes it, and bring it back.
    void UndoHinzufuegen();
    void UndoZurueckholen();
    // Removes the check mark from the four region-tool menu items.
    void DeselektiereAlleRegions();
    // Shows a text file in the text viewer, or message 5100/5101 when it does not exist.
    void LadenDateiInForm(const QString& dateiname, const QString& titel);

    // The frame's active child window, or nullptr when no document is open.
    frmDocument* ActiveDocument() const;
    QList<frmDocument*> Documents() const;
    // Adds a document window as a child of the frame; the frame owns it from now on.
    QMdiSubWindow* AddDocument(frmDocument* document);
    QMdiArea* MdiArea() const;

    // Status bar panels by key: "PanelStatus", "PanelDownloadSpeed", "PanelMemSize",
    // "PanelFileSize". An unknown key is ignored (reads give an empty text).
    void SetPanelText(const QString& key, const QString& text);
    QString PanelText(const QString& key) const;

    // Toolbar buttons by index (1..20 as laid out) or key; nullptr for an unknown one.
    QAction* ToolbarButton(int index) const;
    QAction* ToolbarButton(const QString& key) const;
    QComboBox* ComboZoom() const;

    // The floating tools and palette windows register themselves here; the frame shows and
    // hides them from the View menu and keeps them on screen.
    void SetToolsWindow(QWidget* window);
    void SetPaletteWindow(QWidget* window);
    QWidget* ToolsWindow() const { return toolsWindow_; }
    QWidget* PaletteWindow() const { return paletteWindow_; }

    // One tick of the one-second timer (tests call it directly instead of waiting).
    void Timer1_Timer();

    // The remembered normal placement (twips) and window state, as the unload stores them.
    const MainWindowPlacement& RememberedPlacement() const { return placement_; }
    // True while the stored placement is being applied; resizes are not recorded meanwhile.
    bool PlacingWindow() const { return placingWindow_; }

    // Folder the Open dialog starts in.
    QString InitialDirectory;

    FileCommands& Files() const { return *fileCommands_; }
    ViewCommands& View() const { return *viewCommands_; }
    EditCommands& Edit() const { return *editCommands_; }
    Ui::frmMain& ui() const { return *ui_; }

    // Screen twips per pixel (1440 / the screen's logical DPI).
    double TwipsPerPixel() const;

signals:
    // A document finished opening (its Original is loaded and its first Variations encoded):
    // it was activated while it held no picture yet, so its activation is due now.
    void documentReady(frmDocument* document);
    // A document that failed to open was removed again. While it was being built it showed its
    // own (empty) state in the main window: whatever is active now must be shown afresh.
    void documentDiscarded();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void changeEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void setUpToolbar();
    void setUpStatusBar();
    void applyPlacement(const MainWindowPlacement& stored);
    void rememberPlacement();
    void toolbarButtonClicked(QAction* button);
    // Asks before quitting with documents open; stores the window flags on the way out.
    bool QueryUnload();
    void Unload();

    std::unique_ptr<Ui::frmMain> ui_;
    QMap<QString, QLabel*> panels_;
    QComboBox* comboZoom_ = nullptr;
    QTimer* timer1_ = nullptr;
    QPointer<QWidget> toolsWindow_;
    QPointer<QWidget> paletteWindow_;
    MainWindowPlacement placement_;
    bool placingWindow_ = false;
    bool unloaded_ = false;
    bool undoAvailable_ = false;
    std::unique_ptr<MainWindowDocumentHost> documentHost_;

    FileCommands* fileCommands_ = nullptr;
    EditCommands* editCommands_ = nullptr;
    ViewCommands* viewCommands_ = nullptr;
    WindowCommands* windowCommands_ = nullptr;
    HelpCommands* helpCommands_ = nullptr;
    ZoomBox* zoomBox_ = nullptr;
};

// The main window's stored placement (twips) in screen pixels, held inside `area`: no wider or
// taller than it, at least kMinimumPlacementSize pixels each way, and wholly on it.
inline constexpr int kMinimumPlacementSize = 200;
QRect ClampPlacement(const MainWindowPlacement& placement, double twipsPerPixel, const QRect& area);

// Keeps a floating window reachable: at least a tenth of its width and a quarter of its height
// stay inside `screen`. Returns the corrected top-left corner.
QPoint KeepWindowReachable(const QRect& window, const QRect& screen);

}  // namespace kalmira
