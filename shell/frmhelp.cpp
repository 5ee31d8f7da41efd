#include "shell/frmhelp.h"

#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace kalmira {

frmHelp::frmHelp(QWidget* parent) : QDialog(parent), textHelp_(new QPlainTextEdit(this)) {
    setObjectName(QStringLiteral("frmHelp"));
    textHelp_->setObjectName(QStringLiteral("Text"));
    textHelp_->setReadOnly(true);
    textHelp_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("Command1"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(textHelp_);
    layout->addWidget(ok, 0, Qt::AlignRight);
    resize(640, 480);
    // Centred on the screen, whatever the owner's position.
    if (const QScreen* shown = screen()) move(shown->geometry().center() - rect().center());
}

void frmHelp::SetText(const QString& text) { textHelp_->setPlainText(text); }

QString frmHelp::Text() const { return textHelp_->toPlainText(); }

}  // namespace kalmira
