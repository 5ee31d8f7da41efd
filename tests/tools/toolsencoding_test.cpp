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
#include "test_pictures.h"

using namespace kalmira;

namespace {

template <class T = QWidget>
T* child(const QWidget& parent, const char* name) {
    T* found = parent.findChild<T*>(QString::fromLatin1(name));
    if (!found) qFatal("no control %s", name);
    return found;
}

void typeAndEnter(QLineEdit* edit, const QString& text) {
    edit->clear();
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
}

}  // namespace

class ToolsEncodingTest : public QObject {
    Q_OBJECT

private:
    kalmira::testing::FakeMainWindow host_;
    QStringList errors_;
    std::unique_ptr<frmTools> tools_;
    std::unique_ptr<frmDocument> doc_;

    // A document holding `bitmap` with Variation 1 shown, a GIF of an optimised palette.
    void openDocument(const imaging::Bitmap& bitmap) {
        doc_ = std::make_unique<frmDocument>();
        ApplyReady = false;
        doc_->picOriginal().SetBitmap(bitmap);
        imaging::ImageInfo info;
        info.width = bitmap.width();
        info.height = bitmap.height();
        info.bits = 24;
        info.fileSize = static_cast<std::uint64_t>(bitmap.width()) * bitmap.height() * 3;
        doc_->picOriginal().SetInfo(info);
        doc_->SetOriginalAnimation(false, 1);
        ProgramOptions().InitialOpenVariations = 1;
        ApplyReady = true;
        doc_->InitialisiereGrafik(true);
        doc_->picOriginalAendern();
    }

    QAbstractButton* depth(int d) { return tools_->optPixelDepth(d); }

private slots:
    void initTestCase() {
        InitApplication();
        SetReportPrompt([this](const QString&, const QString& message) {
            errors_.append(message);
            return ReportAnswer::Ok;
        });
        SetMainWindowHost(&host_);
    }

    void init() {
        ProgramOptions() = DefaultProgramOptions();
        ProgramOptions().FitToWindow = 0;
        for (int slot = 1; slot <= 5; ++slot) {
            OptimizeProfile& p = ProgramOptions().Profiles[static_cast<std::size_t>(slot)];
            p.FileFormat = kProfileAlwaysGif;
            p.GIFMaxPixelDepth = 8;
            p.GIFColorPalette = 2;
            p.GIFMaxColors = 256;
        }
        errors_.clear();
        tools_ = std::make_unique<frmTools>();
        tools_->SetActiveDocumentProvider([this] { return doc_.get(); });
    }

    void cleanup() {
        frmDocument::SetWaitForUpdates(true);
        QVERIFY2(errors_.isEmpty(), qPrintable(errors_.join('\n')));
        doc_.reset();
        tools_.reset();
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
