#include "ui/AccentToggle.h"

#include "ui/RoundedPanel.h"
#include "ui/Theme.h"

#include <QPainter>

AccentToggleLook AccentToggleLook::forState(bool on, bool enabled, bool focused)
{
    AccentToggleLook look;
    look.track = on ? Theme::accent() : Theme::borderStrong();
    look.knob = QColor(Qt::white);
    look.knobPosition = on ? 1 : 0;
    // A switch that cannot be changed keeps its state readable but recedes.
    look.opacity = enabled ? 1.0 : 0.5;
    if (focused && enabled)
        look.focusRing = on ? Theme::textPrimary() : Theme::accent();
    return look;
}

AccentToggle::AccentToggle(bool on, QWidget* parent) : QAbstractButton(parent)
{
    setCheckable(true);
    setChecked(on);
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize AccentToggle::sizeHint() const
{
    return {trackWidth, trackHeight};
}

QSize AccentToggle::minimumSizeHint() const
{
    return sizeHint();
}

bool AccentToggle::hitButton(const QPoint& pos) const
{
    return rect().contains(pos);
}

void AccentToggle::paintEvent(QPaintEvent*)
{
    const AccentToggleLook look = AccentToggleLook::forState(isChecked(), isEnabled(), hasFocus());
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(look.opacity);

    // Keep the switch its own size and centred when a layout hands it more room.
    const QRectF track(QPointF((width() - trackWidth) / 2.0, (height() - trackHeight) / 2.0),
                       QSizeF(trackWidth, trackHeight));
    const qreal radius = trackHeight / 2.0;
    RoundedPanel{radius, look.track}.paint(painter, track);
    if (look.focusRing)
        RoundedPanel{radius, Qt::transparent, *look.focusRing, 1.5}.paint(painter, track);

    const qreal knob = trackHeight - 2 * knobInset;
    const qreal travel = trackWidth - 2 * knobInset - knob;
    const qreal start = isRightToLeft() ? track.right() - knobInset - knob : track.left() + knobInset;
    const qreal x = start + (isRightToLeft() ? -1 : 1) * travel * look.knobPosition;
    const QRectF knobRect(x, track.top() + knobInset, knob, knob);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 60));
    painter.drawEllipse(knobRect.translated(0, 0.5));
    painter.setBrush(look.knob);
    painter.drawEllipse(knobRect);
}
