// Opening and saving through the main window, the way a user does it: files that open and
// files that must not, the command line, the recent-files list, Save and Save As round trips.

#include "shell/commands/filecommands.h"
#include "common/globals.h"
#include "shell/frmmain.h"
#include "settings/qualityoptions.h"
#include "settings/settingsstore.h"
#include "mainwindowsetup.h"
#include "shelltestsupport.h"

#include "codecs/registry.h"
#include "document/frmdocument.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cerrno>
#include <cstring>

using namespace kalmira;

namespace {

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& data) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(data);
}

}  // namespace

class FileCommandsTest : public QObject {
    Q_OBJECT

private:
    testing::Prompts prompts_;
    QTemporaryDir folder_;
    std::unique_ptr<frmMain> window_;

    // Two flat colour blocks: small and exact for every format, so sizes are stable.
    QString writeImage(const QString& name, int width = 64, int height = 48) {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(QColor(250, 250, 250));
        QPainter painter(&image);
        painter.fillRect(0, 0, width / 2, height, QColor(200, 30, 30));
        painter.end();
        const QString path = folder_.filePath(name);
        image.save(path, "PNG");
        return path;
    }

    FileCommands& files() { return window_->Files(); }
    int windowCount() const { return static_cast<int>(window_->MdiArea()->subWindowList().size()); }

private slots:
    void initTestCase() {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        InitApplication();
        prompts_.install();
        QVERIFY(folder_.isValid());
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

    void openShowsTheOriginalAndItsCaption() {
        const QString path = writeImage("photo.png");
        frmDocument* document = files().OpenImageFile(path);
        QVERIFY(document);
        QVERIFY(prompts_.messages.isEmpty());
        QVERIFY(prompts_.errors.isEmpty());
        QCOMPARE(windowCount(), 1);
        QCOMPARE(OpenDocumentCount, 1);
        QVERIFY(ApplyReady);
        QCOMPARE(document->windowTitle(), path);
        QCOMPARE(document->picOriginal().BitmapWidth(), 64);
        QCOMPARE(document->picOriginal().BitmapHeight(), 48);
        QVERIFY(document->picOriginal().isVisibleTo(document));
        QVERIFY(!document->frameLoadImage()->isVisibleTo(document));
        // With a document open the document commands are on.
        QVERIFY(window_->findChild<QAction*>("mnuFileClose")->isEnabled());
        // Opening encodes each shown Variation for its profile once ("smallest file" tries GIF
        // and JPEG, two encodings), the ones not shown never.
        QVERIFY(document->record(1).Displayed);
        for (int i = 1; i <= 5; ++i) {
            const int profileEncodings = ProgramOptions().Profiles[static_cast<std::size_t>(i)].FileFormat ==
                                                 kProfileSmallestFile ? 2 : 1;
            QCOMPARE(document->picCompress(i).EncodeCount(), document->record(i).Displayed ? profileEncodings : 0);
        }

        const qint64 size = QFileInfo(path).size();
        const QString seconds = QLocale().toString(size / 28800.0 * 9.0, 'f', 1);
        QCOMPARE(document->LabelOriginal()->text(),
                 QLocale().toString(size) + " Bytes, 24 Bits, " + seconds + " sec.");
        document->SelektiereGrafik(0);
        QCOMPARE(window_->PanelText("PanelMemSize"), "FileSize: " + QLocale().toString(size));
        QCOMPARE(window_->PanelText("PanelDownloadSpeed"), seconds + " sec. (at 28.8kbps)");
    }

    void animatedGifOpensWithItsFrames() {
        imaging::Image animation;
        for (int i = 0; i < 3; ++i) {
            imaging::Bitmap frame(16, 12, 8);
            for (int y = 0; y < 12; ++y) {
                for (int x = 0; x < 16; ++x) {
                    frame.setPixel(x, y, static_cast<std::uint32_t>((x + i) % 2));
                }
            }
            frame.palette()[0] = 0x0000FF;
            frame.palette()[1] = 0x00FF00;
            animation.frames.push_back(imaging::Frame{std::move(frame), 10});
        }
        imaging::SaveOptions options;
        options.format = imaging::format::Gif;
        options.bits = 8;
        options.multiPage = true;
        const QString path = folder_.filePath("moving.gif");
        imaging::saveFile(path.toStdString(), animation, options);

        frmDocument* document = files().OpenImageFile(path);
        QVERIFY(document);
        QVERIFY(prompts_.messages.isEmpty());
        QVERIFY(document->GetOriginalAnimation());
        QCOMPARE(document->GetOriginalImageNumber(), 3);
        QCOMPARE(document->picOriginal().BitmapListCount(), 3);
        QVERIFY(document->picOriginal().AnimationEnable());
    }

    void openingTheSameFileTwiceGivesTwoWindows() {
        const QString path = writeImage("twice.png");
        QVERIFY(files().OpenImageFile(path));
        QVERIFY(files().OpenImageFile(path));
        QCOMPARE(windowCount(), 2);
        QCOMPARE(OpenDocumentCount, 2);
    }

    void aNewWindowOpensWhereItCanBeSeen() {
        // The area's own placement puts a window beside or below the free room, which in a
        // small frame is outside the part that shows; each new document starts cascaded at the
        // top, in view.
        QVERIFY(files().OpenImageFile(writeImage("wide.png", 320, 200)));
        QVERIFY(files().OpenImageFile(writeImage("small.png", 40, 30)));
        const QList<QMdiSubWindow*> windows = window_->MdiArea()->subWindowList(QMdiArea::CreationOrder);
        QCOMPARE(windows.size(), 2);
        const QRect area = window_->MdiArea()->viewport()->rect();
        for (const QMdiSubWindow* sub : windows)
            QVERIFY2(sub->geometry().top() < area.height() / 2,
                     qPrintable(QString("top %1 of an area %2 high").arg(sub->geometry().top()).arg(area.height())));
        QVERIFY(windows.at(1)->geometry().top() > windows.at(0)->geometry().top());
    }

    void badFilesLeaveNoWindow_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("message");
        // The engine's reason, on a second line below the text, for files it refused.
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing") << "missing" << "Error: File does not exist." << "";
        QTest::newRow("empty") << "empty" << "Error: Unrecognized format. Could not load picture."
                               << "load: the file is empty";
        QTest::newRow("truncated") << "truncated" << "Error: Unrecognized format. Could not load picture."
                                   << "PNG: a chunk reaches past the end of the file";
        QTest::newRow("text") << "text" << "Error: Unrecognized format. Could not load picture."
                              << "load: unrecognized format";
        // A folder and a file that may not be read say so, with the path they refer to.
        QTest::newRow("folder") << "folder" << "Error: This is a folder, not an image file." << "PATH";
        QTest::newRow("unreadable") << "unreadable" << "Error: The file cannot be read: permission denied."
                                    << "PATH";
    }

