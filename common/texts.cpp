#include "common/texts.h"

#include "resources/kalmiraresources.h"
#include "common/globals.h"
#include "common/texttable.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QDockWidget>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QSet>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolBar>
#include <QTreeWidget>
#include <QVariant>
#include <QWidget>

#include <cmath>
#include <limits>
#include <optional>

namespace kalmira {

namespace {

const TextTable& table() {
    // Read once, on first use; the resources are initialised here because a resource in a
    // static library is not registered unless something references it.
    static const TextTable loaded = [] {
        InitKalmiraResources();
        return TextTable::loadDirectory(QStringLiteral(":/kalmira/text"));
    }();
    return loaded;
}

// A design-time id as a whole number, or nothing when the text is not a number. Numbers with a
// fraction are rounded, as the design converts the id sum to a whole number.
std::optional<long long> parseId(const QString& designText) {
    const QString trimmed = designText.trimmed();
    if (trimmed.isEmpty()) {
        return std::nullopt;
    }
    bool ok = false;
    const long long whole = trimmed.toLongLong(&ok);
    if (ok) {
        return whole;
    }
    const double value = trimmed.toDouble(&ok);
    if (!ok || !std::isfinite(value) || std::fabs(value) > 1e15) {
        return std::nullopt;
    }
    return std::llround(value);
}

std::optional<long long> parseId(const QVariant& tag) {
    if (!tag.isValid() || tag.isNull()) {
        return std::nullopt;
    }
    return parseId(tag.toString());
}

// The text for a design-time id under the current offset; nothing when the id is not a
// number or the table has no such entry (the caller then keeps the design text).
std::optional<QString> localized(std::optional<long long> id) {
    if (!id) {
        return std::nullopt;
    }
    const long long tableId = *id + static_cast<long long>(LanguageOffset);
    QString text = LookupTextAbsolute(tableId);
    if (text.isEmpty()) {
        return std::nullopt;
    }
    return text;
}

std::optional<QString> localized(const QString& designText) { return localized(parseId(designText)); }
std::optional<QString> localizedTag(const QObject* object) { return localized(parseId(object->property("Tag"))); }

// The design's "any other control" rule: n = Tag + offset; only ids above 0 are looked up.
std::optional<QString> localizedPositive(std::optional<long long> id) {
    if (!id || *id + static_cast<long long>(LanguageOffset) <= 0) {
        return std::nullopt;
    }
    return localized(id);
}

void localizeToolTip(QWidget* widget) {
    if (auto text = localizedPositive(parseId(widget->toolTip()))) {
        widget->setToolTip(*text);
    }
}

void localizeAction(QAction* action) {
    if (auto text = localized(action->text())) {
        action->setText(*text);
    }
    // An action without a tooltip of its own reports its text as tooltip; after the text is
    // localised that is no longer a number, so only explicit tooltip ids are translated here.
    if (auto tip = localized(action->toolTip())) {
        action->setToolTip(*tip);
    }
}

void localizeTabBar(QTabBar* bar, QTabWidget* owner) {
    for (int i = 0; i < bar->count(); ++i) {
        std::optional<QString> text;
        if (owner && owner->widget(i)) {
            text = localizedTag(owner->widget(i));
        }
        if (!text) {
            text = localized(bar->tabText(i));
        }
        if (text) {
            bar->setTabText(i, *text);
        }
        if (auto tip = localized(bar->tabToolTip(i))) {
            bar->setTabToolTip(i, *tip);
        }
    }
}

void localizeCombo(QComboBox* combo) {
    for (int i = 0; i < combo->count(); ++i) {
        if (auto text = localized(combo->itemText(i))) {
            combo->setItemText(i, *text);
        }
    }
}

// Header ids: a "Tag" holding a comma-separated list of ids wins; otherwise each header
// section's design text is taken as its id.
template <class SetHeader>
void localizeHeaders(QObject* view, int count, const std::function<QString(int)>& headerText, SetHeader set) {
    const QStringList tagIds = view->property("Tag").toString().split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (int i = 0; i < count; ++i) {
        std::optional<QString> text;
        if (i < tagIds.size()) {
            text = localized(tagIds.at(i));
        }
        if (!text) {
            text = localized(headerText(i));
        }
        if (text) {
            set(i, *text);
        }
    }
}

void localizeTree(QTreeWidget* tree) {
    QTreeWidgetItem* header = tree->headerItem();
    if (!header) {
        return;
    }
    localizeHeaders(tree, header->columnCount(), [header](int i) { return header->text(i); },
                    [header](int i, const QString& text) { header->setText(i, text); });
}

void localizeTable(QTableWidget* table) {
    localizeHeaders(
        table, table->columnCount(),
        [table](int i) { return table->horizontalHeaderItem(i) ? table->horizontalHeaderItem(i)->text() : QString(); },
        [table](int i, const QString& text) {
            if (QTableWidgetItem* item = table->horizontalHeaderItem(i)) {
                item->setText(text);
            } else {
                table->setHorizontalHeaderItem(i, new QTableWidgetItem(text));
            }
        });
}

void localizeOther(QWidget* widget) {
    const auto text = localizedPositive(parseId(widget->property("Tag")));
    if (!text) {
        return;
    }
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->setText(*text);
    } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
        group->setTitle(*text);
    } else if (auto* dock = qobject_cast<QDockWidget*>(widget)) {
        dock->setWindowTitle(*text);
    }
}

