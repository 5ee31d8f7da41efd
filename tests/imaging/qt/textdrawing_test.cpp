// 3D text drawn into a picture: where the letters land, what each look adds around them, the
// fill image, and the add-text dialog handing back what the user set.
#include <QCheckBox>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

#include "core/error.h"
#include "qt/addtextdialog.h"
#include "qt/addtextdialogs.h"
#include "qt/imagecontrol.h"
#include "qt/textdrawing.h"

using namespace imaging;

namespace {

constexpr Rgb kWhite = 0xFFFFFF;
constexpr Rgb kRed = 0x0000FF;
constexpr Rgb kBlue = 0xFF0000;
constexpr Rgb kGreen = 0x00FF00;

Bitmap white(int width, int height) {
    Bitmap b(width, height, 24);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) b.setPixel(x, y, kWhite);
    return b;
}

TextDrawing plain(double left, double top, double width, double height) {
    TextDrawing state;
    state.DrawFont = QFont(QStringLiteral("DejaVu Sans"));
    state.DrawFont.setPixelSize(20);
    state.DrawFont.setBold(true);
    state.DrawFontColor = kRed;
    state.TextLeft = left;
    state.TextTop = top;
    state.TextWidth = width;
    state.TextHeight = height;
    state.TextStyle = static_cast<int>(TextLook::Flat);
    return state;
}

// Pixels of this colour or close to it (smoothed edges blend a little with their neighbours).
int countNear(const Bitmap& b, Rgb colour) {
    int count = 0;
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x) {
            const Rgb c = b.pixel(x, y);
            count += std::abs(redOf(c) - redOf(colour)) < 60 && std::abs(greenOf(c) - greenOf(colour)) < 60 &&
                     std::abs(blueOf(c) - blueOf(colour)) < 60;
        }
    return count;
}

int countColour(const Bitmap& b, Rgb colour, QRect* where = nullptr) {
    int count = 0;
    QRect box;
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x)
            if (b.pixel(x, y) == colour) {
                ++count;
                box |= QRect(x, y, 1, 1);
            }
    if (where) *where = box;
    return count;
}

}  // namespace

class TextDrawingTest : public QObject {
    Q_OBJECT

private slots:
    void lettersStayInsideTheRectangle() {
        Bitmap b = white(120, 60);
        drawText(b, plain(30, 20, 60, 30), QStringLiteral("HH"));
        QRect box;
        QVERIFY(countColour(b, kRed, &box) > 40);
        QVERIFY2(QRect(30, 20, 60, 30).contains(box), qPrintable(QStringLiteral("%1,%2 %3x%4").arg(box.x()).arg(box.y()).arg(box.width()).arg(box.height())));
        QCOMPARE(b.bits(), 24);
    }

    void alignmentMovesTheText_data() {
        QTest::addColumn<int>("align");
        QTest::addColumn<int>("lowest");
        QTest::addColumn<int>("highest");
        QTest::newRow("left") << 0 << 0 << 40;
        QTest::newRow("right") << 1 << 160 << 200;
        QTest::newRow("centre") << 2 << 80 << 120;
    }

    void alignmentMovesTheText() {
        QFETCH(int, align);
        QFETCH(int, lowest);
        QFETCH(int, highest);
        Bitmap b = white(200, 40);
        TextDrawing state = plain(0, 0, 200, 40);
        state.TextAlign = align;
        drawText(b, state, QStringLiteral("H"));
        QRect box;
        QVERIFY(countColour(b, kRed, &box) > 10);
        QVERIFY(box.left() >= lowest);
        QVERIFY(box.right() < highest);
    }

    void eachLookAddsItsColourBesideTheLetters_data() {
        QTest::addColumn<int>("look");
        QTest::addColumn<bool>("shadow");
        QTest::addColumn<bool>("hilite");
        QTest::newRow("flat") << 0 << false << false;
        QTest::newRow("raised") << 1 << true << true;
        QTest::newRow("inset") << 2 << true << true;
        QTest::newRow("shadowed") << 3 << true << false;
        QTest::newRow("outlined") << 4 << false << true;
    }

