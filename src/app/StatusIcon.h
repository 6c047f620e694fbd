#pragma once

#include <QIcon>
#include <QString>

// The tray icon: a symbol that tells at a glance whether expansion works.
namespace StatusIcon {

// "exclamationmark.triangle" while the keyboard cannot be watched, "pause.circle" while
// expansion is off or paused, otherwise "text.cursor".
QString symbol(bool accessibilityGranted, bool masterEnabled, bool paused);

// The symbol drawn white with a dark outline, so it reads on light and dark panels alike.
QIcon icon(const QString& symbol);

} // namespace StatusIcon
