// Every window in both languages at the default font: no caption is cut, and no "&" meant as
// an accelerator shows as a character (offscreen).

#include "common/frmsplash.h"
#include "common/globals.h"
#include "settings/frmgif.h"
#include "settings/frmjpeg.h"
#include "settings/frmoptions.h"
#include "shell/frmmain.h"
#include "tools/frmtools.h"

#include "document/frmdocument.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStyle>
#include <QStyleOptionGroupBox>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>

using namespace kalmira;

namespace {

// The widgets of `window` whose text does not fit the room they were given.
QStringList clippedTexts(QWidget& window) {
    QStringList clipped;
    window.ensurePolished();
    const auto describe = [](const QWidget* w, const QString& text, int need, int have) {
        return QStringLiteral("%1 \"%2\" needs %3, has %4").arg(w->objectName(), text).arg(need).arg(have);
    };
    for (QLabel* label : window.findChildren<QLabel*>()) {
        if (label->text().isEmpty() || !label->pixmap().isNull()) continue;
        if (label->wordWrap()) {
            const int need = label->heightForWidth(label->width());
            if (need > label->height() + 1)
                clipped.append(describe(label, label->text(), need, label->height()) + QStringLiteral(" (height)"));
            continue;
        }
        const QSize need = label->sizeHint();
        if (need.width() > label->width() + 1 || need.height() > label->height() + 1)
            clipped.append(describe(label, label->text(), need.width(), label->width()));
        if (label->text().count(QLatin1Char('&')) == 1 && !label->buddy() && label->textFormat() != Qt::RichText)
            clipped.append(label->objectName() + QStringLiteral(": \"&\" shown as a character: ") + label->text());
    }
    for (QAbstractButton* button : window.findChildren<QAbstractButton*>()) {
        const bool captioned = qobject_cast<QCheckBox*>(button) || qobject_cast<QRadioButton*>(button) ||
                               qobject_cast<QPushButton*>(button);
        if (button->text().isEmpty() || !captioned) continue;
        // A push button's size hint has a minimum width of its own; what must fit is its text.
        QString shown = button->text();
        shown.remove(QRegularExpression(QStringLiteral("&(?!&)")));
        const int need = qobject_cast<QPushButton*>(button)
                             ? button->fontMetrics().horizontalAdvance(shown) + 8
                             : button->sizeHint().width();
        if (need > button->width() + 1) clipped.append(describe(button, button->text(), need, button->width()));
    }
    for (QGroupBox* group : window.findChildren<QGroupBox*>()) {
        if (group->title().isEmpty()) continue;
        const int need = group->fontMetrics().horizontalAdvance(group->title()) + 16;
        if (need > group->width()) clipped.append(describe(group, group->title(), need, group->width()));
    }
    return clipped;
}

}  // namespace

class TextsFitTest : public QObject {
    Q_OBJECT

private:
    void checkAll() {
        QStringList clipped;
        const auto check = [&clipped](const QString& name, QWidget& window) {
            for (const QString& line : clippedTexts(window)) clipped.append(name + QStringLiteral(": ") + line);
        };
        {
            frmMain main;
            main.Load({});
            check(QStringLiteral("frmMain"), main);
            frmTools tools(&main);
            // Each face and each group frame in turn, as the user switches to them.
            tools.ShowOriginalFace();
            for (QWidget* frame : tools.findChildren<QWidget*>()) frame->setVisible(true);
            check(QStringLiteral("frmTools"), tools);
        }
        {
            frmOptions options;
            for (int tab = 0; tab < 3; ++tab) {
                options.findChild<QTabWidget*>(QStringLiteral("tbsOptions"))->setCurrentIndex(tab);
                check(QStringLiteral("frmOptions"), options);
            }
            frmGIF gif(options);
            check(QStringLiteral("frmGIF"), gif);
            frmJPEG jpeg(options);
            check(QStringLiteral("frmJPEG"), jpeg);
        }
        {
            frmSplash splash;
            check(QStringLiteral("frmSplash"), splash);
            frmDocument document;
            check(QStringLiteral("frmDocument"), document);
        }
        clipped.removeDuplicates();
        for (const QString& line : clipped) qWarning("%s", qPrintable(line));
        QVERIFY2(clipped.isEmpty(), "texts are cut (listed above)");
    }

private slots:
    void initTestCase() { InitApplication(); }

    void englishTextsFit() {
        LanguageOffset = 0;
        checkAll();
    }

    void germanTextsFit() {
        LanguageOffset = kGermanLanguageOffset;
        checkAll();
        LanguageOffset = 0;
    }
};

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("KALMIRA_LANGUAGE", "en");
    QTemporaryDir config;
    if (qEnvironmentVariableIsEmpty("XDG_CONFIG_HOME")) qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    QApplication app(argc, argv);
    TextsFitTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "textsfit_test.moc"
