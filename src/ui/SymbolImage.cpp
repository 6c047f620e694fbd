#include "ui/SymbolImage.h"

#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QTransform>

#include <cmath>
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
        // The tray icon's three states and the settings window's tabs.
        {QStringLiteral("text.cursor"),
         [] {
             Drawing d;
             d.stroked = polyline({{8, 2.5}, {8, 13.5}});
             d.stroked.addPath(polyline({{5.5, 2}, {6.6, 2}, {8, 3}, {9.4, 2}, {10.5, 2}}));
             d.stroked.addPath(polyline({{5.5, 14}, {6.6, 14}, {8, 13}, {9.4, 14}, {10.5, 14}}));
             return d;
         }},
        {QStringLiteral("pause.circle"),
         [] {
             Drawing d;
             d.stroked.addEllipse(QPointF(8, 8), 6.3, 6.3);
             d.stroked.addPath(polyline({{6.4, 5.4}, {6.4, 10.6}}));
             d.stroked.addPath(polyline({{9.6, 5.4}, {9.6, 10.6}}));
             return d;
         }},
        {QStringLiteral("exclamationmark.triangle"),
         [] {
             Drawing d;
             d.stroked = polyline({{8, 1.8}, {14.8, 14}, {1.2, 14}}, true);
             d.stroked.addPath(polyline({{8, 6}, {8, 9.6}}));
             d.filled.addEllipse(QPointF(8, 11.9), 0.95, 0.95);
             return d;
         }},
        {QStringLiteral("text.badge.plus"),
         [] {
             Drawing d;
             d.stroked = polyline({{1.5, 4}, {9, 4}});
             d.stroked.addPath(polyline({{1.5, 8}, {7, 8}}));
             d.stroked.addPath(polyline({{1.5, 12}, {7, 12}}));
             d.stroked.addPath(polyline({{12, 7.5}, {12, 14.5}}));
             d.stroked.addPath(polyline({{8.5, 11}, {15.5, 11}}));
             return d;
         }},
        {QStringLiteral("wand.and.sparkles"),
         [] {
             Drawing d;
             d.stroked = polyline({{2, 14}, {10, 6}});
             d.filled = sparkle(QPointF(12, 3.5), 2.6);
             d.filled.addPath(sparkle(QPointF(5, 3.5), 1.6));
             d.filled.addPath(sparkle(QPointF(13, 10), 1.6));
             return d;
         }},
        {QStringLiteral("lightbulb"),
         [] {
             Drawing d;
             QPainterPath bulb;
             bulb.moveTo(6, 11);
             bulb.cubicTo(6, 9, 3.2, 8, 3.2, 5.6);
             bulb.cubicTo(3.2, 3, 5.4, 1.2, 8, 1.2);
             bulb.cubicTo(10.6, 1.2, 12.8, 3, 12.8, 5.6);
             bulb.cubicTo(12.8, 8, 10, 9, 10, 11);
             bulb.closeSubpath();
             d.stroked = bulb;
             d.stroked.addPath(polyline({{6.2, 13}, {9.8, 13}}));
             d.stroked.addPath(polyline({{6.8, 15}, {9.2, 15}}));
             return d;
         }},
        {QStringLiteral("gearshape"),
         [] {
             Drawing d;
             QPainterPath gear;
             // Eight teeth around a ring: alternate outer and inner radii.
             const int points = 16;
             for (int i = 0; i < points; ++i) {
                 const qreal a1 = (i - 0.28) * 2 * M_PI / points;
                 const qreal a2 = (i + 0.28) * 2 * M_PI / points;
                 const qreal r = (i % 2 == 0) ? 7.0 : 5.4;
                 const QPointF p1(8 + r * std::cos(a1), 8 + r * std::sin(a1));
                 const QPointF p2(8 + r * std::cos(a2), 8 + r * std::sin(a2));
                 if (i == 0)
                     gear.moveTo(p1);
                 else
                     gear.lineTo(p1);
                 gear.lineTo(p2);
             }
             gear.closeSubpath();
             QPainterPath hole;
             hole.addEllipse(QPointF(8, 8), 2.2, 2.2);
             d.filled = gear.subtracted(hole);
             return d;
         }},
        {QStringLiteral("xmark"),
         [] {
             Drawing d;
             d.stroked.addPath(polyline({{3.5, 3.5}, {12.5, 12.5}}));
             d.stroked.addPath(polyline({{12.5, 3.5}, {3.5, 12.5}}));
             return d;
         }},
        {QStringLiteral("square.and.arrow.up"),
         [] {
             Drawing d;
             d.stroked = polyline({{5.5, 6.5}, {3, 6.5}, {3, 14.5}, {13, 14.5}, {13, 6.5}, {10.5, 6.5}});
             d.stroked.addPath(polyline({{8, 1.5}, {8, 10}}));
             d.stroked.addPath(polyline({{5.3, 4.2}, {8, 1.5}, {10.7, 4.2}}));
             return d;
         }},
        {QStringLiteral("square.and.arrow.down"),
         [] {
             Drawing d;
             d.stroked = polyline({{5.5, 6.5}, {3, 6.5}, {3, 14.5}, {13, 14.5}, {13, 6.5}, {10.5, 6.5}});
             d.stroked.addPath(polyline({{8, 1.5}, {8, 10.5}}));
             d.stroked.addPath(polyline({{5.3, 7.8}, {8, 10.5}, {10.7, 7.8}}));
             return d;
         }},
        {QStringLiteral("exclamationmark.triangle.fill"),
         [] {
             Drawing d;
             QPainterPath triangle = polyline({{8, 1.2}, {15.2, 14.3}, {0.8, 14.3}}, true);
             QPainterPath mark;
             mark.addRect(QRectF(7.2, 5.2, 1.6, 5));
             mark.addEllipse(QPointF(8, 12), 0.95, 0.95);
             d.filled = triangle.subtracted(mark);
             return d;
         }},
        {QStringLiteral("plus.square.on.square"),
         [] {
             Drawing d;
             d.stroked = polyline({{4.5, 11}, {2, 11}, {2, 2}, {11, 2}, {11, 4.5}});
             d.stroked.addPath(polyline({{5, 5}, {14, 5}, {14, 14}, {5, 14}}, true));
             d.stroked.addPath(polyline({{9.5, 7.3}, {9.5, 11.7}}));
             d.stroked.addPath(polyline({{7.3, 9.5}, {11.7, 9.5}}));
             return d;
         }},
        {QStringLiteral("folder.badge.plus"),
         [] {
             Drawing d;
             d.stroked = polyline(
                 {{9, 13.5}, {1.5, 13.5}, {1.5, 3.5}, {5.8, 3.5}, {7.3, 5.3}, {13.5, 5.3}, {13.5, 8.5}});
             d.stroked.addPath(polyline({{1.5, 7}, {13.5, 7}}));
             d.stroked.addPath(polyline({{12.5, 10}, {12.5, 15}}));
             d.stroked.addPath(polyline({{10, 12.5}, {15, 12.5}}));
             return d;
         }},
    };
    return table;
}

