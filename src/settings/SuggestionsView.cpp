#include "settings/SuggestionsView.h"

#include "ai/AIVetter.h"
#include "ai/CandidateVetting.h"
#include "ai/LearningEngine.h"
#include "ai/OnDeviceModel.h"
#include "ai/PhraseTemplates.h"
#include "model/AppState.h"
#include "settings/PagePieces.h"
#include "ui/AccentToggle.h"
#include "ui/Card.h"
#include "ui/FlowLayout.h"
#include "ui/PillButton.h"
#include "ui/SectionHeader.h"
#include "ui/SettingRow.h"
#include "ui/SymbolImage.h"
#include "ui/Theme.h"
#include "ui/TextFit.h"
#include "ui/ThemedLabel.h"
#include "ui/ThemedTextField.h"

#include <QButtonGroup>
#include <QEnterEvent>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

using namespace SuggestionsLogic;

namespace {

QColor withAlpha(QColor c, qreal alpha)
{
    c.setAlphaF(c.alphaF() * alpha);
    return c;
}

void setRowOpacity(QWidget* row, qreal opacity)
{
    if (opacity >= 1.0) {
        row->setGraphicsEffect(nullptr);
        return;
    }
    auto* effect = qobject_cast<QGraphicsOpacityEffect*>(row->graphicsEffect());
    if (!effect) {
        effect = new QGraphicsOpacityEffect(row);
        row->setGraphicsEffect(effect);
    }
    effect->setOpacity(opacity);
}

qreal rowOpacityOf(const QWidget* row)
{
    auto* effect = qobject_cast<QGraphicsOpacityEffect*>(row->graphicsEffect());
    return effect ? effect->opacity() : 1.0;
}

QLabel* monoLabel(const QString& text, qreal size, const QColor& color, QWidget* parent)
{
    QLabel* l = PagePieces::label(text, size, color, parent);
    l->setFont(Theme::systemFont(size, QFont::Normal, Theme::FontDesign::Monospaced));
    return l;
}

// One side of a correction: a frame 140 wide where the row has room, narrower where it has
// not (the page's smallest width), its word then ending in an ellipsis with the whole word in
// the tooltip. A row of fixed frames would be wider than the page and lose its buttons.
class CorrectionWordLabel : public QLabel
{
  public:
    static constexpr int frameWidth = 140;
    static constexpr int leastWidth = 48;

    explicit CorrectionWordLabel(QWidget* parent) : QLabel(parent)
    {
        setTextFormat(Qt::PlainText);
        setMaximumWidth(frameWidth);
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    }

    void setWord(const QString& word)
    {
        m_word = word;
        setToolTip(word);
        fit();
    }

    QSize sizeHint() const override { return {frameWidth, QLabel::sizeHint().height()}; }
    QSize minimumSizeHint() const override { return {leastWidth, QLabel::minimumSizeHint().height()}; }

  protected:
    void resizeEvent(QResizeEvent* event) override
    {
        QLabel::resizeEvent(event);
        fit();
    }

  private:
    void fit() { setText(fitText(font(), m_word, contentsRect().width())); }

    QString m_word;
};

// "Make template": a borderless button of a wand and a short text in the accent colour.
class LinkButton : public QAbstractButton
{
  public:
    LinkButton(const QString& symbol, const QString& title, QWidget* parent)
        : QAbstractButton(parent), m_symbol(symbol), m_title(title)
    {
        setAccessibleName(title);
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::StrongFocus);
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    }
    QSize sizeHint() const override
    {
        const QFontMetrics fm(font());
        return {symbolSide() + 3 + fm.horizontalAdvance(m_title) + 2,
                std::max(fm.height(), symbolSide()) + 2};
    }

  protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const int side = symbolSide();
        PagePieces::paintSymbol(painter, m_symbol, QRectF(1, (height() - side) / 2.0, side, side),
                                Theme::accent(), 400);
        painter.setFont(font());
        painter.setPen(Theme::accent());
        painter.drawText(QRect(side + 4, 0, width() - side - 4, height()), Qt::AlignLeft | Qt::AlignVCenter,
                         m_title);
        if (hasFocus()) {
            painter.setPen(QPen(withAlpha(Theme::accent(), 0.6), 1));
            painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
        }
    }

  private:
    int symbolSide() const { return int(std::ceil(9 * 1.2)); }
    QString m_symbol;
    QString m_title;
};

// The small two-segment picker: "Literal" and "Template".
QToolButton* segment(const QString& title, QWidget* parent)
{
    auto* b = new QToolButton(parent);
    b->setText(title);
    b->setAccessibleName(title);
    b->setCheckable(true);
    b->setFocusPolicy(Qt::StrongFocus);
    b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    b->setFont(Theme::systemFont(10, QFont::Medium));
    return b;
}

