#include "shell/frmmain.h"

#include "ui_frmMain.h"

#include "shell/commandline.h"
#include "shell/commands/differencecommands.h"
#include "shell/commands/editcommands.h"
#include "shell/commands/filecommands.h"
#include "shell/commands/helpcommands.h"
#include "shell/commands/picturecommands.h"
#include "shell/commands/viewcommands.h"
#include "shell/commands/windowcommands.h"
#include "common/errortrap.h"
#include "common/globals.h"
#include "common/routines.h"
#include "common/texts.h"
#include "shell/frmhelp.h"
#include "shell/mainwindowhost.h"
#include "shell/prompts.h"
#include "shell/toolbaricons.h"
#include "shell/zoombox.h"

#include "document/frmdocument.h"
#include "settings/settingsstore.h"

#include <QCloseEvent>
#include <QDir>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMimeData>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QUrl>

#include <algorithm>
#include <cmath>

namespace kalmira {

int ImageCounter = 0;

namespace {

// "The settings file could not be read and was reset to the defaults..."
constexpr int kTextSettingsReset = 6000;

// The document's three panels, cleared when the last document closes, and the status panel.
const QStringList kPanelKeys = {QStringLiteral("PanelStatus"), QStringLiteral("PanelDownloadSpeed"),
                                QStringLiteral("PanelMemSize"), QStringLiteral("PanelFileSize")};

}  // namespace

QPoint KeepWindowReachable(const QRect& window, const QRect& screen) {
    const int w = window.width();
    const int h = window.height();
    int left = window.left() - screen.left();
    int top = window.top() - screen.top();
    const int sw = screen.width();
    const int sh = screen.height();
    if (left > sw - w / 10) {
        left = sw - w / 10;
    }
    if (top > sh - h / 4) {
        top = sh - h / 4;
    }
    if (left < w / 10 - w) {
        left = w / 10 - w;
    }
    if (top < h / 4 - h) {
        top = h / 4 - h;
    }
    return {left + screen.left(), top + screen.top()};
}

QRect ClampPlacement(const MainWindowPlacement& placement, double twipsPerPixel, const QRect& area) {
    const auto pixels = [twipsPerPixel](std::int32_t twips) {
        const double value = std::round(static_cast<double>(twips) / (twipsPerPixel > 0 ? twipsPerPixel : 15.0));
        return static_cast<int>(std::clamp(value, -1.0e6, 1.0e6));
    };
    const int width = std::clamp(pixels(placement.MainWidth), std::min(kMinimumPlacementSize, area.width()), area.width());
    const int height = std::clamp(pixels(placement.MainHeight), std::min(kMinimumPlacementSize, area.height()), area.height());
    const int left = std::clamp(pixels(placement.MainLeft), area.left(), area.left() + area.width() - width);
    const int top = std::clamp(pixels(placement.MainTop), area.top(), area.top() + area.height() - height);
    return {left, top, width, height};
}

frmMain::frmMain(QWidget* parent) : QMainWindow(parent), ui_(std::make_unique<Ui::frmMain>()) {
    ui_->setupUi(this);
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(ApplicationName());
    setAcceptDrops(true);
    ui_->mdiArea->setViewMode(QMdiArea::SubWindowView);
    // A document larger than the area (a wide photo beside its Variations) must be reachable to
    // its right and bottom edge.
    ui_->mdiArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    ui_->mdiArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setUpToolbar();
    setUpStatusBar();

    timer1_ = new QTimer(this);
    timer1_->setObjectName(QStringLiteral("Timer1"));
    timer1_->setInterval(1000);
    connect(timer1_, &QTimer::timeout, this, [this] { Guarded([this] { Timer1_Timer(); }); });

    fileCommands_ = new FileCommands(*this);
    editCommands_ = new EditCommands(*this);
    viewCommands_ = new ViewCommands(*this);
    windowCommands_ = new WindowCommands(*this);
    helpCommands_ = new HelpCommands(*this);
    new DifferenceCommands(*this);
    documentHost_ = std::make_unique<MainWindowDocumentHost>(*this);

    zoomBox_ = new ZoomBox(comboZoom_);
    connect(zoomBox_, &ZoomBox::zoomChosen, this, [this](double percent) {
        Guarded([this, percent] {
            frmDocument* document = ActiveDocument();
            if (OpenDocumentCount > 0 && document) {
                // A fraction such as "0.3%" passes the repair but must not become a zoom of 0.
                document->lZoom = std::max(1, static_cast<int>(std::lround(percent)));
                document->AktualisiereZoomAnzeige();
            }
        });
    });
    connect(ui_->tbToolBar, &QToolBar::actionTriggered, this,
            [this](QAction* button) { Guarded([this, button] { toolbarButtonClicked(button); }); });

    if (!MainWindow) {
        MainWindow = this;
    }
    SetMainWindowHost(documentHost_.get());
}

frmMain::~frmMain() {
    timer1_->stop();
    if (mainWindowHost() == documentHost_.get()) {
        SetMainWindowHost(nullptr);
    }
    if (MainWindow == this) {
        MainWindow = nullptr;
    }
}

void frmMain::setUpToolbar() {
    QToolBar* bar = ui_->tbToolBar;
    bar->setIconSize(QSize(20, 20));
    bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    for (QAction* button : bar->actions()) {
        const QString key = button->property("Key").toString();
        if (!key.isEmpty()) {
            button->setIcon(ToolbarIcon(key, style()));
        }
    }
    comboZoom_ = new QComboBox(bar);
    comboZoom_->setObjectName(QStringLiteral("ComboZoom"));
    comboZoom_->setEditable(true);
    comboZoom_->setInsertPolicy(QComboBox::NoInsert);
    comboZoom_->addItems({QStringLiteral("25%"), QStringLiteral("33%"), QStringLiteral("50%"),
                          QStringLiteral("75%"), QStringLiteral("100%"), QStringLiteral("150%"),
                          QStringLiteral("200%"), QStringLiteral("300%"), QStringLiteral("400%"),
                          QStringLiteral("500%"), QStringLiteral("600%"), QStringLiteral("700%"),
                          QStringLiteral("800%")});
    comboZoom_->setCurrentIndex(4);
    comboZoom_->setMinimumContentsLength(6);
    // A design-time id, localised with the rest of the window.
    comboZoom_->setToolTip(QStringLiteral("1215"));
    bar->addWidget(comboZoom_);
}

void frmMain::setUpStatusBar() {
    QStatusBar* bar = ui_->sbStatusBar;
    for (const QString& key : kPanelKeys) {
        auto* panel = new QLabel(bar);
        panel->setObjectName(key);
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Sunken);
        panel->setMinimumWidth(120);
        if (key == QLatin1String("PanelStatus")) {
            panel->setText(QStringLiteral("Status"));
            bar->addWidget(panel, 1);
        } else {
            bar->addPermanentWidget(panel);
        }
        panels_.insert(key, panel);
    }
}

