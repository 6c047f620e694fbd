#include "ui/RoundedPanel.h"

#include <QPainter>
#include <QPainterPath>

void RoundedPanel::paint(QPainter& painter, const QRectF& rect) const
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    if (fill.alpha() > 0) {
        QPainterPath shape;
        shape.addRoundedRect(rect, radius, radius);
        painter.fillPath(shape, fill);
    }
    if (borderWidth > 0 && border.alpha() > 0) {
        const qreal inset = borderWidth / 2;
        const QRectF edge = rect.adjusted(inset, inset, -inset, -inset);
        const qreal r = qMax<qreal>(0, radius - inset);
        painter.setPen(QPen(border, borderWidth));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(edge, r, r);
    }
    painter.restore();
}
