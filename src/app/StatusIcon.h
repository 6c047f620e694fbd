#pragma once

#include <QByteArray>
#include <QColor>
#include <QIcon>
#include <QImage>
#include <QList>
#include <QPainterPath>
#include <QString>

// The tray icon: a symbol that tells at a glance whether expansion works. Its working
// symbol is also the application's icon in the menus (installed by the build).
namespace StatusIcon {

// "exclamationmark.triangle" while the keyboard cannot be watched, "pause.circle" while
// expansion is off or paused, otherwise "text.cursor".
QString symbol(bool accessibilityGranted, bool masterEnabled, bool paused);

// One area of the artwork, filled over the ones before it.
struct Layer
{
    QPainterPath area;
    QColor color;
};

// The symbol drawn white with a dark outline, so it reads on light and dark panels alike:
// the layers at `side` pixels square, bottom first.
QList<Layer> layers(const QString& symbol, int side);

// The layers as an image, and as the tray's icon at the sizes panels use.
QImage image(const QString& symbol, int side);
QIcon icon(const QString& symbol);

// The same layers as an SVG document `side` units square.
QByteArray svg(const QString& symbol, int side);

} // namespace StatusIcon
