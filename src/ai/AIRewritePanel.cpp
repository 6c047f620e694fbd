#include "ai/AIRewritePanel.h"

#include "model/Text.h"
#include "ui/PillButton.h"
#include "ui/SymbolImage.h"
#include "ui/TextFit.h"
#include "ui/Theme.h"
#include "ui/ThemedLabel.h"
#include "ui/ThemedTextField.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QTextLayout>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr qreal kCaptionSize = 10;
constexpr qreal kCaptionLetterSpacing = 0.8;
constexpr qreal kPreviewSize = 12;
constexpr qreal kPresetSize = 12.5;
constexpr qreal kSparklesSize = 10;
constexpr qreal kCornerRadius = 7;
constexpr int kPreviewPadding = 10;
constexpr int kPresetPaddingX = 10;
constexpr int kPresetPaddingY = 8;
constexpr int kPreviewLines = 3;

void fillRounded(QPainter& painter, const QRectF& rect)
{
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(rect, kCornerRadius, kCornerRadius);
    painter.fillPath(path, Theme::field());
}

// The selection preview: at most three lines on the field colour. A word longer than a line
// (a link, a long number) breaks where the line ends; a text longer than three lines ends in
// "…" on the third, and the tooltip holds all of it.
class PreviewLabel : public QLabel
{
  public:
    PreviewLabel(const QString& text, int width, QWidget* parent) : QLabel(parent)
    {
        setTextFormat(Qt::PlainText);
        setFont(Theme::systemFont(kPreviewSize));
        QPalette p = palette();
        p.setColor(QPalette::WindowText, Theme::textSecondary());
        setPalette(p);
        setAlignment(Qt::AlignLeft | Qt::AlignTop);
        setContentsMargins(kPreviewPadding, kPreviewPadding, kPreviewPadding, kPreviewPadding);
        setFixedWidth(width);
        bool cut = false;
        const QStringList lines = wrapped(text, width - 2 * kPreviewPadding, &cut);
        QLabel::setText(lines.join(QLatin1Char('\n')));
        m_full = text;
        setAccessibleName(text);
        if (cut)
            setToolTip(text);
        setFixedHeight(fontMetrics().lineSpacing() * int(std::max<qsizetype>(lines.size(), 1)) +
                       2 * kPreviewPadding);
    }

    QString fullText() const { return m_full; }

  protected:
    void paintEvent(QPaintEvent* event) override
    {
        {
            QPainter painter(this);
            fillRounded(painter, rect());
        }
        QLabel::paintEvent(event);
    }

  private:
    QStringList wrapped(const QString& text, int width, bool* cut) const
    {
        QTextLayout layout(text, font());
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        QStringList lines;
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            if (lines.size() == kPreviewLines) {
                *cut = true;
                lines.last() = fitText(font(), lines.last() + QChar(0x2026), width);
                break;
            }
            lines.append(text.mid(line.textStart(), line.textLength()).trimmed());
        }
        layout.endLayout();
        return lines;
    }

    QString m_full;
};

// A preset: its text, flexible space and the sparkles, on the field colour; the whole
// rectangle takes the click.
class PresetButton : public QAbstractButton
{
  public:
    PresetButton(const QString& instruction, QWidget* parent) : QAbstractButton(parent)
    {
        setText(instruction);
        setFont(Theme::systemFont(kPresetSize));
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::NoFocus);
    }

    QSize sizeHint() const override
    {
        const int h = fontMetrics().height() + 2 * kPresetPaddingY;
        return {AIRewritePanel::panelWidth - 2 * AIRewritePanel::padding, h};
    }

  protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        fillRounded(painter, rect());
        painter.setFont(font());
        painter.setPen(Theme::textPrimary());
        const QRect inner =
            rect().adjusted(kPresetPaddingX, kPresetPaddingY, -kPresetPaddingX, -kPresetPaddingY);
        const qreal side = kSparklesSize;
        painter.drawText(inner.adjusted(0, 0, -int(side) - 6, 0), Qt::AlignLeft | Qt::AlignVCenter, text());
        const QRectF box(inner.right() - side + 1, inner.center().y() - side / 2 + 0.5, side, side);
        SymbolImage::paint(painter, QStringLiteral("sparkles"), box, Theme::textTertiary());
    }
};

} // namespace

