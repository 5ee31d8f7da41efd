#pragma once
// The File menu: turning files into document windows and Variations back into files, the
// recent-files list, and the File commands that belong to later work (acquisition).

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

class QAction;

namespace kalmira {

class frmMain;
class frmDocument;
class ScanCommands;

class FileCommands : public QObject {
    Q_OBJECT

public:
    explicit FileCommands(frmMain& main);
    ~FileCommands() override;

    // Creates a document window for an image file and loads it. Every failure (missing file,
    // unrecognised or broken content, any unexpected error) reports itself and leaves no
    // window behind. Returns the new document, or nullptr when the open failed.
    frmDocument* OpenImageFile(const QString& fileName, const QString& caption = QString());
    // Creates a document with a blank white 24-bit image.
    frmDocument* NewDocument(int width, int height);

    // Menu and toolbar commands.
    void NewCommand();
    void OpenCommand();
    void SaveCommand();
    void SaveAsCommand();
    void CloseCommand();
    void OpenRecentFile(int position);
    // Every dropped file, in order; empty names and empty files are skipped without a word.
    void OpenDroppedFiles(const QStringList& files);

    // Writes Variation n of the active document to `fileName` with its save options.
    // Returns false (after message 5104) when the engine could not write the file; the file
    // that was there before is then left as it was.
    bool SaveVariationFile(int n, const QString& fileName);

    // Recent files: five menu items, 0 the most recent, each stored in the settings.
    void LoadRecentFiles();
    void AddRecentFile(const QString& fileName);
    QString RecentFile(int position) const;
    QAction* RecentFileItem(int position) const;

    // File > Acquire and Select Source live there.
    ScanCommands& Scanner() const { return *scanner_; }

    // The Open dialog's filter rows (Qt name filters), "All Graphics" first; WebP and AVIF
    // after the fixed rows while the options offer them.
    static QStringList OpenDialogFilters();

private:
    void setRecentFile(int position, const QString& fileName);
    void showRecentItem(int position);
    // Message box with title 5103 ("Error"), or without a title when titleId is 0; a reason
    // (the engine's) goes on a line of its own below the text.
    void showError(int textId, int titleId, const QString& reason = QString());
    // Refuses to save the master image; true when the Original is the selected picture.
    bool refuseOriginal(int n);
    // The active document and its selected Variation n, or nullptr when there is none or the
    // Original is selected (after saying it cannot be saved).
    frmDocument* documentToSave(int& n);

    frmMain& main_;
    ScanCommands* scanner_ = nullptr;  // owned by the main window (its QObject parent)
};

}  // namespace kalmira
