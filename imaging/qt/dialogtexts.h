#pragma once
// Where the engine's own dialogs take their captions: the program hands in its localised text
// table; without one (the command-line tool, tests of the engine alone) the English texts
// written beside each id are shown.

#include <QString>

#include <functional>

namespace imaging {

// Returns the text of an id, or an empty string when the table has none.
using DialogTextSource = std::function<QString(int id)>;
void SetDialogTextSource(DialogTextSource source);
// The table's text for `id`, else `english`.
QString DialogText(int id, const char* english);

}  // namespace imaging
