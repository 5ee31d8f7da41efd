// The settings store against its file: a first run, a round trip of every key, hand-damaged
// files, and a store that cannot be written.
#include "rules/profilefile.h"
#include "rules/initext.h"
#include "settings/programoptions.h"
#include "settings/settingsstore.h"
#include "common/apperror.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <filesystem>
#include <optional>

using namespace kalmira;

namespace {

// The number of the AppError the call raises, or nothing when it raises none.
template <class F>
std::optional<int> raisedNumber(F&& call) {
    try {
        call();
    } catch (const AppError& error) {
        return error.number();
    }
    return std::nullopt;
}

void writeStoreFile(const QByteArray& content) {
    const QString path = SettingsFilePath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(content), content.size());
}

QByteArray readStoreFile();

// The file as section/key -> value, read by the store's own text format.
QMap<QString, QString> storeFileEntries() {
    const QByteArray bytes = readStoreFile();
    QMap<QString, QString> entries;
    for (const settings::IniEntry& e :
         settings::ParseIniText(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()))))
        entries.insert(QString::fromStdString(e.section + "/" + e.key), QString::fromStdString(e.value));
    return entries;
}

QByteArray readStoreFile() {
    QFile file(SettingsFilePath());
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

// Back to an empty store and the in-memory records to a state no load would give, so a value
// the load forgets to set shows.
void resetStore() {
    const QString path = SettingsFilePath();
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    if (QFileInfo(path).isDir()) QDir(path).removeRecursively();
    QFile::remove(path);
    // Let the store see the empty file now, so the next file written is read afresh even if it
    // had the same size and time as an earlier one.
    ReadSetting(QStringLiteral("Settings"), QStringLiteral("MainLeft"), QString());
    ProgramOptionsRecord garbage;
    garbage.InitialOpenVariations = -99;
    garbage.DownloadSpeed = -99;
    garbage.StandardZoomLevel = -99;
    for (int slot = 1; slot <= 6; ++slot) garbage.Profiles[static_cast<std::size_t>(slot)].JPEGQuality = -99;
    ProgramOptions() = garbage;
    MainSettings() = MainWindowSettings{{-1, -1, -1, -1, -1}, QStringLiteral("stale"), {}, false, false};
}

ProgramOptionsRecord everyValueChanged() {
    ProgramOptionsRecord o;
    o.OptionsAutoApply = 0;
    o.InitialOpenVariations = 5;
    o.StandardZoomLevel = 800;
    o.DownloadSpeed = 128000;
    o.FitToWindow = 0;
    o.DisplayLimitWidthToEnabled = 1;
    o.DisplayLimitWidthTo = 1000;
    o.DisplayLimitHeightToEnabled = 1;
    o.DisplayLimitHeightTo = 2;
    o.DisplayOrder = 1;
    for (int slot = 1; slot <= 6; ++slot) {
        OptimizeProfile& p = o.Profiles[static_cast<std::size_t>(slot)];
        p.FileFormat = static_cast<std::int16_t>(slot % 4 + 1);
        p.GIFMaxPixelDepth = static_cast<std::int16_t>(slot);
        p.GIFDitheringMethod = static_cast<std::int16_t>(slot + 1);
        p.GIFMaxColors = static_cast<std::int16_t>(10 * slot);
        p.GIFColorPalette = 16;
        p.GIFPaletteFileName = QStringLiteral("C:\\pal\\web %1, \"ä\" @x.pal").arg(slot).toStdString();
        p.GIFInterlaced = 1;
        p.JPEGQuality = static_cast<std::int16_t>(254 - slot);
        p.JPEGProgressive = 1;
        p.JPEGPasses = static_cast<std::int16_t>(60 + slot);
        p.JPEGYUV_Color = static_cast<std::int16_t>(slot % 3);
        p.JPEGGrayscale = 1;
    }
    return o;
}

}  // namespace

