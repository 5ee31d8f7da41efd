// LocalizeForm on a form built like a designer's: ids in captions, Tags, lists and tooltips.
#include "common/globals.h"
#include "common/texts.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QToolBar>
#include <QTreeWidget>

namespace kalmira {

class LocalizeFormTest : public QObject {
    Q_OBJECT

private:
    template <class T>
    T* child(QWidget* form, const char* name) {
        T* found = form->findChild<T*>(QLatin1String(name));
        if (!found) {
            qFatal("no child %s", name);
        }
        return found;
    }

    // A small main window the way a .ui file describes it: every caption is an id or a Tag.
    std::unique_ptr<QMainWindow> makeForm() {
        auto form = std::make_unique<QMainWindow>();
        form->setProperty("Tag", QStringLiteral("1500"));
        form->setWindowTitle(QStringLiteral("design title"));

        QMenu* file = form->menuBar()->addMenu(QStringLiteral("1000"));
        file->setObjectName(QStringLiteral("mnuFile"));
        QAction* open = file->addAction(QStringLiteral("1002"));
        open->setObjectName(QStringLiteral("mnuFileOpen"));
        QAction* missing = file->addAction(QStringLiteral("4999"));
        missing->setObjectName(QStringLiteral("mnuMissing"));
        QAction* plain = file->addAction(QStringLiteral("Plain text"));
        plain->setObjectName(QStringLiteral("mnuPlain"));

        QToolBar* bar = form->addToolBar(QStringLiteral("bar"));
        QAction* undo = bar->addAction(QString());
        undo->setObjectName(QStringLiteral("tbUndo"));
        undo->setToolTip(QStringLiteral("1203"));

        auto* central = new QWidget(form.get());
        form->setCentralWidget(central);
        auto add = [central](QWidget* widget, const char* name, const QVariant& tag = {}) {
            widget->setParent(central);
            widget->setObjectName(QLatin1String(name));
            if (tag.isValid()) {
                widget->setProperty("Tag", tag);
            }
            return widget;
        };
        add(new QLabel(QStringLiteral("design")), "lblKnown", QStringLiteral("1520"));
        add(new QLabel(QStringLiteral("design")), "lblMissing", QStringLiteral("4999"));
        add(new QLabel(QStringLiteral("design")), "lblNotANumber", QStringLiteral("abc"));
        add(new QLabel(QStringLiteral("design")), "lblEmptyTag", QString());
        add(new QLabel(QStringLiteral("design")), "lblZero", 0);
        add(new QLabel(QStringLiteral("design")), "lblIntTag", 1531);
        add(new QPushButton(QStringLiteral("design")), "cmdOK", QStringLiteral("1515"));
        add(new QCheckBox(QStringLiteral("design")), "checkNegative", QStringLiteral("-20000"));
        add(new QGroupBox(QStringLiteral("design")), "frameOrder", QStringLiteral("1537"));
        auto* tipped = static_cast<QPushButton*>(add(new QPushButton(QStringLiteral("keep")), "cmdTipped"));
        tipped->setToolTip(QStringLiteral("1215"));

        auto* combo = static_cast<QComboBox*>(add(new QComboBox, "cmbDownloadSpeed"));
        combo->addItems({QStringLiteral("3300"), QStringLiteral("3308"), QStringLiteral("25%"), QStringLiteral("4999")});

        auto* tabs = static_cast<QTabWidget*>(add(new QTabWidget, "tbsOptions"));
        tabs->addTab(new QWidget, QStringLiteral("1510"));
        tabs->setTabToolTip(0, QStringLiteral("1511"));
        auto* tagged = new QWidget;
        tagged->setProperty("Tag", 1512);
        tabs->addTab(tagged, QStringLiteral("design tab"));

        auto* tree = static_cast<QTreeWidget*>(add(new QTreeWidget, "lvFiles"));
        tree->setHeaderLabels({QStringLiteral("1538"), QStringLiteral("Size")});
        auto* table = static_cast<QTableWidget*>(add(new QTableWidget(1, 2), "gridFormats"));
        table->setHorizontalHeaderLabels({QStringLiteral("1539"), QStringLiteral("4999")});
        return form;
    }

private slots:
    void init() { LanguageOffset = 0; }

