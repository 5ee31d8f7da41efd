#pragma once
// A plain text viewer: a read-only text box `Text` and an OK button `Command1`. The readme is
// shown in it.

#include <QDialog>

class QPlainTextEdit;

namespace kalmira {

class frmHelp : public QDialog {
    Q_OBJECT

public:
    explicit frmHelp(QWidget* parent = nullptr);

    void SetText(const QString& text);
    QString Text() const;

private:
    QPlainTextEdit* textHelp_;
};

}  // namespace kalmira
