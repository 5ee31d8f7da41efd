#pragma once
// Pictures of the toolbar buttons, by key. Where the style has a standard picture for the
// command it is used, so the toolbar matches the desktop; the rest are drawn.

#include <QIcon>
#include <QString>

class QStyle;

namespace kalmira {

QIcon ToolbarIcon(const QString& key, const QStyle* style);

}  // namespace kalmira