    void eachLookAddsItsColourBesideTheLetters() {
        QFETCH(int, look);
        QFETCH(bool, shadow);
        QFETCH(bool, hilite);
        Bitmap b = white(120, 60);
        TextDrawing state = plain(5, 5, 110, 50);
        state.TextStyle = look;
        state.ShadowColor = kBlue;
        state.TextHiliteColor = kGreen;
        state.ShadowXDepth = 3;
        state.ShadowYDepth = 3;
        drawText(b, state, QStringLiteral("HI"));
        QVERIFY(countColour(b, kRed) > 40);
        QCOMPARE(countNear(b, kBlue) > 5, shadow);
        QCOMPARE(countNear(b, kGreen) > 5, hilite);
    }

    void theShadowFollowsItsDepth() {
        Bitmap b = white(120, 80);
        TextDrawing state = plain(5, 5, 110, 70);
        state.TextStyle = static_cast<int>(TextLook::Shadowed);
        state.ShadowColor = kBlue;
        state.ShadowXDepth = 6;
        state.ShadowYDepth = -4;
        drawText(b, state, QStringLiteral("I"));
        QRect letters;
        QRect shadow;
        countColour(b, kRed, &letters);
        countColour(b, kBlue, &shadow);
        QCOMPARE(shadow.right() - letters.right(), 6);
        QCOMPARE(shadow.top() - letters.top(), -4);
    }