class SettingsStoreTest : public QObject {
    Q_OBJECT

private slots:
    void init() { resetStore(); }
    void cleanupTestCase() { resetStore(); }

    void storeLivesInThePerUserIniFile() {
        const QString path = SettingsFilePath();
        QVERIFY2(path.endsWith(QStringLiteral("/Kalmira 4.2.ini")), qPrintable(path));
        QVERIFY2(path.startsWith(qEnvironmentVariable("XDG_CONFIG_HOME")), qPrintable(path));
    }

    void firstRunGivesEveryDefault() {
        QCOMPARE(raisedNumber([] { LoadSettings(); }), std::nullopt);
        const MainWindowSettings& main = MainSettings();
        QCOMPARE(main.Placement.MainLeft, 1000);
        QCOMPARE(main.Placement.MainTop, 1000);
        QCOMPARE(main.Placement.MainWidth, 6500);
        QCOMPARE(main.Placement.MainHeight, 6500);
        QCOMPARE(main.Placement.MainWindowState, 2);
        QCOMPARE(main.InitialDirectory, DefaultInitialDirectory());
        for (const QString& name : main.RecentFiles) QVERIFY(name.isEmpty());
        QVERIFY(main.ToolsOpen);
        QVERIFY(main.PaletteOpen);

        const ProgramOptionsRecord& o = ProgramOptions();
        QCOMPARE(o.OptionsAutoApply, 1);
        QCOMPARE(o.InitialOpenVariations, 1);
        QCOMPARE(o.DownloadSpeed, 28800);
        QCOMPARE(o.FitToWindow, 1);
        QCOMPARE(o.DisplayLimitWidthToEnabled, 0);
        QCOMPARE(o.DisplayLimitWidthTo, 320);
        QCOMPARE(o.DisplayLimitHeightToEnabled, 0);
        QCOMPARE(o.DisplayLimitHeightTo, 200);
        QCOMPARE(o.StandardZoomLevel, 100);
        QCOMPARE(o.DisplayOrder, 0);
        // FileFormat, GIFMaxPixelDepth, JPEGQuality, JPEGYUV_Color per slot; the rest are alike.
        const int varying[6][4] = {{4, 8, 200, 1}, {1, 8, 200, 1}, {2, 8, 200, 1},
                                   {4, 4, 160, 1}, {4, 2, 120, 2}, {4, 8, 200, 1}};
        for (int slot = 1; slot <= 6; ++slot) {
            const OptimizeProfile& p = o.Profiles[static_cast<std::size_t>(slot)];
            const int* v = varying[slot - 1];
            QCOMPARE(p.FileFormat, v[0]);
            QCOMPARE(p.GIFMaxPixelDepth, v[1]);
            QCOMPARE(p.GIFDitheringMethod, 0);
            QCOMPARE(p.GIFMaxColors, 256);
            QCOMPARE(p.GIFColorPalette, 2);
            QCOMPARE(p.GIFPaletteFileName, std::string());
            QCOMPARE(p.GIFInterlaced, 0);
            QCOMPARE(p.JPEGQuality, v[2]);
            QCOMPARE(p.JPEGProgressive, 0);
            QCOMPARE(p.JPEGPasses, 2);
            QCOMPARE(p.JPEGYUV_Color, v[3]);
            QCOMPARE(p.JPEGGrayscale, 0);
        }
        QVERIFY(o == DefaultProgramOptions());
        // Reading alone leaves the store as it was.
        QVERIFY(readStoreFile().trimmed().isEmpty());
    }

    // Until a folder was used the Open dialog starts in the user's pictures folder, or at home
    // when there is none; never in the program's own folder.
    void theFirstOpenFolderIsThePicturesFolder() {
        QTemporaryDir home;
        QVERIFY(home.isValid());
        const QByteArray oldHome = qgetenv("HOME");
        qputenv("HOME", home.path().toUtf8());
        QCOMPARE(DefaultInitialDirectory(), home.path());
        QVERIFY(QDir(home.path()).mkdir(QStringLiteral("Pictures")));
        QCOMPARE(DefaultInitialDirectory(), home.path() + QStringLiteral("/Pictures"));
        resetStore();
        LoadSettings();
        QCOMPARE(MainSettings().InitialDirectory, home.path() + QStringLiteral("/Pictures"));
        qputenv("HOME", oldHome);
    }

