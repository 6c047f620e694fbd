#include "ui/PillButton.h"

#include "ui/RoundedPanel.h"
#include "ui/SymbolImage.h"
#include "ui/TextFit.h"
#include "ui/Theme.h"

#include <QEnterEvent>
#include <QFontMetrics>
#include <QPainter>
#include <QtMath>

namespace {

// A plain button dims its label while held down, so a click is felt without any chrome.
constexpr qreal pressedOpacity = 0.7;

QFont titleFont()
{
    return Theme::systemFont(PillButton::titleSize, QFont::Medium);
}

} // namespace

PillButtonLook PillButtonLook::forState(const PillButtonState& state)
{
    PillButtonLook look;
    const bool live = state.enabled;
    if (state.prominent) {
        look.fill = Theme::accent();
        look.foreground = QColor(Qt::white);
        look.border = Qt::transparent;
    } else {
        look.fill = live && state.hovering ? Theme::cardHover() : Theme::field();
        look.foreground = Theme::textPrimary();
        look.border = Theme::borderStrong();
    }
    look.contentOpacity = live && state.pressed ? pressedOpacity : 1.0;
    if (live && state.focused)
        look.focusRing = state.prominent ? Theme::textPrimary() : Theme::accent();
    return look;
}

PillButton::PillButton(const QString& title, const QString& symbol, bool prominent, QWidget* parent)
    : QAbstractButton(parent), m_symbol(symbol), m_prominent(prominent)
{
    setTitle(title);
    setFont(titleFont());
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void PillButton::setTitle(const QString& title)
{
    m_title = title;
    setAccessibleName(title);
    updateGeometry();
    update();
}

void PillButton::setSymbol(const QString& symbol)
{
    m_symbol = symbol;
    updateGeometry();
    update();
}

void PillButton::setProminent(bool prominent)
{
    m_prominent = prominent;
    update();
}

void PillButton::setOpacity(qreal opacity)
{
    m_opacity = qBound<qreal>(0, opacity, 1);
    update();
}

bool PillButton::showsSymbol() const
{
    return !m_symbol.isEmpty() && SymbolImage::isKnown(m_symbol);
}

PillButtonLook PillButton::look() const
{
    return PillButtonLook::forState({m_prominent, m_hovering, isDown(), isEnabled(), hasFocus()});
}

int PillButton::symbolSide() const
{
    // Symbols beside text are drawn a little larger than the font size so their strokes read
    // as heavy as the letters.
    return qCeil(symbolSize * 1.25);
}

QSize PillButton::sizeFor(const QSize& titleSize, std::optional<int> symbolSide)
{
    int width = titleSize.width();
    int height = titleSize.height();
    if (symbolSide) {
        width += *symbolSide + symbolSpacing;
        height = qMax(height, *symbolSide);
    }
    return {width + 2 * horizontalPadding, height + 2 * verticalPadding};
}

QSize PillButton::sizeHint() const
{
    const QSize title(naturalTextWidth(font(), m_title), QFontMetrics(font()).height());
    return sizeFor(title, showsSymbol() ? std::optional<int>(symbolSide()) : std::nullopt);
}

QSize PillButton::minimumSizeHint() const
{
    return sizeHint();
}

void PillButton::paintEvent(QPaintEvent*)
{
    const PillButtonLook look = this->look();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setOpacity(m_opacity * look.contentOpacity);

    const QRectF bounds = rect();
    RoundedPanel{cornerRadius, look.fill, look.border, borderWidth}.paint(painter, bounds);
    if (look.focusRing)
        RoundedPanel{cornerRadius, Qt::transparent, *look.focusRing, 2}.paint(painter, bounds);

    // The label keeps its natural size and stays centred when a layout makes the button wider.
    const int titleWidth = naturalTextWidth(font(), m_title);
    const bool symbol = showsSymbol();
    const int side = symbol ? symbolSide() : 0;
    const int labelWidth = titleWidth + (symbol ? side + symbolSpacing : 0);
    const QRect content =
        rect().adjusted(horizontalPadding, verticalPadding, -horizontalPadding, -verticalPadding);
    qreal x = content.left() + (content.width() - labelWidth) / 2.0;
    if (content.width() < labelWidth)
        x = content.left();

    const bool rtl = isRightToLeft();
    auto place = [&](qreal start, qreal width) { return rtl ? bounds.width() - start - width : start; };
    if (symbol) {
        const QRectF box(place(x, side), bounds.center().y() - side / 2.0, side, side);
        SymbolImage::paint(painter, m_symbol, box, look.foreground, QFont::DemiBold);
        x += side + symbolSpacing;
    }
    const qreal available = qMax<qreal>(0, content.right() + 1 - x);
    const QString title = fitText(font(), m_title, available);
    const QRectF titleRect(place(x, available), content.top(), available, content.height());
    painter.setFont(font());
    painter.setPen(look.foreground);
    painter.drawText(titleRect, Qt::AlignVCenter | (rtl ? Qt::AlignRight : Qt::AlignLeft), title);
}

void PillButton::enterEvent(QEnterEvent* event)
{
    setHovering(true);
    QAbstractButton::enterEvent(event);
}

void PillButton::leaveEvent(QEvent* event)
{
    setHovering(false);
    QAbstractButton::leaveEvent(event);
}

void PillButton::hideEvent(QHideEvent* event)
{
    // A hidden button gets no leave event; shown again it must not come back lit.
    setHovering(false);
    QAbstractButton::hideEvent(event);
}

void PillButton::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange)
        updateGeometry();
    QAbstractButton::changeEvent(event);
}

void PillButton::setHovering(bool hovering)
{
    if (m_hovering == hovering)
        return;
    m_hovering = hovering;
    update();
}