void localizeWidget(QWidget* widget) {
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        if (auto text = localizedTag(label)) {
            label->setText(*text);
        }
    } else if (auto* menu = qobject_cast<QMenu*>(widget)) {
        if (auto text = localized(menu->title())) {
            menu->setTitle(*text);
        }
    } else if (auto* tabs = qobject_cast<QTabWidget*>(widget)) {
        localizeTabBar(tabs->tabBar(), tabs);
    } else if (auto* bar = qobject_cast<QTabBar*>(widget)) {
        if (!qobject_cast<QTabWidget*>(bar->parentWidget())) {
            localizeTabBar(bar, nullptr);
        }
    } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        localizeCombo(combo);
    } else if (qobject_cast<QToolBar*>(widget)) {
        // Its buttons are actions; they are localised with the form's actions.
    } else if (auto* tree = qobject_cast<QTreeWidget*>(widget)) {
        localizeTree(tree);
    } else if (auto* tableWidget = qobject_cast<QTableWidget*>(widget)) {
        localizeTable(tableWidget);
    } else {
        localizeOther(widget);
    }
    localizeToolTip(widget);
}

}  // namespace

QString LookupTextAbsolute(long long tableId) {
    if (tableId < std::numeric_limits<int>::min() || tableId > std::numeric_limits<int>::max()) {
        return {};
    }
    return table().text(static_cast<int>(tableId));
}

QString LoadText(int id) {
    // The sum is formed in 64 bits: a sum beyond the 32-bit range is the design's overflow
    // error, which LoadText ignores and answers with "*error*".
    const QString text = LookupTextAbsolute(static_cast<long long>(id) + LanguageOffset);
    return text.isEmpty() ? QString::fromLatin1(kMissingText) : text;
}

void LocalizeForm(QWidget* form) {
    if (!form) {
        return;
    }
    try {
        if (auto title = localizedTag(form)) {
            form->setWindowTitle(*title);
        }
        // Actions first: a menu's title is its menuAction's text, so visiting each object once
        // keeps a translated text that happens to be a number from being translated again.
        QSet<QObject*> done;
        for (QMenu* menu : form->findChildren<QMenu*>()) {
            done.insert(menu->menuAction());
        }
        for (QAction* action : form->findChildren<QAction*>()) {
            if (!done.contains(action)) {
                done.insert(action);
                localizeAction(action);
            }
        }
        for (QWidget* widget : form->findChildren<QWidget*>()) {
            localizeWidget(widget);
        }
    } catch (...) {
        // Never fails: whatever could not be localised keeps its design text.
    }
}

}  // namespace kalmira