AIRewritePanel::AIRewritePanel(const QString& selection, const QStringList& presets, QWidget* parent)
    : FloatingPanel(parent), m_selection(selection)
{
    setWindowTitle(QStringLiteral("Rewrite with AI"));
    setFixedWidth(panelWidth);

    const int inner = panelWidth - 2 * padding;
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(padding, padding, padding, padding);
    stack->setSpacing(spacing);
    stack->setSizeConstraint(QLayout::SetFixedSize);

    QFont captionFont = Theme::systemFont(kCaptionSize, QFont::DemiBold);
    captionFont.setLetterSpacing(QFont::AbsoluteSpacing, kCaptionLetterSpacing);

    auto* selectionBlock = new QVBoxLayout;
    selectionBlock->setSpacing(blockSpacing);
    selectionBlock->addWidget(
        makeThemedLabel(QStringLiteral("SELECTED TEXT"), captionFont, Theme::textTertiary(), this));
    m_preview = new PreviewLabel(previewText(selection), inner, this);
    m_preview->setObjectName(QStringLiteral("selectionPreview"));
    selectionBlock->addWidget(m_preview);
    stack->addLayout(selectionBlock);

    auto* presetBlock = new QVBoxLayout;
    presetBlock->setSpacing(presetSpacing);
    for (const QString& preset : presets) {
        auto* button = new PresetButton(preset, this);
        button->setFixedWidth(inner);
        presetBlock->addWidget(button);
        m_presets.append(button);
        connect(button, &QAbstractButton::clicked, this, [this, preset] { emit chosen(preset); });
    }
    stack->addLayout(presetBlock);

    auto* customBlock = new QVBoxLayout;
    customBlock->setSpacing(blockSpacing);
    customBlock->addWidget(
        makeThemedLabel(QStringLiteral("OR YOUR OWN INSTRUCTION"), captionFont, Theme::textTertiary(), this));
    auto* row = new QHBoxLayout;
    row->setSpacing(8);
    m_custom = new ThemedTextField(QStringLiteral("e.g. translate to Spanish"), false, this);
    m_rewrite = new PillButton(QStringLiteral("Rewrite"), {}, true, this);
    m_rewrite->setObjectName(QStringLiteral("rewrite"));
    row->addWidget(m_custom, 1);
    row->addWidget(m_rewrite, 0, Qt::AlignVCenter);
    customBlock->addLayout(row);
    stack->addLayout(customBlock);
    connect(m_custom, &QLineEdit::textChanged, this, &AIRewritePanel::updateRewriteButton);
    connect(m_custom, &QLineEdit::returnPressed, this, &AIRewritePanel::chooseCustom);
    connect(m_rewrite, &QAbstractButton::clicked, this, &AIRewritePanel::chooseCustom);

    auto* footer = new QHBoxLayout;
    footer->addStretch(1);
    m_cancel = new PillButton(QStringLiteral("Cancel"), {}, false, this);
    m_cancel->setObjectName(QStringLiteral("cancel"));
    footer->addWidget(m_cancel);
    stack->addLayout(footer);
    connect(m_cancel, &QAbstractButton::clicked, this, &AIRewritePanel::cancelRequested);

    updateRewriteButton();
}

QString AIRewritePanel::previewText(const QString& selection)
{
    QString flowing = selection;
    flowing.replace(QLatin1Char('\n'), QLatin1Char(' '));
    flowing = Text::trimWhitespace(flowing);
    if (Text::graphemeCount(flowing) > previewLength)
        return Text::leftGraphemes(flowing, previewLength) + QChar(0x2026);
    return flowing;
}

QString AIRewritePanel::previewShown() const
{
    return static_cast<const PreviewLabel*>(m_preview)->fullText();
}

void AIRewritePanel::updateRewriteButton()
{
    const bool usable = !Text::trimSpacesAndTabs(m_custom->text()).isEmpty();
    m_rewrite->setEnabled(usable);
    m_rewrite->setOpacity(usable ? 1.0 : 0.4);
}

void AIRewritePanel::chooseCustom()
{
    if (!m_rewrite->isEnabled())
        return;
    emit chosen(m_custom->text());
}

void AIRewritePanel::showCentered()
{
    FloatingPanel::showCentered();
    QTimer::singleShot(focusDelayMs, m_custom,
                       [field = m_custom] { field->setFocus(Qt::ActiveWindowFocusReason); });
}