    void badFilesLeaveNoWindow() {
        QFETCH(QString, kind);
        QFETCH(QString, message);
        QFETCH(QString, reason);
        if (!reason.isEmpty()) message += QLatin1Char('\n');
        QString path = folder_.filePath(kind + ".png");
        if (kind == "empty") {
            writeAll(path, {});
        } else if (kind == "truncated") {
            const QByteArray whole = readAll(writeImage("whole.png"));
            writeAll(path, whole.left(whole.size() / 2));
        } else if (kind == "text") {
            writeAll(path, "this is not a picture at all\n");
        } else if (kind == "folder") {
            path = folder_.path();
        } else if (kind == "unreadable") {
            path = writeImage("locked.png");
            QFile::setPermissions(path, QFileDevice::Permissions{});
            // Root reads whatever the permission bits say; a file the kernel refuses even to
            // root stands in for it there.
            if (QFile probe(path); probe.open(QIODevice::ReadOnly)) path = QStringLiteral("/proc/sys/vm/compact_memory");
            if (QFile probe(path); !QFileInfo(path).isFile() || probe.open(QIODevice::ReadOnly))
                QSKIP("no file here that this user is refused to read");
        }
        reason.replace(QStringLiteral("PATH"), path);
        QCOMPARE(files().OpenImageFile(path), nullptr);
        QCOMPARE(prompts_.messages.size(), 1);
        const QString shown = prompts_.messageTexts().first();
        QVERIFY2(shown.startsWith(message + reason) && shown.count(QLatin1Char('\n')) == (reason.isEmpty() ? 0 : 1),
                 qPrintable(shown));
        QCOMPARE(prompts_.messages.first().title, QStringLiteral("Error"));
        QVERIFY(prompts_.errors.isEmpty());
        QCOMPARE(windowCount(), 0);
        QCOMPARE(OpenDocumentCount, 0);
        QVERIFY(ApplyReady);
        QVERIFY(!window_->findChild<QAction*>("mnuFileSave")->isEnabled());
        // The program stays usable: the next file opens.
        QVERIFY(files().OpenImageFile(writeImage("after.png")));
        QCOMPARE(windowCount(), 1);
    }

