// The pop-up menu of a document's pictures, and whether the clipboard holds a picture that Paste
// could take.
#include <QAction>
#include <QCursor>
#include <QMenu>

#include "document/documenthost.h"
#include "document/documentlayout.h"
#include "document/frmdocument.h"
#include "common/errortrap.h"
#include "common/globals.h"
#include "common/texts.h"

namespace kalmira {

namespace {

frmDocument::MenuFunction& menuFunction() {
    static frmDocument::MenuFunction function;
    return function;
}

const int kZoomSteps[] = {25, 33, 50, 75, 100, 150, 200, 300, 400};

}  // namespace

frmDocument::MenuFunction frmDocument::SetMenuFunction(MenuFunction function) {
    MenuFunction previous = std::move(menuFunction());
    menuFunction() = std::move(function);
    return previous;
}

QMenu* frmDocument::mnuDocument() {
    if (!documentMenu_) createDocumentMenu();
    return documentMenu_;
}

QAction* frmDocument::DocumentMenuItem(const QString& name) const {
    if (!documentMenu_) const_cast<frmDocument*>(this)->createDocumentMenu();
    for (QAction* item : documentMenu_->actions())
        if (item->objectName() == name) return item;
    return nullptr;
}

void frmDocument::createDocumentMenu() {
    documentMenu_ = new QMenu(this);
    documentMenu_->setObjectName(QStringLiteral("mnuDocument"));
    auto item = [this](const char* name, int textId, std::function<void()> action) {
        QAction* entry = documentMenu_->addAction(LoadText(textId));
        entry->setObjectName(QString::fromLatin1(name));
        connect(entry, &QAction::triggered, this, [action = std::move(action)] { Guarded(action); });
        return entry;
    };
    auto separator = [this](const char* name) { documentMenu_->addSeparator()->setObjectName(QString::fromLatin1(name)); };
    auto mainCommand = [](const QString& name) {
        return [name] {
            if (MainWindowHost* host = mainWindowHost()) host->RunMainCommand(name);
        };
    };
    item("mnuSave", 2400, mainCommand(QStringLiteral("mnuFileSave")));
    item("mnuSaveAs", 2401, mainCommand(QStringLiteral("mnuFileSaveAs")));
    item("mnuClose", 2402, mainCommand(QStringLiteral("mnuFileClose")));
    separator("mnuDummy0");
    item("mnuCopy", 2403, mainCommand(QStringLiteral("mnuEditCopy")));
    item("mnuPaste", 2404, mainCommand(QStringLiteral("mnuEditPaste")));
    separator("mnuDummy1");
    item("mnuApply", 2405, [] {
        if (ToolsHost* tools = toolsHost()) tools->PressApply();
    });
    item("mnuHide", 2406, [this] {
        const int selected = FindeSelektierteGrafik();
        if (selected <= 0) return;
        if (MainWindowHost* host = mainWindowHost()) host->RunMainCommand(QStringLiteral("mnuViewVariation%1").arg(selected));
    });
    QAction* compare = item("mnuCompareWithThis", 6707, [this] {
        const int selected = FindeSelektierteGrafik();
        SetDifferenceReference(selected > 0 && selected != DifferenceReference() ? selected : 0);
    });
    compare->setCheckable(true);
    separator("mnuDummy2");
    item("mnuFitToWindow", 2416, [this] { DoFitToWindow(*this, false, GetNumberDisplayedPictures()); });
    for (int k = 0; k < 9; ++k) {
        const QString text = QStringLiteral("%1%").arg(kZoomSteps[k]);
        const QByteArray name = "mnuZoom" + QByteArray::number(kZoomSteps[k]);
        item(name.constData(), 2407 + k, [text] {
            if (MainWindowHost* host = mainWindowHost()) host->ApplyZoomText(text);
        });
    }
}

void frmDocument::SetUpDocumentMenu(int index) {
    mnuDocument();
    const bool variation = index > 0;
    for (const char* name : {"mnuHide", "mnuSave", "mnuSaveAs"}) DocumentMenuItem(QString::fromLatin1(name))->setVisible(variation);
    if (variation) DocumentMenuItem(QStringLiteral("mnuDummy0"))->setVisible(true);
    DocumentMenuItem(QStringLiteral("mnuClose"))->setVisible(!variation);
    // Which Variation the others are compared with, offered while the difference view is on.
    QAction* compare = DocumentMenuItem(QStringLiteral("mnuCompareWithThis"));
    compare->setVisible(variation && DifferenceView());
    compare->setEnabled(variation && !record(index).GIFAnimated);
    compare->setChecked(variation && DifferenceReference() == index);
}

void frmDocument::ShowDocumentMenu(int index) {
    if (index > 0) setFocus();
    SelektiereGrafik(index);
    SetUpDocumentMenu(index);
    CheckKopierenMoeglich();
    if (menuFunction()) {
        menuFunction()(*documentMenu_);
        return;
    }
    documentMenu_->exec(QCursor::pos());
}

void frmDocument::CheckKopierenMoeglich() {
    if (OpenDocumentCount <= 0) return;
    // The Original's own paste query: it reads the clipboard with the reader Paste uses, so
    // Paste is never offered for content it then refuses.
    const bool possible = pictures_[0]->Paste(imaging::ImageControl::kPasteQuery) != 0;
    if (MainWindowHost* host = mainWindowHost()) host->EnablePaste(possible);
    if (QAction* paste = DocumentMenuItem(QStringLiteral("mnuPaste"))) paste->setEnabled(possible);
}

}  // namespace kalmira
