// The error report as the user meets it: the message box, its answers, and the pointer.
#include "common/apperror.h"
#include "common/errortrap.h"
#include "common/globals.h"
#include "common/routines.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

namespace kalmira {

class ErrorReportTest : public QObject {
    Q_OBJECT

private:
    struct Seen {
        QString title;
        QString text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        bool hasOkAndCancel = false;
    };

    // Presses `button` in the next modal message box and records what it showed.
    void answerNextBox(QMessageBox::StandardButton button, Seen& seen) {
        QTimer::singleShot(0, this, [button, &seen] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) {
                return;
            }
            seen = {box->windowTitle(), box->text(), box->icon(),
                    box->button(QMessageBox::Ok) && box->button(QMessageBox::Cancel)};
            box->button(button)->click();
        });
    }

    int terminations_ = 0;

private slots:
    void init() {
        LanguageOffset = 0;
        ErrorTrapping = true;
        terminations_ = 0;
        SetReportPrompt(nullptr);  // the real message box
        SetProcessTerminator([this] { ++terminations_; });
    }
    void cleanup() {
        SetProcessTerminator(nullptr);
        ShowDefaultPointer();
    }

    void okReturnsToTheProgram() {
        Seen seen;
        answerNextBox(QMessageBox::Ok, seen);
        QVERIFY(!Guarded([] { throw AppError(91, QStringLiteral("Object variable not set")); }));
        QCOMPARE(seen.title, QStringLiteral("Error"));
        QCOMPARE(seen.text, QStringLiteral("An unexpected error occured: \n(91) Object variable not set\n"
                                           "Do you want to continue?"));
        QCOMPARE(seen.icon, QMessageBox::Critical);
        QVERIFY(seen.hasOkAndCancel);
        QCOMPARE(terminations_, 0);
    }

    void cancelEndsTheProgram() {
        Seen seen;
        answerNextBox(QMessageBox::Cancel, seen);
        Guarded([] { throw AppError(5, QStringLiteral("x")); });
        QCOMPARE(terminations_, 1);
    }

    void germanReport() {
        LanguageOffset = kGermanLanguageOffset;
        Seen seen;
        answerNextBox(QMessageBox::Ok, seen);
        Guarded([] { throw AppError(5, QStringLiteral("x")); });
        QCOMPARE(seen.title, QStringLiteral("Fehler"));
        QVERIFY(seen.text.startsWith(QStringLiteral("Ein unerwarteter Fehler ist aufgetreten: \n(5) x\n")));
    }

    // The report puts the pointer back to default, even from deep in a busy operation.
    void reportRestoresTheDefaultPointer() {
        ShowBusyPointer();
        QApplication::setOverrideCursor(Qt::IBeamCursor);  // pushed by someone else meanwhile
        Seen seen;
        answerNextBox(QMessageBox::Ok, seen);
        Guarded([] { throw AppError(5, QStringLiteral("x")); });
        QVERIFY(!QApplication::overrideCursor());
    }

    // The program keeps one pointer state: switching never stacks override cursors.
    void pointerRoutinesKeepOneState() {
        ShowBusyPointer();
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        ShowCrossPointer();
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::CrossCursor);
        ShowBusyPointer();
        QApplication::restoreOverrideCursor();
        QVERIFY(!QApplication::overrideCursor());
        ShowDefaultPointer();
        QVERIFY(!QApplication::overrideCursor());
    }
};

}  // namespace kalmira

QTEST_MAIN(kalmira::ErrorReportTest)
#include "errorreport_test.moc"
