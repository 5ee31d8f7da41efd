#pragma once
// The system information window of the about box: the operating system, Qt, the window
// system and screen, the processor, memory, and the versions of the image libraries, as text
// the user can copy into a bug report.

#include <QDialog>

class QPlainTextEdit;

namespace kalmira {

class frmSysInfo : public QDialog {
    Q_OBJECT

public:
    explicit frmSysInfo(QWidget* owner = nullptr);

    // Shown modally over `owner`; message 5302 when the information cannot be gathered.
    static void ShowSystemInformation(QWidget* owner);

    // "Name: value" lines, one per fact.
    static QString Report();
    QString Text() const;

private:
    QPlainTextEdit* text_;
};

}  // namespace kalmira
