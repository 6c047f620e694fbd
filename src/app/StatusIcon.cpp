#include "app/StatusIcon.h"

#include "ui/SymbolImage.h"

#include <QPainter>
#include <QPixmap>

namespace StatusIcon {

QString symbol(bool accessibilityGranted, bool masterEnabled, bool paused)
{
    if (!accessibilityGranted)
        return QStringLiteral("exclamationmark.triangle");
    if (!masterEnabled || paused)
        return QStringLiteral("pause.circle");
    return QStringLiteral("text.cursor");
}

QList<Layer> layers(const QString& symbol, int side)
{
    const qreal inset = side / 16.0;
    const QRectF box(inset, inset, side - 2 * inset, side - 2 * inset);
    const QList<QPainterPath> glyph = SymbolImage::shapes(symbol, box, 700);
    QList<Layer> out;
    // Dark passes shifted around the glyph make a halo; the white pass on top is the glyph.
    const qreal halo = qMax(1.0, side / 22.0);
    for (int dx = -1; dx <= 1; ++dx) {
        for (int dy = -1; dy <= 1; ++dy) {
            if (!dx && !dy)
                continue;
            for (const QPainterPath& area : glyph)
                out.append({area.translated(dx * halo, dy * halo), QColor(0, 0, 0, 150)});
        }
    }
    for (const QPainterPath& area : glyph)
        out.append({area, QColor(Qt::white)});
    return out;
}

QImage image(const QString& symbol, int side)
{
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    for (const Layer& layer : layers(symbol, side))
        p.fillPath(layer.area, layer.color);
    p.end();
    return image;
}

QIcon icon(const QString& symbol)
{
    QIcon icon;
    for (int side : {16, 22, 24, 32, 48, 64})
        icon.addPixmap(QPixmap::fromImage(image(symbol, side)));
    return icon;
}

namespace {

QString number(qreal v)
{
    QString s = QString::number(v, 'f', 3);
    while (s.endsWith(QLatin1Char('0')))
        s.chop(1);
    if (s.endsWith(QLatin1Char('.')))
        s.chop(1);
    return s == QLatin1String("-0") ? QStringLiteral("0") : s;
}

QString pathData(const QPainterPath& path)
{
    QString d;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        if (e.isMoveTo()) {
            d += QStringLiteral("M");
        } else if (e.isLineTo()) {
            d += QStringLiteral("L");
        } else if (e.isCurveTo() && i + 2 < path.elementCount()) {
            // A cubic curve: this element and the two data elements after it.
            const QPainterPath::Element c2 = path.elementAt(i + 1);
            const QPainterPath::Element to = path.elementAt(i + 2);
            d += QStringLiteral("C") + number(e.x) + QLatin1Char(' ') + number(e.y) + QLatin1Char(' ') +
                 number(c2.x) + QLatin1Char(' ') + number(c2.y) + QLatin1Char(' ') + number(to.x) +
                 QLatin1Char(' ') + number(to.y);
            i += 2;
            continue;
        } else {
            continue;
        }
        d += number(e.x) + QLatin1Char(' ') + number(e.y);
    }
    return d;
}

} // namespace

QByteArray svg(const QString& symbol, int side)
{
    const QString n = QString::number(side);
    QString out = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                 "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%1\" "
                                 "viewBox=\"0 0 %1 %1\">\n")
                      .arg(n);
    for (const Layer& layer : layers(symbol, side)) {
        const QString rule =
            layer.area.fillRule() == Qt::WindingFill ? QStringLiteral("nonzero") : QStringLiteral("evenodd");
        out += QStringLiteral("<path fill=\"%1\" fill-opacity=\"%2\" fill-rule=\"%3\" d=\"%4\"/>\n")
                   .arg(layer.color.name(QColor::HexRgb), number(layer.color.alphaF()), rule,
                        pathData(layer.area));
    }
    out += QStringLiteral("</svg>\n");
    return out.toUtf8();
}

} // namespace StatusIcon
