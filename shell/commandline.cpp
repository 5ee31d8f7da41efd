#include "shell/commandline.h"

#include <QFileInfo>
#include <QRegularExpression>

namespace kalmira {

QStringList SplitCommandLine(const QString& commandLine, int maximum) {
    static const QRegularExpression separators(QStringLiteral("[ \\t]+"));
    QStringList words = commandLine.split(separators, Qt::SkipEmptyParts);
    if (maximum >= 0 && words.size() > maximum) {
        words.resize(maximum);
    }
    return words;
}

QStringList GetCommandLine(const QStringList& arguments, int maximum) {
    QStringList words;
    for (const QString& argument : arguments) {
        if (maximum >= 0 && words.size() >= maximum) {
            break;
        }
        const QFileInfo info(argument);
        if (info.exists() && info.isFile()) {
            words.append(argument);
        } else {
            words.append(SplitCommandLine(argument, -1));
        }
    }
    if (maximum >= 0 && words.size() > maximum) {
        words.resize(maximum);
    }
    return words;
}

}  // namespace kalmira
