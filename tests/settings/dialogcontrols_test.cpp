// The options and GIF dialogs driven with the mouse and the focus as a user drives them: the
// up-down arrows clicked, a colour count left by moving the focus instead of pressing Enter.
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QtTest>

#include "common/errortrap.h"
#include "common/globals.h"
#include "settings/frmgif.h"
#include "settings/frmoptions.h"
#include "settings/programoptions.h"

namespace kalmira {

namespace {

template <class T>
T* child(const QObject& parent, const char* name) {
    T* found = parent.findChild<T*>(QString::fromLatin1(name));
    if (!found) qFatal("no control %s", name);
    return found;
}

// Clicks the arrow that points up (towards larger values in an up-down) or down.
void clickArrow(QScrollBar* bar, bool up) {
    QStyleOptionSlider option;
    option.initFrom(bar);
    option.orientation = bar->orientation();
    option.minimum = bar->minimum();
    option.maximum = bar->maximum();
    option.sliderPosition = bar->sliderPosition();
    option.sliderValue = bar->value();
    option.singleStep = bar->singleStep();
    option.pageStep = bar->pageStep();
    option.upsideDown = bar->invertedAppearance();
    option.subControls = QStyle::SC_All;
    const QRect top = bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSubLine, bar);
    const QRect bottom = bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarAddLine, bar);
    const QRect arrow = top.top() < bottom.top() ? (up ? top : bottom) : (up ? bottom : top);
    QTest::mouseClick(bar, Qt::LeftButton, {}, arrow.center());
}

}  // namespace

class DialogControlsTest : public QObject {
    Q_OBJECT

    QStringList reports_;

private slots:
    void initTestCase() {
        LanguageOffset = 0;
        ErrorTrapping = true;
        SetReportPrompt([this](const QString&, const QString& message) {
            reports_.append(message);
            return ReportAnswer::Ok;
        });
    }

    void init() {
        ProgramOptions() = DefaultProgramOptions();
        reports_.clear();
    }

    void cleanup() { QVERIFY2(reports_.isEmpty(), qPrintable(reports_.join('\n'))); }

    // The up arrow counts up by one and the box follows; at the ends the arrows stop.
    void optionArrowsStepTheNumberAndTheTextFollows() {
        ProgramOptions().InitialOpenVariations = 2;
        ProgramOptions().StandardZoomLevel = 100;
        frmOptions options;
        options.show();
        QVERIFY(QTest::qWaitForWindowExposed(&options));
        auto* bar = child<QScrollBar>(options, "VScrollOptionsInitialOpenVariations");
        auto* text = child<QLineEdit>(options, "TextOptionsInitialOpenVariations");
        QCOMPARE(text->text(), QString("2"));
        clickArrow(bar, true);
        QCOMPARE(bar->value(), 3);
        QCOMPARE(text->text(), QString("3"));
        clickArrow(bar, false);
        clickArrow(bar, false);
        QCOMPARE(text->text(), QString("1"));
        for (int i = 0; i < 8; ++i) clickArrow(bar, true);
        QCOMPARE(text->text(), QString("5"));
        for (int i = 0; i < 8; ++i) clickArrow(bar, false);
        QCOMPARE(text->text(), QString("0"));

        auto* zoomBar = child<QScrollBar>(options, "VscrollOptionsZoomLevel");
        auto* zoom = child<QLineEdit>(options, "TextOptionsZoomLevel");
        QCOMPARE(zoom->text(), QString("100"));
        clickArrow(zoomBar, true);
        QCOMPARE(zoom->text(), QString("101"));
        child<QPushButton>(options, "cmdOK")->click();
        QCOMPARE(options.PendingOptions().InitialOpenVariations, 0);
        QCOMPARE(options.PendingOptions().StandardZoomLevel, 101);
    }

    // A colour count out of range becomes 256 when the box is left, by Enter or by the focus
    // moving on; a count in range stays as typed.
    void colourCountIsCheckedWhenTheBoxIsLeft_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("enter");
        QTest::addColumn<QString>("shown");
        QTest::newRow("300, Enter") << "300" << true << "256";
        QTest::newRow("300, focus moves on") << "300" << false << "256";
        QTest::newRow("0, focus moves on") << "0" << false << "256";
        QTest::newRow("abc, focus moves on") << "abc" << false << "256";
        QTest::newRow("40, focus moves on") << "40" << false << "40";
    }

    void colourCountIsCheckedWhenTheBoxIsLeft() {
        QFETCH(QString, typed);
        QFETCH(bool, enter);
        QFETCH(QString, shown);
        frmOptions options;
        frmGIF gif(options);
        gif.show();
        QVERIFY(QTest::qWaitForWindowExposed(&gif));
        gif.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&gif));
        auto* count = child<QComboBox>(gif, "ComboNumColors");
        QLineEdit* edit = count->lineEdit();
        edit->setFocus();
        QTRY_VERIFY(edit->hasFocus());
        edit->selectAll();
        QTest::keyClicks(edit, typed);
        if (enter) QTest::keyClick(edit, Qt::Key_Return);
        else child<QComboBox>(gif, "ComboDithering")->setFocus();
        QTRY_COMPARE(count->currentText(), shown);
    }
};

}  // namespace kalmira

QTEST_MAIN(kalmira::DialogControlsTest)
#include "dialogcontrols_test.moc"
