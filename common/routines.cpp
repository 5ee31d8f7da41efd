#include "common/routines.h"

#include "common/apperror.h"
#include "common/globals.h"
#include "qt/imagecontrol.h"

#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QTemporaryFile>

#include <array>

namespace kalmira {

namespace {

// The program keeps one pointer state, as the design's Screen.MousePointer: at most one
// override cursor is ever pushed, and "default" removes it (and any a dialog left behind).
void setPointer(Qt::CursorShape shape) {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        return;
    }
    if (QApplication::overrideCursor()) {
        QApplication::changeOverrideCursor(QCursor(shape));
    } else {
        QApplication::setOverrideCursor(QCursor(shape));
    }
}

// List position of each internal dithering code 0..7.
constexpr std::array<std::int16_t, 8> kListIndexOfCode = {0, 2, 4, 3, 5, 6, 7, 1};

}  // namespace

void ShowBusyPointer() { setPointer(Qt::WaitCursor); }

void ShowCrossPointer() { setPointer(Qt::CrossCursor); }

void ShowDefaultPointer() {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        return;
    }
    while (QApplication::overrideCursor()) {
        QApplication::restoreOverrideCursor();
    }
}

QString CreateTempFileName() {
    QTemporaryFile file(QDir(QDir::tempPath()).filePath(QStringLiteral("kmXXXXXX.tmp")));
    file.setAutoRemove(false);
    if (!file.open()) {
        throw AppError(75, QStringLiteral("Path/File access error: %1").arg(file.errorString()));
    }
    const QString name = file.fileName();
    file.close();
    TempFilePending = true;
    return name;
}

void DeleteTempFile(const QString& fileName) {
    if (TempFilePending) {
        QFile::remove(fileName);
    }
    TempFilePending = false;
}

std::int16_t DitherCodeToListIndex(std::int16_t code) {
    if (code < 0 || code >= static_cast<std::int16_t>(kListIndexOfCode.size())) {
        return 0;
    }
    return kListIndexOfCode[static_cast<std::size_t>(code)];
}

std::int16_t ListIndexToDitherCode(std::int16_t index) {
    for (std::size_t code = 0; code < kListIndexOfCode.size(); ++code) {
        if (kListIndexOfCode[code] == index) {
            return static_cast<std::int16_t>(code);
        }
    }
    return 0;
}

QString GetFolderOfPath(const QString& path) {
    const qsizetype cut = std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    return cut < 0 ? QString() : path.left(cut + 1);
}

bool IsAnimatedImage(bool infoAnimation, int infoPage, int infoFormat) {
    return infoAnimation || (infoPage > 1 && infoFormat == kEngineFormatGif);
}

bool IsAnimatedImage(const imaging::ImageControl& control) {
    return IsAnimatedImage(control.InfoAnimation(), control.InfoPage(), control.InfoFormat());
}

namespace {

struct Channels {
    int red, green, blue;
};

// The design writes the colour as hexadecimal padded to six digits and takes the last two as
// red, the middle two as green and the first two as blue. For values above 0xFFFFFF (a
// palette reference 0x1000000 + n) the hex text is longer and "the first two" still means the
// first two characters of it.
Channels splitColor(std::int32_t color) {
    QString hex = QString::number(static_cast<std::uint32_t>(color), 16).toUpper();
    hex = hex.rightJustified(6, QLatin1Char('0'));
    const auto part = [](const QString& digits) { return digits.toInt(nullptr, 16); };
    return {part(hex.right(2)), part(hex.mid(hex.size() - 4, 2)), part(hex.left(2))};
}

}  // namespace

QString ColorToRgbText(std::int32_t color) {
    const Channels c = splitColor(color);
    return QStringLiteral("%1, %2, %3").arg(c.red).arg(c.green).arg(c.blue);
}

QString ColorToDigits(std::int32_t color) {
    const Channels c = splitColor(color);
    const auto three = [](int value) { return QStringLiteral("%1").arg(value, 3, 10, QLatin1Char('0')); };
    return three(c.red) + three(c.green) + three(c.blue);
}

}  // namespace kalmira