void frmMain::Load(const QStringList& commandLineFiles) {
    Guarded([&] {
        ShowBusyPointer();
        setWindowTitle(ApplicationName());
        LocalizeForm(this);
        if (comboZoom_->toolTip() == QLatin1String("1215")) {
            comboZoom_->setToolTip(LoadText(1215));
        }

        // A value in the store that does not convert is reported; the window still finishes
        // its load, so the document commands end up disabled and the command line is opened.
        // A store that is no settings text at all would silently lose its content to the
        // defaults at the next write: it is kept beside itself, and the user told once.
        if (const QString kept = RescueUnreadableSettingsFile(); !kept.isEmpty()) {
            MessageRequest request;
            request.icon = QMessageBox::Warning;
            request.title = ApplicationName();
            request.text = LoadText(kTextSettingsReset) + QDir::toNativeSeparators(kept);
            ShowMessage(this, request);
        }
        Guarded([] { LoadSettings(); });
        applyPlacement(MainSettings().Placement);
        Files().LoadRecentFiles();
        InitialDirectory = MainSettings().InitialDirectory;
        View().SetToolsChecked(MainSettings().ToolsOpen);
        View().SetPaletteChecked(MainSettings().PaletteOpen);

        ui_->mnuFileBatchOptimization->setVisible(false);
        ui_->tbToolBar->setVisible(true);
        comboZoom_->setVisible(true);

        show();
        ToolbarAktualisieren(false);
        timer1_->start();
        ShowDefaultPointer();

        // One file that fails unexpectedly must not keep the others from opening.
        for (const QString& file : GetCommandLine(commandLineFiles)) {
            Guarded([this, &file] { Files().OpenImageFile(file); });
        }
    });
    ShowDefaultPointer();
}

