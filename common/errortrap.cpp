#include "common/errortrap.h"

#include "imaging/core/error.h"
#include "common/apperror.h"
#include "common/globals.h"
#include "common/routines.h"
#include "common/texts.h"

#include <QApplication>
#include <QMessageBox>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <new>

namespace kalmira {

namespace {

ReportAnswer showReportBox(const QString& title, const QString& message) {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        // No windows (a test or tool without QApplication): say it on stderr and go on.
        std::fprintf(stderr, "%s\n", qUtf8Printable(message));
        return ReportAnswer::Ok;
    }
    QMessageBox box(QMessageBox::Critical, title, message, QMessageBox::Ok | QMessageBox::Cancel,
                    QApplication::activeWindow());
    return box.exec() == QMessageBox::Cancel ? ReportAnswer::Cancel : ReportAnswer::Ok;
}

[[noreturn]] void endProcessAtOnce() {
    // No unload handlers, no settings written, no buffers flushed: the design's End.
    std::_Exit(1);
}

ReportPrompt& prompt() {
    static ReportPrompt current = showReportBox;
    return current;
}

ProcessTerminator& terminator() {
    static ProcessTerminator current = endProcessAtOnce;
    return current;
}

}  // namespace

ReportPrompt SetReportPrompt(ReportPrompt replacement) {
    ReportPrompt previous = prompt();
    prompt() = replacement ? std::move(replacement) : ReportPrompt(showReportBox);
    return previous;
}

ProcessTerminator SetProcessTerminator(ProcessTerminator replacement) {
    ProcessTerminator previous = terminator();
    terminator() = replacement ? std::move(replacement) : ProcessTerminator(endProcessAtOnce);
    return previous;
}

bool IsSilentCancel(int number) {
    return number == kEngineDialogCancelled || number == kCommonDialogCancelled;
}

ErrorInfo DescribeException(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const AppError& e) {
        return {e.number(), e.description()};
    } catch (const imaging::Error& e) {
        return {e.number(), QString::fromUtf8(e.what())};
    } catch (const std::bad_alloc&) {
        return {kOutOfMemoryNumber, QStringLiteral("Out of memory")};
    } catch (const std::exception& e) {
        return {kUnexpectedErrorNumber, QString::fromUtf8(e.what())};
    } catch (...) {
        return {kUnexpectedErrorNumber, QStringLiteral("Unknown error")};
    }
}

void ReportError(const ErrorInfo& error) {
    ShowDefaultPointer();
    const QString message = LoadText(5002) + QLatin1Char('\n') + QLatin1Char('(') + QString::number(error.number) +
                            QStringLiteral(") ") + error.description + QLatin1Char('\n') + LoadText(5003);
    if (prompt()(LoadText(5004), message) == ReportAnswer::Cancel) {
        terminator()();
    }
}

void HandleCurrentError() {
    if (!ErrorTrapping) {
        throw;
    }
    const ErrorInfo info = DescribeException(std::current_exception());
    if (IsSilentCancel(info.number)) {
        return;
    }
    ReportError(info);
}

}  // namespace kalmira