QString segmentStyle()
{
    return QStringLiteral("QToolButton { color: %1; background: %2; border: 1px solid %3; padding: 1px 6px; }"
                          "QToolButton:checked { color: white; background: %4; border-color: %4; }"
                          "QToolButton:focus { border-color: %4; }")
        .arg(Theme::textSecondary().name(QColor::HexArgb), Theme::field().name(QColor::HexArgb),
             Theme::borderStrong().name(QColor::HexArgb), Theme::accent().name(QColor::HexArgb));
}

} // namespace

// Small pieces ----------------------------------------------------------------------------

HoverRow::HoverRow(qreal hoverAlpha, QWidget* parent) : QWidget(parent), m_hoverAlpha(hoverAlpha)
{
    setAttribute(Qt::WA_Hover);
}

void HoverRow::setHovering(bool hovering)
{
    if (hovering == m_hovering)
        return;
    m_hovering = hovering;
    update();
    Q_EMIT hoveringChanged(hovering);
}

void HoverRow::enterEvent(QEnterEvent* event)
{
    setHovering(true);
    QWidget::enterEvent(event);
}

void HoverRow::leaveEvent(QEvent* event)
{
    setHovering(false);
    QWidget::leaveEvent(event);
}

void HoverRow::paintEvent(QPaintEvent*)
{
    if (!m_hovering)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), 6, 6);
    painter.fillPath(shape, QColor(255, 255, 255, int(std::round(m_hoverAlpha * 255))));
}

RevealedSymbolButton::RevealedSymbolButton(const QString& symbol, qreal size, const QColor& color,
                                           const QString& name, QWidget* parent)
    : QAbstractButton(parent), m_symbol(symbol), m_size(size), m_color(color)
{
    setAccessibleName(name);
    setToolTip(name);
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void RevealedSymbolButton::setRevealed(bool revealed)
{
    if (revealed == m_revealed)
        return;
    m_revealed = revealed;
    update();
}

QSize RevealedSymbolButton::sizeHint() const
{
    const int side = int(std::ceil(m_size * 1.2)) + 4;
    return {side, side};
}

void RevealedSymbolButton::paintEvent(QPaintEvent*)
{
    if (!isShowing())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal side = m_size * 1.2;
    PagePieces::paintSymbol(painter, m_symbol,
                            QRectF((width() - side) / 2, (height() - side) / 2, side, side), m_color, 400);
    if (hasFocus()) {
        painter.setPen(QPen(withAlpha(Theme::accent(), 0.6), 1));
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
    }
}

void RevealedSymbolButton::focusInEvent(QFocusEvent* event)
{
    QAbstractButton::focusInEvent(event);
    update();
}

void RevealedSymbolButton::focusOutEvent(QFocusEvent* event)
{
    QAbstractButton::focusOutEvent(event);
    update();
}

CountChip::CountChip(int count, QWidget* parent) : QWidget(parent)
{
    setFont(Theme::systemFont(9.5, QFont::DemiBold, Theme::FontDesign::Monospaced));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setCount(count);
}

void CountChip::setCount(int count)
{
    if (count == m_count && !accessibleName().isEmpty())
        return;
    m_count = count;
    setAccessibleName(text());
    updateGeometry();
    update();
}

QString CountChip::text() const
{
    return countChipText(m_count);
}

QSize CountChip::sizeHint() const
{
    const QFontMetrics fm(font());
    return {fm.horizontalAdvance(text()) + 12, fm.height() + 4};
}

void CountChip::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath capsule;
    capsule.addRoundedRect(QRectF(rect()), height() / 2.0, height() / 2.0);
    painter.fillPath(capsule, Theme::field());
    painter.setPen(Theme::textTertiary());
    painter.drawText(rect(), Qt::AlignCenter, text());
}

AIBadge::AIBadge(AIVerdict verdict, QWidget* parent) : QWidget(parent), m_verdict(verdict)
{
    setFont(Theme::systemFont(9.5, QFont::DemiBold));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAccessibleName(label());
}

void AIBadge::setVerdict(AIVerdict verdict)
{
    if (verdict == m_verdict)
        return;
    m_verdict = verdict;
    setAccessibleName(label());
    updateGeometry();
    update();
}

QString AIBadge::label() const
{
    return badge(m_verdict).label;
}

QSize AIBadge::sizeHint() const
{
    const QFontMetrics fm(font());
    const int symbol = int(std::ceil(9 * 1.2));
    return {6 + symbol + 3 + fm.horizontalAdvance(label()) + 6, std::max(fm.height(), symbol) + 4};
}

void AIBadge::paintEvent(QPaintEvent*)
{
    const Badge b = badge(m_verdict);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath capsule;
    capsule.addRoundedRect(QRectF(rect()), height() / 2.0, height() / 2.0);
    painter.fillPath(capsule, withAlpha(b.colour, 0.13));
    const int symbol = int(std::ceil(9 * 1.2));
    PagePieces::paintSymbol(painter, b.symbol, QRectF(6, (height() - symbol) / 2.0, symbol, symbol), b.colour,
                            400);
    painter.setPen(b.colour);
    painter.drawText(QRect(6 + symbol + 3, 0, width() - symbol - 9, height()),
                     Qt::AlignLeft | Qt::AlignVCenter, b.label);
}

