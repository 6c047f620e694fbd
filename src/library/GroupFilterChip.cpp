#include "library/GroupFilterChip.h"

#include "ui/RoundedPanel.h"
#include "ui/TextFit.h"
#include "ui/Theme.h"

#include <QFontMetrics>
#include <QPainter>

GroupFilterChip::GroupFilterChip(const QString& label, bool selected, bool dimmed, QWidget* parent)
    : QAbstractButton(parent), m_selected(selected), m_dimmed(dimmed)
{
    setFont(Theme::systemFont(textSize, QFont::Medium));
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setLabel(label);
}

void GroupFilterChip::setLabel(const QString& label)
{
    if (label == m_label)
        return;
    m_label = label;
    setAccessibleName(label);
    updateGeometry();
    update();
}

void GroupFilterChip::setSelected(bool selected)
{
    m_selected = selected;
    update();
}

void GroupFilterChip::setDimmed(bool dimmed)
{
    m_dimmed = dimmed;
    update();
}

QColor GroupFilterChip::textColor() const
{
    if (m_selected)
        return Theme::accent();
    return m_dimmed ? Theme::textTertiary() : Theme::textSecondary();
}

QSize GroupFilterChip::sizeHint() const
{
    return {naturalTextWidth(font(), m_label) + 2 * horizontalPadding,
            QFontMetrics(font()).height() + 2 * verticalPadding};
}

void GroupFilterChip::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF capsule(rect());
    QColor fill = m_selected ? Theme::accentSoft() : (m_hovering ? Theme::cardHover() : Theme::field());
    QColor outline = Theme::border();
    if (m_selected) {
        outline = Theme::accent();
        outline.setAlphaF(0.45f);
    }
    RoundedPanel{capsule.height() / 2.0, fill, outline, 1}.paint(painter, capsule);
    if (hasFocus())
        RoundedPanel{capsule.height() / 2.0, Qt::transparent, Theme::accent(), 1.5}.paint(painter, capsule);
    if (isDown())
        painter.setOpacity(0.7);
    painter.setFont(font());
    painter.setPen(textColor());
    // Group names are user data.
    painter.drawText(capsule.adjusted(horizontalPadding, 0, -horizontalPadding, 0),
                     Qt::AlignCenter | Qt::TextSingleLine, m_label);
}

void GroupFilterChip::enterEvent(QEnterEvent* event)
{
    m_hovering = true;
    update();
    QAbstractButton::enterEvent(event);
}

void GroupFilterChip::leaveEvent(QEvent* event)
{
    m_hovering = false;
    update();
    QAbstractButton::leaveEvent(event);
}
