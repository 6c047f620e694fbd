#pragma once

#include <QColor>
#include <QList>
#include <QPainterPath>
#include <QRectF>
#include <QString>

class QPainter;

// Small monochrome symbols that buttons name by their symbol name ("plus", "arrow.right", ...).
// They are drawn as vector paths so they stay crisp at any size and take the text colour of
// the control that shows them; a name without a drawing here is simply not shown.
class SymbolImage
{
  public:
    static bool isKnown(const QString& name);

    // Draws the symbol centred in `box` (square), strokes weighted like text of `weight`.
    static void paint(QPainter& painter, const QString& name, const QRectF& box, const QColor& color,
                      int weight = 600);

    // The areas paint() covers for the same box and weight, each to be filled whole with its
    // own fill rule: the strokes as their outlines. What must look the same as a raster and
    // as a vector drawing (the application icon) is made from these.
    static QList<QPainterPath> shapes(const QString& name, const QRectF& box, int weight = 600);
};
