#pragma once
// The text table's storage and its file format: rows "id<TAB>text", one per line, UTF-8;
// "\t", "\n", "\s" and "\\" in the text stand for tab, line break, blank and backslash ("\s"
// is needed only at either end of a text, where a blank would be invisible). Empty lines and
// lines starting with "#" are skipped. The table is read from every *.tsv of a folder (the
// program's own resource folder, where each area may add a file of its own).

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

namespace kalmira {

class TextTable {
public:
    // A row that could not be read, or an id given twice (the first one is kept).
    struct Problem {
        QString file;
        int line = 0;
        QString reason;
    };

    // Every *.tsv of the folder, in file-name order.
    static TextTable loadDirectory(const QString& folder);

    // Adds the rows of one file's content; `file` names it in problems.
    void addRows(const QString& content, const QString& file);

    // The text at this id, or an empty string when there is none.
    QString text(int id) const { return texts_.value(id); }
    bool contains(int id) const { return texts_.contains(id); }
    QList<int> ids() const { return texts_.keys(); }
    int size() const { return static_cast<int>(texts_.size()); }
    const QList<Problem>& problems() const { return problems_; }
    // The file each id came from.
    QString fileOf(int id) const { return origin_.value(id); }

    static QString unescape(const QString& field);

private:
    QHash<int, QString> texts_;
    QHash<int, QString> origin_;
    QList<Problem> problems_;
};

}  // namespace kalmira