// Correction rows -------------------------------------------------------------------------

CorrectionSuggestionRow::CorrectionSuggestionRow(const CorrectionCandidate& candidate, QWidget* parent)
    : HoverRow(0.03, parent), m_candidate(candidate)
{
    setObjectName(QStringLiteral("correctionRow"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 6, 12, 6);
    layout->setSpacing(10);

    const auto word = [this](const QColor& color, bool struck) {
        auto* label = new CorrectionWordLabel(this);
        QFont font = Theme::systemFont(12, QFont::Normal, Theme::FontDesign::Monospaced);
        font.setStrikeOut(struck);
        label->setFont(font);
        setLabelColor(label, color);
        return label;
    };
    m_wrong = word(withAlpha(Theme::red(), 0.8), true);
    m_wrong->setObjectName(QStringLiteral("correctionWrong"));
    m_right = word(Theme::green(), false);
    m_right->setObjectName(QStringLiteral("correctionRight"));
    m_count = new CountChip(candidate.count, this);
    m_badge = new AIBadge(AIVerdict::approved, this);
    m_accept = new PillButton(QStringLiteral("Add correction"), QStringLiteral("checkmark"), true, this);
    m_dismiss = new PillButton(QStringLiteral("Dismiss"), QStringLiteral("xmark"), false, this);

    layout->addWidget(m_wrong);
    layout->addWidget(new PageSymbolView(QStringLiteral("arrow.right"), 9, Theme::textTertiary(), this, 600));
    layout->addWidget(m_right);
    layout->addWidget(m_count);
    layout->addWidget(m_badge);
    layout->addStretch(1);
    layout->addWidget(m_accept);
    layout->addWidget(m_dismiss);

    connect(m_accept, &QAbstractButton::clicked, this, [this] { Q_EMIT accepted(m_candidate); });
    connect(m_dismiss, &QAbstractButton::clicked, this, [this] { Q_EMIT dismissed(m_candidate); });
    setCandidate(candidate);
}

void CorrectionSuggestionRow::setCandidate(const CorrectionCandidate& candidate)
{
    m_candidate = candidate;
    static_cast<CorrectionWordLabel*>(m_wrong)->setWord(candidate.wrong);
    static_cast<CorrectionWordLabel*>(m_right)->setWord(candidate.right);
    m_count->setCount(candidate.count);
    if (candidate.aiVerdict)
        m_badge->setVerdict(*candidate.aiVerdict);
    m_badge->setVisible(candidate.aiVerdict.has_value());
    setRowOpacity(this, rowOpacity(candidate.aiVerdict));
    setAccessibleName(QStringLiteral("%1 \u2192 %2").arg(candidate.wrong, candidate.right));
}

void CorrectionSuggestionRow::resizeEvent(QResizeEvent* event)
{
    HoverRow::resizeEvent(event);
    // Both frames get what the row can spare beside everything else it may show, the wider
    // verdict badge included, so that every row of the list shares one frame width and the
    // arrows stay in a column.
    static const int widestBadge = [] {
        return qMax(AIBadge(AIVerdict::approved).sizeHint().width(),
                    AIBadge(AIVerdict::rejected).sizeHint().width());
    }();
    const auto* row = static_cast<QHBoxLayout*>(layout());
    const QMargins margins = row->contentsMargins();
    const int others = margins.left() + margins.right() + 7 * row->spacing() +
                       row->itemAt(1)->sizeHint().width() + m_count->sizeHint().width() + widestBadge +
                       m_accept->sizeHint().width() + m_dismiss->sizeHint().width();
    const int frame = std::clamp((width() - others) / 2, int(CorrectionWordLabel::leastWidth),
                                 int(CorrectionWordLabel::frameWidth));
    if (m_wrong->maximumWidth() != frame) {
        m_wrong->setMaximumWidth(frame);
        m_right->setMaximumWidth(frame);
    }
}

qreal CorrectionSuggestionRow::opacity() const
{
    return rowOpacityOf(this);
}

// Phrase rows -----------------------------------------------------------------------------

PhraseSuggestionRow::PhraseSuggestionRow(const PhraseCandidate& candidate, const Context& context,
                                         QWidget* parent)
    : HoverRow(0.03, parent), m_candidate(candidate), m_context(context)
{
    setObjectName(QStringLiteral("phraseRow"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 8, 12, 8);
    layout->setSpacing(10);

    auto* text = new QVBoxLayout;
    text->setSpacing(4);
    m_content = PagePieces::label(QString(), 12, Theme::textPrimary(), this);
    m_content->setObjectName(QStringLiteral("phraseContent"));
    m_content->setWordWrap(true);
    m_content->setMaximumHeight(QFontMetrics(m_content->font()).lineSpacing() * 2 + 2);
    m_content->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    text->addWidget(m_content);

    // The chips and the template control wrap onto a second line where the row is narrow,
    // rather than pushing the trigger field and the buttons off the page.
    auto* meta = new FlowLayout(nullptr, 6);
    m_count = new CountChip(candidate.count, this);
    m_badge = new AIBadge(AIVerdict::approved, this);
    m_makeTemplate = new LinkButton(QStringLiteral("wand.and.stars"), QStringLiteral("Make template"), this);
    m_makeTemplate->setFont(Theme::systemFont(9.5, QFont::DemiBold));
    m_picker = new QWidget(this);
    m_picker->setFixedWidth(140);
    m_picker->setStyleSheet(segmentStyle());
    auto* pickerLayout = new QHBoxLayout(m_picker);
    pickerLayout->setContentsMargins(0, 0, 0, 0);
    pickerLayout->setSpacing(0);
    m_pickerGroup = new QButtonGroup(m_picker);
    m_pickerGroup->setExclusive(true);
    QToolButton* literal = segment(QStringLiteral("Literal"), m_picker);
    QToolButton* templ = segment(QStringLiteral("Template"), m_picker);
    m_pickerGroup->addButton(literal, 0);
    m_pickerGroup->addButton(templ, 1);
    pickerLayout->addWidget(literal);
    pickerLayout->addWidget(templ);
    meta->addWidget(m_count);
    meta->addWidget(m_badge);
    meta->addWidget(m_makeTemplate);
    meta->addWidget(m_picker);
    text->addLayout(meta);
    m_problem = PagePieces::label(QString(), 11, Theme::amber(), this);
    m_problem->setWordWrap(true);
    m_problem->setVisible(false);
    text->addWidget(m_problem);
    layout->addLayout(text, 1);

    m_trigger = new ThemedTextField(QStringLiteral(";trigger"), true, this);
    m_trigger->setAccessibleName(QStringLiteral(";trigger"));
    m_trigger->setFixedWidth(110);
    m_accept = new PillButton(QStringLiteral("Add snippet"), QStringLiteral("checkmark"), true, this);
    m_dismiss = new PillButton(QStringLiteral("Dismiss"), QStringLiteral("xmark"), false, this);
    layout->addWidget(m_trigger, 0, Qt::AlignVCenter);
    layout->addWidget(m_accept, 0, Qt::AlignVCenter);
    layout->addWidget(m_dismiss, 0, Qt::AlignVCenter);

    // Only the user's own edits count as theirs (keys, paste, an assistive tool's edit);
    // what the row puts in itself goes in with the field's signals blocked.
    connect(m_trigger, &QLineEdit::textChanged, this, [this](const QString& t) {
        m_field.userEdited(t);
        m_problem->setVisible(false);
    });
    connect(m_pickerGroup, &QButtonGroup::idClicked, this, [this](int id) { setUseTemplate(id == 1); });
    connect(m_makeTemplate, &QAbstractButton::clicked, this, [this] { Q_EMIT templatize(m_candidate); });
    connect(m_accept, &QAbstractButton::clicked, this, &PhraseSuggestionRow::accept);
    connect(m_dismiss, &QAbstractButton::clicked, this, [this] { Q_EMIT dismissed(m_candidate); });

    refresh();
}

void PhraseSuggestionRow::setCandidate(const PhraseCandidate& candidate, const Context& context)
{
    const std::optional<QString> proposalBefore = m_candidate.aiTrigger;
    m_candidate = candidate;
    m_context = context;
    if (candidate.aiTrigger != proposalBefore && candidate.aiTrigger) {
        const bool taken = m_context.isTaken && m_context.isTaken(*candidate.aiTrigger);
        if (m_field.proposalArrived(candidate.aiTrigger, taken))
            showTrigger();
    }
    refresh();
}

QString PhraseSuggestionRow::trigger() const
{
    return m_trigger->text();
}

void PhraseSuggestionRow::setUseTemplate(bool useTemplate)
{
    if (useTemplate == m_useTemplate)
        return;
    m_useTemplate = useTemplate;
    refresh();
}

QString PhraseSuggestionRow::chosenContent() const
{
    return SuggestionsLogic::chosenContent(m_candidate, m_useTemplate);
}

TemplateControl PhraseSuggestionRow::templateControl() const
{
    return SuggestionsLogic::templateControl(m_candidate, m_context.canTemplate);
}

QAbstractButton* PhraseSuggestionRow::literalButton() const
{
    return m_pickerGroup->button(0);
}

QAbstractButton* PhraseSuggestionRow::templateButton() const
{
    return m_pickerGroup->button(1);
}

qreal PhraseSuggestionRow::opacity() const
{
    return rowOpacityOf(this);
}

void PhraseSuggestionRow::accept()
{
    const QString t = m_trigger->text();
    switch (m_context.problem ? m_context.problem(t) : TriggerProblem::none) {
    case TriggerProblem::blank:
        return;
    case TriggerProblem::taken:
        // Adding it would take the trigger from the snippet that fires on it now.
        m_problem->setText(takenTriggerMessage(t));
        m_problem->setVisible(true);
        return;
    case TriggerProblem::none:
        break;
    }
    m_problem->setVisible(false);
    Q_EMIT accepted(m_candidate, t, chosenContent());
}

void PhraseSuggestionRow::showEvent(QShowEvent* event)
{
    HoverRow::showEvent(event);
    if (m_field.cameIntoView(m_context.defaultTrigger))
        showTrigger();
}

void PhraseSuggestionRow::showTrigger()
{
    if (m_trigger->text() == m_field.text())
        return;
    const QSignalBlocker blocker(m_trigger);
    m_trigger->setText(m_field.text());
}

void PhraseSuggestionRow::refresh()
{
    const QString content = chosenContent();
    m_content->setText(content);
    m_content->setToolTip(content);
    m_count->setCount(m_candidate.count);
    if (m_candidate.aiVerdict)
        m_badge->setVerdict(*m_candidate.aiVerdict);
    m_badge->setVisible(m_candidate.aiVerdict.has_value());
    const TemplateControl control = templateControl();
    m_makeTemplate->setVisible(control == TemplateControl::button);
    m_picker->setVisible(control == TemplateControl::picker);
    // Filling the picker is not a choice: the group's click signal stays quiet.
    if (QAbstractButton* b = m_pickerGroup->button(m_useTemplate ? 1 : 0); !b->isChecked())
        b->setChecked(true);
    setRowOpacity(this, rowOpacity(m_candidate.aiVerdict));
    setAccessibleName(m_candidate.text);
}

// Watching rows ---------------------------------------------------------------------------

WatchingRow::WatchingRow(QWidget* parent) : HoverRow(0.02, parent)
{
    setObjectName(QStringLiteral("watchingRow"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 4, 12, 4);
    layout->setSpacing(8);
    m_left = monoLabel(QString(), 11.5, Theme::textSecondary(), this);
    m_left->setObjectName(QStringLiteral("watchingText"));
    m_left->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Preferred);
    m_arrow = new PageSymbolView(QStringLiteral("arrow.right"), 8, Theme::textTertiary(), this, 600);
    m_right = monoLabel(QString(), 11.5, Theme::textSecondary(), this);
    m_detail = PagePieces::label(QString(), 9.5, Theme::textTertiary(), this, QFont::Medium);
    m_dismiss = new RevealedSymbolButton(QStringLiteral("xmark"), 9, Theme::textTertiary(),
                                         QStringLiteral("Dismiss"), this);
    m_dismiss->setRevealed(false);
    layout->addWidget(m_left);
    layout->addWidget(m_arrow);
    layout->addWidget(m_right);
    layout->addWidget(m_detail);
    layout->addStretch(1);
    layout->addWidget(m_dismiss);
    connect(this, &HoverRow::hoveringChanged, m_dismiss, &RevealedSymbolButton::setRevealed);
    connect(m_dismiss, &QAbstractButton::clicked, this, &WatchingRow::dismissed);
}

void WatchingRow::set(const QString& left, const std::optional<QString>& right, const QString& detail)
{
    // One line at most: a long phrase ends in an ellipsis (the whole text is the tooltip).
    const QFontMetrics fm(m_left->font());
    m_left->setText(
        fm.elidedText(QString(left).replace(QLatin1Char('\n'), QLatin1Char(' ')), Qt::ElideRight, 420));
    m_left->setToolTip(left);
    m_arrow->setVisible(right.has_value());
    m_right->setVisible(right.has_value());
    m_right->setText(right.value_or(QString()));
    m_detail->setText(detail);
    setAccessibleName(right ? QStringLiteral("%1 \u2192 %2").arg(left, *right) : left);
}

QString WatchingRow::leftText() const
{
    return m_left->toolTip();
}

QString WatchingRow::detailText() const
{
    return m_detail->text();
}

// The page --------------------------------------------------------------------------------

SuggestionsView::SuggestionsView(AppState& state, LearningEngine& learning, AIVetter& vetter,
                                 CandidateVetting& vetting, PhraseTemplates& templates, AIAccess ai,
                                 OnDeviceModel* onDevice, QWidget* parent)
    : QWidget(parent), m_state(state), m_learning(learning), m_vetter(vetter), m_vetting(vetting),
      m_templates(templates), m_ai(std::move(ai)), m_onDevice(onDevice)
{
    setPalette(Theme::darkPalette(Theme::bg()));
    setAutoFillBackground(true);

    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(32, 32, 32, 32);
    page->setSpacing(18);

    // Header and error line.
    auto* header = new QHBoxLayout;
    header->setSpacing(12);
    header->addWidget(
        new SectionHeader(QStringLiteral("Suggestions"),
                          QStringLiteral("Learned from how you type. Nothing is applied until you "
                                         "accept it."),
                          this),
        1, Qt::AlignTop);
    m_vetButton = new PillButton(QString(), QStringLiteral("sparkles"), true, this);
    header->addWidget(m_vetButton, 0, Qt::AlignTop);
    page->addLayout(header);
    m_error = PagePieces::label(QString(), 11, Theme::amber(), this);
    m_error->setWordWrap(true);
    m_error->setTextInteractionFlags(Qt::TextSelectableByMouse);
    page->addWidget(m_error);

    // Learning off.
    m_learningOff = new Card(18, this);
    m_learningToggle = new AccentToggle(false);
    m_learningToggle->setAccessibleName(QStringLiteral("Learning is off"));
    m_learningOff->addContent(new SettingRow(
        QStringLiteral("Learning is off"),
        QStringLiteral("Turn on \u201CLearn from my typing\u201D in General to collect suggestions."),
        m_learningToggle));
    page->addWidget(m_learningOff);

    // The scrolling part.
    m_scroll = new QScrollArea(this);
    m_scroll->setWidgetResizable(true);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* content = new QWidget;
    content->setObjectName(QStringLiteral("suggestionsContent"));
    content->setAutoFillBackground(false);
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 0, 24);
    column->setSpacing(18);

    m_empty = new Card(18, content);
    auto* emptyRow = new QHBoxLayout;
    emptyRow->setSpacing(14);
    emptyRow->addWidget(
        new PageSymbolView(QStringLiteral("lightbulb"), 20, Theme::textTertiary(), nullptr, 400), 0,
        Qt::AlignVCenter);
    auto* emptyText = new QVBoxLayout;
    emptyText->setSpacing(4);
    emptyText->addWidget(
        PagePieces::label(emptyStateTitle(), 13, Theme::textPrimary(), nullptr, QFont::DemiBold));
    QLabel* emptySentence = PagePieces::label(emptyStateSentence(), 11.5, Theme::textSecondary());
    emptySentence->setWordWrap(true);
    emptyText->addWidget(emptySentence);
    emptyRow->addLayout(emptyText, 1);
    m_empty->addContent(emptyRow);
    column->addWidget(m_empty);

    const auto section = [&](const QString& caption, QLabel*& label, QWidget*& box, QVBoxLayout*& layout,
                             int spacing) {
        label = PagePieces::caption(caption, content);
        column->addWidget(label);
        box = new QWidget(content);
        layout = new QVBoxLayout(box);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(spacing);
        column->addWidget(box);
    };
    section(QStringLiteral("TYPOS YOU FIX BY HAND"), m_correctionsCaption, m_correctionsBox,
            m_correctionsLayout, 4);
    section(QStringLiteral("TEXT YOU RETYPE"), m_phrasesCaption, m_phrasesBox, m_phrasesLayout, 4);
    section(QStringLiteral("STILL WATCHING"), m_watchingCaption, m_watchingBox, m_watchingLayout, 2);

    auto* footer = new QHBoxLayout;
    footer->setContentsMargins(0, 8, 0, 0);
    footer->setSpacing(12);
    m_footer = PagePieces::label(QString(), 11, Theme::textTertiary(), content);
    m_footer->setWordWrap(true);
    m_clear = new PillButton(QStringLiteral("Clear learned data"), QStringLiteral("trash"), false, content);
    m_clear->setObjectName(QStringLiteral("clearLearnedData"));
    footer->addWidget(m_footer, 1);
    footer->addWidget(m_clear, 0, Qt::AlignVCenter);
    column->addLayout(footer);
    column->addStretch(1);
    m_scroll->setWidget(content);
    m_scroll->viewport()->setAutoFillBackground(false);
    content->setPalette(palette());
    page->addWidget(m_scroll, 1);

    // Actions.
    connect(m_vetButton, &QAbstractButton::clicked, this, &SuggestionsView::startVetting);
    connect(m_clear, &QAbstractButton::clicked, this, [this] { m_learning.clearAllLearnedData(); });
    m_learningToggle->setOn(m_state.learningEnabled());
    connect(m_learningToggle, &AccentToggle::toggled, this, [this](bool on) {
        if (m_state.learningEnabled() != on)
            m_state.setLearningEnabled(on);
    });

    // What the page follows.
    connect(&m_learning, &LearningEngine::correctionCandidatesChanged, this, &SuggestionsView::refreshLists);
    connect(&m_learning, &LearningEngine::phraseCandidatesChanged, this, &SuggestionsView::refreshLists);
    connect(&m_learning, &LearningEngine::isAutoVettingChanged, this, &SuggestionsView::refreshHeader);
    connect(&m_vetter, &AIVetter::hasKeyChanged, this, &SuggestionsView::refreshHeader);
    connect(&m_vetter, &AIVetter::isVettingChanged, this, &SuggestionsView::refreshHeader);
    connect(&m_vetter, &AIVetter::lastErrorChanged, this, &SuggestionsView::refreshHeader);
    connect(&m_state, &AppState::aiVettingBackendChanged, this, &SuggestionsView::refreshHeader);
    connect(&m_state, &AppState::learningEnabledChanged, this, &SuggestionsView::refreshHeader);
    // Which triggers are free and whether templates can be asked for.
    connect(&m_state, &AppState::aiLearningBackendChanged, this, &SuggestionsView::refreshLists);
    connect(&m_state, &AppState::snippetsChanged, this, &SuggestionsView::refreshLists);
    connect(&m_state, &AppState::groupsChanged, this, &SuggestionsView::refreshLists);
    if (m_onDevice)
        connect(m_onDevice, &OnDeviceModel::statusChanged, this, &SuggestionsView::refreshHeader);

    refreshHeader();
    refreshLists();
}

void SuggestionsView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // The model's availability is read when the page is drawn.
    refreshHeader();
}

