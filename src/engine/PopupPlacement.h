#pragma once

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>

#include <optional>

class QScreen;

// Where the floating panels go. Pure geometry in Qt's logical coordinates (origin at the
// top left), so the rules are tested without windows.
namespace PopupPlacement {

struct Screen
{
    QRect geometry;
    // The geometry less the desktop's panels and docks.
    QRect available;
    qreal devicePixelRatio = 1;
};

// The screens Qt knows, the primary one first; empty when there are none.
QList<Screen> currentScreens();

// The HUD: centred on the primary screen, its bottom edge 70 above the bottom of the
// available area. Nothing without a screen.
std::optional<QPoint> hudTopLeft(const QSize& size, const QList<Screen>& screens);

// The suggestion popup for a panel of `size`: 6 below the caret, inside the caret's
// screen with a margin of 4, above the caret when there is no room below. Without a caret:
// centred near the bottom of the primary screen (110 above the bottom of its available
// area). Nothing without a screen and a caret.
std::optional<QPoint> suggestionTopLeft(const QSize& size, const std::optional<QRect>& caret,
                                        const QList<Screen>& screens);

// A rectangle in device pixels (what other programs report over the accessibility bus)
// in logical coordinates. Qt keeps each screen's top-left corner where the device puts it
// and scales the rest by the screen's ratio.
QRect fromDevicePixels(const QRect& rect, const QList<Screen>& screens);

} // namespace PopupPlacement
