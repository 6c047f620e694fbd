#include "engine/PopupPlacement.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <cmath>

namespace PopupPlacement {

namespace {

// Bottom edge as a coordinate one past the last row, the way the placement rules count.
int bottomOf(const QRect& r)
{
    return r.y() + r.height();
}
int rightOf(const QRect& r)
{
    return r.x() + r.width();
}

bool containsPoint(const QRect& r, const QPoint& p)
{
    return p.x() >= r.x() && p.x() < rightOf(r) && p.y() >= r.y() && p.y() < bottomOf(r);
}

} // namespace

QList<Screen> currentScreens()
{
    QList<Screen> result;
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (!primary)
        return result;
    result.append({primary->geometry(), primary->availableGeometry(), primary->devicePixelRatio()});
    for (const QScreen* s : QGuiApplication::screens())
        if (s != primary)
            result.append({s->geometry(), s->availableGeometry(), s->devicePixelRatio()});
    return result;
}

std::optional<QPoint> hudTopLeft(const QSize& size, const QList<Screen>& screens)
{
    if (screens.isEmpty())
        return std::nullopt;
    const QRect v = screens.first().available;
    const int x = int(std::floor(v.x() + v.width() * 0.5 - size.width() * 0.5));
    return QPoint(x, bottomOf(v) - 70 - size.height());
}

std::optional<QPoint> suggestionTopLeft(const QSize& size, const std::optional<QRect>& caret,
                                        const QList<Screen>& screens)
{
    const int w = size.width();
    const int h = size.height();
    if (!caret) {
        if (screens.isEmpty())
            return std::nullopt;
        const QRect v = screens.first().available;
        return QPoint(int(std::floor(v.x() + v.width() * 0.5 - w * 0.5)), bottomOf(v) - 110 - h);
    }
    int x = caret->x();
    int y = bottomOf(*caret) + 6;
    // The screen under the caret's bottom-left corner, else the primary one.
    const QPoint anchor(caret->x(), bottomOf(*caret) - 1);
    const Screen* screen = nullptr;
    for (const Screen& s : screens)
        if (containsPoint(s.geometry, anchor)) {
            screen = &s;
            break;
        }
    if (!screen && !screens.isEmpty())
        screen = &screens.first();
    if (!screen)
        return QPoint(x, y);
    const QRect v = screen->available;
    x = std::max(x, v.x() + 4);
    x = std::min(x, rightOf(v) - w - 4);
    if (y + h > bottomOf(v) - 4)
        y = caret->y() - 6 - h;
    y = std::max(y, v.y() + 4);
    return QPoint(x, y);
}

QRect fromDevicePixels(const QRect& rect, const QList<Screen>& screens)
{
    for (const Screen& s : screens) {
        const qreal ratio = s.devicePixelRatio > 0 ? s.devicePixelRatio : 1;
        const QRect native(s.geometry.topLeft(), s.geometry.size() * ratio);
        if (!containsPoint(native, rect.topLeft()))
            continue;
        if (ratio == 1)
            return rect;
        const QPointF origin = s.geometry.topLeft();
        const QPointF topLeft = origin + (QPointF(rect.topLeft()) - origin) / ratio;
        return QRectF(topLeft, QSizeF(rect.size()) / ratio).toAlignedRect();
    }
    return rect;
}

} // namespace PopupPlacement
