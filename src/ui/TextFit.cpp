#include "ui/TextFit.h"

#include <QFontMetricsF>
#include <QtMath>

int naturalTextWidth(const QFont& font, const QString& text)
{
    return qCeil(QFontMetricsF(font).horizontalAdvance(text));
}

QString fitText(const QFont& font, const QString& text, qreal width)
{
    const QFontMetricsF metrics(font);
    if (metrics.horizontalAdvance(text) <= width + 0.5)
        return text;
    return metrics.elidedText(text, Qt::ElideRight, width);
}