    void replacesIdsByTheirTexts() {
        auto form = makeForm();
        LocalizeForm(form.get());
        QCOMPARE(form->windowTitle(), QStringLiteral("Options"));
        QCOMPARE(child<QMenu>(form.get(), "mnuFile")->title(), QStringLiteral("&File"));
        QCOMPARE(child<QAction>(form.get(), "mnuFileOpen")->text(), QStringLiteral("&Open"));
        QCOMPARE(child<QAction>(form.get(), "tbUndo")->toolTip(), QStringLiteral("Undo"));
        QCOMPARE(child<QLabel>(form.get(), "lblKnown")->text(), QStringLiteral("&Auto apply variation changes"));
        QCOMPARE(child<QLabel>(form.get(), "lblIntTag")->text(), QStringLiteral("percent"));
        QCOMPARE(child<QPushButton>(form.get(), "cmdOK")->text(), QStringLiteral("&OK"));
        QCOMPARE(child<QGroupBox>(form.get(), "frameOrder")->title(), QStringLiteral("Default Display Order"));
        QCOMPARE(child<QPushButton>(form.get(), "cmdTipped")->toolTip(), QStringLiteral("Zoom"));
        QCOMPARE(child<QPushButton>(form.get(), "cmdTipped")->text(), QStringLiteral("keep"));

        auto* combo = child<QComboBox>(form.get(), "cmbDownloadSpeed");
        QCOMPARE(combo->itemText(0), QStringLiteral("1200 bps"));
        QCOMPARE(combo->itemText(1), QStringLiteral("128 kbps (ISDNx2)"));
        QCOMPARE(combo->itemText(2), QStringLiteral("25%"));
        QCOMPARE(combo->itemText(3), QStringLiteral("4999"));

        auto* tabs = child<QTabWidget>(form.get(), "tbsOptions");
        QCOMPARE(tabs->tabText(0), QStringLiteral("General"));
        QCOMPARE(tabs->tabToolTip(0), QStringLiteral("Display"));
        QCOMPARE(tabs->tabText(1), QStringLiteral("Keenfit GIF/JPEG"));

        QCOMPARE(child<QTreeWidget>(form.get(), "lvFiles")->headerItem()->text(0), QStringLiteral("Horizontal"));
        QCOMPARE(child<QTreeWidget>(form.get(), "lvFiles")->headerItem()->text(1), QStringLiteral("Size"));
        auto* table = child<QTableWidget>(form.get(), "gridFormats");
        QCOMPARE(table->horizontalHeaderItem(0)->text(), QStringLiteral("Vertical"));
        QCOMPARE(table->horizontalHeaderItem(1)->text(), QStringLiteral("4999"));
    }

    // LoadText answers a missing id with "*error*", but LocalizeForm keeps the design text.
    void missingIdsKeepTheDesignText() {
        QCOMPARE(LoadText(4999), QStringLiteral("*error*"));
        auto form = makeForm();
        LocalizeForm(form.get());
        QCOMPARE(child<QLabel>(form.get(), "lblMissing")->text(), QStringLiteral("design"));
        QCOMPARE(child<QLabel>(form.get(), "lblNotANumber")->text(), QStringLiteral("design"));
        QCOMPARE(child<QLabel>(form.get(), "lblEmptyTag")->text(), QStringLiteral("design"));
        QCOMPARE(child<QCheckBox>(form.get(), "checkNegative")->text(), QStringLiteral("design"));
        QCOMPARE(child<QAction>(form.get(), "mnuMissing")->text(), QStringLiteral("4999"));
        QCOMPARE(child<QAction>(form.get(), "mnuPlain")->text(), QStringLiteral("Plain text"));
    }

    // With the German offset a Tag of 0 is looked up as id 10000, which has no entry.
    void tagZeroUnderTheGermanOffsetKeepsItsCaption() {
        LanguageOffset = kGermanLanguageOffset;
        auto form = makeForm();
        LocalizeForm(form.get());
        QCOMPARE(child<QLabel>(form.get(), "lblZero")->text(), QStringLiteral("design"));
        QCOMPARE(child<QLabel>(form.get(), "lblKnown")->text(),
                 QStringLiteral("Variationsänderungen &automatisch anwenden"));
        QCOMPARE(child<QMenu>(form.get(), "mnuFile")->title(), QStringLiteral("&Datei"));
        QCOMPARE(form->windowTitle(), QStringLiteral("Optionen"));
    }

    // No form is no work: the call returns and the next form is localised as ever.
    void nullFormIsIgnored() {
        LocalizeForm(nullptr);
        auto form = makeForm();
        LocalizeForm(form.get());
        QCOMPARE(child<QLabel>(form.get(), "lblKnown")->text(), QStringLiteral("&Auto apply variation changes"));
    }
};

}  // namespace kalmira

QTEST_MAIN(kalmira::LocalizeFormTest)
#include "localizeform_test.moc"