double frmMain::TwipsPerPixel() const {
    const QScreen* shown = screen();
    const double dpi = shown ? shown->logicalDotsPerInchX() : 96.0;
    return dpi > 0 ? 1440.0 / dpi : 15.0;
}

void frmMain::applyPlacement(const MainWindowPlacement& stored) {
    placingWindow_ = true;
    const double tpp = TwipsPerPixel();
    // A stored placement may come from a larger screen or a hand-edited file: it is held inside
    // the available screen, and what is remembered (and stored again at exit) is what was
    // applied.
    const QScreen* shown = screen();
    const QRect area = shown ? shown->availableGeometry() : QRect(0, 0, 1024, 768);
    const QRect rect = ClampPlacement(stored, tpp, area);
    MainWindowPlacement placement = stored;
    placement.MainLeft = static_cast<std::int32_t>(std::lround(rect.x() * tpp));
    placement.MainTop = static_cast<std::int32_t>(std::lround(rect.y() * tpp));
    placement.MainWidth = static_cast<std::int32_t>(std::lround(rect.width() * tpp));
    placement.MainHeight = static_cast<std::int32_t>(std::lround(rect.height() * tpp));
    placement_ = placement;
    move(rect.topLeft());
    resize(rect.size());
    switch (placement.MainWindowState) {
    case kWindowStateMaximized:
        setWindowState(Qt::WindowMaximized);
        break;
    case kWindowStateMinimized:
        setWindowState(Qt::WindowMinimized);
        break;
    default:
        setWindowState(Qt::WindowNoState);
        break;
    }
    placingWindow_ = false;
}

void frmMain::rememberPlacement() {
    if (placingWindow_) {
        return;
    }
    if (isMinimized()) {
        placement_.MainWindowState = kWindowStateMinimized;
    } else if (isMaximized()) {
        placement_.MainWindowState = kWindowStateMaximized;
    } else {
        placement_.MainWindowState = kWindowStateNormal;
        const double tpp = TwipsPerPixel();
        placement_.MainLeft = static_cast<std::int32_t>(std::lround(x() * tpp));
        placement_.MainTop = static_cast<std::int32_t>(std::lround(y() * tpp));
        placement_.MainWidth = static_cast<std::int32_t>(std::lround(width() * tpp));
        placement_.MainHeight = static_cast<std::int32_t>(std::lround(height() * tpp));
    }
}

void frmMain::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    rememberPlacement();
}

void frmMain::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    rememberPlacement();
}

void frmMain::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) {
        rememberPlacement();
    } else if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        ShowDefaultPointer();
    }
}

void frmMain::ToolbarAktualisieren(bool enabled) {
    Ui::frmMain& u = *ui_;
    for (QAction* action : {u.mnuFileClose, u.mnuFileSave, u.tbSave, u.mnuFileSaveAs}) {
        action->setEnabled(enabled);
    }
    const bool undo = enabled && undoAvailable_;
    u.mnuEditUndo->setEnabled(undo);
    u.tbUndo->setEnabled(undo);
    for (QAction* action : {u.mnuEditCopy, u.tbCopy, u.mnuEditPaste, u.tbPaste, u.mnuEditSelect->menuAction(),
                            u.mnuEditDuplicate, u.mnuEdit3DText, u.tbText, u.mnuViewTools, u.tbToolbox,
                            u.mnuViewPalette, u.tbPalette}) {
        action->setEnabled(enabled);
    }
    for (int n = 1; n <= 5; ++n) {
        View().VariationMenuItem(n)->setEnabled(enabled);
        ToolbarButton(n + 15)->setEnabled(enabled);
    }
    for (QAction* action : {u.mnuWindowCascade, u.mnuWindowTileHorizontal, u.mnuWindowTileVertical,
                            u.mnuWindowArrangeIcons}) {
        action->setEnabled(enabled);
    }
    comboZoom_->setEnabled(enabled);
    if (auto* difference = findChild<DifferenceCommands*>()) difference->Enable(enabled);
    if (!enabled) {
        for (const char* key : {"PanelMemSize", "PanelFileSize", "PanelDownloadSpeed"}) {
            SetPanelText(QString::fromLatin1(key), QString());
        }
    }
}

