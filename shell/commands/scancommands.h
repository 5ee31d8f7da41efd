#pragma once
// File > Acquire and Select Source on SANE: the device chosen stays chosen while the program
// runs; each scanned picture becomes a new document. No device, or SANE that does not start,
// switches both commands off for the rest of the run, and the command that found it says so.

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

#include "scan/scanner.h"

namespace imaging {
class AcquireDialog;
}

namespace kalmira {

class frmMain;

class ScanCommands : public QObject {
    Q_OBJECT

public:
    explicit ScanCommands(frmMain& main);

    // Enables or disables Acquire and Select Source; true when scanning can work.
    bool CheckTwainAvailable();
    void Acquire();
    void SelectSource();
    QString Source() const { return source_; }

    // Test seams: where the device list comes from, how the source list and the scan dialog
    // are answered. The runner gets the dialog ready and returns whether it ended with OK.
    using DeviceLister = std::function<std::vector<imaging::scan::Device>()>;
    using SourceChooser = std::function<QString(const QStringList& names, const QString& current)>;
    using DialogRunner = std::function<bool(imaging::AcquireDialog& dialog)>;
    void SetDeviceLister(DeviceLister lister) { lister_ = std::move(lister); }
    void SetSourceChooser(SourceChooser chooser) { chooser_ = std::move(chooser); }
    void SetDialogRunner(DialogRunner runner) { runner_ = std::move(runner); }

private:
    // CheckTwainAvailable, telling the user when there is nothing to scan with.
    bool scanningPossible();
    void showMessage(int textId, const QString& detail = QString());

    frmMain& main_;
    QString source_;
    bool disabled_ = false;
    DeviceLister lister_;
    SourceChooser chooser_;
    DialogRunner runner_;
};

}  // namespace kalmira
