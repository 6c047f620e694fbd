#include "library/SnippetRow.h"

#include "library/LibraryLook.h"
#include "library/SnippetRowLogic.h"
#include "ui/AccentToggle.h"
#include "ui/PillButton.h"
#include "ui/RoundedPanel.h"
#include "ui/TextFit.h"
#include "ui/Theme.h"
#include "ui/TriggerChip.h"

#include <QApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>

namespace {

// The preview: one line, cut with an ellipsis where the row runs out of room.
class PreviewText : public QWidget
{
  public:
    explicit PreviewText(QWidget* parent) : QWidget(parent)
    {
        setFont(Theme::systemFont(SnippetRow::previewSize));
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    }

    void set(const QString& text, const QColor& color)
    {
        m_text = text;
        m_color = color;
        setAccessibleName(text);
        updateGeometry();
        update();
    }
    QString text() const { return m_text; }
    QColor color() const { return m_color; }

    QSize sizeHint() const override
    {
        return {naturalTextWidth(font(), m_text), QFontMetrics(font()).height()};
    }
    QSize minimumSizeHint() const override { return {0, QFontMetrics(font()).height()}; }

  protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setPen(m_color);
        // Snippet content is user data: drawn verbatim, never as markup.
        painter.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                         fitText(font(), m_text, width()));
    }

  private:
    QString m_text;
    QColor m_color;
};

} // namespace

SnippetRow::SnippetRow(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_Hover);
    setFixedHeight(rowHeight());
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(horizontalPadding, verticalPadding, horizontalPadding, verticalPadding);
    layout->setSpacing(spacing);

    m_chip = new TriggerChip({}, this);
    m_shadow = new SymbolView(QStringLiteral("exclamationmark.triangle.fill"), 11, Theme::amber(), this);
    m_learned = new SymbolView(QStringLiteral("sparkles"), 10, Theme::amber(), this);
    m_learned->setToolTip(SnippetRowLogic::learnedTooltip);
    m_learned->setAccessibleName(SnippetRowLogic::learnedTooltip);
    m_preview = new PreviewText(this);
    m_count = LibraryLook::label({}, 10.5, Theme::textTertiary(), this);
    m_count->setFont(Theme::systemFont(10.5, QFont::Normal, Theme::FontDesign::Monospaced));
    m_edit = new PillButton(QStringLiteral("Edit"), QStringLiteral("pencil"), false, this);
    m_duplicate = new SymbolButton(QStringLiteral("plus.square.on.square"), Theme::textSecondary(),
                                   SnippetRowLogic::duplicateTooltip, this);
    m_duplicate->setToolTip(SnippetRowLogic::duplicateTooltip);
    QColor trashColor = Theme::red();
    trashColor.setAlphaF(0.85f);
    // The delete button has no tooltip; screen readers still need a name for it.
    m_delete = new SymbolButton(QStringLiteral("trash"), trashColor, QStringLiteral("Delete snippet"), this);
    m_toggle = new AccentToggle(false, this);
    m_toggle->setAccessibleName(QStringLiteral("Enabled"));

    layout->addWidget(m_chip);
    layout->addWidget(m_shadow);
    layout->addWidget(m_learned);
    layout->addWidget(m_preview, 0);
    layout->addWidget(m_count);
    layout->addStretch(1);
    layout->addWidget(m_edit);
    layout->addWidget(m_duplicate);
    layout->addWidget(m_delete);
    layout->addWidget(m_toggle);

    connect(m_edit, &QAbstractButton::clicked, this, &SnippetRow::editRequested);
    connect(m_duplicate, &QAbstractButton::clicked, this, &SnippetRow::duplicateRequested);
    connect(m_delete, &QAbstractButton::clicked, this, &SnippetRow::deleteRequested);
    // clicked, not toggled: filling the switch from the store must not write back.
    connect(m_toggle, &QAbstractButton::clicked, this, &SnippetRow::enabledToggled);

    for (QWidget* w : {static_cast<QWidget*>(m_edit), static_cast<QWidget*>(m_duplicate),
                       static_cast<QWidget*>(m_delete), static_cast<QWidget*>(m_toggle)})
        w->installEventFilter(this);
    updateActions();
}

int SnippetRow::rowHeight()
{
    static const int height = [] {
        const int chip = TriggerChip(QStringLiteral(";")).sizeHint().height();
        const int pill = PillButton(QStringLiteral("Edit"), QStringLiteral("pencil")).sizeHint().height();
        const int tallest = std::max({chip, pill, int(SymbolButton::side), int(AccentToggle::trackHeight)});
        return tallest + 2 * verticalPadding;
    }();
    return height;
}

void SnippetRow::setData(const SnippetRowData& data)
{
    m_data = data;
    m_chip->setText(data.effectiveTrigger);
    m_shadow->setVisible(data.shadowTooltip.has_value());
    m_shadow->setToolTip(data.shadowTooltip.value_or(QString()));
    m_shadow->setAccessibleName(data.shadowTooltip.value_or(QString()));
    m_learned->setVisible(data.snippet.learned);
    static_cast<PreviewText*>(m_preview)->set(data.preview, data.snippet.enabled ? Theme::textSecondary()
                                                                                 : Theme::textTertiary());
    m_count->setVisible(data.useCount.has_value());
    m_count->setText(data.useCount.value_or(QString()));
    if (m_toggle->isChecked() != data.snippet.enabled)
        m_toggle->setChecked(data.snippet.enabled);
    setAccessibleName(data.effectiveTrigger);
}

QString SnippetRow::previewText() const
{
    return static_cast<PreviewText*>(m_preview)->text();
}

QColor SnippetRow::previewColor() const
{
    return static_cast<PreviewText*>(m_preview)->color();
}

bool SnippetRow::actionsShown() const
{
    return m_hovering || m_focusWithin;
}

void SnippetRow::setHovering(bool hovering)
{
    if (m_hovering == hovering)
        return;
    m_hovering = hovering;
    updateActions();
    update();
}

void SnippetRow::updateActions()
{
    const bool shown = actionsShown();
    m_edit->setVisible(shown);
    m_duplicate->setVisible(shown);
    m_delete->setVisible(shown);
}

bool SnippetRow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut) {
        // Keep the actions while the keyboard is on one of them, so a keyboard user reaches them.
        // The focus widget is already the new one when the old one hears of its loss.
        QWidget* focus = QApplication::focusWidget();
        const bool within = focus && isAncestorOf(focus);
        if (within != m_focusWithin) {
            m_focusWithin = within;
            updateActions();
        }
    }
    return QWidget::eventFilter(watched, event);
}

void SnippetRow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    RoundedPanel{cornerRadius, m_hovering ? Theme::cardHover() : Theme::card(), Theme::border(), 1}.paint(
        painter, QRectF(rect()));
}

void SnippetRow::enterEvent(QEnterEvent* event)
{
    setHovering(true);
    QWidget::enterEvent(event);
}

void SnippetRow::leaveEvent(QEvent* event)
{
    setHovering(false);
    QWidget::leaveEvent(event);
}

void SnippetRow::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        emit editRequested();
        event->accept();
        return;
    }
    QWidget::mouseDoubleClickEvent(event);
}