    void aJpegCutShortOpensAndItsWindowSaysItIsDamaged() {
        // As browsers show it: the rows that arrived, grey below, and no error message.
        QImage image(96, 64, QImage::Format_RGB32);
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 96; ++x) image.setPixel(x, y, qRgb(x * 2, y * 3, 120));
        const QString whole = folder_.filePath("whole.jpg");
        QVERIFY(image.save(whole, "JPEG", 90));
        const QByteArray bytes = readAll(whole);
        const QString cut = folder_.filePath("cut.jpg");
        writeAll(cut, bytes.left(bytes.size() * 2 / 3));
        frmDocument* document = files().OpenImageFile(cut);
        QVERIFY(document);
        QVERIFY(prompts_.messages.isEmpty());
        QCOMPARE(document->picOriginal().Bitmap().width(), 96);
        QVERIFY2(document->windowTitle().endsWith(" (damaged file, shown as far as it could be read)"),
                 qPrintable(document->windowTitle()));
        const imaging::Rgb bottom = document->picOriginal().Bitmap().pixel(50, 63);
        QCOMPARE(int(imaging::redOf(bottom)), 128);  // grey below the cut
        QCOMPARE(int(imaging::blueOf(bottom)), 128);
        // A whole file has its plain title.
        frmDocument* good = files().OpenImageFile(whole);
        QVERIFY(good);
        QVERIFY2(!good->windowTitle().contains("damaged"), qPrintable(good->windowTitle()));
    }

    void commandLineOpensEachWord() {
        window_.reset();
        const QString first = writeImage("first.png");
        const QString second = writeImage("second.png", 20, 10);
        window_ = testing::StartMainWindow({.files = {first, second, folder_.filePath("gone one.png")}});
        QCOMPARE(windowCount(), 2);
        // A word that is no file splits at its blank, and each half is reported missing.
        QCOMPARE(prompts_.messageTexts(),
                 (QStringList{"Error: File does not exist.", "Error: File does not exist."}));
        QVERIFY(window_->findChild<QAction*>("mnuFileSave")->isEnabled());
    }

    void droppedFilesSkipEmptyOnes() {
        const QString empty = folder_.filePath("zero.gif");
        writeAll(empty, {});
        files().OpenDroppedFiles({writeImage("dropped.png"), empty, QString()});
        QCOMPARE(windowCount(), 1);
        QVERIFY(prompts_.messages.isEmpty());
        // Dropped files do not go into the recent list.
        QCOMPARE(files().RecentFile(0), QString());
    }

    void filesDroppedOnTheWindowOpen() {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(writeImage("drop1.png")), QUrl::fromLocalFile(writeImage("drop2.png"))});
        QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window_.get(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window_.get(), &drop);
        QCOMPARE(windowCount(), 2);
    }

    void regionToolsAndZoomReachTheDocument_data() {
        QTest::addColumn<QString>("item");
        QTest::addColumn<int>("tool");
        QTest::newRow("rectangle") << "mnuEditSelectRectangle" << 1;
        QTest::newRow("ellipse") << "mnuEditSelectEllipse" << 2;
        QTest::newRow("rounded") << "mnuEditSelectRoundedRectangle" << 3;
        QTest::newRow("freehand") << "mnuEditSelectFreehand" << 4;
    }

    void regionToolsAndZoomReachTheDocument() {
        QFETCH(QString, item);
        QFETCH(int, tool);
        frmDocument* document = files().OpenImageFile(writeImage("tools.png"));
        // A new document starts with the rectangle.
        QCOMPARE(document->RegionTool(), 1);
        QVERIFY(window_->findChild<QAction*>("mnuEditSelectRectangle")->isChecked());
        window_->findChild<QAction*>(item)->trigger();
        QCOMPARE(document->RegionTool(), tool);
        int checked = 0;
        for (const char* name : {"mnuEditSelectRectangle", "mnuEditSelectEllipse", "mnuEditSelectRoundedRectangle",
                                 "mnuEditSelectFreehand"}) {
            checked += window_->findChild<QAction*>(name)->isChecked() ? 1 : 0;
        }
        QCOMPARE(checked, 1);
        QVERIFY(window_->findChild<QAction*>(item)->isChecked());

        QComboBox* zoom = window_->ComboZoom();
        zoom->setCurrentIndex(6);
        emit zoom->activated(6);
        QCOMPARE(document->lZoom, 200);
        QCOMPARE(document->picOriginal().PaintZoomFactor(), 200);
        zoom->lineEdit()->setText(QStringLiteral("0.3"));
        QTest::keyClick(zoom->lineEdit(), Qt::Key_Return);
        QCOMPARE(document->lZoom, 1);
        // The box then shows the zoom the document really uses.
        QCOMPARE(zoom->currentText(), QStringLiteral("1%"));
    }

    void openDialogRowsFollowTheWebFormatSwitch() {
        // The fixed rows, each exactly as offered, after "All Graphics".
        const QStringList fixed = {
            QStringLiteral("GIF (GIF) (*.gif)"),
            QStringLiteral("JPG (JPG JPEG JFF JTF) (*.jpg *.jff *.jtf *.jpeg)"),
            QStringLiteral("PNG (PNG) (*.png)"),
            QStringLiteral("BMP Windows & OS/2 (BMP) (*.bmp)"),
            QStringLiteral("AWD Microsoft Fax (AWD) (*.awd)"),
            QStringLiteral("CALS (CAL) (*.cal)"),
            QStringLiteral("Windows Clipboard (CLP) (*.clp)"),
            QStringLiteral("CMP Compressed (CMP) (*.cmp)"),
            QStringLiteral("CUR Cursor (CUR) (*.cur)"),
            QStringLiteral("Dr. Halo (CUT) (*.cut)"),
            QStringLiteral("Intergraph Microstation (DGN) (*.dgn *.rdl)"),
            QStringLiteral("Drawing Interchange Format (DXF) (*.dxf)"),
            QStringLiteral("Windows Enhanced Metafile (EMF) (*.emf)"),
            QStringLiteral("EPS PostScript Raster (EPS) (*.eps)"),
            QStringLiteral("FPX Kodak FlashPix (FPX) (*.fpx)"),
            QStringLiteral("Winfax (FXS) (*.fxs)"),
            QStringLiteral("IBM IOCA (ICA) (*.ica)"),
            QStringLiteral("ICO Icons (ICO) (*.ico)"),
            QStringLiteral("Interchange File Format (IFF) (*.iff)"),
            QStringLiteral("IntergraphRLE (ITG) (*.itg)"),
            QStringLiteral("GEM Image (IMG) (*.img)"),
            QStringLiteral("MAC MacPaint (MAC) (*.mac)"),
            QStringLiteral("MSP Microsoft Paint (MSP) (*.msp)"),
            QStringLiteral("Portable Bitmap Utilities (PBM) (*.pbm)"),
            QStringLiteral("PCD Kodak Photo CD (PCD) (*.pcd)"),
            QStringLiteral("PCT Macintosh PICTURE (PCT) (*.pct)"),
            QStringLiteral("PCX (PCX) (*.pcx)"),
            QStringLiteral("Hewlett Packard HPGL (PLT) (*.plt *.hpgl)"),
            QStringLiteral("Photoshop PSD (PSD) (*.psd)"),
            QStringLiteral("SUN Raster (RAS) (*.ras)"),
            QStringLiteral("TGA (TGA) (*.tga)"),
            QStringLiteral("TIF (TIF TIFF) (*.tif *.tiff)"),
            QStringLiteral("WMF Windows Metafile (WMF) (*.wmf)"),
            QStringLiteral("WordPerfect (WPG) (*.wpg)"),
            QStringLiteral("XBitMap (XBM) (*.xbm)"),
            QStringLiteral("XPicMap Format (XPM) (*.xpm)"),
            QStringLiteral("X Window Dump (XWD) (*.xwd)"),
        };
        const QString every = QStringLiteral(
            "*.gif *.jpg *.jff *.jtf *.jpeg *.png *.bmp *.awd *.cal *.clp *.cmp *.cur *.cut *.dgn *.rdl "
            "*.dxf *.emf *.eps *.fpx *.fxs *.ica *.ico *.iff *.itg *.img *.mac *.msp *.pbm *.pcd *.pct "
            "*.pcx *.plt *.hpgl *.psd *.ras *.tga *.tif *.tiff *.wmf *.wpg *.xbm *.xpm *.xwd");
        // HEIC/HEIF is read whatever the web formats' switch says: in All Graphics and a row
        // after the fixed 38.
        const QString heif = QStringLiteral("HEIC/HEIF (HEIC;HEIF) (*.heic *.heif *.hif)");
        QualityOptions().WebpAvif = false;
        QStringList expected = QStringList{QStringLiteral("All Graphics (") + every + QStringLiteral(" *.heic *.heif *.hif)")} +
                               fixed + QStringList{heif};
        QCOMPARE(FileCommands::OpenDialogFilters(), expected);
        QCOMPARE(expected.size(), 38 + 1);

        QualityOptions().WebpAvif = true;
        expected = QStringList{QStringLiteral("All Graphics (") + every + QStringLiteral(" *.webp *.avif *.heic *.heif *.hif)")} +
                   fixed + QStringList{QStringLiteral("WebP (WEBP) (*.webp)"), QStringLiteral("AVIF (AVIF) (*.avif)"), heif};
        QCOMPARE(FileCommands::OpenDialogFilters(), expected);
        // What the dialog is given.
        prompts_.fileAnswers.enqueue(QString());
        window_->findChild<QAction*>("mnuFileOpen")->trigger();
        QCOMPARE(prompts_.fileDialogs.last().filters, expected);
    }

    void openDialogOffersAllFormatsAndRemembersTheFolder() {
        const QString path = writeImage("chosen.png");
        prompts_.fileAnswers.enqueue(path);
        window_->findChild<QAction*>("mnuFileOpen")->trigger();
        QCOMPARE(prompts_.fileDialogs.size(), 1);
        const FileDialogRequest& asked = prompts_.fileDialogs.first();
        QCOMPARE(asked.title, QStringLiteral("Open Image"));
        QCOMPARE(asked.filters.size(), 41);  // with WebP and AVIF, offered by default, and HEIC/HEIF
        QVERIFY(asked.filters.first().startsWith("All Graphics ("));
        QVERIFY(asked.filters.first().contains("*.gif *.jpg *.jff *.jtf *.jpeg *.png"));
        QCOMPARE(asked.filters.at(1), QStringLiteral("GIF (GIF) (*.gif)"));
        QCOMPARE(windowCount(), 1);
        QCOMPARE(window_->InitialDirectory, folder_.path() + "/");
        QCOMPARE(files().RecentFile(0), path);

        // Cancelled: nothing happens.
        window_->findChild<QAction*>("mnuFileOpen")->trigger();
        QCOMPARE(windowCount(), 1);
        QVERIFY(prompts_.messages.isEmpty());

        // A name that is not there gets the dialog's own message and no window.
        prompts_.fileAnswers.enqueue(folder_.filePath("not-there.png"));
        window_->findChild<QAction*>("mnuFileOpen")->trigger();
        QCOMPARE(prompts_.messageTexts(), QStringList{"Error: Cannot load image: File not found."});
        QCOMPARE(windowCount(), 1);
    }

    // The first Open starts in the pictures folder (or home), not in the program's folder; a
    // remembered folder that has gone since does the same.
    void theFirstOpenDialogStartsWhereThePicturesAre() {
        window_->findChild<QAction*>("mnuFileOpen")->trigger();
        QCOMPARE(prompts_.fileDialogs.size(), 1);
        QCOMPARE(prompts_.fileDialogs.last().folder, DefaultInitialDirectory());
        QVERIFY(prompts_.fileDialogs.last().folder != QCoreApplication::applicationDirPath());
        window_->InitialDirectory = folder_.filePath(QStringLiteral("gone/"));
        window_->findChild<QAction*>("mnuFileOpen")->trigger();
        QCOMPARE(prompts_.fileDialogs.last().folder, DefaultInitialDirectory());
        window_->InitialDirectory = folder_.path() + QLatin1Char('/');
        window_->findChild<QAction*>("mnuFileOpen")->trigger();
        QCOMPARE(prompts_.fileDialogs.last().folder, folder_.path() + QLatin1Char('/'));
    }

    void recentFilesOrder_data() {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QString>("added");
        QTest::addColumn<QStringList>("after");
        QTest::newRow("empty list") << QStringList{"", "", "", "", ""} << "a" << QStringList{"a", "", "", "", ""};
        QTest::newRow("new name") << QStringList{"a", "b", "c", "d", "e"} << "n" << QStringList{"n", "a", "b", "c", "d"};
        QTest::newRow("from position 3") << QStringList{"a", "b", "c", "d", "e"} << "d"
                                         << QStringList{"d", "a", "b", "c", "e"};
        QTest::newRow("already first") << QStringList{"a", "b", "", "", ""} << "a" << QStringList{"a", "b", "", "", ""};
        QTest::newRow("case counts") << QStringList{"A", "", "", "", ""} << "a" << QStringList{"a", "A", "", "", ""};
    }

    void recentFilesOrder() {
        QFETCH(QStringList, before);
        QFETCH(QString, added);
        QFETCH(QStringList, after);
        window_.reset();
        for (int i = 0; i < 5; ++i) {
            WriteRecentFile(i, before.at(i));
        }
        window_ = testing::StartMainWindow({.keepSettings = true});
        files().AddRecentFile(added);
        bool anyShown = false;
        for (int i = 0; i < 5; ++i) {
            QCOMPARE(files().RecentFile(i), after.at(i));
            QCOMPARE(ReadRecentFile(i), after.at(i));
            QCOMPARE(files().RecentFileItem(i)->isVisible(), !after.at(i).isEmpty());
            anyShown = anyShown || !after.at(i).isEmpty();
        }
        QCOMPARE(window_->findChild<QAction*>("mnuFileBar6")->isVisible(), anyShown);
    }

    void recentFileCommandOpensWithoutReordering() {
        const QString older = writeImage("older.png");
        const QString newer = writeImage("newer.png");
        files().AddRecentFile(older);
        files().AddRecentFile(newer);
        files().RecentFileItem(1)->trigger();
        QCOMPARE(windowCount(), 1);
        QCOMPARE(window_->ActiveDocument()->OriginalFileName(), older);
        QCOMPARE(files().RecentFile(0), newer);
    }

    void saveAsAndSaveWriteTheVariation() {
        frmDocument* document = files().OpenImageFile(writeImage("round.png"));
        QVERIFY(document);
        document->SelektiereGrafik(1);
        QCOMPARE(document->FindeSelektierteGrafik(), 1);
        const QString extension = document->GetGrafikPatternSave(1);
        const QString target = folder_.filePath("saved." + extension);
        prompts_.fileAnswers.enqueue(target);
        window_->findChild<QAction*>("mnuFileSaveAs")->trigger();
        QCOMPARE(prompts_.fileDialogs.size(), 1);
        QCOMPARE(prompts_.fileDialogs.first().title, QStringLiteral("Save Image As"));
        QCOMPARE(prompts_.fileDialogs.first().defaultSuffix, extension);
        QCOMPARE(prompts_.fileDialogs.first().folder, folder_.filePath("round." + extension));
        QVERIFY(prompts_.messages.isEmpty());
        QVERIFY(QFileInfo(target).size() > 0);

        const imaging::Image saved = imaging::loadFile(target.toStdString());
        QCOMPARE(saved.frames.front().bitmap.width(), 64);
        QCOMPARE(saved.frames.front().bitmap.height(), 48);
        QCOMPARE(files().RecentFile(0), target);
        // The Variation's caption tells the size of the file Save writes, and the rest of its
        // statistics follow from that size.
        const qint64 savedSize = QFileInfo(target).size();
        const qint64 originalSize = QFileInfo(document->OriginalFileName()).size();
        const int bits = document->picCompress(1).InfoBits();
        const QString expected = QLocale().toString(savedSize) + " Bytes, " + document->GetGrafikFilterSave(1) + ", " +
                                 QString::number(bits) + (bits > 1 ? " Bits" : " Bit") + ", " +
                                 QLocale().toString(qRound(100.0 * savedSize / originalSize)) + "%, " +
                                 document->QualityCaptionPart(1).mid(2) + (document->QualityCaptionPart(1).isEmpty() ? "" : ", ") +
                                 QLocale().toString(savedSize / 28800.0 * 9.0, 'f', 1) + "sec.";
        QCOMPARE(document->LabelCompress(1)->text(), expected);

        // Save now goes to the same file without asking.
        QVERIFY(QFile::remove(target));
        prompts_.clear();
        window_->findChild<QAction*>("mnuFileSave")->trigger();
        QVERIFY(prompts_.fileDialogs.isEmpty());
        QVERIFY(QFileInfo(target).size() > 0);
    }

    // A Variation saved as BMP and then switched to PNG is offered a ".png" name: the dialog
    // keeps an extension it is given, and would write PNG data under the old one.
    void saveAsProposesTheExtensionOfThePresentFormat() {
        frmDocument* document = files().OpenImageFile(writeImage("shift.png"));
        QVERIFY(document);
        document->SelektiereGrafik(1);
        document->record(1).Format = save_format::Bmp;
        document->AktualisiereVariation(1);
        const QString bmp = folder_.filePath("shift.bmp");
        prompts_.fileAnswers.enqueue(bmp);
        window_->findChild<QAction*>("mnuFileSaveAs")->trigger();
        QCOMPARE(prompts_.fileDialogs.last().folder, bmp);
        QVERIFY(readAll(bmp).startsWith("BM"));

        document->record(1).Format = save_format::Png;
        document->AktualisiereVariation(1);
        window_->findChild<QAction*>("mnuFileSaveAs")->trigger();
        QCOMPARE(prompts_.fileDialogs.last().folder, folder_.filePath("shift.png"));
        QCOMPARE(prompts_.fileDialogs.last().defaultSuffix, QStringLiteral("png"));
        // Save has no file of this format to go to and asks with the same proposal.
        window_->findChild<QAction*>("mnuFileSave")->trigger();
        QCOMPARE(prompts_.fileDialogs.size(), 3);
        QCOMPARE(prompts_.fileDialogs.last().folder, folder_.filePath("shift.png"));
    }

    void saveAsCancelledWritesNothing() {
        frmDocument* document = files().OpenImageFile(writeImage("cancel.png"));
        document->SelektiereGrafik(1);
        const int before = static_cast<int>(QDir(folder_.path()).entryList(QDir::Files).size());
        window_->findChild<QAction*>("mnuFileSaveAs")->trigger();
        QCOMPARE(prompts_.fileDialogs.size(), 1);
        // Never saved yet: Save has no file to go to and asks like Save As.
        window_->findChild<QAction*>("mnuFileSave")->trigger();
        QCOMPARE(prompts_.fileDialogs.size(), 2);
        QCOMPARE(prompts_.fileDialogs.last().title, QStringLiteral("Save Image As"));
        QCOMPARE(static_cast<int>(QDir(folder_.path()).entryList(QDir::Files).size()), before);
        QCOMPARE(files().RecentFile(0), QString());
    }

    void theOriginalIsNeverSaved_data() {
        QTest::addColumn<QString>("command");
        QTest::newRow("save") << "mnuFileSave";
        QTest::newRow("save as") << "mnuFileSaveAs";
        QTest::newRow("toolbar") << "tbSave";
    }

    void theOriginalIsNeverSaved() {
        QFETCH(QString, command);
        frmDocument* document = files().OpenImageFile(writeImage("master.png"));
        document->SelektiereGrafik(0);
        window_->ToolbarAktualisieren(true);  // whatever the document made of the save commands
        window_->findChild<QAction*>(command)->trigger();
        QCOMPARE(prompts_.messageTexts(), QStringList{"The master image cannot be saved!"});
        QCOMPARE(prompts_.messages.first().icon, QMessageBox::Warning);
        QVERIFY(prompts_.fileDialogs.isEmpty());
    }

    void aFailedSaveKeepsThePreviousFile() {
        frmDocument* document = files().OpenImageFile(writeImage("keep.png"));
        document->SelektiereGrafik(1);
        const QString target = folder_.filePath("precious.gif");
        writeAll(target, "the previous content");
        // Nothing to write: the engine refuses, and the refusal must not cost the old file.
        document->picCompress(1).ClearBitmap();
        QVERIFY(!files().SaveVariationFile(1, target));
        // The message, then the engine's reason on a line of its own.
        QCOMPARE(prompts_.messageTexts(), QStringList{"Error saving file!\nsave: there is no image to save"});
        QCOMPARE(readAll(target), QByteArray("the previous content"));
        // A failed Save As does not make the path the Variation's save target.
        prompts_.clear();
        prompts_.fileAnswers.enqueue(target);
        window_->findChild<QAction*>("mnuFileSaveAs")->trigger();
        QCOMPARE(prompts_.messageTexts(), QStringList{"Error saving file!\nsave: there is no image to save"});
        QCOMPARE(readAll(target), QByteArray("the previous content"));
        QVERIFY(document->GetGrafikFileNameDefault(1) != target);
        QCOMPARE(files().RecentFile(0), QString());
    }

    // Save As onto a full disk: the old file stays whole, nothing is recorded as saved, and the
    // message names the reason and the path.
    void saveAsOntoAFullDiskKeepsTheOldFileAndSaysWhy() {
        const QString mountPoint = folder_.filePath("small");
        QVERIFY(QDir().mkpath(mountPoint));
        if (::mount("tmpfs", mountPoint.toLocal8Bit().constData(), "tmpfs", 0, "size=64k") != 0)
            QSKIP(qPrintable(QStringLiteral("cannot mount a small tmpfs here (%1)").arg(QString::fromLocal8Bit(std::strerror(errno)))));
        struct Unmount {
            QByteArray path;
            ~Unmount() { ::umount2(path.constData(), MNT_DETACH); }
        } unmount{mountPoint.toLocal8Bit()};
        const QString target = mountPoint + QStringLiteral("/old.gif");
        const QByteArray old(20000, 'o');
        writeAll(target, old);
        {
            QFile filler(mountPoint + QStringLiteral("/filler"));
            QVERIFY(filler.open(QIODevice::WriteOnly));
            const QByteArray block(4096, 'f');
            while (filler.write(block) == block.size() && filler.flush()) {
            }
        }
        frmDocument* document = files().OpenImageFile(writeImage("full.png", 120, 90));
        QVERIFY(document);
        document->SelektiereGrafik(1);
        prompts_.clear();
        prompts_.fileAnswers.enqueue(target);
        window_->findChild<QAction*>("mnuFileSaveAs")->trigger();
        QCOMPARE(prompts_.messages.size(), 1);
        const QString text = prompts_.messages.first().text;
        QVERIFY2(text.startsWith(QStringLiteral("Error saving file!\n")), qPrintable(text));
        QVERIFY2(text.contains(target), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("No space left on device")), qPrintable(text));
        QCOMPARE(readAll(target), old);
        QVERIFY(document->GetGrafikFileNameDefault(1) != target);
        QCOMPARE(files().RecentFile(0), QString());
        // No temporary stays behind.
        QCOMPARE(QDir(mountPoint).entryList(QDir::Files | QDir::Hidden).size(), 2);
    }

    // Save As onto a device writes through it (as the command line does); the device node is
    // never replaced by a regular file.
    void saveAsOntoADeviceWritesThroughIt() {
        const QString node = folder_.filePath("null-device.gif");
        if (::mknod(node.toLocal8Bit().constData(), S_IFCHR | 0666, makedev(1, 3)) != 0)
            QSKIP(qPrintable(QStringLiteral("cannot make a device node here (%1)").arg(QString::fromLocal8Bit(std::strerror(errno)))));
        frmDocument* document = files().OpenImageFile(writeImage("device.png"));
        QVERIFY(document);
        document->SelektiereGrafik(1);
        prompts_.clear();
        prompts_.fileAnswers.enqueue(node);
        window_->findChild<QAction*>("mnuFileSaveAs")->trigger();
        QVERIFY2(prompts_.messages.isEmpty(), qPrintable(prompts_.messageTexts().join('|')));
        struct stat st {};
        QCOMPARE(::lstat(node.toLocal8Bit().constData(), &st), 0);
        QVERIFY(S_ISCHR(st.st_mode));
        QCOMPARE(files().RecentFile(0), node);
    }

    void newDocumentIsBlankWhite() {
        window_->findChild<QAction*>("mnuFileNew")->trigger();
        QCOMPARE(windowCount(), 1);
        frmDocument* document = window_->ActiveDocument();
        QVERIFY(document);
        QCOMPARE(document->picOriginal().BitmapWidth(), 320);
        QCOMPARE(document->picOriginal().BitmapHeight(), 200);
        QCOMPARE(document->picOriginal().BitmapBits(), 24);
        QCOMPARE(document->picOriginal().Pixel(17, 33), 0xFFFFFFu);
        QCOMPARE(document->windowTitle(), "Image" + QString::number(ImageCounter));
    }

    void closeUnloadsTheActiveDocument() {
        QVERIFY(files().OpenImageFile(writeImage("close.png")));
        window_->findChild<QAction*>("mnuFileClose")->trigger();
        QTRY_COMPARE(windowCount(), 0);
        QTRY_COMPARE(OpenDocumentCount, 0);
        QVERIFY(!window_->findChild<QAction*>("mnuFileSave")->isEnabled());
        QCOMPARE(window_->PanelText("PanelMemSize"), QString());
    }
};

QTEST_MAIN(FileCommandsTest)
#include "filecommands_test.moc"