void SuggestionsView::refreshHeader()
{
    VetButtonInput in;
    in.backend = m_state.aiVettingBackend();
    in.hasKey = m_vetter.hasKey();
    in.isVetting = m_vetter.isVetting();
    in.isAutoVetting = m_learning.isAutoVetting();
    in.onDeviceReady = in.backend == AIBackend::onDevice && m_ai.isReady && m_ai.isReady(AIBackend::onDevice);
    const VetButton form = SuggestionsLogic::vetButton(in);
    m_vetButton->setVisible(form.kind != VetButton::Kind::none);
    m_vetButton->setTitle(form.title);
    m_vetButton->setAccessibleName(form.title);
    m_vetButton->setEnabled(form.enabled);
    m_vetButton->setOpacity(form.opacity);

    const std::optional<QString> error = m_vetter.lastError();
    m_error->setText(error.value_or(QString()));
    m_error->setVisible(error.has_value());

    const bool learningOn = m_state.learningEnabled();
    m_learningOff->setVisible(!learningOn);
    if (m_learningToggle->isOn() != learningOn) {
        const QSignalBlocker blocker(m_learningToggle);
        m_learningToggle->setOn(learningOn);
    }
    m_footer->setText(footerSentence(m_state.aiVettingBackend()));
}

void SuggestionsView::startVetting()
{
    switch (m_state.aiVettingBackend()) {
    case AIBackend::openAI:
        m_vetting.vetPendingSuggestions();
        break;
    case AIBackend::onDevice:
        m_vetting.autoVetOnDevice();
        break;
    case AIBackend::off:
        break;
    }
}

