// The tools window while the selected Variation's encodings come in from the workers: what
// the user typed and has not applied stays.
#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <memory>

#include "document/documenthost.h"
#include "document/frmdocument.h"
#include "settings/programoptions.h"
#include "common/errortrap.h"
#include "common/globals.h"
#include "tools/frmtools.h"
#include "fakemainwindow.h"
#include "toolswindowfixture.h"
#include "test_pictures.h"

using namespace kalmira;

using kalmira::testing::child;
using kalmira::testing::typeAndEnter;

class ToolsEncodingTest : public QObject, protected kalmira::testing::ToolsWindowFixture {
    Q_OBJECT

private slots:
    void initTestCase() { startFixture(); }

    void init() { resetFixture(); }

    void cleanup() {
        frmDocument::SetWaitForUpdates(true);
        endFixture();
    }

    // Auto-apply off: edits made in the tools window while the selected Variation is being
    // encoded are the user's and stay when the encoding comes in; only Apply takes them. A face
    // without edits shows what the record holds once the encoding is in.
    void unappliedEditsSurviveAnEncodingThatComesIn() {
        // Large enough that its encoding is still at work when the call returns.
        openDocument(kalmira::testing::stripes(900, 600));
        doc_->SelektiereGrafik(1);
        ProgramOptions().OptionsAutoApply = 0;
        frmDocument::SetWaitForUpdates(false);
        const int start = doc_->record(1).PixelDepth;
        QVERIFY(start != 6 && start != 3);
        auto* colours = child<QComboBox>(*tools_, "ComboNumColors");

        // No edits: a record changed behind the face is shown once its encoding is in.
        doc_->record(1).PixelDepth = doc_->record(1).PalettePixelDepth = 6;
        doc_->AktualisiereVariation(1);
        QVERIFY(doc_->UpdatePending(1));
        QCOMPARE(tools_->SelectedPixelDepth(), start);
        QTRY_VERIFY_WITH_TIMEOUT(!doc_->UpdateRunning(), 20000);
        QCOMPARE(tools_->SelectedPixelDepth(), 6);

        // Edits while the next encoding runs: they stay, and the record is left alone.
        doc_->AktualisiereVariation(1);
        QVERIFY(doc_->UpdatePending(1));
        depth(3)->click();
        typeAndEnter(colours->lineEdit(), "5");
        QTRY_VERIFY_WITH_TIMEOUT(!doc_->UpdateRunning(), 20000);
        QCOMPARE(tools_->SelectedPixelDepth(), 3);
        QCOMPARE(colours->currentText(), QString("5"));
        QCOMPARE(doc_->record(1).PixelDepth, 6);

        // Apply takes them; the encoding that follows shows them as applied.
        child<QPushButton>(*tools_, "CommandApply")->click();
        QTRY_VERIFY_WITH_TIMEOUT(!doc_->UpdateRunning(), 20000);
        QCOMPARE(doc_->record(1).PixelDepth, 3);
        QCOMPARE(doc_->record(1).MaxColorsText, QString("5"));
        QCOMPARE(doc_->picCompress(1).InfoBits(), 3);
        QCOMPARE(tools_->SelectedPixelDepth(), 3);
        QCOMPARE(colours->currentText(), QString("5"));
    }
};

QTEST_MAIN(ToolsEncodingTest)
#include "toolsencoding_test.moc"
