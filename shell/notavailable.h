#pragma once
// The one place every command without an implementation in this build ends up: a message that
// names the command and says it is not available yet. Keeping them all here makes the list of
// what is missing a single search away.

#include <QString>

class QWidget;

namespace kalmira {

// Text id of "This command is not available yet: " (English; German at + 10000).
inline constexpr int kTextCommandNotAvailable = 5900;

// Shows the message for the command whose menu item or toolbar button is `commandName`
// (its objectName); the localised caption of that command is part of the text.
void ShowCommandNotAvailable(QWidget* owner, const QString& commandName, const QString& caption);

}  // namespace kalmira
