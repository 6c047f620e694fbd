#include "ui/ThemedTextField.h"

#include "ui/RoundedPanel.h"
#include "ui/Theme.h"

#include <QPainter>

namespace {

// QLineEdit keeps a small margin of its own around the text; the padding is measured from the
// field's edge, so that margin comes off what we ask for.
constexpr int lineEditHorizontalMargin = 2;
constexpr int lineEditVerticalMargin = 1;

} // namespace

ThemedFieldColors ThemedFieldColors::standard()
{
    ThemedFieldColors colors;
    colors.fill = Theme::field();
    colors.border = Theme::border();
    colors.text = Theme::textPrimary();
    colors.placeholder = Theme::textTertiary();
    colors.selection = Theme::accent();
    colors.selectedText = QColor(Qt::white);
    return colors;
}

ThemedTextField::ThemedTextField(const QString& placeholder, bool mono, QWidget* parent)
    : QLineEdit(parent), m_mono(mono)
{
    setPlaceholderText(placeholder);
    setFrame(false);
    setAttribute(Qt::WA_MacShowFocusRect, false);
    setTextMargins(ThemedTextField::horizontalPadding - lineEditHorizontalMargin,
                   ThemedTextField::verticalPadding - lineEditVerticalMargin,
                   ThemedTextField::horizontalPadding - lineEditHorizontalMargin,
                   ThemedTextField::verticalPadding - lineEditVerticalMargin);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    applyTheme();
}

void ThemedTextField::setMono(bool mono)
{
    if (m_mono == mono)
        return;
    m_mono = mono;
    applyTheme();
}

void ThemedTextField::applyTheme()
{
    setFont(Theme::systemFont(textSize, QFont::Normal,
                              m_mono ? Theme::FontDesign::Monospaced : Theme::FontDesign::Default));
    const ThemedFieldColors colors = ThemedFieldColors::standard();
    QPalette palette = this->palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        // The field paints its own fill; the line edit's base stays see-through.
        palette.setColor(group, QPalette::Base, Qt::transparent);
        palette.setColor(group, QPalette::Text, colors.text);
        palette.setColor(group, QPalette::PlaceholderText, colors.placeholder);
        palette.setColor(group, QPalette::Highlight, colors.selection);
        palette.setColor(group, QPalette::HighlightedText, colors.selectedText);
    }
    setPalette(palette);
    updateGeometry();
}

int ThemedTextField::heightFor(int lineHeight)
{
    return lineHeight + 2 * verticalPadding;
}

QSize ThemedTextField::sizeHint() const
{
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance(QLatin1Char('x')) * 17 + 2 * horizontalPadding,
            heightFor(metrics.height())};
}

QSize ThemedTextField::minimumSizeHint() const
{
    const QFontMetrics metrics(font());
    return {metrics.maxWidth() + 2 * horizontalPadding, heightFor(metrics.height())};
}

void ThemedTextField::paintEvent(QPaintEvent* event)
{
    {
        const ThemedFieldColors colors = ThemedFieldColors::standard();
        QPainter painter(this);
        RoundedPanel{cornerRadius, colors.fill, colors.border, borderWidth}.paint(painter, rect());
    }
    QLineEdit::paintEvent(event);
}

void ThemedTextField::focusInEvent(QFocusEvent* event)
{
    QLineEdit::focusInEvent(event);
    emit focusChanged(true);
}

void ThemedTextField::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    emit focusChanged(false);
}