    void aFillImageColoursTheLetters() {
        Bitmap fill = white(8, 8);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) fill.setPixel(x, y, kGreen);
        Bitmap b = white(100, 50);
        drawText(b, plain(0, 0, 100, 50), QStringLiteral("H"), &fill);
        QCOMPARE(countColour(b, kRed), 0);
        QVERIFY(countColour(b, kGreen) > 20);
    }

    void aPalettePictureBecomesDirectColour() {
        Bitmap b(40, 30, 8);
        b.palette()[0] = kWhite;
        drawText(b, plain(0, 0, 40, 30), QStringLiteral("H"));
        QCOMPARE(b.bits(), 24);
        QVERIFY(countColour(b, kRed) > 10);
    }

    void aTinyPictureTakesTextAtAll() {
        Bitmap b = white(4, 4);
        TextDrawing state = plain(0, 0, 4, 4);
        state.DrawFont.setPixelSize(5);
        drawText(b, state, QStringLiteral("W"));
        QVERIFY(countColour(b, kWhite) < 16);
    }

    void refusedWithoutAPictureOrARectangle() {
        Bitmap none;
        try {
            drawText(none, plain(0, 0, 4, 4), QStringLiteral("x"));
            QFAIL("an empty picture was drawn on");
        } catch (const Error& e) {
            QCOMPARE(e.code(), ErrorCode::NoImage);
        }
        Bitmap b = white(10, 10);
        try {
            drawText(b, plain(0, 0, 0, 4), QStringLiteral("x"));
            QFAIL("an empty rectangle was drawn in");
        } catch (const Error& e) {
            QCOMPARE(e.code(), ErrorCode::InvalidArgument);
        }
        QCOMPARE(countColour(b, kWhite), 100);
    }

    void theControlDrawsAndDropsItsFrames() {
        ImageControl control;
        std::vector<Frame> frames(2, Frame{white(30, 20)});
        control.SetBitmapList(frames);
        control.Drawing() = plain(0, 0, 30, 20);
        QCOMPARE(control.DrawText(QStringLiteral("H"), nullptr), 0);
        QCOMPARE(control.BitmapListCount(), 0);
        QVERIFY(countColour(control.Bitmap(), kRed) > 5);
        control.Drawing().TextWidth = 0;
        const Bitmap before = control.Bitmap();
        QCOMPARE(control.DrawText(QStringLiteral("H"), nullptr), static_cast<int>(ErrorCode::InvalidArgument));
        QVERIFY(control.Bitmap() == before);
    }

    void theDialogHandsBackWhatWasSet() {
        AddTextDialogs dialogs;
        // The first dialog starts at 24 points, bold.
        QCOMPARE(dialogs.TextFont().pointSize(), 24);
        QVERIFY(dialogs.TextFont().bold());
        const Bitmap picture = white(60, 40);
        dialogs.SetBitmap(&picture);
        dialogs.SetRunner([](AddTextDialog& dialog) {
            dialog.findChild<QPlainTextEdit*>("TextText")->setPlainText(QStringLiteral("Hello"));
            dialog.findChild<QComboBox*>("ComboStyle")->setCurrentIndex(3);
            dialog.findChild<QComboBox*>("ComboAlignment")->setCurrentIndex(2);
            dialog.findChild<QSpinBox*>("TextAngle")->setValue(45);
            dialog.findChild<QSpinBox*>("TextShadowX")->setValue(-4);
            dialog.findChild<QSpinBox*>("TextShadowY")->setValue(7);
            dialog.findChild<QSpinBox*>("TextFontSize")->setValue(18);
            dialog.findChild<QCheckBox*>("CheckItalic")->setChecked(true);
            dialog.findChild<QCheckBox*>("CheckWordWrap")->setChecked(false);
            // The preview shows the text on the picture.
            return !dialog.PreviewImage().isNull();
        });
        QCOMPARE(dialogs.ShowAddText(nullptr), 0);
        QCOMPARE(dialogs.Text(), QStringLiteral("Hello"));
        QCOMPARE(dialogs.TextStyle(), 3);
        QCOMPARE(dialogs.TextAlignment(), 2);
        QCOMPARE(dialogs.TextAngle(), 45);
        QCOMPARE(dialogs.ShadowXDepth(), -4);
        QCOMPARE(dialogs.ShadowYDepth(), 7);
        QCOMPARE(dialogs.TextFont().pointSize(), 18);
        QVERIFY(dialogs.TextFont().italic());
        QVERIFY(!dialogs.TextWordWrap());
        QVERIFY(!dialogs.UsesForegroundImage());
        // Cancel reports the engine's cancel and keeps the last values.
        dialogs.SetRunner([](AddTextDialog& dialog) {
            dialog.findChild<QPlainTextEdit*>("TextText")->setPlainText(QStringLiteral("other"));
            return false;
        });
        QCOMPARE(dialogs.ShowAddText(nullptr), ImageDialogs::kDialogCancelled);
        QCOMPARE(dialogs.Text(), QStringLiteral("Hello"));
    }

    // The letters filled with an image: chosen through the picker, handed back after OK, and
    // given up when the next Insert 3D Text starts without one (SetForegroundImage(nullptr)),
    // so a second dialog does not fill with the first one's image.
    void aForegroundImageIsHandedBackAndGivenUp() {
        AddTextDialogs dialogs;
        const Bitmap picture = white(40, 30);
        dialogs.SetBitmap(&picture);
        Bitmap fill(4, 4, 24);
        fill.setPixel(1, 2, makeRgb(10, 200, 30));
        dialogs.SetImagePicker([&fill](Bitmap& image) {
            image = fill;
            return true;
        });
        dialogs.SetRunner([](AddTextDialog& dialog) {
            dialog.findChild<QPlainTextEdit*>("TextText")->setPlainText(QStringLiteral("Fill"));
            dialog.findChild<QPushButton*>("cmdForeground")->click();
            dialog.findChild<QCheckBox*>("CheckForeground")->setChecked(true);
            return true;
        });
        QCOMPARE(dialogs.ShowAddText(nullptr), 0);
        QVERIFY(dialogs.UsesForegroundImage());
        QVERIFY(dialogs.ForegroundImage());
        QVERIFY(*dialogs.ForegroundImage() == fill);

        dialogs.SetForegroundImage(nullptr);
        QVERIFY(!dialogs.UsesForegroundImage());
        QCOMPARE(dialogs.ForegroundImage(), nullptr);
        bool fillOffered = true;
        dialogs.SetRunner([&fillOffered](AddTextDialog& dialog) {
            // Without an image the fill cannot be switched on.
            fillOffered = dialog.findChild<QCheckBox*>("CheckForeground")->isEnabled();
            return true;
        });
        QCOMPARE(dialogs.ShowAddText(nullptr), 0);
        QVERIFY(!fillOffered);
        QVERIFY(!dialogs.UsesForegroundImage());
    }
};

QTEST_MAIN(TextDrawingTest)
#include "textdrawing_test.moc"
