#include "shell/frmhelp.h"

#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace kalmira {

frmHelp::frmHelp(QWidget* parent) : QDialog(parent), textHelp_(new QPlainTextEdit(this)) {
    setObjectName(QStringLiteral("frmHelp"));
    textHelp_->setObjectName(QStringLiteral("TextHelp"));
    textHelp_->setReadOnly(true);
    textHelp_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(textHelp_);
    resize(640, 480);
}

void frmHelp::SetText(const QString& text) { textHelp_->setPlainText(text); }

QString frmHelp::Text() const { return textHelp_->toPlainText(); }

}  // namespace kalmira
