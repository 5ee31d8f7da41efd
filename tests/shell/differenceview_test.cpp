// The difference view as a user meets it: View > Difference View and its toolbar button on the
// active document, what the Variations then show, the reference Variation of the pop-up menu,
// animations, and the switch on the options dialog.
#include <QAction>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdlib>

#include "codecs/registry.h"
#include "core/codec.h"
#include "document/differencelegend.h"
#include "document/frmdocument.h"
#include "quality/difference.h"
#include "settings/programoptions.h"
#include "settings/qualityoptions.h"
#include "settings/settingsstore.h"
#include "shell/createmainwindow.h"
#include "shell/frmmain.h"
#include "shelltestsupport.h"
#include "mainwindowsetup.h"
#include "common/globals.h"

using namespace kalmira;

namespace {

imaging::Bitmap photoLike(int width, int height, int seed) {
    imaging::Bitmap b(width, height, 24);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            b.setPixel(x, y, imaging::makeRgb((x * 5 + seed) % 256, (y * 7 + x * x / 9) % 256, ((x ^ y) * 3 + seed) % 256));
    return b;
}

// The error of one pixel worked out from the two pictures' own colours.
int errorAt(const imaging::ImageControl& a, const imaging::ImageControl& b, int x, int y) {
    const imaging::Rgb p = a.Pixel(x, y), q = b.Pixel(x, y);
    return std::max({std::abs(imaging::redOf(p) - imaging::redOf(q)), std::abs(imaging::greenOf(p) - imaging::greenOf(q)),
                     std::abs(imaging::blueOf(p) - imaging::blueOf(q))});
}

imaging::Rgb shownAt(const imaging::ImageControl& picture, int x, int y) {
    const QRgb c = picture.StandIn().pixel(x, y);
    return imaging::makeRgb(qRed(c), qGreen(c), qBlue(c));
}

// Everything that would change if a Variation were encoded again.
struct Encoded {
    int encodes = 0;
    const imaging::MemoryBlock* block = nullptr;
    imaging::Bytes bytes;
    std::uint64_t version = 0;
};

Encoded encodedOf(frmDocument& doc, int i) {
    const VariationRecord& r = doc.record(i);
    return {doc.picCompress(i).EncodeCount(), r.MemHandle.get(), r.MemHandle ? r.MemHandle->data : imaging::Bytes{},
            doc.picCompress(i).ContentVersion()};
}

void sameEncoding(const Encoded& a, const Encoded& b) {
    QCOMPARE(a.encodes, b.encodes);
    QCOMPARE(a.block, b.block);
    QVERIFY(a.bytes == b.bytes);
    QCOMPARE(a.version, b.version);
}

}  // namespace

class DifferenceViewTest : public QObject {
    Q_OBJECT

    testing::Prompts prompts_;
    QTemporaryDir folder_;

    QString writePicture(const QString& name, const imaging::Image& image, int format) {
        const QString path = folder_.filePath(name);
        imaging::SaveOptions options;
        options.format = format;
        options.multiPage = image.frames.size() > 1;
        imaging::saveFile(path.toStdString(), image, options);
        return path;
    }

    QString writePng(const QString& name, int seed) {
        return writePicture(name, imaging::Image::fromBitmap(photoLike(80, 60, seed)), imaging::format::Png);
    }

    std::unique_ptr<frmMain> open(const QStringList& files) { return testing::StartProgramWindow(files); }

    static QAction* menuItem(frmMain& main) { return main.findChild<QAction*>(QStringLiteral("mnuViewDifference")); }
    static QAction* button(frmMain& main) { return main.findChild<QAction*>(QStringLiteral("tbDifference")); }

    static void showVariation(frmMain& main, int n) {
        QAction* item = main.findChild<QAction*>(QStringLiteral("mnuViewVariation%1").arg(n));
        if (!item->isChecked()) item->trigger();
    }

private slots:
    void initTestCase() {
        InitApplication();
        prompts_.install();
        QVERIFY(folder_.isValid());
        frmDocument::SetMenuFunction([](QMenu&) {});
    }

    void init() {
        prompts_.clear();
        QFile::remove(SettingsFilePath());
        QualityOptions() = QualityOptionsRecord();
    }

