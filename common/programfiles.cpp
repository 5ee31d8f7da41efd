#include "common/programfiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace kalmira {

QString FindProgramFile(const QString& name, const QString& programFolder) {
    const QDir folder(programFolder);
    const QString beside = folder.filePath(name);
    if (QFileInfo::exists(beside)) return beside;
    const QString installed = QDir::cleanPath(folder.filePath(QStringLiteral("../share/kalmira/") + name));
    return QFileInfo::exists(installed) ? installed : beside;
}

QString FindProgramFile(const QString& name) { return FindProgramFile(name, QCoreApplication::applicationDirPath()); }

}  // namespace kalmira