    void everyKeyRoundTrips() {
        const ProgramOptionsRecord changed = everyValueChanged();
        ProgramOptions() = changed;
        SaveAllSettings();
        const MainWindowPlacement placement{-120, 45, 9000, 7000, 0};
        WriteMainWindowPlacement(placement);
        WriteInitialDirectory(QStringLiteral("/home/u/Bilder, alt/"));
        WriteRecentFiles({QStringLiteral("old"), {}, {}, {}, {}});
        for (int i = 1; i < kRecentFileCount; ++i) WriteRecentFile(i, QStringLiteral("/tmp/f%1 =;#.gif").arg(i));
        WriteRecentFiles({QStringLiteral("/tmp/f0 =;#.gif"), ReadRecentFile(1), ReadRecentFile(2), ReadRecentFile(3),
                          ReadRecentFile(4)});
        WriteToolsOpen(false);
        WritePaletteOpen(false);
        WriteToolsPosition(1234.5f, -60.25f);
        WritePalettePosition(7000.f, 0.1f);

        resetStore_keepFile();
        LoadSettings();
        QVERIFY(ProgramOptions() == changed);
        // The reader of programs without windows finds in the file what the store wrote.
        QCOMPARE(UserSettingsFile(), std::filesystem::path(SettingsFilePath().toStdString()));
        for (int slot = 1; slot <= 6; ++slot) {
            const ProfileReading plain = ReadProfileFromFile(UserSettingsFile(), slot);
            QVERIFY(plain.profile == changed.Profiles[static_cast<std::size_t>(slot)]);
            QVERIFY(plain.problems.empty());
        }
        QVERIFY(MainSettings().Placement == placement);
        QCOMPARE(MainSettings().InitialDirectory, QStringLiteral("/home/u/Bilder, alt/"));
        for (int i = 0; i < kRecentFileCount; ++i)
            QCOMPARE(MainSettings().RecentFiles[static_cast<std::size_t>(i)], QStringLiteral("/tmp/f%1 =;#.gif").arg(i));
        QVERIFY(!MainSettings().ToolsOpen);
        QVERIFY(!MainSettings().PaletteOpen);
        QCOMPARE(ReadToolsLeft(0), 1234.5f);
        QCOMPARE(ReadToolsTop(0), -60.25f);
        QCOMPARE(ReadPaletteLeft(0), 7000.f);
        QCOMPARE(ReadPaletteTop(0), 0.1f);

        // Every value is text under the sections and keys other programs and users see.
        const QMap<QString, QString> file = storeFileEntries();
        QCOMPARE(file.value("Settings/DownloadSpeed"), QStringLiteral("128000"));
        QCOMPARE(file.value("Settings/ToolsOpen"), QStringLiteral("False"));
        QCOMPARE(file.value("Settings/MainWindowState"), QStringLiteral("0"));
        QCOMPARE(file.value("DisplaySettings/DisplayOrder"), QStringLiteral("1"));
        QCOMPARE(file.value("DisplaySettings/StandardZoomLevel"), QStringLiteral("800"));
        QCOMPARE(file.value("Optimize6/JPEGPasses"), QStringLiteral("66"));
        QCOMPARE(file.value("Optimize2/JPEGYUV_Color"), QStringLiteral("2"));
        QCOMPARE(file.value("LastFiles/File4"), QStringLiteral("/tmp/f4 =;#.gif"));
        QStringList expected = {"Settings/DownloadSpeed", "Settings/InitDir", "Settings/InitialOpenVariations",
                                "Settings/MainHeight", "Settings/MainLeft", "Settings/MainTop", "Settings/MainWidth",
                                "Settings/MainWindowState", "Settings/OptionsAutoApply", "Settings/PaletteLeft",
                                "Settings/PaletteOpen", "Settings/PaletteTop", "Settings/ToolsLeft",
                                "Settings/ToolsOpen", "Settings/ToolsTop"};
        for (const char* key : {"FitToWindow", "DisplayLimitWidthToEnabled", "DisplayLimitWidthTo",
                                "DisplayLimitHeightToEnabled", "DisplayLimitHeightTo", "StandardZoomLevel",
                                "DisplayOrder"})
            expected.append(QStringLiteral("DisplaySettings/%1").arg(QLatin1String(key)));
        for (int i = 0; i < 5; ++i) expected.append(QStringLiteral("LastFiles/File%1").arg(i));
        for (int slot = 1; slot <= 6; ++slot)
            for (const char* key : {"FileFormat", "GIFMaxPixelDepth", "GIFDitheringMethod", "GIFMaxColors",
                                    "GIFColorPalette", "GIFPaletteFileName", "GIFInterlaced", "JPEGQuality",
                                    "JPEGProgressive", "JPEGPasses", "JPEGYUV_Color", "JPEGGrayscale"})
                expected.append(QStringLiteral("Optimize%1/%2").arg(slot).arg(QLatin1String(key)));
        expected.sort();
        QCOMPARE(file.keys(), expected);
    }