PhraseSuggestionRow::Context SuggestionsView::contextFor(const PhraseCandidate& candidate) const
{
    PhraseSuggestionRow::Context c;
    c.defaultTrigger = m_learning.suggestedTrigger(candidate);
    c.canTemplate = m_state.aiLearningBackend() != AIBackend::off;
    AppState* state = &m_state;
    c.isTaken = [state](const QString& t) { return isTriggerTaken(*state, t); };
    c.problem = [state](const QString& t) { return triggerProblem(*state, t); };
    return c;
}

void SuggestionsView::makeTemplate(const PhraseCandidate& candidate)
{
    // One request per candidate at a time: a second press while one runs does nothing.
    if (m_templating.contains(candidate.id))
        return;
    m_templating.insert(candidate.id);
    QPointer<SuggestionsView> self(this);
    m_templates.makeTemplate(candidate, [self, id = candidate.id] {
        if (self)
            self->m_templating.remove(id);
    });
}

namespace {

// Puts the rows of `order` into `layout` in that order, after what is there already gone.
// Screen readers read a box's rows in the order of its children, not of its layout: the
// children are put in the same order, or a row made later (a newer candidate shown on top)
// would be read last.
void placeInOrder(QVBoxLayout* layout, const QList<QWidget*>& order)
{
    for (int i = 0; i < order.size(); ++i) {
        QWidget* w = order.at(i);
        if (layout->indexOf(w) == i)
            continue;
        layout->removeWidget(w);
        layout->insertWidget(i, w);
    }
    QList<QWidget*> children;
    for (QObject* o : layout->parentWidget()->children()) {
        if (auto* w = qobject_cast<QWidget*>(o); w && order.contains(w))
            children.append(w);
    }
    if (children == order)
        return;
    // The rows never overlap, so raising them in this order changes nothing on screen; each
    // goes to the end of its parent's children.
    for (QWidget* w : order)
        w->raise();
}

template <typename Row, typename Key>
void dropMissing(QVBoxLayout* layout, QHash<Key, Row*>& rows, const QSet<Key>& keep)
{
    for (auto it = rows.begin(); it != rows.end();) {
        if (keep.contains(it.key())) {
            ++it;
            continue;
        }
        // Later: the row may be the one whose button is being handled right now.
        layout->removeWidget(it.value());
        it.value()->hide();
        it.value()->deleteLater();
        it = rows.erase(it);
    }
}

} // namespace

