// Palette files at the edges of what they hold: the depth each count of colours is stored at,
// on both sides of every power of two, and files of 1, 2, 3, 255 and 256 colours read back
// exactly; none and 257 are refused and leave the file that was there.
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <vector>

#include "core/error.h"
#include "qt/palettefile.h"

using namespace imaging;

namespace {

std::vector<Rgb> colours(int count) {
    std::vector<Rgb> table;
    for (int i = 0; i < count; ++i) table.push_back(makeRgb(i % 256, (i * 7) % 256, 255 - i % 256));
    return table;
}

}  // namespace

class PaletteFileTest : public QObject {
    Q_OBJECT

    QTemporaryDir folder_;

private slots:
    void depthFollowsTheCount_data() {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("bits");
        const std::pair<int, int> cases[] = {{1, 1},  {2, 1},  {3, 2},  {4, 2},   {5, 3},   {8, 3},   {9, 4},
                                             {16, 4}, {17, 5}, {32, 5}, {33, 6},  {64, 6},  {65, 7},  {128, 7},
                                             {129, 8}, {255, 8}, {256, 8}};
        for (const auto& [count, bits] : cases) QTest::addRow("%d colours", count) << count << bits;
    }

    void depthFollowsTheCount() {
        QFETCH(int, count);
        QFETCH(int, bits);
        QCOMPARE(UsedPaletteBits(count), bits);
    }

    void filesReadBackExactly_data() {
        QTest::addColumn<int>("count");
        for (int count : {1, 2, 3, 4, 5, 255, 256}) QTest::addRow("%d colours", count) << count;
    }

    void filesReadBackExactly() {
        QFETCH(int, count);
        const QString path = folder_.filePath(QStringLiteral("p%1.pal").arg(count));
        const std::vector<Rgb> written = colours(count);
        QCOMPARE(WritePaletteFile(path, written), 0);
        std::vector<Rgb> read;
        QCOMPARE(ReadPaletteFile(path, read), 0);
        // The table as stored: padded with black to the depth's size.
        const std::size_t stored = std::size_t{1} << UsedPaletteBits(count);
        QCOMPARE(read.size(), stored);
        for (std::size_t i = 0; i < stored; ++i)
            QCOMPARE(read[i], i < written.size() ? written[i] : Rgb{0});
    }

    void emptyAndOversizedPalettesAreRefused() {
        const QString path = folder_.filePath(QStringLiteral("kept.pal"));
        QCOMPARE(WritePaletteFile(path, colours(16)), 0);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray before = file.readAll();
        file.close();
        for (int count : {0, 257}) {
            QString reason;
            QCOMPARE(WritePaletteFile(path, colours(count), &reason), static_cast<int>(ErrorCode::InvalidArgument));
            QVERIFY(!reason.isEmpty());
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), before);
            file.close();
        }
    }
};

QTEST_MAIN(PaletteFileTest)
#include "palettefile_test.moc"
