#include "ui/StatusDot.h"

#include <QPainter>

StatusDot::StatusDot(int side, const QColor& color, QWidget* parent) : QWidget(parent), m_color(color)
{
    setFixedSize(side, side);
}

void StatusDot::setColor(const QColor& color)
{
    if (color == m_color)
        return;
    m_color = color;
    update();
}

void StatusDot::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(m_color);
    p.drawEllipse(QRectF(rect()));
}