void SuggestionsView::refreshLists()
{
    const QList<CorrectionCandidate> corrections = m_learning.suggestedCorrections();
    const QList<PhraseCandidate> phrases = m_learning.suggestedPhrases();

    // Corrections.
    QSet<QUuid> keep;
    QList<QWidget*> order;
    for (const CorrectionCandidate& c : corrections) {
        keep.insert(c.id);
        CorrectionSuggestionRow* row = m_correctionRows.value(c.id);
        if (!row) {
            row = new CorrectionSuggestionRow(c, m_correctionsBox);
            connect(row, &CorrectionSuggestionRow::accepted, this,
                    [this](const CorrectionCandidate& cand) { m_learning.acceptCorrection(cand); });
            connect(row, &CorrectionSuggestionRow::dismissed, this,
                    [this](const CorrectionCandidate& cand) { m_learning.dismissCorrection(cand); });
            m_correctionRows.insert(c.id, row);
        } else if (row->candidate() != c) {
            row->setCandidate(c);
        }
        order.append(row);
    }
    dropMissing(m_correctionsLayout, m_correctionRows, keep);
    placeInOrder(m_correctionsLayout, order);
    for (QWidget* w : order)
        w->show();

    // Phrases.
    QSet<QUuid> keepPhrases;
    order.clear();
    for (const PhraseCandidate& p : phrases) {
        keepPhrases.insert(p.id);
        PhraseSuggestionRow* row = m_phraseRows.value(p.id);
        if (!row) {
            row = new PhraseSuggestionRow(p, contextFor(p), m_phrasesBox);
            connect(row, &PhraseSuggestionRow::accepted, this,
                    [this](const PhraseCandidate& cand, const QString& trigger, const QString& content) {
                        m_learning.acceptPhrase(cand, trigger, content);
                    });
            connect(row, &PhraseSuggestionRow::dismissed, this,
                    [this](const PhraseCandidate& cand) { m_learning.dismissPhrase(cand); });
            connect(row, &PhraseSuggestionRow::templatize, this, &SuggestionsView::makeTemplate);
            m_phraseRows.insert(p.id, row);
        } else {
            row->setCandidate(p, contextFor(p));
        }
        order.append(row);
    }
    dropMissing(m_phrasesLayout, m_phraseRows, keepPhrases);
    placeInOrder(m_phrasesLayout, order);
    for (QWidget* w : order)
        w->show();

    // A request for a candidate that is gone cannot block anything any more.
    QSet<QUuid> allPhrases;
    for (const PhraseCandidate& p : m_learning.phraseCandidates())
        allPhrases.insert(p.id);
    m_templating.intersect(allPhrases);

    // Still watching: corrections first, then phrases.
    QSet<QString> keepWatching;
    order.clear();
    const auto watching = [&](const QString& key, const QString& left, const std::optional<QString>& right,
                              int count, const std::function<void()>& dismiss) {
        keepWatching.insert(key);
        WatchingRow* row = m_watchingRows.value(key);
        if (!row) {
            row = new WatchingRow(m_watchingBox);
            m_watchingRows.insert(key, row);
        }
        row->disconnect(this);
        connect(row, &WatchingRow::dismissed, this, dismiss);
        row->set(left, right, watchingDetail(count));
        order.append(row);
    };
    for (const CorrectionCandidate& c : firstWatching(m_learning.inProgressCorrections()))
        watching(QStringLiteral("c:") + c.id.toString(), c.wrong, c.right, c.count,
                 [this, c] { m_learning.dismissCorrection(c); });
    for (const PhraseCandidate& p : firstWatching(m_learning.inProgressPhrases()))
        watching(QStringLiteral("p:") + p.id.toString(), p.text, std::nullopt, p.count,
                 [this, p] { m_learning.dismissPhrase(p); });
    dropMissing(m_watchingLayout, m_watchingRows, keepWatching);
    placeInOrder(m_watchingLayout, order);
    for (QWidget* w : order)
        w->show();

    m_empty->setVisible(corrections.isEmpty() && phrases.isEmpty());
    m_correctionsCaption->setVisible(!corrections.isEmpty());
    m_correctionsBox->setVisible(!corrections.isEmpty());
    m_phrasesCaption->setVisible(!phrases.isEmpty());
    m_phrasesBox->setVisible(!phrases.isEmpty());
    m_watchingCaption->setVisible(!m_watchingRows.isEmpty());
    m_watchingBox->setVisible(!m_watchingRows.isEmpty());
}

QList<CorrectionSuggestionRow*> SuggestionsView::correctionRows() const
{
    QList<CorrectionSuggestionRow*> out;
    for (int i = 0; i < m_correctionsLayout->count(); ++i)
        if (auto* row = qobject_cast<CorrectionSuggestionRow*>(m_correctionsLayout->itemAt(i)->widget()))
            out.append(row);
    return out;
}

QList<PhraseSuggestionRow*> SuggestionsView::phraseRows() const
{
    QList<PhraseSuggestionRow*> out;
    for (int i = 0; i < m_phrasesLayout->count(); ++i)
        if (auto* row = qobject_cast<PhraseSuggestionRow*>(m_phrasesLayout->itemAt(i)->widget()))
            out.append(row);
    return out;
}

QList<WatchingRow*> SuggestionsView::watchingRows() const
{
    QList<WatchingRow*> out;
    for (int i = 0; i < m_watchingLayout->count(); ++i)
        if (auto* row = qobject_cast<WatchingRow*>(m_watchingLayout->itemAt(i)->widget()))
            out.append(row);
    return out;
}
