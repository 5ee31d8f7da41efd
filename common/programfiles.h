#pragma once
// Files the program ships beside it: found next to the executable when it runs from its build
// folder, and in <prefix>/share/kalmira when it is installed (<prefix>/bin/kalmira).

#include <QString>

namespace kalmira {

// The first of <program folder>/name and <program folder>/../share/kalmira/name that exists;
// when neither does, the first, so a message names the place looked in.
QString FindProgramFile(const QString& name);

// The same from a given program folder (for tests).
QString FindProgramFile(const QString& name, const QString& programFolder);

}  // namespace kalmira
