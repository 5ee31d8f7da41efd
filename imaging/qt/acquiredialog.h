#pragma once
// The scan dialog: the device's own options (mode, resolution, scan area and whatever else it
// offers, with their ranges and units), a Scan button that scans on a worker thread with a
// progress bar, and a Cancel that stops a running scan (or closes the dialog when none runs).
// On a finished scan the dialog closes with OK and holds the picture.

#include <QDialog>

#include <atomic>
#include <thread>

#include "core/bitmap.h"
#include "formats/messagecatalog.h"
#include "scan/scanner.h"

class QFormLayout;
class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace imaging {

class AcquireDialog : public QDialog {
    Q_OBJECT

public:
    AcquireDialog(scan::Scanner& scanner, QWidget* owner = nullptr);
    ~AcquireDialog() override;

    // Starts the scan (the Scan button); Cancel stops it.
    void StartScan();
    void CancelScan();
    bool Scanning() const { return worker_.joinable(); }
    // The scanned picture after OK; moved out.
    Bitmap TakePicture() { return std::move(picture_); }
    // What the last scan ended with: empty after success, else the reason shown.
    QString LastErrorText() const { return lastError_; }

signals:
    void scanEnded(bool succeeded);

protected:
    void reject() override;

private:
    void buildOptions();
    void poll();
    void finishScan();

    // The device's texts in the program's language: SANE's backends ship their translations.
    QString saneText(const std::string& text) const;

    scan::Scanner& scanner_;
    MessageCatalog saneTexts_;
    QFormLayout* form_ = nullptr;
    QWidget* optionsBox_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLabel* status_ = nullptr;
    QPushButton* scanButton_ = nullptr;
    QTimer* pollTimer_ = nullptr;

    std::thread worker_;
    std::atomic<bool> cancel_{false};
    std::atomic<bool> done_{false};
    std::atomic<int> percent_{0};
    Bitmap scanned_;  // written by the worker, read after it ended
    QString workerError_;
    Bitmap picture_;
    QString lastError_;
};

}  // namespace imaging
