#include "settings/PagePieces.h"

#include "ui/SymbolImage.h"
#include "ui/Theme.h"
#include "ui/ThemedLabel.h"

#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>

#include <cmath>
#include <optional>

namespace PagePieces {

QLabel* caption(const QString& text, QWidget* parent)
{
    QFont font = Theme::systemFont(10, QFont::DemiBold);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 0.8);
    QLabel* l = makeThemedLabel(text, font, Theme::textTertiary(), parent);
    l->setAccessibleName(text);
    return l;
}

QLabel* label(const QString& text, qreal size, const QColor& color, QWidget* parent, QFont::Weight weight)
{
    return makeThemedLabel(text, Theme::systemFont(size, weight), color, parent);
}

QWidget* divider(QWidget* parent)
{
    auto* line = new QWidget(parent);
    line->setFixedHeight(1);
    line->setAutoFillBackground(true);
    QPalette palette = line->palette();
    palette.setColor(QPalette::Window, Theme::border());
    line->setPalette(palette);
    return line;
}

namespace {

// Drawn on the same 16 x 16 grid as the shared symbols.
struct Drawing
{
    QPainterPath stroked;
    QPainterPath filled;
};

QPainterPath line(QPointF a, QPointF b)
{
    QPainterPath p;
    p.moveTo(a);
    p.lineTo(b);
    return p;
}

QPainterPath sparkle(QPointF c, qreal r)
{
    QPainterPath p;
    p.moveTo(c.x(), c.y() - r);
    p.quadTo(c, QPointF(c.x() + r, c.y()));
    p.quadTo(c, QPointF(c.x(), c.y() + r));
    p.quadTo(c, QPointF(c.x() - r, c.y()));
    p.quadTo(c, QPointF(c.x(), c.y() - r));
    p.closeSubpath();
    return p;
}

// A rosette with twelve rounded points.
QPainterPath seal()
{
    QPainterPath p;
    const int points = 24;
    for (int i = 0; i <= points; ++i) {
        const qreal angle = i * 2 * M_PI / points;
        const qreal r = i % 2 == 0 ? 7.2 : 6.1;
        const QPointF pt(8 + r * std::sin(angle), 8 - r * std::cos(angle));
        if (i == 0)
            p.moveTo(pt);
        else
            p.lineTo(pt);
    }
    p.closeSubpath();
    return p;
}

QPainterPath outline(const QPainterPath& path, qreal width)
{
    QPainterPathStroker stroker;
    stroker.setWidth(width);
    stroker.setCapStyle(Qt::RoundCap);
    stroker.setJoinStyle(Qt::RoundJoin);
    return stroker.createStroke(path);
}

std::optional<Drawing> ownDrawing(const QString& name)
{
    Drawing d;
    if (name == QLatin1String("shield.checkered")) {
        QPainterPath shield;
        shield.moveTo(8, 1.8);
        shield.lineTo(13.2, 3.6);
        shield.lineTo(13.2, 8);
        shield.cubicTo(13.2, 11.2, 10.8, 13.4, 8, 14.4);
        shield.cubicTo(5.2, 13.4, 2.8, 11.2, 2.8, 8);
        shield.lineTo(2.8, 3.6);
        shield.closeSubpath();
        d.stroked = shield;
        QPainterPath squares;
        squares.addRect(QRectF(2, 1, 6, 7));
        squares.addRect(QRectF(8, 8, 6, 7));
        d.filled = shield.intersected(squares);
        return d;
    }
    if (name == QLatin1String("checkmark.seal.fill")) {
        QPainterPath mark;
        mark.moveTo(5, 8.3);
        mark.lineTo(7.2, 10.4);
        mark.lineTo(11, 5.8);
        d.filled = seal().subtracted(outline(mark, 1.6));
        return d;
    }
    if (name == QLatin1String("xmark.seal.fill")) {
        QPainterPath mark = line({5.6, 5.6}, {10.4, 10.4});
        mark.addPath(line({10.4, 5.6}, {5.6, 10.4}));
        d.filled = seal().subtracted(outline(mark, 1.6));
        return d;
    }
    if (name == QLatin1String("wand.and.stars")) {
        d.stroked = line({2.5, 13.5}, {10, 6});
        d.filled = sparkle({12.2, 3.8}, 2.6);
        d.filled.addPath(sparkle({5.2, 3.4}, 1.6));
        d.filled.addPath(sparkle({13, 10.4}, 1.4));
        return d;
    }
    return std::nullopt;
}

} // namespace

bool canDrawSymbol(const QString& name)
{
    return SymbolImage::isKnown(name) || ownDrawing(name).has_value();
}

void paintSymbol(QPainter& painter, const QString& name, const QRectF& box, const QColor& color, int weight)
{
    if (SymbolImage::isKnown(name)) {
        SymbolImage::paint(painter, name, box, color, weight);
        return;
    }
    const std::optional<Drawing> d = ownDrawing(name);
    if (!d || box.isEmpty())
        return;
    const qreal side = qMin(box.width(), box.height());
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(box.center() - QPointF(side / 2, side / 2));
    painter.scale(side / 16.0, side / 16.0);
    if (!d->filled.isEmpty())
        painter.fillPath(d->filled, color);
    if (!d->stroked.isEmpty()) {
        QPen pen(color, 1.3 + (qBound(100, weight, 900) - 400) / 500.0);
        pen.setCapStyle(Qt::RoundCap);
        pen.setJoinStyle(Qt::RoundJoin);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(d->stroked);
    }
    painter.restore();
}

} // namespace PagePieces

PageSymbolView::PageSymbolView(const QString& symbol, qreal size, const QColor& color, QWidget* parent, int weight)
    : QWidget(parent)
    , m_symbol(symbol)
    , m_size(size)
    , m_color(color)
    , m_weight(weight)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize PageSymbolView::sizeHint() const
{
    const int side = int(std::ceil(m_size * 1.2));
    return {side, side};
}

void PageSymbolView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal side = std::min(width(), height());
    const QRectF box((width() - side) / 2, (height() - side) / 2, side, side);
    PagePieces::paintSymbol(painter, m_symbol, box, m_color, m_weight);
}