    void handWrittenTextsReadBackExactly() {
        writeStoreFile("\xEF\xBB\xBF; written by hand\r\n[Optimize1]\r\nGIFPaletteFileName = C:\\pal\\web.pal\r\n"
                       "[LastFiles]\nFile0=/home/u/a;b #1.gif\nFile1=  spaced out  \n"
                       "File2=\"quoted \\\"x\\\"\\tTab\"\nFile3=\"unbalanced\n");
        LoadSettings();
        QCOMPARE(ProgramOptions().Profiles[1].GIFPaletteFileName, std::string("C:\\pal\\web.pal"));
        QCOMPARE(MainSettings().RecentFiles[0], QStringLiteral("/home/u/a;b #1.gif"));
        QCOMPARE(MainSettings().RecentFiles[1], QStringLiteral("spaced out"));
        QCOMPARE(MainSettings().RecentFiles[2], QStringLiteral("quoted \"x\"\tTab"));
        QCOMPARE(MainSettings().RecentFiles[3], QStringLiteral("\"unbalanced"));

        // What the program writes reads back the same, whatever the text holds.
        const QString awkward = QStringLiteral(" \"lead\\ \n tab\t; #end\\ ");
        WriteRecentFile(4, awkward);
        WriteRecentFile(3, QStringLiteral("C:\\new\\table.pal"));
        QCOMPARE(ReadRecentFile(4), awkward);
        QCOMPARE(storeFileEntries().value("LastFiles/File3"), QStringLiteral("C:\\new\\table.pal"));
        QVERIFY(readStoreFile().contains("File3=C:\\new\\table.pal\n"));
        QCOMPARE(storeFileEntries().value("Optimize1/GIFPaletteFileName"), QStringLiteral("C:\\pal\\web.pal"));
    }

    void minimisedWindowIsStoredAsNormal() {
        WriteMainWindowPlacement({10, 20, 3000, 4000, kWindowStateMinimized});
        const MainWindowPlacement back = ReadMainWindowPlacement();
        QCOMPARE(back.MainWindowState, kWindowStateNormal);
        QCOMPARE(back.MainLeft, 10);
        QCOMPARE(back.MainHeight, 4000);
    }

    void handEditedFile_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("error");  // 0: none
        QTest::addColumn<int>("mainLeft");
        QTest::addColumn<int>("downloadSpeed");
        QTest::addColumn<int>("zoom");
        QTest::addColumn<int>("autoApply");
        QTest::addColumn<bool>("toolsOpen");
        QTest::addColumn<int>("slot1Quality");

