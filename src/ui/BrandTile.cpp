#include "ui/BrandTile.h"

#include "ui/SymbolImage.h"
#include "ui/Theme.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

BrandTile::BrandTile(int side, qreal cornerRadius, qreal symbolSide, QWidget* parent)
    : QWidget(parent), m_cornerRadius(cornerRadius), m_symbolSide(symbolSide)
{
    setFixedSize(side, side);
}

void BrandTile::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient gradient(rect().topLeft(), rect().bottomRight());
    gradient.setColorAt(0, QColor::fromRgbF(0.27f, 0.62f, 1.0f));
    gradient.setColorAt(1, Theme::accent());
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), m_cornerRadius, m_cornerRadius);
    p.fillPath(path, gradient);
    const QPointF centre = QRectF(rect()).center();
    const QRectF box(centre.x() - m_symbolSide / 2, centre.y() - m_symbolSide / 2, m_symbolSide, m_symbolSide);
    SymbolImage::paint(p, QStringLiteral("text.cursor"), box, Qt::white, 700);
}
