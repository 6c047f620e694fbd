#include "ui/TriggerChip.h"

#include "ui/RoundedPanel.h"
#include "ui/TextFit.h"
#include "ui/Theme.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPainter>

TriggerChip::TriggerChip(const QString& text, QWidget* parent) : QWidget(parent)
{
    setFont(chipFont());
    setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
    setText(text);
}

QFont TriggerChip::chipFont()
{
    return Theme::systemFont(textSize, QFont::Medium, Theme::FontDesign::Monospaced);
}

void TriggerChip::setText(const QString& text)
{
    m_text = text;
    setAccessibleName(text);
    updateGeometry();
    update();
}

QSize TriggerChip::sizeHint() const
{
    return {naturalTextWidth(font(), m_text) + 2 * horizontalPadding,
            QFontMetrics(font()).height() + 2 * verticalPadding};
}

QSize TriggerChip::minimumSizeHint() const
{
    const QFontMetrics metrics(font());
    const int least =
        qMin(naturalTextWidth(font(), m_text), naturalTextWidth(font(), QString(QChar(0x2026))));
    return {least + 2 * horizontalPadding, metrics.height() + 2 * verticalPadding};
}

void TriggerChip::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const QSize natural = sizeHint();
    // The chip keeps its natural height and sits centred if a layout gives it more.
    const qreal chipWidth = qMin(width(), natural.width());
    const qreal left = isRightToLeft() ? width() - chipWidth : 0;
    const QRectF chip(left, (height() - natural.height()) / 2.0, chipWidth, natural.height());
    RoundedPanel{cornerRadius, Theme::accentSoft()}.paint(painter, chip);

    const QRectF textRect =
        chip.adjusted(horizontalPadding, verticalPadding, -horizontalPadding, -verticalPadding);
    painter.setFont(font());
    painter.setPen(Theme::accent());
    // Triggers are typed text: show them verbatim, on one line.
    painter.drawText(textRect, Qt::AlignCenter | Qt::TextSingleLine,
                     fitText(font(), m_text, textRect.width()));
}

void TriggerChip::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange)
        updateGeometry();
    QWidget::changeEvent(event);
}
