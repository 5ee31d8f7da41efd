#include "shell/helpviewer.h"

#include "common/globals.h"
#include "common/texts.h"
#include "resources/kalmiraresources.h"
#include "settings/frmcustompalette.h"
#include "settings/frmoptions.h"
#include "tools/frmtools.h"

#include <QApplication>
#include <QFile>
#include <QHBoxLayout>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTextBrowser>
#include <QVBoxLayout>

#include <map>

namespace kalmira {

namespace {

constexpr int kTextTitle = 6420;     // "Kalmira Help"
constexpr int kTextContents = 6421;  // "&Contents"
constexpr int kTextBack = 6422;      // "&Back"
constexpr int kTextForward = 6423;   // "&Forward"
constexpr int kTextClose = 6424;     // "Close"

struct Page {
    const char* file;
    const char* anchor;
};

// Every context a window of the program sets, and the page that explains it.
const std::map<int, Page>& pages() {
    static const std::map<int, Page> table = {
        {1, {"index", nullptr}},          {1009, {"document", nullptr}},    {1011, {"license", nullptr}},
        {1013, {"options", "display"}},   {1025, {"options", "profiles"}},  {1306, {"options", "general"}},
        {1014, {"tools", "original"}},    {1017, {"tools", "variation"}},   {1100, {"tools", "resize"}},
        {1001, {"tools", "color"}},       {1102, {"tools", "filters"}},     {1104, {"tools", "special"}},
        {1200, {"tools", "format"}},      {1201, {"tools", "colors"}},      {1022, {"capture", nullptr}},
        {1023, {"palette", nullptr}},
    };
    return table;
}

QString pagePath(const QString& language, const char* file) {
    return QStringLiteral(":/kalmira/help/%1/%2.html").arg(language, QLatin1String(file));
}

QPointer<HelpViewer>& theViewer() {
    static QPointer<HelpViewer> viewer;
    return viewer;
}

}  // namespace

QUrl HelpViewer::PageForContext(int contextId) {
    InitKalmiraResources();
    const auto found = pages().find(contextId);
    const Page page = found != pages().end() ? found->second : Page{"index", nullptr};
    const QString language = LanguageOffset == kGermanLanguageOffset ? QStringLiteral("de") : QStringLiteral("en");
    QString path = pagePath(language, page.file);
    if (!QFile::exists(path)) path = pagePath(QStringLiteral("en"), page.file);
    QUrl url(QStringLiteral("qrc") + path);
    if (page.anchor) url.setFragment(QLatin1String(page.anchor));
    return url;
}

HelpViewer::HelpViewer(QWidget* owner)
    : QWidget(owner, Qt::Window), browser_(new QTextBrowser(this)), contents_(new QPushButton(LoadText(kTextContents), this)),
      back_(new QPushButton(LoadText(kTextBack), this)), forward_(new QPushButton(LoadText(kTextForward), this)) {
    setObjectName(QStringLiteral("HelpViewer"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(LoadText(kTextTitle));
    browser_->setObjectName(QStringLiteral("HelpBrowser"));
    // Links to the web open in the browser; the program's own pages stay here.
    browser_->setOpenExternalLinks(true);
    contents_->setObjectName(QStringLiteral("cmdContents"));
    back_->setObjectName(QStringLiteral("cmdBack"));
    forward_->setObjectName(QStringLiteral("cmdForward"));
    auto* close = new QPushButton(LoadText(kTextClose), this);
    close->setObjectName(QStringLiteral("cmdClose"));
    back_->setEnabled(false);
    forward_->setEnabled(false);
    connect(contents_, &QPushButton::clicked, this, [this] { ShowContext(kContents); });
    connect(back_, &QPushButton::clicked, browser_, &QTextBrowser::backward);
    connect(forward_, &QPushButton::clicked, browser_, &QTextBrowser::forward);
    connect(browser_, &QTextBrowser::backwardAvailable, back_, &QPushButton::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, forward_, &QPushButton::setEnabled);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(contents_);
    buttons->addWidget(back_);
    buttons->addWidget(forward_);
    buttons->addStretch();
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(browser_);
    resize(720, 560);
}

void HelpViewer::ShowContext(int contextId) { browser_->setSource(PageForContext(contextId)); }

HelpViewer* HelpViewer::ShowHelp(QWidget* owner, int contextId) {
    QWidget* modal = QApplication::activeModalWidget();
    QWidget* parent = modal ? modal : owner;
    QPointer<HelpViewer>& viewer = theViewer();
    if (viewer && viewer->parentWidget() != parent) viewer->close();
    if (!viewer) {
        viewer = new HelpViewer(parent);
        if (const QScreen* shown = parent ? parent->screen() : QApplication::primaryScreen())
            viewer->move(shown->availableGeometry().center() - viewer->rect().center());
    }
    viewer->ShowContext(contextId);
    viewer->show();
    viewer->raise();
    viewer->activateWindow();
    return viewer;
}

int HelpViewer::CurrentHelpContext() {
    QWidget* window = QApplication::activeWindow();
    if (auto* tools = qobject_cast<frmTools*>(window)) return tools->HelpContextID() ? tools->HelpContextID() : kContents;
    if (auto* options = qobject_cast<frmOptions*>(window)) return options->HelpContextId();
    if (auto* palette = qobject_cast<frmCustomPalette*>(window)) return palette->HelpContextID();
    // A window that sets its context as a property (the document window does), found from the
    // widget with the focus outwards.
    for (QWidget* w = QApplication::focusWidget(); w; w = w->parentWidget()) {
        bool ok = false;
        const int id = w->property("HelpContextID").toInt(&ok);
        if (ok && id > 0) return id;
    }
    // A dialog that names its context while nothing in it has the focus (the capture dialog).
    if (window) {
        bool ok = false;
        const int id = window->property("HelpContextID").toInt(&ok);
        if (ok && id > 0) return id;
    }
    return kContents;
}

}  // namespace kalmira