        QTest::newRow("leading numbers") << QByteArray("[Settings]\nDownloadSpeed=1e3\nOptionsAutoApply=\n"
                                                       "[DisplaySettings]\nStandardZoomLevel=150% please\n"
                                                       "[Optimize1]\nJPEGQuality=99.5\n")
                                         << 0 << 1000 << 1000 << 150 << 0 << true << 100;
        QTest::newRow("not a number reads 0") << QByteArray("[Settings]\nDownloadSpeed=fast\n"
                                                            "[Optimize1]\nJPEGQuality=high\n")
                                              << 0 << 1000 << 0 << 100 << 1 << true << 0;
        // The damaged value keeps its default; everything after it is still read.
        QTest::newRow("position not a number") << QByteArray("[Settings]\nMainLeft=left\nDownloadSpeed=56000\n"
                                                             "ToolsOpen=False\n")
                                               << 13 << 1000 << 56000 << 100 << 1 << false << 200;
        QTest::newRow("16-bit overflow") << QByteArray("[DisplaySettings]\nStandardZoomLevel=40000\n"
                                                       "[Settings]\nMainLeft=-300\n[Optimize1]\nJPEGQuality=7\n")
                                         << 6 << -300 << 28800 << 100 << 1 << true << 7;
        QTest::newRow("flag not a boolean") << QByteArray("[Settings]\nToolsOpen=maybe\nMainLeft=12.5\n")
                                            << 13 << 12 << 28800 << 100 << 1 << true << 200;
        QTest::newRow("32-bit overflow") << QByteArray("[Settings]\nDownloadSpeed=99999999999\n")
                                         << 6 << 1000 << 28800 << 100 << 1 << true << 200;
        // A header missing its "]" still names the section; lines without "=" are skipped.
        static const char broken[] = "\x01\xff garbage\n[Settings\nMainLeft=5\n=x\n[DisplaySettings]\n"
                                     "StandardZoomLevel\n[Optimize1]\nJPEGQuality=1e2\n\0\0\0";
        QTest::newRow("broken lines") << QByteArray(broken, sizeof broken - 1)
                                      << 0 << 5 << 28800 << 100 << 1 << true << 100;
        // An unquoted comma: a decimal comma for a position, the end of the number otherwise.
        QTest::newRow("comma in a number") << QByteArray("[Settings]\nMainLeft=1,5\nDownloadSpeed=56,000\n")
                                           << 0 << 2 << 56 << 100 << 1 << true << 200;
    }

    void handEditedFile() {
        QFETCH(QByteArray, content);
        QFETCH(int, error);
        writeStoreFile(content);
        const std::optional<int> raised = raisedNumber([] { LoadSettings(); });
        if (error >= 0) QCOMPARE(raised.value_or(0), error);
        QFETCH(int, mainLeft);
        QFETCH(int, downloadSpeed);
        QFETCH(int, zoom);
        QFETCH(int, autoApply);
        QFETCH(bool, toolsOpen);
        QFETCH(int, slot1Quality);
        if (mainLeft != -1) QCOMPARE(MainSettings().Placement.MainLeft, mainLeft);
        QCOMPARE(ProgramOptions().DownloadSpeed, downloadSpeed);
        QCOMPARE(ProgramOptions().StandardZoomLevel, zoom);
        QCOMPARE(ProgramOptions().OptionsAutoApply, autoApply);
        QCOMPARE(MainSettings().ToolsOpen, toolsOpen);
        QCOMPARE(ProgramOptions().Profiles[1].JPEGQuality, slot1Quality);
        QCOMPARE(ProgramOptions().Profiles[2].FileFormat, 1);  // untouched keys still default
    }

    // A settings file larger than any the program writes is set aside like an unreadable one,
    // however valid its text; one of exactly the largest size is read as it is.
    void oversizedFileIsKeptAsideAndTheDefaultsUsed_data() {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<bool>("keptAside");
        QTest::newRow("the largest size") << qint64(kMaxSettingsFileBytes) << false;
        QTest::newRow("one byte more") << qint64(kMaxSettingsFileBytes + 1) << true;
        QTest::newRow("fifty megabytes") << qint64(50) * 1024 * 1024 << true;
    }

    void oversizedFileIsKeptAsideAndTheDefaultsUsed() {
        QFETCH(qint64, size);
        QFETCH(bool, keptAside);
        QByteArray text = "[Settings]\nDownloadSpeed=56000\n[Clutter]\n";
        for (int i = 0; text.size() < size; ++i) text += "key" + QByteArray::number(i) + "=some value\n";
        text.truncate(size - 1);
        text += '\n';
        QCOMPARE(text.size(), size);
        const QString copy = SettingsFilePath() + QStringLiteral(".unreadable");
        QFile::remove(copy);
        writeStoreFile(text);
        const QString kept = RescueUnreadableSettingsFile();
        LoadSettings();
        if (keptAside) {
            QCOMPARE(kept, copy);
            QCOMPARE(QFileInfo(copy).size(), size);
            QCOMPARE(ProgramOptions().DownloadSpeed, 28800);
            QCOMPARE(readStoreFile(), QByteArray());
        } else {
            QVERIFY(kept.isEmpty());
            QVERIFY(!QFileInfo::exists(copy));
            QCOMPARE(ProgramOptions().DownloadSpeed, 56000);
        }
        QFile::remove(copy);
    }

    void nothingIsDeletedBySaving() {
        writeStoreFile("[Settings]\nMainLeft=left\nMyOwnKey=keep me\n[Elsewhere]\nA=1\n");
        QCOMPARE(raisedNumber([] { LoadSettings(); }), std::optional<int>(13));
        SaveAllSettings();
        const QMap<QString, QString> file = storeFileEntries();
        QCOMPARE(file.value("Settings/MainLeft"), QStringLiteral("left"));
        QCOMPARE(file.value("Settings/MyOwnKey"), QStringLiteral("keep me"));
        QCOMPARE(file.value("Elsewhere/A"), QStringLiteral("1"));
        QCOMPARE(file.value("Optimize5/JPEGQuality"), QStringLiteral("120"));
    }

    void unwritableStoreIsReported_data() {
        QTest::addColumn<bool>("directoryInPlace");
        QTest::newRow("read-only file") << false;
        QTest::newRow("folder where the file belongs") << true;
    }

    void unwritableStoreIsReported() {
        QFETCH(bool, directoryInPlace);
        const QString path = SettingsFilePath();
        if (directoryInPlace) {
            QVERIFY(QDir().mkpath(path));
        } else {
            writeStoreFile("[Settings]\nDownloadSpeed=56000\n");
            QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        }
        ProgramOptions() = everyValueChanged();
        QCOMPARE(raisedNumber([] { SaveAllSettings(); }), std::optional<int>(kSettingsWriteError));
        QCOMPARE(raisedNumber([] { WriteRecentFile(0, QStringLiteral("/tmp/a.gif")); }),
                 std::optional<int>(kSettingsWriteError));
        QCOMPARE(raisedNumber([] { WriteMainWindowPlacement({}); }), std::optional<int>(kSettingsWriteError));
        if (!directoryInPlace) QCOMPARE(readStoreFile(), QByteArray("[Settings]\nDownloadSpeed=56000\n"));
    }

private:
    static void resetStore_keepFile() {
        ProgramOptions() = ProgramOptionsRecord{};
        MainSettings() = MainWindowSettings{{-1, -1, -1, -1, -1}, QStringLiteral("stale"), {}, true, true};
    }
};

QTEST_GUILESS_MAIN(SettingsStoreTest)
#include "settingsstore_test.moc"
