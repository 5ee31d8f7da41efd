// File > Select Source and Acquire on SANE's test backend: the chosen source is kept, a scan
// becomes a new document of the size the resolution and area give, and a cancelled or failing
// scan leaves no document; without devices both commands switch off silently.

#include "common/globals.h"
#include "document/frmdocument.h"
#include "settings/settingsstore.h"
#include "shell/commands/filecommands.h"
#include "shell/commands/scancommands.h"
#include "shell/frmmain.h"
#include "mainwindowsetup.h"
#include "shelltestsupport.h"
#include "test_data.h"

#include "qt/acquiredialog.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFormLayout>
#include <QLabel>
#include <QMdiArea>
#include <QSignalSpy>
#include <QTest>

#include <cstdlib>
#include <memory>

using namespace kalmira;

namespace {

// Hands a value to one of the dialog's option editors the way the user's choice does, and
// lets the dialog build its form again.
void chooseText(imaging::AcquireDialog& dialog, const char* option, const QString& text) {
    auto* box = dialog.findChild<QComboBox*>(option);
    QVERIFY2(box, option);
    // The entries show the program's language and carry the device's own word.
    const int entry = box->findData(text);
    QVERIFY2(entry >= 0, qPrintable(text));
    box->setCurrentIndex(entry);
    emit box->activated(entry);
    QCoreApplication::processEvents();
}

void chooseNumber(imaging::AcquireDialog& dialog, const char* option, double value) {
    auto* box = dialog.findChild<QDoubleSpinBox*>(option);
    QVERIFY2(box, option);
    box->setValue(value);
    QCoreApplication::processEvents();
}

void check(imaging::AcquireDialog& dialog, const char* option) {
    auto* box = dialog.findChild<QCheckBox*>(option);
    QVERIFY2(box, option);
    emit box->clicked(true);
    QCoreApplication::processEvents();
}

bool scanAndWait(imaging::AcquireDialog& dialog, const std::function<void()>& whileScanning = {}) {
    QSignalSpy ended(&dialog, &imaging::AcquireDialog::scanEnded);
    dialog.StartScan();
    if (whileScanning) whileScanning();
    if (ended.isEmpty() && !ended.wait(20000)) return false;
    return ended.first().first().toBool();
}

}  // namespace

class ScanTest : public QObject {
    Q_OBJECT

private:
    testing::Prompts prompts_;
    std::unique_ptr<frmMain> window_;

    ScanCommands& scanner() { return window_->Files().Scanner(); }
    int windowCount() const { return static_cast<int>(window_->MdiArea()->subWindowList().size()); }

private slots:
    void initTestCase() {
        InitApplication();
        prompts_.install();
    }

    void init() {
        prompts_.clear();
        window_ = testing::StartMainWindow();
        prompts_.clear();
    }

    void cleanup() {
        window_.reset();
        QCOMPARE(OpenDocumentCount, 0);
    }

    void theChosenSourceScansIntoANewDocument() {
        QStringList offered;
        scanner().SetSourceChooser([&](const QStringList& names, const QString&) {
            offered = names;
            return names.last();
        });
        window_->findChild<QAction*>("mnuFileSelectSource")->trigger();
        QCOMPARE(offered, QStringList({"test:0", "test:1"}));
        QCOMPARE(scanner().Source(), QStringLiteral("test:1"));
        QString title;
        scanner().SetDialogRunner([&](imaging::AcquireDialog& dialog) {
            title = dialog.windowTitle();
            chooseText(dialog, "mode", "Color");
            chooseNumber(dialog, "resolution", 100);
            chooseNumber(dialog, "br-x", 25.4);
            chooseNumber(dialog, "br-y", 50.8);
            return scanAndWait(dialog);
        });
        window_->findChild<QAction*>("mnuFileAquire")->trigger();
        QVERIFY(prompts_.messages.isEmpty());
        QVERIFY(prompts_.errors.isEmpty());
        QVERIFY(title.contains("test:1"));
        QCOMPARE(windowCount(), 1);
        frmDocument* document = window_->ActiveDocument();
        QVERIFY(qAbs(document->picOriginal().BitmapWidth() - 100) <= 2);
        QCOMPARE(document->picOriginal().BitmapHeight(), 200);
        QCOMPARE(document->picOriginal().BitmapBits(), 24);
        QCOMPARE(document->picCompress(1).BitmapHeight(), 200);
    }

