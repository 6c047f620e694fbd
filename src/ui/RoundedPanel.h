#pragma once

#include <QColor>
#include <QRectF>

class QPainter;

// The shape every control is drawn as: a rounded rectangle filled edge to edge, with an
// optional outline stroked inside the edge (inset by half its width), so the outline never
// grows the control or gets cut off by the widget's bounds.
struct RoundedPanel
{
    qreal radius = 0;
    QColor fill = Qt::transparent;
    QColor border = Qt::transparent;
    qreal borderWidth = 0;

    void paint(QPainter& painter, const QRectF& rect) const;
};
