#include "ui/ThemedPicker.h"

#include "ui/PopupTheme.h"
#include "ui/RoundedPanel.h"
#include "ui/Theme.h"
#include "ui/TextFit.h"

#include <QAbstractItemView>
#include <QEvent>
#include <QPainter>

ThemedPicker::ThemedPicker(QWidget* parent) : QComboBox(parent)
{
    setFont(Theme::systemFont(textSize));
    setAttribute(Qt::WA_Hover);
    setSizeAdjustPolicy(QComboBox::AdjustToContents);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    connect(this, &QComboBox::currentTextChanged, this, [this] { updateTip(); });
}

QRect ThemedPicker::textRect() const
{
    if (layoutDirection() == Qt::RightToLeft)
        return rect().adjusted(chevronWidth, 0, -horizontalPadding, 0);
    return rect().adjusted(horizontalPadding, 0, -chevronWidth, 0);
}

QString ThemedPicker::shownText() const { return fitText(font(), currentText(), textRect().width()); }

void ThemedPicker::updateTip()
{
    const bool shortened = shownText() != currentText();
    if (shortened && (m_tipIsOurs || toolTip().isEmpty())) {
        setToolTip(currentText());
        m_tipIsOurs = true;
    } else if (!shortened && m_tipIsOurs) {
        setToolTip(QString());
        m_tipIsOurs = false;
    }
}

void ThemedPicker::resizeEvent(QResizeEvent* event)
{
    QComboBox::resizeEvent(event);
    updateTip();
}

QSize ThemedPicker::sizeHint() const
{
    const QFontMetrics metrics(font());
    int widest = metrics.horizontalAdvance(QLatin1Char('x')) * qMax(minimumContentsLength(), 4);
    for (int i = 0; i < count(); ++i)
        widest = qMax(widest, metrics.horizontalAdvance(itemText(i)));
    return {widest + horizontalPadding + chevronWidth, metrics.height() + 2 * verticalPadding};
}

QSize ThemedPicker::minimumSizeHint() const
{
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance(QLatin1Char('x')) * 4 + horizontalPadding + chevronWidth,
            metrics.height() + 2 * verticalPadding};
}

void ThemedPicker::showPopup()
{
    themePopup();
    QComboBox::showPopup();
}

void ThemedPicker::themePopup()
{
    // The list lives in a window of its own, which takes no palette from the picker's window;
    // QComboBox also hands it the application's menu palette again on every palette change.
    PopupTheme::themePopup(view()->window());
    m_popupThemed = true;
}

void ThemedPicker::changeEvent(QEvent* event)
{
    QComboBox::changeEvent(event);
    if (m_popupThemed && (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange))
        themePopup();
}

void ThemedPicker::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const bool live = isEnabled();
    if (!live)
        painter.setOpacity(0.5);
    const QRectF bounds = rect();
    const bool hovering = live && underMouse();
    RoundedPanel{cornerRadius, hovering ? Theme::cardHover() : Theme::field(), Theme::borderStrong(),
                 borderWidth}
        .paint(painter, bounds);
    if (live && hasFocus())
        RoundedPanel{cornerRadius, Qt::transparent, Theme::accent(), 2}.paint(painter, bounds);

    const bool rtl = layoutDirection() == Qt::RightToLeft;
    painter.setFont(font());
    painter.setPen(Theme::textPrimary());
    painter.drawText(textRect(), Qt::AlignVCenter | (rtl ? Qt::AlignRight : Qt::AlignLeft), shownText());

    QPen pen(Theme::textSecondary(), 1.5);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    painter.setPen(pen);
    const qreal centreX = rtl ? chevronWidth / 2.0 + 1 : width() - chevronWidth / 2.0 - 1;
    const QPointF c(centreX, height() / 2.0);
    painter.drawPolyline(QPolygonF{c + QPointF(-3.5, -1.75), c + QPointF(0, 1.75), c + QPointF(3.5, -1.75)});
}
