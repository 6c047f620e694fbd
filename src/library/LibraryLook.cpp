#include "library/LibraryLook.h"

#include "ui/RoundedPanel.h"
#include "ui/SymbolImage.h"
#include "ui/ThemedLabel.h"
#include "ui/Theme.h"

#include <QLabel>
#include <QPainter>

namespace LibraryLook {

QLabel* caption(const QString& text, QWidget* parent)
{
    QFont font = Theme::systemFont(10, QFont::DemiBold);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 0.8);
    return makeThemedLabel(text.toUpper(), font, Theme::textTertiary(), parent);
}

QLabel* label(const QString& text, qreal size, const QColor& color, QWidget* parent, QFont::Weight weight)
{
    return makeThemedLabel(text, Theme::systemFont(size, weight), color, parent);
}

const QStringList& symbolNames()
{
    static const QStringList names = {
        QStringLiteral("folder"),
        QStringLiteral("square.and.arrow.down"),
        QStringLiteral("square.and.arrow.up"),
        QStringLiteral("plus"),
        QStringLiteral("text.badge.plus"),
        QStringLiteral("exclamationmark.triangle.fill"),
        QStringLiteral("sparkles"),
        QStringLiteral("pencil"),
        QStringLiteral("plus.square.on.square"),
        QStringLiteral("trash"),
        QStringLiteral("folder.badge.plus"),
        QStringLiteral("xmark"),
    };
    return names;
}

void paintBackground(QWidget* widget, const QColor& color)
{
    // The whole dark palette, so standard widgets inside (pickers, scroll bars) match.
    widget->setAutoFillBackground(true);
    widget->setPalette(Theme::darkPalette(color));
}

QVBoxLayout* sheetStack(QDialog* dialog, const QString& title, int width)
{
    dialog->setWindowTitle(title);
    dialog->setAccessibleName(title);
    paintBackground(dialog, Theme::sidebar());
    auto* outer = new QVBoxLayout(dialog);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSizeConstraint(QLayout::SetFixedSize);
    auto* sheet = new QWidget(dialog);
    sheet->setFixedWidth(width);
    outer->addWidget(sheet);
    auto* stack = new QVBoxLayout(sheet);
    stack->setContentsMargins(24, 24, 24, 24);
    stack->setSpacing(16);
    return stack;
}

} // namespace LibraryLook

SymbolView::SymbolView(const QString& symbol, qreal size, const QColor& color, QWidget* parent)
    : QWidget(parent), m_symbol(symbol), m_size(size), m_color(color)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize SymbolView::sizeHint() const
{
    const int side = qCeil(m_size * 1.2);
    return {side, side};
}

void SymbolView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal s = m_size;
    SymbolImage::paint(painter, m_symbol, QRectF((width() - s) / 2.0, (height() - s) / 2.0, s, s), m_color);
}

SymbolButton::SymbolButton(const QString& symbol, const QColor& color, const QString& name, QWidget* parent)
    : QAbstractButton(parent), m_symbol(symbol), m_color(color)
{
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAccessibleName(name);
}

void SymbolButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box(0, 0, side, side);
    RoundedPanel{7, Theme::field()}.paint(painter, box);
    if (hasFocus())
        RoundedPanel{7, Qt::transparent, Theme::accent(), 1.5}.paint(painter, box);
    if (isDown())
        painter.setOpacity(0.7);
    const qreal s = 11;
    SymbolImage::paint(painter, m_symbol, QRectF((side - s) / 2.0, (side - s) / 2.0, s, s), m_color);
}