    void cancellingMidScanLeavesNoDocument() {
        bool cancelledBeforeTheEnd = false;
        scanner().SetDialogRunner([&](imaging::AcquireDialog& dialog) {
            chooseNumber(dialog, "resolution", 300);
            check(dialog, "read-delay");
            chooseNumber(dialog, "read-delay-duration", 20000);
            check(dialog, "read-limit");
            chooseNumber(dialog, "read-limit-size", 4096);
            const bool ok = scanAndWait(dialog, [&] {
                QVERIFY(dialog.Scanning());
                dialog.CancelScan();
            });
            cancelledBeforeTheEnd = !ok && dialog.LastErrorText() == QStringLiteral("The scan was cancelled.");
            return ok;
        });
        window_->findChild<QAction*>("mnuFileAquire")->trigger();
        QVERIFY(cancelledBeforeTheEnd);
        QCOMPARE(windowCount(), 0);
        QVERIFY(prompts_.messages.isEmpty());
    }

    void aDeviceThatFailsLeavesNoDocument() {
        QString reason;
        scanner().SetDialogRunner([&](imaging::AcquireDialog& dialog) {
            chooseText(dialog, "read-return-value", "SANE_STATUS_IO_ERROR");
            const bool ok = scanAndWait(dialog);
            reason = dialog.LastErrorText();
            return ok;
        });
        window_->findChild<QAction*>("mnuFileAquire")->trigger();
        QVERIFY2(reason.contains("Error during device I/O"), qPrintable(reason));
        QCOMPARE(windowCount(), 0);
    }

    void theDevicesTextsFollowTheProgramsLanguage() {
        if (!QFile::exists(QStringLiteral("/usr/share/locale/de/LC_MESSAGES/sane-backends.mo")))
            QSKIP("no German catalogue of the scanner backends");
        struct Restore {
            int offset = LanguageOffset;
            ~Restore() { LanguageOffset = offset; }
        } restore;
        for (const bool german : {false, true}) {
            LanguageOffset = german ? 10000 : 0;
            imaging::scan::Scanner device("test:0");
            imaging::AcquireDialog dialog(device);
            auto* mode = dialog.findChild<QComboBox*>("mode");
            QVERIFY(mode);
            auto* form = qobject_cast<QFormLayout*>(mode->parentWidget()->layout());
            QVERIFY(form);
            auto* label = qobject_cast<QLabel*>(form->labelForField(mode));
            QVERIFY(label);
            QCOMPARE(label->text(), german ? QStringLiteral("Scanmodus") : QStringLiteral("Scan mode"));
            const int colour = mode->findData(QStringLiteral("Color"));
            QVERIFY(colour >= 0);
            QCOMPARE(mode->itemText(colour), german ? QStringLiteral("Farbe") : QStringLiteral("Color"));
            // The device is told its own word whatever the entry shows.
            mode->setCurrentIndex(colour);
            emit mode->activated(colour);
            QCoreApplication::processEvents();
            bool isColour = false;
            for (const imaging::scan::Option& o : device.options())
                if (o.name == "mode") isColour = o.text == "Color";
            QVERIFY(isColour);
        }
    }

    // Without a device the command says so (it used to grey itself without a word), and both
    // commands switch off.
    void withoutDevicesBothCommandsSwitchOffAndSaySo() {
        bool any = false;
        scanner().SetDeviceLister([&] {
            return any ? std::vector<imaging::scan::Device>{{"test:0", "", "", ""}} : std::vector<imaging::scan::Device>{};
        });
        bool ran = false;
        scanner().SetDialogRunner([&](imaging::AcquireDialog&) { return ran = true; });
        window_->findChild<QAction*>("mnuFileAquire")->trigger();
        QVERIFY(!ran);
        QCOMPARE(prompts_.messageTexts(),
                 QStringList{"No scanner was found. Acquire and Select Source stay off until the program is started again."});
        QVERIFY(!window_->findChild<QAction*>("mnuFileAquire")->isEnabled());
        QVERIFY(!window_->findChild<QAction*>("mnuFileSelectSource")->isEnabled());
        // Off for the rest of the run, even when a device turns up.
        any = true;
        QVERIFY(!scanner().CheckTwainAvailable());
    }
};

int main(int argc, char** argv) {
    // Only SANE's test backend, whatever scanners the machine has.
    setenv("SANE_CONFIG_DIR", (kalmira::testing::testDataDir() + "/sane").c_str(), 1);
    QApplication app(argc, argv);
    ScanTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "scan_test.moc"
