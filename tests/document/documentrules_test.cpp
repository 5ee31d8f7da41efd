// The document window's rules that need no window: which palette entry a picked colour snaps
// to at each depth, and the names a Variation's file is given.
#include <QFileInfo>
#include <QList>
#include <QtTest>

#include <algorithm>

#include "core/bitmap.h"
#include "document/documentrules.h"

using namespace kalmira;

class DocumentRulesTest : public QObject {
    Q_OBJECT

private slots:
    void transparentSnap_data() {
        QTest::addColumn<QList<quint32>>("palette");
        QTest::addColumn<int>("depth");
        QTest::addColumn<quint32>("color");
        QTest::addColumn<int>("expected");
        QTest::addColumn<int>("lastRead");
        QList<quint32> tie(16, imaging::makeRgb(200, 200, 200));
        tie[3] = imaging::makeRgb(10, 0, 0);
        tie[5] = imaging::makeRgb(0, 10, 0);
        QTest::newRow("tie: lower index wins") << tie << 4 << quint32(imaging::makeRgb(5, 5, 0)) << 3 << 15;
        QList<quint32> far(256, imaging::makeRgb(255, 255, 255));
        far[7] = imaging::makeRgb(100, 100, 100);
        far[20] = imaging::makeRgb(1, 2, 3);
        QTest::newRow("4 bits: entries 0-15 only") << far << 4 << quint32(imaging::makeRgb(1, 2, 3)) << 7 << 15;
        QTest::newRow("8 bits: exact entry 20") << far << 8 << quint32(imaging::makeRgb(1, 2, 3)) << 20 << 20;
        QList<quint32> dup(2, imaging::makeRgb(9, 9, 9));
        QTest::newRow("1 bit: duplicates, first one") << dup << 1 << quint32(imaging::makeRgb(9, 9, 9)) << 0 << 0;
        QList<quint32> edge(256, imaging::makeRgb(255, 255, 255));
        edge[127] = imaging::makeRgb(50, 50, 50);
        edge[128] = imaging::makeRgb(1, 2, 3);
        QTest::newRow("7 bits: entry 128 is beyond") << edge << 7 << quint32(imaging::makeRgb(1, 2, 3)) << 127 << 127;
        QTest::newRow("8 bits: entry 128 is inside") << edge << 8 << quint32(imaging::makeRgb(1, 2, 3)) << 128 << 128;
        QList<quint32> wide(512, imaging::makeRgb(255, 255, 255));
        wide[255] = imaging::makeRgb(100, 100, 100);
        wide[300] = imaging::makeRgb(1, 2, 3);
        QTest::newRow("9 bits: 256 entries at most") << wide << 9 << quint32(imaging::makeRgb(1, 2, 3)) << 255 << 255;
        QTest::newRow("16 bits: 256 entries at most") << wide << 16 << quint32(imaging::makeRgb(1, 2, 3)) << 255 << 255;
        QTest::newRow("0 bits: the one entry") << wide << 0 << quint32(imaging::makeRgb(1, 2, 3)) << 0 << 0;
    }

    void transparentSnap() {
        QFETCH(QList<quint32>, palette);
        QFETCH(int, depth);
        QFETCH(quint32, color);
        QFETCH(int, expected);
        QFETCH(int, lastRead);
        int highestRead = -1;
        const int index = NearestPaletteIndex(
            [&](int j) {
                highestRead = std::max(highestRead, j);
                return j < palette.size() ? palette[j] : 0u;
            },
            depth, color);
        QCOMPARE(index, expected);
        QCOMPARE(highestRead, lastRead);
    }

    // The first-dot rule for names as users have them: hidden files, several dots, a dot in a
    // folder's name, none at all.
    void fileNameRules_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QString>("proposed");
        QTest::newRow("plain") << "/p/photo.png" << "photo" << "png" << "/p/photo.gif";
        QTest::newRow("two dots") << "/p/a.b.jpeg" << "a" << "b.jpeg" << "/p/a.gif";
        QTest::newRow("hidden file: the dot first") << "/p/.hidden.png" << ".hidden.png" << "hidden.png" << "/p/.hidden.png.gif";
        QTest::newRow("dot second") << "/p/x.png" << "x" << "png" << "/p/x.gif";
        QTest::newRow("dot last") << "/p/x." << "x" << "" << "/p/x.gif";
        QTest::newRow("no dot") << "/p/scan" << "scan" << "" << "/p/scan.gif";
        QTest::newRow("dot in the folder") << "/home/j.doe/scan" << "scan" << "" << "/home/j.doe/scan.gif";
        QTest::newRow("only a dot") << "/p/." << "." << "" << "/p/..gif";
    }

    void fileNameRules() {
        QFETCH(QString, path);
        QFETCH(QString, name);
        QFETCH(QString, extension);
        QFETCH(QString, proposed);
        QCOMPARE(NameBeforeFirstDot(QFileInfo(path).fileName()), name);
        QCOMPARE(ExtensionAfterFirstDot(path), extension);
        QCOMPARE(ProposedSaveName(path, QStringLiteral("gif")), proposed);
        // Without an extension the name stands alone.
        QCOMPARE(ProposedSaveName(path, QString()), path.left(path.lastIndexOf('/') + 1) + name);
    }
};

QTEST_MAIN(DocumentRulesTest)
#include "documentrules_test.moc"
