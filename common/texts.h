#pragma once
// The localised text table. Texts are rows of resources/text/*.tsv, compiled into
// the program as a Qt resource: English at the id, German at id + 10000.
//
// LocalizeForm maps the design's control types onto Qt widgets. A "Tag" is the dynamic
// property "Tag" (a number, or a string holding one). Each id is looked up at id +
// LanguageOffset; a missing text, or a Tag/text/tooltip that is not a whole number, leaves the
// design-time text as it was (no "*error*" here, unlike LoadText):
//   - the form itself:        windowTitle  <- text(Tag of the form)
//   - QLabel:                 text         <- text(Tag)
//   - QMenu:                  title        <- text(title): a menu's design-time title is its id
//   - QAction (any, incl. those in menus and tool bars):
//                             text         <- text(text) when the design text is an id
//                             toolTip      <- text(toolTip) when the design tooltip is an id
//   - QTabWidget / QTabBar:   tab text     <- text(tab text), tab tooltip <- text(tab tooltip)
//                             (a tab page's own "Tag" property, if set, wins for the text)
//   - QComboBox:              item i       <- text(item i) for items that are ids
//   - QToolBar:               each action's toolTip <- text(toolTip) (see QAction)
//   - QTreeWidget / QTableWidget: header section text <- text(section text) when it is an id;
//                             a "Tag" property holding a list of ids ("1,2,3") wins
//   - any other widget:       "Tag" > 0 -> text (QAbstractButton::text, QGroupBox::title,
//                             QLineEdit placeholder is left alone); toolTip id > 0 -> toolTip

#include <QString>

class QWidget;

namespace kalmira {

inline constexpr const char* kMissingText = "*error*";

// The text at id + LanguageOffset, or "*error*" when there is none (or the sum overflows).
QString LoadText(int id);

// The text at exactly this table id (no offset added), or an empty string when missing.
QString LookupTextAbsolute(long long tableId);

// Localises a form in place; never throws.
void LocalizeForm(QWidget* form);

}  // namespace kalmira
