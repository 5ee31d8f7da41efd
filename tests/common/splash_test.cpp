// The splash window: localised labels, the version, and the layout scaled to the picture.
#include "common/frmsplash.h"
#include "common/globals.h"

#include <QLabel>
#include <QTest>

namespace kalmira {

class SplashTest : public QObject {
    Q_OBJECT

private slots:
    void init() { LanguageOffset = 0; }

    void takesThePictureSizeAndScalesItsLabels() {
        frmSplash splash;
        auto* picture = splash.findChild<QLabel*>(QStringLiteral("imgBrenvo"));
        QVERIFY(picture);
        const QSize pictureSize = picture->pixmap().size();
        QVERIFY(!pictureSize.isEmpty());
        QCOMPARE(splash.size(), pictureSize);
        QCOMPARE(picture->geometry(), QRect(QPoint(0, 0), pictureSize));

        // Designed 400 wide: every label grows by picture width / 400.
        const double factor = pictureSize.width() / 400.0;
        auto* product = splash.findChild<QLabel*>(QStringLiteral("lblProductName"));
        QVERIFY(product);
        QCOMPARE(product->geometry(), QRect(qRound(20 * factor), qRound(28 * factor), qRound(260 * factor),
                                            qRound(44 * factor)));
        QCOMPARE(product->font().pointSizeF(), 26 * factor);
    }

    void showsLocalisedLabelsAndTheVersion() {
        frmSplash english;
        QCOMPARE(english.findChild<QLabel*>(QStringLiteral("lblVersion"))->text(), QStringLiteral("Version 4.2"));
        QCOMPARE(english.findChild<QLabel*>(QStringLiteral("lblPlatform"))->text(), QStringLiteral("for Linux"));

        LanguageOffset = kGermanLanguageOffset;
        frmSplash german;
        QCOMPARE(german.findChild<QLabel*>(QStringLiteral("lblPlatform"))->text(), QStringLiteral("für Linux"));
        QCOMPARE(german.findChild<QLabel*>(QStringLiteral("lblMaker"))->text(), QStringLiteral("Die Kalmira-Entwickler"));
    }
};

}  // namespace kalmira

QTEST_MAIN(kalmira::SplashTest)
#include "splash_test.moc"