void frmMain::SetUndoAvailable(bool available) {
    undoAvailable_ = available;
    const bool enabled = available && OpenDocumentCount > 0;
    ui_->mnuEditUndo->setEnabled(enabled);
    ui_->tbUndo->setEnabled(enabled);
}

void frmMain::RefreshToolbars() { ui_->tbToolBar->update(); }

void frmMain::DeselektiereAlleRegions() {
    for (QAction* item : {ui_->mnuEditSelectRectangle, ui_->mnuEditSelectEllipse,
                          ui_->mnuEditSelectRoundedRectangle, ui_->mnuEditSelectFreehand}) {
        item->setChecked(false);
    }
}

void frmMain::LadenDateiInForm(const QString& dateiname, const QString& titel) {
    QFile file(dateiname);
    if (!QFileInfo(dateiname).isFile() || !file.open(QIODevice::ReadOnly)) {
        MessageRequest request;
        request.text = LoadText(5100) + titel + LoadText(5101);
        ShowMessage(this, request);
        return;
    }
    frmHelp viewer(this);
    viewer.SetText(QString::fromUtf8(file.readAll()));
    viewer.setWindowTitle(titel);
    viewer.exec();
}

frmDocument* frmMain::ActiveDocument() const {
    // The current child stays current while the tools window or a dialog has the focus, when
    // Qt reports no active one.
    QMdiSubWindow* active = ui_->mdiArea->currentSubWindow();
    if (!active) {
        const QList<QMdiSubWindow*> windows = ui_->mdiArea->subWindowList(QMdiArea::ActivationHistoryOrder);
        if (windows.isEmpty()) {
            return nullptr;
        }
        active = windows.constLast();
    }
    return qobject_cast<frmDocument*>(active->widget());
}

QList<frmDocument*> frmMain::Documents() const {
    QList<frmDocument*> documents;
    for (QMdiSubWindow* window : ui_->mdiArea->subWindowList()) {
        if (auto* document = qobject_cast<frmDocument*>(window->widget())) {
            documents.append(document);
        }
    }
    return documents;
}

QMdiSubWindow* frmMain::AddDocument(frmDocument* document) {
    const auto earlier = static_cast<int>(ui_->mdiArea->subWindowList().size());
    QMdiSubWindow* window = ui_->mdiArea->addSubWindow(document);
    window->setAttribute(Qt::WA_DeleteOnClose);
    // Cascaded from the top, one title bar further per open window and back at the top before
    // the upper half is used up. The area's own placement looks for free room, which in a
    // small frame lies below the part that shows: the new document would open out of sight.
    const int step = std::max(1, window->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, window));
    const int steps = std::max(1, ui_->mdiArea->viewport()->height() / 2 / step);
    const int offset = (earlier % steps) * step;
    window->move(offset, offset);
    window->setWindowIcon(ToolbarIcon(QStringLiteral("Document"), style()));
    // The child's caption is the document's; keep them in step when the document renames itself.
    connect(document, &QWidget::windowTitleChanged, window, &QWidget::setWindowTitle);
    return window;
}

QMdiArea* frmMain::MdiArea() const { return ui_->mdiArea; }

void frmMain::SetPanelText(const QString& key, const QString& text) {
    if (QLabel* panel = panels_.value(key)) {
        panel->setText(text);
    }
}

QString frmMain::PanelText(const QString& key) const {
    const QLabel* panel = panels_.value(key);
    return panel ? panel->text() : QString();
}

QAction* frmMain::ToolbarButton(int index) const {
    for (QAction* button : ui_->tbToolBar->actions()) {
        if (button->property("Index").toInt() == index) {
            return button;
        }
    }
    return nullptr;
}

QAction* frmMain::ToolbarButton(const QString& key) const {
    for (QAction* button : ui_->tbToolBar->actions()) {
        if (button->property("Key").toString() == key) {
            return button;
        }
    }
    return nullptr;
}

QComboBox* frmMain::ComboZoom() const { return comboZoom_; }