    void theToggleShowsEachVariationsErrorAndEncodesNothing() {
        auto main = open({writePng("one.png", 0)});
        frmDocument* doc = main->ActiveDocument();
        QVERIFY(doc);
        showVariation(*main, 2);
        QVERIFY(doc->picCompress(1).HasBitmap() && doc->picCompress(2).HasBitmap());
        QCOMPARE(menuItem(*main)->text(), QStringLiteral("&Difference View"));
        QCOMPARE(button(*main)->toolTip(), QStringLiteral("Difference view: each Variation as its error against the Original"));
        QVERIFY(menuItem(*main)->isVisible() && menuItem(*main)->isEnabled() && !menuItem(*main)->isChecked());
        const Encoded before[] = {encodedOf(*doc, 1), encodedOf(*doc, 2)};
        const int originalEncodes = doc->picOriginal().EncodeCount();

        menuItem(*main)->trigger();
        QVERIFY(doc->DifferenceView());
        QVERIFY(menuItem(*main)->isChecked() && button(*main)->isChecked());
        for (int i = 1; i <= 2; ++i) {
            imaging::ImageControl& variation = doc->picCompress(i);
            const QImage& shown = variation.StandIn();
            QCOMPARE(shown.size(), QSize(80, 60));
            int largest = 0;
            for (int y = 0; y < 60; ++y)
                for (int x = 0; x < 80; ++x) {
                    const int e = errorAt(doc->picOriginal(), variation, x, y);
                    largest = std::max(largest, e);
                    if (shownAt(variation, x, y) != imaging::differenceColour(e))
                        QFAIL(qPrintable(QStringLiteral("Variation %1 at %2,%3").arg(i).arg(x).arg(y)));
                }
            QVERIFY(largest > 0);  // lossy: there is something to see
            DifferenceLegend* legend = doc->DifferenceLegendOf(i);
            QVERIFY(legend && legend->ShowsScale());
            QCOMPARE(legend->Lines(), QStringList{QStringLiteral("Difference to the Original, largest %1").arg(largest)});
        }
        // The Original is shown as it is.
        QVERIFY(doc->picOriginal().StandIn().isNull());

        button(*main)->trigger();  // off again, from the toolbar
        QVERIFY(!doc->DifferenceView());
        QVERIFY(!menuItem(*main)->isChecked() && !button(*main)->isChecked());
        for (int i = 1; i <= 2; ++i) {
            QVERIFY(doc->picCompress(i).StandIn().isNull());
            QVERIFY(!doc->DifferenceLegendOf(i));
        }
        sameEncoding(encodedOf(*doc, 1), before[0]);
        sameEncoding(encodedOf(*doc, 2), before[1]);
        QCOMPARE(doc->picOriginal().EncodeCount(), originalEncodes);

        // A Variation encoded again while the view is on shows its new difference.
        menuItem(*main)->trigger();
        doc->picCompress(1).SetPixel(3, 4, imaging::makeRgb(0, 0, 0));
        doc->AktualisiereMemInfo(1);
        QCOMPARE(shownAt(doc->picCompress(1), 3, 4), imaging::differenceColour(errorAt(doc->picOriginal(), doc->picCompress(1), 3, 4)));
    }

