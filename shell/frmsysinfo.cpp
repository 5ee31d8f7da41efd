#include "shell/frmsysinfo.h"

#include "codecs/library_versions.h"
#include "common/texts.h"
#include "shell/prompts.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSysInfo>
#include <QThread>
#include <QVBoxLayout>

#include <exception>

namespace kalmira {

namespace {

constexpr int kTextTitle = 6410;
constexpr int kTextOperatingSystem = 6411;
constexpr int kTextKernel = 6412;
constexpr int kTextQt = 6413;
constexpr int kTextWindowSystem = 6414;
constexpr int kTextProcessor = 6415;
constexpr int kTextCores = 6416;
constexpr int kTextMemoryInstalled = 6417;
constexpr int kTextMemoryAvailable = 6418;
constexpr int kTextMemoryUsed = 6419;
constexpr int kTextLibraries = 6425;
constexpr int kTextCopy = 6426;
constexpr int kTextScreen = 6427;
constexpr int kTextClose = 6424;
constexpr int kTextUnavailable = 5302;

// A "Key:   123456 kB" line of a /proc file, in bytes; -1 when absent.
qint64 procValue(const QString& file, const QByteArray& key) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) return -1;
    // /proc files report size 0, so they are read whole rather than checked for their end.
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (!line.startsWith(key + ':')) continue;
        const QList<QByteArray> parts = line.mid(key.size() + 1).simplified().split(' ');
        bool ok = false;
        const qint64 value = parts.value(0).toLongLong(&ok);
        if (!ok) return -1;
        return parts.value(1) == "kB" ? value * 1024 : value;
    }
    return -1;
}

QString bytesText(qint64 bytes) {
    return bytes < 0 ? QStringLiteral("-") : QLocale().formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat);
}

}  // namespace

QString frmSysInfo::Report() {
    QStringList lines;
    const auto add = [&lines](int textId, const QString& value) { lines.append(LoadText(textId) + QStringLiteral(": ") + value); };
    add(kTextOperatingSystem, QSysInfo::prettyProductName());
    add(kTextKernel, QSysInfo::kernelType() + QLatin1Char(' ') + QSysInfo::kernelVersion());
    add(kTextQt, QStringLiteral("%1 (%2)").arg(QLatin1String(qVersion()), QLatin1String(QT_VERSION_STR)));
    add(kTextWindowSystem, QGuiApplication::platformName());
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QSize size = screen->size();
        add(kTextScreen, QStringLiteral("%1 x %2, %3 dpi").arg(size.width()).arg(size.height()).arg(qRound(screen->logicalDotsPerInch())));
    }
    add(kTextProcessor, QSysInfo::currentCpuArchitecture());
    add(kTextCores, QString::number(QThread::idealThreadCount()));
    add(kTextMemoryInstalled, bytesText(procValue(QStringLiteral("/proc/meminfo"), "MemTotal")));
    add(kTextMemoryAvailable, bytesText(procValue(QStringLiteral("/proc/meminfo"), "MemAvailable")));
    add(kTextMemoryUsed, bytesText(procValue(QStringLiteral("/proc/self/status"), "VmRSS")));
    lines.append(QString());
    lines.append(LoadText(kTextLibraries) + QLatin1Char(':'));
    for (const auto& [name, version] : imaging::libraryVersions())
        lines.append(QStringLiteral("  %1 %2").arg(QString::fromStdString(name), QString::fromStdString(version)));
    return lines.join(QLatin1Char('\n'));
}

frmSysInfo::frmSysInfo(QWidget* owner) : QDialog(owner), text_(new QPlainTextEdit(this)) {
    setObjectName(QStringLiteral("frmSysInfo"));
    setWindowTitle(LoadText(kTextTitle));
    text_->setObjectName(QStringLiteral("Text"));
    text_->setReadOnly(true);
    text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    text_->setPlainText(Report());
    auto* copy = new QPushButton(LoadText(kTextCopy), this);
    copy->setObjectName(QStringLiteral("cmdCopy"));
    auto* close = new QPushButton(LoadText(kTextClose), this);
    close->setObjectName(QStringLiteral("cmdOK"));
    close->setDefault(true);
    connect(copy, &QPushButton::clicked, this, [this] { QGuiApplication::clipboard()->setText(text_->toPlainText()); });
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(copy);
    buttons->addStretch();
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text_);
    layout->addLayout(buttons);
    resize(560, 400);
}

QString frmSysInfo::Text() const { return text_->toPlainText(); }

void frmSysInfo::ShowSystemInformation(QWidget* owner) {
    try {
        frmSysInfo window(owner);
        window.exec();
    } catch (const std::exception&) {
        MessageRequest request;
        request.text = LoadText(kTextUnavailable);
        ShowMessage(owner, request);
    }
}

}  // namespace kalmira