void frmMain::SetToolsWindow(QWidget* window) { toolsWindow_ = window; }

void frmMain::SetPaletteWindow(QWidget* window) { paletteWindow_ = window; }

void frmMain::toolbarButtonClicked(QAction* button) {
    const QString key = button->property("Key").toString();
    if (key == QLatin1String("New")) {
        Files().NewCommand();
    } else if (key == QLatin1String("Open")) {
        Files().OpenCommand();
    } else if (key == QLatin1String("Save")) {
        Files().SaveCommand();
    } else if (key == QLatin1String("Undo")) {
        Edit().Undo();
    } else if (key == QLatin1String("Copy")) {
        Edit().Copy();
    } else if (key == QLatin1String("Paste")) {
        Edit().Paste();
    } else if (key == QLatin1String("Capture")) {
        Edit().Capture();
    } else if (key == QLatin1String("Toolbox")) {
        View().ToggleTools(!button->isChecked());
    } else if (key == QLatin1String("Palette")) {
        View().TogglePalette(!button->isChecked());
    } else if (key == QLatin1String("Text")) {
        Edit().Insert3DText();
    } else if (key.startsWith(QLatin1String("Variation"))) {
        const int n = QStringView(key).mid(9).toInt();
        if (OpenDocumentCount > 0) {
            View().ToggleVariation(n, !button->isChecked());
        } else {
            // Without a document the button does nothing, so its pressed state goes back.
            button->setChecked(!button->isChecked());
        }
    }
}

void frmMain::Timer1_Timer() {
    const QScreen* shown = screen();
    if (shown) {
        const QRect area = shown->geometry();
        for (QWidget* floating : {toolsWindow_.data(), paletteWindow_.data()}) {
            if (floating) {
                const QPoint corner = KeepWindowReachable(floating->frameGeometry(), area);
                if (corner != floating->frameGeometry().topLeft()) {
                    floating->move(corner);
                }
            }
        }
    }
    if (OpenDocumentCount > 0) {
        if (frmDocument* document = ActiveDocument()) {
            document->CheckKopierenMoeglich();
        }
    }
}

bool frmMain::QueryUnload() {
    if (OpenDocumentCount > 0) {
        MessageRequest request;
        request.icon = QMessageBox::Question;
        request.title = LoadText(5111);
        request.text = LoadText(5110);
        request.buttons = QMessageBox::Ok | QMessageBox::Cancel;
        request.defaultButton = QMessageBox::Cancel;
        if (ShowMessage(this, request) != QMessageBox::Ok) {
            return false;
        }
    }
    Guarded([this] {
        WriteWindowsOpenAndFolder(ui_->mnuViewTools->isChecked(), ui_->mnuViewPalette->isChecked(), InitialDirectory);
    });
    return true;
}

void frmMain::Unload() {
    if (unloaded_) {
        return;
    }
    unloaded_ = true;
    timer1_->stop();
    MainWindowPlacement stored = placement_;
    if (stored.MainWindowState == kWindowStateMinimized) {
        stored.MainWindowState = kWindowStateNormal;
    }
    Guarded([&stored] { WriteMainWindowPlacement(stored); });
    // Every document goes through its own unload, which frees its encoded pictures.
    ui_->mdiArea->closeAllSubWindows();
    for (QWidget* floating : {toolsWindow_.data(), paletteWindow_.data()}) {
        if (floating) {
            floating->close();
        }
    }
}

void frmMain::closeEvent(QCloseEvent* event) {
    bool accept = false;
    Guarded([&] { accept = unloaded_ || QueryUnload(); });
    if (!accept) {
        event->ignore();
        return;
    }
    Guarded([this] { Edit().Pictures().StopCapture(); });
    Guarded([this] { Unload(); });
    event->accept();
}

void frmMain::dragEnterEvent(QDragEnterEvent* event) {
    if (isEnabled() && event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
    }
}

void frmMain::dropEvent(QDropEvent* event) {
    if (!isEnabled() || !event->mimeData()->hasUrls()) {
        return;
    }
    QStringList files;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile()) {
            files.append(url.toLocalFile());
        }
    }
    event->acceptProposedAction();
    Guarded([this, &files] { Files().OpenDroppedFiles(files); });
}

}  // namespace kalmira