    void pictureOfAnotherSizeShowsTheCommonArea() {
        auto main = open({writePng("sizes.png", 6)});
        frmDocument* doc = main->ActiveDocument();
        menuItem(*main)->trigger();
        // The Original resized while its Variation still shows the old encoding.
        ApplyReady = false;
        doc->picOriginal().SetBitmap(photoLike(50, 70, 6));
        doc->AktualisiereMemInfo(1);
        ApplyReady = true;
        QCOMPARE(doc->picCompress(1).StandIn().size(), QSize(50, 60));
        const QStringList lines = doc->DifferenceLegendOf(1)->Lines();
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines[1], QStringLiteral("Sizes differ: common area only"));
        QCOMPARE(shownAt(doc->picCompress(1), 49, 59),
                 imaging::differenceColour(errorAt(doc->picOriginal(), doc->picCompress(1), 49, 59)));
    }

    void eachDocumentKeepsItsOwnState() {
        auto main = open({writePng("a.png", 1), writePng("b.png", 2)});
        const QList<frmDocument*> docs = main->Documents();
        QCOMPARE(docs.size(), 2);
        frmDocument* second = main->ActiveDocument();
        frmDocument* first = docs[0] == second ? docs[1] : docs[0];
        button(*main)->trigger();
        QVERIFY(second->DifferenceView() && !first->DifferenceView());

        QMdiArea* area = main->MdiArea();
        auto windowOf = [area](frmDocument* doc) {
            for (QMdiSubWindow* window : area->subWindowList())
                if (window->widget() == doc) return window;
            return static_cast<QMdiSubWindow*>(nullptr);
        };
        area->setActiveSubWindow(windowOf(first));
        QCOMPARE(main->ActiveDocument(), first);
        QVERIFY(!menuItem(*main)->isChecked() && !button(*main)->isChecked());
        QVERIFY(first->picCompress(1).StandIn().isNull());
        QVERIFY(!second->picCompress(1).StandIn().isNull());  // still on where it was switched on

        area->setActiveSubWindow(windowOf(second));
        QVERIFY(menuItem(*main)->isChecked() && button(*main)->isChecked());

        // With no document left the command is off and cannot be used.
        area->closeAllSubWindows();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!menuItem(*main)->isEnabled() && !button(*main)->isEnabled());
        QVERIFY(!menuItem(*main)->isChecked() && !button(*main)->isChecked());
    }

    void aVariationCanBeTheReference() {
        auto main = open({writePng("pair.png", 3)});
        frmDocument* doc = main->ActiveDocument();
        showVariation(*main, 2);
        const Encoded before = encodedOf(*doc, 2);
        // The choice is offered only while the view is on.
        doc->ShowDocumentMenu(2);
        QVERIFY(!doc->DocumentMenuItem(QStringLiteral("mnuCompareWithThis"))->isVisible());
        menuItem(*main)->trigger();
        doc->ShowDocumentMenu(2);
        QAction* compare = doc->DocumentMenuItem(QStringLiteral("mnuCompareWithThis"));
        QVERIFY(compare->isVisible() && compare->isEnabled() && !compare->isChecked());
        QCOMPARE(compare->text(), QStringLiteral("Compare others with this variation"));
        compare->trigger();
        QCOMPARE(doc->DifferenceReference(), 2);

        QVERIFY(doc->picCompress(2).StandIn().isNull());
        QCOMPARE(doc->DifferenceLegendOf(2)->Lines(), QStringList{QStringLiteral("Reference of the difference view")});
        QVERIFY(!doc->DifferenceLegendOf(2)->ShowsScale());
        int largest = 0;
        for (int y = 0; y < 60; ++y)
            for (int x = 0; x < 80; ++x) {
                const int e = errorAt(doc->picCompress(2), doc->picCompress(1), x, y);
                largest = std::max(largest, e);
                if (shownAt(doc->picCompress(1), x, y) != imaging::differenceColour(e)) QFAIL("not the difference of the pair");
            }
        QCOMPARE(doc->DifferenceLegendOf(1)->Lines(), QStringList{QStringLiteral("Difference to Variation 2, largest %1").arg(largest)});

        // Chosen again: back to the Original.
        doc->ShowDocumentMenu(2);
        QVERIFY(compare->isChecked());
        compare->trigger();
        QCOMPARE(doc->DifferenceReference(), 0);
        QVERIFY(!doc->picCompress(2).StandIn().isNull());
        QVERIFY(doc->DifferenceLegendOf(1)->Lines().first().startsWith(QStringLiteral("Difference to the Original")));

        // A reference that is hidden gives way to the Original.
        doc->ShowDocumentMenu(2);
        compare->trigger();
        main->findChild<QAction*>(QStringLiteral("mnuViewVariation2"))->trigger();
        QCOMPARE(doc->DifferenceReference(), 0);
        QVERIFY(doc->DifferenceLegendOf(1)->Lines().first().startsWith(QStringLiteral("Difference to the Original")));
        sameEncoding(encodedOf(*doc, 2), before);
    }

    void anAnimationIsShownAsItIs() {
        imaging::Image animation;
        for (int k = 0; k < 3; ++k) {
            imaging::Bitmap frame(24, 16, 8);
            frame.palette()[1] = imaging::makeRgb(k * 80, 10, 200);
            for (int x = 0; x < 24; ++x) frame.setPixel(x, k, 1);
            animation.frames.push_back(imaging::Frame{frame});
            animation.frames.back().delay = 10;
        }
        auto main = open({writePicture("moving.gif", animation, imaging::format::Gif)});
        frmDocument* doc = main->ActiveDocument();
        QVERIFY(doc->GetVariationAnimation(1));
        menuItem(*main)->trigger();
        QVERIFY(doc->picCompress(1).StandIn().isNull());
        DifferenceLegend* legend = doc->DifferenceLegendOf(1);
        QVERIFY(legend && !legend->ShowsScale());
        QCOMPARE(legend->Lines(), QStringList{QStringLiteral("No difference view of an animation")});
        doc->ShowDocumentMenu(1);
        QVERIFY(!doc->DocumentMenuItem(QStringLiteral("mnuCompareWithThis"))->isEnabled());
    }

    void theOptionHidesTheCommandAndEndsTheView() {
        auto main = open({writePng("opt.png", 4)});
        frmDocument* doc = main->ActiveDocument();
        menuItem(*main)->trigger();
        QVERIFY(doc->DifferenceView());
        QualityOptions().DifferenceView = false;
        emit QualityOptionsNotifier::instance().changed();
        QVERIFY(!menuItem(*main)->isVisible() && !button(*main)->isVisible());
        QVERIFY(!doc->DifferenceView());
        QVERIFY(doc->picCompress(1).StandIn().isNull());
        QVERIFY(!menuItem(*main)->isChecked());
        // Asked for while switched off, it stays off.
        doc->SetDifferenceView(true);
        QVERIFY(!doc->DifferenceView());

        QualityOptions().DifferenceView = true;
        emit QualityOptionsNotifier::instance().changed();
        QVERIFY(menuItem(*main)->isVisible() && button(*main)->isVisible());
        // A window opened while it is off starts without it.
        QualityOptions().DifferenceView = false;
        auto other = open({writePng("opt2.png", 5)});
        QVERIFY(!menuItem(*other)->isVisible() && !button(*other)->isVisible());
    }
};

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("KALMIRA_LANGUAGE", "en");
    QApplication app(argc, argv);
    DifferenceViewTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "differenceview_test.moc"
