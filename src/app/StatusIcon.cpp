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

QIcon icon(const QString& symbol)
{
    QIcon icon;
    for (int side : {16, 22, 24, 32, 48, 64}) {
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        const qreal inset = side / 16.0;
        const QRectF box(inset, inset, side - 2 * inset, side - 2 * inset);
        // Dark passes shifted around the glyph make a halo; the white pass on top is the glyph.
        const qreal halo = qMax(1.0, side / 22.0);
        for (int dx = -1; dx <= 1; ++dx) {
            for (int dy = -1; dy <= 1; ++dy) {
                if (dx || dy)
                    SymbolImage::paint(p, symbol, box.translated(dx * halo, dy * halo), QColor(0, 0, 0, 150), 700);
            }
        }
        SymbolImage::paint(p, symbol, box, Qt::white, 700);
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace StatusIcon
