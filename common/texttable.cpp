#include "common/texttable.h"

#include <QDir>
#include <QFile>

namespace kalmira {

TextTable TextTable::loadDirectory(const QString& folder) {
    TextTable table;
    const QDir dir(folder);
    const QStringList files = dir.entryList({QStringLiteral("*.tsv")}, QDir::Files, QDir::Name);
    for (const QString& name : files) {
        QFile file(dir.filePath(name));
        if (!file.open(QIODevice::ReadOnly)) {
            table.problems_.append({name, 0, QStringLiteral("cannot be read")});
            continue;
        }
        table.addRows(QString::fromUtf8(file.readAll()), name);
    }
    return table;
}

void TextTable::addRows(const QString& content, const QString& file) {
    const QStringList lines = content.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        QString line = lines.at(i);
        if (line.endsWith(QLatin1Char('\r'))) {
            line.chop(1);
        }
        if (line.trimmed().isEmpty() || line.startsWith(QLatin1Char('#'))) {
            continue;
        }
        const int tab = line.indexOf(QLatin1Char('\t'));
        bool ok = false;
        const int id = tab > 0 ? line.left(tab).trimmed().toInt(&ok) : 0;
        if (!ok) {
            problems_.append({file, i + 1, QStringLiteral("not a row \"id<TAB>text\"")});
            continue;
        }
        if (texts_.contains(id)) {
            problems_.append({file, i + 1,
                              QStringLiteral("id %1 already given in %2").arg(id).arg(origin_.value(id))});
            continue;
        }
        texts_.insert(id, unescape(line.mid(tab + 1)));
        origin_.insert(id, file);
    }
}

QString TextTable::unescape(const QString& field) {
    QString out;
    out.reserve(field.size());
    for (int i = 0; i < field.size(); ++i) {
        const QChar c = field.at(i);
        if (c != QLatin1Char('\\') || i + 1 >= field.size()) {
            out.append(c);
            continue;
        }
        const QChar next = field.at(++i);
        if (next == QLatin1Char('t')) {
            out.append(QLatin1Char('\t'));
        } else if (next == QLatin1Char('n')) {
            out.append(QLatin1Char('\n'));
        } else if (next == QLatin1Char('s')) {
            out.append(QLatin1Char(' '));
        } else if (next == QLatin1Char('\\')) {
            out.append(QLatin1Char('\\'));
        } else {
            // Not an escape: keep both characters, so a path such as "c:\temp" survives.
            out.append(c);
            out.append(next);
        }
    }
    return out;
}

}  // namespace kalmira
