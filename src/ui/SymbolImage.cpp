#include "ui/SymbolImage.h"

#include <QHash>
#include <QPainter>
#include <QPainterPath>

#include <functional>

namespace {

// Every symbol is drawn on a 16 x 16 grid and scaled to the box it is asked for.
struct Drawing
{
    QPainterPath stroked;
    QPainterPath filled;
};

QPainterPath polyline(std::initializer_list<QPointF> points, bool closed = false)
{
    QPainterPath path;
    auto it = points.begin();
    path.moveTo(*it);
    for (++it; it != points.end(); ++it)
        path.lineTo(*it);
    if (closed)
        path.closeSubpath();
    return path;
}

QPainterPath sparkle(QPointF centre, qreal radius)
{
    // A four-pointed star whose sides curve in towards the centre.
    QPainterPath path;
    const qreal x = centre.x();
    const qreal y = centre.y();
    path.moveTo(x, y - radius);
    path.quadTo(x, y, x + radius, y);
    path.quadTo(x, y, x, y + radius);
    path.quadTo(x, y, x - radius, y);
    path.quadTo(x, y, x, y - radius);
    path.closeSubpath();
    return path;
}

const QHash<QString, std::function<Drawing()>>& drawings()
{
    static const QHash<QString, std::function<Drawing()>> table = {
        {QStringLiteral("arrow.right"),
         [] {
             Drawing d;
             d.stroked.addPath(polyline({{2.5, 8}, {13.5, 8}}));
             d.stroked.addPath(polyline({{9, 3.5}, {13.5, 8}, {9, 12.5}}));
             return d;
         }},
        {QStringLiteral("checkmark"),
         [] {
             Drawing d;
             d.stroked = polyline({{2.5, 8.5}, {6.2, 12.2}, {13.5, 3.8}});
             return d;
         }},
        {QStringLiteral("plus"),
         [] {
             Drawing d;
             d.stroked.addPath(polyline({{8, 2.5}, {8, 13.5}}));
             d.stroked.addPath(polyline({{2.5, 8}, {13.5, 8}}));
             return d;
         }},
        {QStringLiteral("play.fill"),
         [] {
             Drawing d;
             d.filled = polyline({{4, 2.2}, {14, 8}, {4, 13.8}}, true);
             return d;
         }},
        {QStringLiteral("trash"),
         [] {
             Drawing d;
             d.stroked.addPath(polyline({{2, 4}, {14, 4}}));
             d.stroked.addPath(polyline({{6, 4}, {6, 2}, {10, 2}, {10, 4}}));
             d.stroked.addPath(polyline({{3.6, 4}, {4.5, 14.3}, {11.5, 14.3}, {12.4, 4}}));
             d.stroked.addPath(polyline({{6.6, 6.8}, {6.8, 11.8}}));
             d.stroked.addPath(polyline({{9.4, 6.8}, {9.2, 11.8}}));
             return d;
         }},
        {QStringLiteral("sparkles"),
         [] {
             Drawing d;
             d.filled.addPath(sparkle({6.5, 9.5}, 6));
             d.filled.addPath(sparkle({13, 3}, 2.8));
             d.filled.addPath(sparkle({13.2, 13.2}, 1.8));
             return d;
         }},
        {QStringLiteral("pencil"),
         [] {
             Drawing d;
             d.stroked = polyline({{11, 2.5}, {13.5, 5}, {5.5, 13}, {2.5, 13.5}, {3, 10.5}}, true);
             d.stroked.addPath(polyline({{9.3, 4.2}, {11.8, 6.7}}));
             return d;
         }},
        {QStringLiteral("folder"),
         [] {
             Drawing d;
             d.stroked =
                 polyline({{1.8, 3.5}, {6.3, 3.5}, {7.8, 5.3}, {14.2, 5.3}, {14.2, 13.5}, {1.8, 13.5}}, true);
             d.stroked.addPath(polyline({{1.8, 7}, {14.2, 7}}));
             return d;
         }},
        {QStringLiteral("arrow.down.doc"),
         [] {
             Drawing d;
             d.stroked = polyline({{3.5, 1.5}, {9.5, 1.5}, {12.5, 4.5}, {12.5, 14.5}, {3.5, 14.5}}, true);
             d.stroked.addPath(polyline({{8, 5.8}, {8, 11.8}}));
             d.stroked.addPath(polyline({{5.6, 9.4}, {8, 11.8}, {10.4, 9.4}}));
             return d;
         }},
        {QStringLiteral("key.fill"),
         [] {
             Drawing d;
             QPainterPath bow;
             bow.addEllipse(QPointF(5, 8), 3.8, 3.8);
             QPainterPath hole;
             hole.addEllipse(QPointF(4.2, 8), 1.2, 1.2);
             QPainterPath shaft;
             shaft.addRect(QRectF(8, 7, 6.5, 2));
             shaft.addRect(QRectF(11, 9, 1.4, 2.6));
             shaft.addRect(QRectF(13.1, 9, 1.4, 2));
             d.filled = bow.united(shaft).subtracted(hole);
             return d;
         }},
    };
    return table;
}

} // namespace

bool SymbolImage::isKnown(const QString& name)
{
    return drawings().contains(name);
}

void SymbolImage::paint(QPainter& painter, const QString& name, const QRectF& box, const QColor& color,
                        int weight)
{
    const auto it = drawings().constFind(name);
    if (it == drawings().constEnd() || box.isEmpty())
        return;
    const Drawing d = (*it)();

    const qreal side = qMin(box.width(), box.height());
    const qreal scale = side / 16.0;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(box.center() - QPointF(side / 2, side / 2));
    painter.scale(scale, scale);
    if (!d.filled.isEmpty()) {
        painter.setPen(Qt::NoPen);
        painter.fillPath(d.filled, color);
    }
    if (!d.stroked.isEmpty()) {
        // Heavier text weights get heavier strokes, as a symbol set beside text would.
        const qreal width = 1.3 + (qBound(100, weight, 900) - 400) / 500.0;
        QPen pen(color, width);
        pen.setCapStyle(Qt::RoundCap);
        pen.setJoinStyle(Qt::RoundJoin);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(d.stroked);
    }
    painter.restore();
}
