#pragma once
// The command line as a list of words: split at blanks and tabs, runs of separators counting
// as one, quotation marks without meaning, at most `maximum` words.

#include <QStringList>

namespace kalmira {

inline constexpr int kDefaultCommandLineWords = 10;

QStringList SplitCommandLine(const QString& commandLine, int maximum = kDefaultCommandLineWords);

// The words to open from the arguments the program was started with. An argument that names an
// existing file is taken whole, so a path with blanks that the shell kept together still opens;
// any other argument is split at blanks and tabs like a command line. At most `maximum` words.
QStringList GetCommandLine(const QStringList& arguments, int maximum = kDefaultCommandLineWords);

}  // namespace kalmira