// On the 16 x 16 grid.
qreal strokeWidth(int weight)
{
    // Heavier text weights get heavier strokes, as a symbol set beside text would.
    return 1.3 + (qBound(100, weight, 900) - 400) / 500.0;
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
    const qreal width = strokeWidth(weight);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(box.center() - QPointF(side / 2, side / 2));
    painter.scale(scale, scale);
    if (!d.filled.isEmpty()) {
        painter.setPen(Qt::NoPen);
        painter.fillPath(d.filled, color);
    }
    if (!d.stroked.isEmpty()) {
        QPen pen(color, width);
        pen.setCapStyle(Qt::RoundCap);
        pen.setJoinStyle(Qt::RoundJoin);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(d.stroked);
    }
    painter.restore();
}

QList<QPainterPath> SymbolImage::shapes(const QString& name, const QRectF& box, int weight)
{
    const auto it = drawings().constFind(name);
    if (it == drawings().constEnd() || box.isEmpty())
        return {};
    const Drawing d = (*it)();

    const qreal side = qMin(box.width(), box.height());
    QTransform toBox;
    toBox.translate(box.center().x() - side / 2, box.center().y() - side / 2);
    toBox.scale(side / 16.0, side / 16.0);
    // In paint()'s order: the filled parts first, the strokes over them.
    QList<QPainterPath> out;
    if (!d.filled.isEmpty())
        out.append(toBox.map(d.filled));
    if (!d.stroked.isEmpty()) {
        QPainterPathStroker stroker;
        stroker.setWidth(strokeWidth(weight));
        stroker.setCapStyle(Qt::RoundCap);
        stroker.setJoinStyle(Qt::RoundJoin);
        out.append(toBox.map(stroker.createStroke(d.stroked)));
    }
    return out;
}
