#include "shell/commands/filecommands.h"
#include "shell/commands/scancommands.h"

#include "ui_frmMain.h"

#include "common/errortrap.h"
#include "common/globals.h"
#include "common/routines.h"
#include "common/texts.h"
#include "shell/frmmain.h"
#include "shell/notavailable.h"
#include "shell/prompts.h"

#include "document/documentrules.h"
#include "document/frmdocument.h"
#include "imaging/qt/imagecontrol.h"
#include "codecs/load_notes.h"
#include "settings/qualityoptions.h"
#include "settings/settingsstore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>

#include <array>
#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace kalmira {

namespace {

// Texts of this group.
constexpr int kTextFileMissing = 5126;        // "Error: File does not exist."
constexpr int kTextUnrecognized = 5102;       // "Error: Unrecognized format. Could not load picture."
constexpr int kTextErrorTitle = 5103;         // "Error"
constexpr int kTextSaveFailed = 5104;         // "Error saving file!"
constexpr int kTextImage = 5109;              // "Image"
constexpr int kTextOpenTitle = 5122;          // "Open Image"
constexpr int kTextChosenFileMissing = 5123;  // "Error: Cannot load image: File not found."
constexpr int kTextMasterNotSaved = 5124;     // "The master image cannot be saved!"
constexpr int kTextSaveAsTitle = 5125;        // "Save Image As"
constexpr int kTextIsFolder = 6880;           // "Error: This is a folder, not an image file."
constexpr int kTextPermissionDenied = 6881;   // "Error: The file cannot be read: permission denied."

constexpr int kNewDocumentWidth = 320;
constexpr int kNewDocumentHeight = 200;

// Makes sure the document's pointer and repaint state and ApplyReady are back to normal and the
// window is gone, whatever happened while it was being filled. The document that was active
// before comes back to the front: the area would otherwise pick one by itself.
void discardDocument(frmMain& main, frmDocument* document, QMdiSubWindow* window, QMdiSubWindow* previous) {
    document->picOriginal().SetAutoRepaint(true);
    QMdiArea* area = window ? window->mdiArea() : nullptr;
    if (window) {
        window->close();
        delete window;
    } else {
        document->close();
        delete document;
    }
    ApplyReady = true;
    if (area && previous && area->subWindowList().contains(previous)) {
        area->setActiveSubWindow(previous);
    }
    emit main.documentDiscarded();
}

// An engine filter row "desc|*.a;*.b" as a Qt name filter "desc (*.a *.b)". The description
// keeps its own parentheses ("GIF (GIF)"); Qt reads the patterns from the last pair.
QString nameFilter(const QString& description, const QString& pattern) {
    QStringList patterns = pattern.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    return description + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
}

// Why a name that is not a readable file cannot be opened, as the text of the message to show;
// 0 when it is a file that can be read (the engine then says what it makes of its content).
int unopenableReason(const QString& fileName) {
    const QFileInfo info(fileName);
    if (info.isDir()) return kTextIsFolder;
    if (!info.isFile()) return kTextFileMissing;
    // Asked of the system itself: the permission bits alone do not tell (root, access lists).
    const int fd = ::open(QFile::encodeName(fileName).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno == EACCES || errno == EPERM ? kTextPermissionDenied : 0;
    ::close(fd);
    return 0;
}

}  // namespace

FileCommands::FileCommands(frmMain& main) : QObject(&main), main_(main) {
    Ui::frmMain& u = main_.ui();
    const auto guard = [](auto body) { return [body] { Guarded(body); }; };
    connect(u.mnuFileNew, &QAction::triggered, this, guard([this] { NewCommand(); }));
    connect(u.mnuFileOpen, &QAction::triggered, this, guard([this] { OpenCommand(); }));
    connect(u.mnuFileSave, &QAction::triggered, this, guard([this] { SaveCommand(); }));
    connect(u.mnuFileSaveAs, &QAction::triggered, this, guard([this] { SaveAsCommand(); }));
    connect(u.mnuFileClose, &QAction::triggered, this, guard([this] { CloseCommand(); }));
    connect(u.mnuFileExit, &QAction::triggered, &main_, [this] { main_.close(); });
    for (int position = 0; position < kRecentFileCount; ++position) {
        connect(RecentFileItem(position), &QAction::triggered, this,
                guard([this, position] { OpenRecentFile(position); }));
    }
    scanner_ = new ScanCommands(main_);
    connect(u.mnuFileAquire, &QAction::triggered, this, guard([this] { scanner_->Acquire(); }));
    connect(u.mnuFileSelectSource, &QAction::triggered, this, guard([this] { scanner_->SelectSource(); }));
}

FileCommands::~FileCommands() = default;

frmDocument* FileCommands::OpenImageFile(const QString& fileName, const QString& caption) {
    const QPointer<QMdiSubWindow> previous = main_.MdiArea()->currentSubWindow();
    ApplyReady = false;
    auto* document = new frmDocument();
    ++ImageCounter;
    QMdiSubWindow* window = nullptr;
    try {
        document->SetGrafikOriginalFileName(fileName);
        document->setWindowTitle(caption.isEmpty() ? fileName : caption);
        window = main_.AddDocument(document);
        window->show();
        document->ShowLoadNotice();

        imaging::ImageControl& picture = document->picOriginal();
        picture.SetAutoRepaint(false);
        picture.hide();

        if (const int refusal = unopenableReason(fileName); refusal != 0) {
            // A missing file keeps its one-line message; the others name what they refer to.
            showError(refusal, kTextErrorTitle,
                      refusal == kTextFileMissing ? QString() : QDir::toNativeSeparators(fileName));
            discardDocument(main_, document, window, previous);
            return nullptr;
        }
        bool loaded = false;
        bool animated = false;
        QString reason;
        const bool autoAnimate = picture.AutoAnimate();
        try {
            // A second, plainer query gets past readers that are strict about the first.
            if (picture.FileInfo(fileName, 1000) == 0 || picture.FileInfo(fileName, 0) == 0) {
                animated = IsAnimatedImage(picture.InfoAnimation(), picture.InfoPage(), picture.InfoFormat());
                if (animated) {
                    picture.SetAutoAnimate(false);
                }
                imaging::takeLoadNotes();
                // The Original is the first page, unless the file is an animation: the further
                // pages of a multi-page file are never shown and would only cost memory.
                loaded = picture.Load(fileName, 0, 0, animated ? -1 : 1) == 0 && picture.HasBitmap();
                // A file cut short is shown as far as it arrived, as browsers show it; its
                // window says that it is damaged.
                if (loaded && imaging::takeLoadNotes().damaged)
                    document->setWindowTitle(document->windowTitle() + QStringLiteral(" (") + LoadText(6661) +
                                             QLatin1Char(')'));
            }
            if (!loaded) {
                reason = picture.LastErrorText();
            }
        } catch (const std::exception& error) {
            loaded = false;
            reason = QString::fromUtf8(error.what());
        }
        if (!loaded) {
            picture.SetAutoAnimate(autoAnimate);
            // The message keeps its text; the engine's reason ("png: the file is truncated")
            // on a second line tells the user what is wrong with the file.
            showError(kTextUnrecognized, kTextErrorTitle, reason);
            discardDocument(main_, document, window, previous);
            return nullptr;
        }
        if (animated) {
            document->SetOriginalAnimation(true, picture.BitmapListCount());
            picture.SetAnimationEnable(true);
        } else {
            document->SetOriginalAnimation(false, 1);
        }

        picture.SetAutoRepaint(true);
        ApplyReady = true;
        document->InitialisiereGrafik(true);
        picture.SetAutoAnimate(autoAnimate);
        picture.show();
        picture.ForceRepaint();
        document->picOriginalAendern();
        if (QFrame* loading = document->frameLoadImage()) {
            loading->hide();
        }
        emit main_.documentReady(document);
        return document;
    } catch (...) {
        // Reported by the caller's guard; the half-built window must not outlive the failure.
        discardDocument(main_, document, window, previous);
        throw;
    }
}

frmDocument* FileCommands::NewDocument(int width, int height) {
    const QPointer<QMdiSubWindow> previous = main_.MdiArea()->currentSubWindow();
    ApplyReady = false;
    auto* document = new frmDocument();
    ++ImageCounter;
    QMdiSubWindow* window = nullptr;
    try {
        document->setWindowTitle(LoadText(kTextImage) + QString::number(ImageCounter));
        window = main_.AddDocument(document);
        window->show();
        document->ShowLoadNotice();
        document->picOriginal().CreateBitmap(width, height, 24, 0xFFFFFF);
        ApplyReady = true;
        document->InitialisiereGrafik(true);
        document->picOriginal().ForceRepaint();
        document->picOriginalAendern();
        if (QFrame* loading = document->frameLoadImage()) {
            loading->hide();
        }
        emit main_.documentReady(document);
        return document;
    } catch (...) {
        discardDocument(main_, document, window, previous);
        throw;
    }
}

void FileCommands::NewCommand() { NewDocument(kNewDocumentWidth, kNewDocumentHeight); }

QStringList FileCommands::OpenDialogFilters() {
    QStringList names = OpenFormatNames;
    QStringList patterns = OpenFormatPatterns;
    const qsizetype rows = std::min(names.size(), patterns.size());
    names.resize(rows);
    patterns.resize(rows);
    // The web formats, while they are offered: in "All Graphics" and as rows of their own after
    // the fixed list, so the rows before them keep their places.
    if (QualityOptions().WebpAvif && rows > 0) {
        const QString webp = QStringLiteral("*.webp"), avif = QStringLiteral("*.avif");
        patterns[0] += webp + QLatin1Char(';') + avif + QLatin1Char(';');
        names << QStringLiteral("WebP (WEBP)") << QStringLiteral("AVIF (AVIF)");
        patterns << webp << avif;
    }
    // HEIC/HEIF, as phones save their photos: read only, so offered whatever the web formats' switch.
    if (rows > 0) {
        const QString heif = QStringLiteral("*.heic;*.heif;*.hif");
        patterns[0] += heif + QLatin1Char(';');
        names << QStringLiteral("HEIC/HEIF (HEIC;HEIF)");
        patterns << heif;
    }
    QStringList filters;
    for (qsizetype row = 0; row < names.size(); ++row) {
        filters.append(nameFilter(names.at(row), patterns.at(row)));
    }
    return filters;
}

void FileCommands::OpenCommand() {
    FileDialogRequest request;
    request.mode = FileDialogRequest::Mode::Open;
    request.title = LoadText(kTextOpenTitle);
    // A remembered folder that has gone since would leave the dialog wherever the toolkit falls
    // back to (the program's working folder); the pictures folder is where a user looks.
    request.folder = QFileInfo(main_.InitialDirectory).isDir() ? main_.InitialDirectory : DefaultInitialDirectory();
    request.filters = OpenDialogFilters();
    const QString fileName = AskForFile(&main_, request);
    if (fileName.isEmpty()) {
        return;
    }
    if (!QFileInfo(fileName).isFile()) {
        showError(kTextChosenFileMissing, 0);
        return;
    }
    main_.InitialDirectory = GetFolderOfPath(fileName);
    ShowBusyPointer();
    OpenImageFile(fileName);
    AddRecentFile(fileName);
    ShowDefaultPointer();
}

void FileCommands::OpenRecentFile(int position) {
    const QString fileName = RecentFile(position);
    if (fileName.isEmpty()) {
        return;
    }
    ShowBusyPointer();
    OpenImageFile(fileName);
    ShowDefaultPointer();
}

void FileCommands::OpenDroppedFiles(const QStringList& files) {
    for (const QString& fileName : files) {
        const QFileInfo info(fileName);
        if (fileName.isEmpty() || (info.isFile() && info.size() == 0)) {
            continue;
        }
        ShowBusyPointer();
        Guarded([this, &fileName] { OpenImageFile(fileName); });
        ShowDefaultPointer();
    }
}

bool FileCommands::refuseOriginal(int n) {
    if (n != 0) {
        return false;
    }
    MessageRequest request;
    request.icon = QMessageBox::Warning;
    request.title = ApplicationName();
    request.text = LoadText(kTextMasterNotSaved);
    ShowMessage(&main_, request);
    return true;
}

frmDocument* FileCommands::documentToSave(int& n) {
    frmDocument* document = main_.ActiveDocument();
    if (!document) {
        return nullptr;
    }
    n = document->FindeSelektierteGrafik();
    return refuseOriginal(n) ? nullptr : document;
}

void FileCommands::SaveCommand() {
    int n = 0;
    frmDocument* document = documentToSave(n);
    if (!document) {
        return;
    }
    const QString fileName = document->GetGrafikFileNameDefault(n);
    if (fileName.isEmpty()) {
        SaveAsCommand();
        return;
    }
    if (SaveVariationFile(n, fileName)) {
        AddRecentFile(fileName);
    }
}

void FileCommands::SaveAsCommand() {
    int n = 0;
    frmDocument* document = documentToSave(n);
    if (!document) {
        return;
    }
    const QString extension = document->GetGrafikPatternSave(n);
    FileDialogRequest request;
    request.mode = FileDialogRequest::Mode::Save;
    request.title = LoadText(kTextSaveAsTitle);
    // The Variation's name carries no folder; offer the Original's, where the user just was.
    QString proposed = document->GetGrafikFileName(n);
    const QFileInfo original(document->OriginalFileName());
    if (QFileInfo(proposed).isRelative() && original.isFile()) {
        proposed = original.dir().filePath(proposed);
    }
    // After an earlier Save As the name holds that file's extension; the dialog keeps an
    // extension it is given, so BMP data would be offered a ".png" name. The proposal carries
    // the extension of the format the Variation has now.
    proposed = ProposedSaveName(proposed, extension);
    request.folder = proposed;
    request.filters = {nameFilter(extension, QStringLiteral("*.") + extension)};
    request.defaultSuffix = extension;
    const QString fileName = AskForFile(&main_, request);
    if (fileName.isEmpty()) {
        return;
    }
    document->SetGrafikFileName(n, fileName);
    // The path becomes the Variation's save target only once something was really written
    // there; a failed save must not make the next Save go to a file that does not exist.
    if (SaveVariationFile(n, fileName)) {
        document->SetGrafikFileNameSave(n, fileName);
        AddRecentFile(fileName);
    }
}

bool FileCommands::SaveVariationFile(int n, const QString& fileName) {
    frmDocument* document = main_.ActiveDocument();
    if (!document) {
        return false;
    }
    ShowBusyPointer();
    struct PointerReset {
        ~PointerReset() { ShowDefaultPointer(); }
    } pointerReset;
    // The document writes its own Variation (every frame of an animated one) and refreshes the
    // tools window; an error it raises goes on to the caller's guard.
    const int result = document->SaveVariationFile(n, fileName);
    if (result != 0) {
        ShowDefaultPointer();
        // The engine's reason names the path and what the system said ("No space left on
        // device", "Permission denied"), on a second line under the message.
        showError(kTextSaveFailed, 0, document->picCompress(n).LastErrorText());
    }
    return result == 0;
}

void FileCommands::CloseCommand() {
    frmDocument* document = main_.ActiveDocument();
    if (!document) {
        return;
    }
    // The document's unload runs when its child window closes.
    if (auto* window = qobject_cast<QMdiSubWindow*>(document->parentWidget())) {
        window->close();
    } else {
        document->close();
    }
}

QAction* FileCommands::RecentFileItem(int position) const {
    Ui::frmMain& u = main_.ui();
    const std::array<QAction*, kRecentFileCount> items = {u.mnuFileMRU0, u.mnuFileMRU1, u.mnuFileMRU2,
                                                          u.mnuFileMRU3, u.mnuFileMRU4};
    return position >= 0 && position < kRecentFileCount ? items[static_cast<std::size_t>(position)] : nullptr;
}

QString FileCommands::RecentFile(int position) const {
    const QAction* item = RecentFileItem(position);
    return item ? item->data().toString() : QString();
}

void FileCommands::setRecentFile(int position, const QString& fileName) {
    QAction* item = RecentFileItem(position);
    item->setData(fileName);
    // A file name is shown as it is: an ampersand in it is not a mnemonic.
    QString shown = fileName;
    item->setText(shown.replace(QLatin1Char('&'), QStringLiteral("&&")));
}

void FileCommands::showRecentItem(int position) {
    RecentFileItem(position)->setVisible(true);
    main_.ui().mnuFileBar6->setVisible(true);
}

void FileCommands::LoadRecentFiles() {
    for (int position = 0; position < kRecentFileCount; ++position) {
        const QString fileName = ReadRecentFile(position);
        setRecentFile(position, fileName);
        if (!fileName.isEmpty()) {
            showRecentItem(position);
        }
    }
}

void FileCommands::AddRecentFile(const QString& fileName) {
    int found = kRecentFileCount - 1;
    for (int position = 0; position < kRecentFileCount; ++position) {
        if (RecentFile(position) == fileName) {
            found = position;
            break;
        }
    }
    for (int position = found; position >= 1; --position) {
        const QString moved = RecentFile(position - 1);
        setRecentFile(position, moved);
        if (!moved.isEmpty() && !RecentFileItem(position)->isVisible()) {
            showRecentItem(position);
        }
    }
    setRecentFile(0, fileName);
    showRecentItem(0);
    // Every write reaches the disk before it returns: the shifted list goes in one write, not
    // one per position.
    std::array<QString, kRecentFileCount> list;
    for (int position = 0; position < kRecentFileCount; ++position) {
        list[static_cast<std::size_t>(position)] = RecentFile(position);
    }
    WriteRecentFiles(list);
}

void FileCommands::showError(int textId, int titleId, const QString& reason) {
    MessageRequest request;
    request.icon = titleId != 0 ? QMessageBox::Critical : QMessageBox::NoIcon;
    request.title = titleId != 0 ? LoadText(titleId) : QString();
    request.text = reason.isEmpty() ? LoadText(textId) : LoadText(textId) + QLatin1Char('\n') + reason;
    ShowMessage(&main_, request);
}

}  // namespace kalmira
