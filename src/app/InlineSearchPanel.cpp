#include "app/InlineSearchPanel.h"

#include "ui/RoundedPanel.h"
#include "ui/TextFit.h"
#include "ui/Theme.h"
#include "ui/TriggerChip.h"

#include <QAbstractListModel>
#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPainter>
#include <QPainterPath>
#include <QRegion>
#include <QStackedWidget>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>

namespace {

constexpr qreal kCornerRadius = 12;
constexpr qreal kRowRadius = 7;
constexpr int kRowPaddingX = 10;
constexpr int kRowPaddingY = 8;
constexpr int kRowSpacing = 2;
constexpr int kListPadding = 6;
constexpr int kRowGap = 10;
constexpr qreal kPreviewSize = 12.5;
constexpr qreal kReturnSize = 10;
constexpr int kBarPadding = 14;

// The three glyphs this panel shows, drawn as strokes on a 16 × 16 grid.
enum class Glyph
{
    magnifier,
    magnifierOverText,
    returnKey,
};

void paintGlyph(QPainter& painter, Glyph glyph, const QRectF& box, const QColor& color, qreal weight)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal scale = qMin(box.width(), box.height()) / 16.0;
    painter.translate(box.center().x() - 8 * scale, box.center().y() - 8 * scale);
    painter.scale(scale, scale);
    QPen pen(color, weight, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    switch (glyph) {
    case Glyph::magnifier:
        painter.drawEllipse(QPointF(6.5, 6.5), 4.5, 4.5);
        painter.drawLine(QPointF(9.8, 9.8), QPointF(14, 14));
        break;
    case Glyph::magnifierOverText:
        painter.drawLine(QPointF(1.5, 3), QPointF(8, 3));
        painter.drawLine(QPointF(1.5, 6.5), QPointF(5, 6.5));
        painter.drawLine(QPointF(1.5, 10), QPointF(4, 10));
        painter.drawEllipse(QPointF(9.5, 9), 3.5, 3.5);
        painter.drawLine(QPointF(12, 11.5), QPointF(14.5, 14));
        break;
    case Glyph::returnKey: {
        QPainterPath path;
        path.moveTo(13.5, 3);
        path.lineTo(13.5, 10);
        path.lineTo(3, 10);
        painter.drawPath(path);
        painter.drawPolyline(QPolygonF({QPointF(6.5, 6.5), QPointF(3, 10), QPointF(6.5, 13.5)}));
        break;
    }
    }
    painter.restore();
}

class GlyphView : public QWidget
{
  public:
    GlyphView(Glyph glyph, qreal size, qreal weight, QWidget* parent)
        : QWidget(parent), m_glyph(glyph), m_weight(weight)
    {
        setFixedSize(int(std::ceil(size)) + 2, int(std::ceil(size)) + 2);
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

  protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        paintGlyph(painter, m_glyph, QRectF(rect()).adjusted(1, 1, -1, -1), Theme::textTertiary(), m_weight);
    }

  private:
    Glyph m_glyph;
    qreal m_weight;
};

// A key name in the footer: monospaced on the field colour.
class KeyCap : public QLabel
{
  public:
    KeyCap(const QString& key, QWidget* parent) : QLabel(key, parent)
    {
        setTextFormat(Qt::PlainText);
        setFont(Theme::systemFont(10.5, QFont::Medium, Theme::FontDesign::Monospaced));
        setContentsMargins(5, 2, 5, 2);
        QPalette p = palette();
        p.setColor(QPalette::WindowText, Theme::textSecondary());
        setPalette(p);
    }

  protected:
    void paintEvent(QPaintEvent* event) override
    {
        {
            QPainter painter(this);
            RoundedPanel{4, Theme::field()}.paint(painter, QRectF(rect()));
        }
        QLabel::paintEvent(event);
    }
};

QLabel* plainLabel(const QString& text, const QFont& font, const QColor& color, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setFont(font);
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, color);
    label->setPalette(p);
    return label;
}

QWidget* hint(const QString& key, const QString& text, QWidget* parent)
{
    auto* box = new QWidget(parent);
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(5);
    row->addWidget(new KeyCap(key, box));
    row->addWidget(plainLabel(text, Theme::systemFont(11), Theme::textTertiary(), box));
    return box;
}

QWidget* divider(QWidget* parent)
{
    auto* line = new QWidget(parent);
    line->setFixedHeight(1);
    line->setAutoFillBackground(true);
    QPalette p = line->palette();
    p.setColor(QPalette::Window, Theme::border());
    line->setPalette(p);
    return line;
}

enum Role
{
    triggerRole = Qt::UserRole + 1,
    previewRole,
    selectedRole,
};

} // namespace

// The model's results as rows for the list view; rebuilt whole on every filtering, which
// for a list view with uniform rows costs next to nothing whatever the count.
class InlineSearchResults : public QAbstractListModel
{
  public:
    InlineSearchResults(InlineSearchModel& model, QObject* parent) : QAbstractListModel(parent), m_model(model)
    {
        m_selected = model.selectedIndex();
    }

    int rowCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : int(m_model.results().size());
    }

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid() || index.row() >= m_model.results().size())
            return {};
        const Snippet& s = m_model.results().at(index.row());
        switch (role) {
        case Qt::DisplayRole:
        case Qt::AccessibleTextRole:
            return s.trigger + QStringLiteral(" ") + InlineSearchModel::previewText(s.content);
        case triggerRole:
            return s.trigger;
        case previewRole:
            return InlineSearchModel::previewText(s.content);
        case selectedRole:
            return index.row() == m_model.selectedIndex();
        default:
            return {};
        }
    }

    void reset()
    {
        beginResetModel();
        m_selected = m_model.selectedIndex();
        endResetModel();
    }

    void select(int row)
    {
        const int before = m_selected;
        m_selected = row;
        for (int r : {before, row}) {
            if (r >= 0 && r < rowCount())
                emit dataChanged(index(r), index(r), {selectedRole});
        }
    }

  private:
    InlineSearchModel& m_model;
    int m_selected = 0;
};

namespace {

class RowDelegate : public QStyledItemDelegate
{
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override
    {
        const int chip = QFontMetrics(TriggerChip::chipFont()).height() + 2 * TriggerChip::verticalPadding;
        const int text = QFontMetrics(Theme::systemFont(kPreviewSize)).height();
        return {100, qMax(chip, text) + 2 * kRowPaddingY + kRowSpacing};
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setRenderHint(QPainter::TextAntialiasing);
        const bool selected = index.data(selectedRole).toBool();
        const QRectF row = QRectF(option.rect).adjusted(0, 0, 0, -kRowSpacing);
        if (selected)
            RoundedPanel{kRowRadius, Theme::accentSoft()}.paint(*painter, row);
        const QRectF inner = row.adjusted(kRowPaddingX, kRowPaddingY, -kRowPaddingX, -kRowPaddingY);

        // The trigger chip, given at most 40 % of the row.
        const QFont chipFont = TriggerChip::chipFont();
        const QString trigger = index.data(triggerRole).toString();
        const qreal chipHeight = QFontMetrics(chipFont).height() + 2 * TriggerChip::verticalPadding;
        const qreal chipWidth = qMin<qreal>(naturalTextWidth(chipFont, trigger) + 2 * TriggerChip::horizontalPadding,
                                            inner.width() * 0.4);
        const QRectF chip(inner.left(), inner.center().y() - chipHeight / 2, chipWidth, chipHeight);
        RoundedPanel{TriggerChip::cornerRadius, Theme::accentSoft()}.paint(*painter, chip);
        painter->setFont(chipFont);
        painter->setPen(Theme::accent());
        const QRectF chipText = chip.adjusted(TriggerChip::horizontalPadding, 0, -TriggerChip::horizontalPadding, 0);
        painter->drawText(chipText, Qt::AlignCenter | Qt::TextSingleLine,
                          fitText(chipFont, trigger, chipText.width()));

        // The preview, then the return glyph on the highlighted row.
        qreal right = inner.right();
        if (selected) {
            const QRectF glyph(right - kReturnSize, inner.center().y() - kReturnSize / 2, kReturnSize, kReturnSize);
            paintGlyph(*painter, Glyph::returnKey, glyph, Theme::textTertiary(), 2.2);
            right -= kReturnSize + kRowGap;
        }
        const QFont previewFont = Theme::systemFont(kPreviewSize);
        const QRectF preview(chip.right() + kRowGap, inner.top(), qMax<qreal>(0, right - chip.right() - kRowGap),
                             inner.height());
        painter->setFont(previewFont);
        painter->setPen(selected ? Theme::textPrimary() : Theme::textSecondary());
        painter->drawText(preview, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                          fitText(previewFont, index.data(previewRole).toString(), preview.width()));
        painter->restore();
    }
};

// The list with room around its rows inside the scrolled area.
class ResultsView : public QListView
{
  public:
    explicit ResultsView(QWidget* parent) : QListView(parent)
    {
        setViewportMargins(kListPadding, kListPadding, kListPadding, kListPadding - kRowSpacing);
    }
};

} // namespace

InlineSearchPanel::InlineSearchPanel(InlineSearchModel& model, QWidget* parent)
    : FloatingPanel(parent), m_model(model)
{
    setWindowTitle(QStringLiteral("Search snippets"));
    setFixedSize(InlineSearchPlacement::panelSize);
    setPalette(Theme::darkPalette(Theme::bg()));

    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);

    // The search bar.
    auto* bar = new QWidget(this);
    bar->setFixedHeight(searchBarHeight);
    auto* barRow = new QHBoxLayout(bar);
    barRow->setContentsMargins(kBarPadding, 0, kBarPadding, 0);
    barRow->setSpacing(10);
    barRow->addWidget(new GlyphView(Glyph::magnifier, 14, 1.7, bar), 0, Qt::AlignVCenter);
    m_field = new QLineEdit(bar);
    m_field->setPlaceholderText(QStringLiteral("Search snippets\u2026"));
    m_field->setAccessibleName(m_field->placeholderText());
    m_field->setFrame(false);
    m_field->setFont(Theme::systemFont(16));
    {
        QPalette p = m_field->palette();
        p.setColor(QPalette::Base, Qt::transparent);
        p.setColor(QPalette::Text, Theme::textPrimary());
        p.setColor(QPalette::PlaceholderText, Theme::textTertiary());
        p.setColor(QPalette::Highlight, Theme::accent());
        p.setColor(QPalette::HighlightedText, Qt::white);
        m_field->setPalette(p);
    }
    m_field->setAttribute(Qt::WA_MacShowFocusRect, false);
    m_field->installEventFilter(this);
    barRow->addWidget(m_field, 1);
    stack->addWidget(bar);
    stack->addWidget(divider(this));

    // The results, or the empty state in their place.
    m_stack = new QStackedWidget(this);
    m_stack->setFixedHeight(listHeight);
    m_results = new InlineSearchResults(model, this);
    m_list = new ResultsView(m_stack);
    m_list->setAccessibleName(QStringLiteral("Snippets"));
    m_list->setModel(m_results);
    m_list->setItemDelegate(new RowDelegate(m_list));
    m_list->setUniformItemSizes(true);
    m_list->setSelectionMode(QAbstractItemView::NoSelection);
    m_list->setFocusPolicy(Qt::NoFocus);
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_list->setMouseTracking(true);
    {
        QPalette p = m_list->palette();
        p.setColor(QPalette::Base, Theme::bg());
        p.setColor(QPalette::Window, Theme::bg());
        m_list->setPalette(p);
    }
    connect(m_list, &QListView::clicked, this, [this](const QModelIndex& index) {
        if (index.isValid() && index.row() < m_model.results().size())
            emit rowClicked(m_model.results().at(index.row()));
    });
    m_stack->addWidget(m_list);

    auto* empty = new QWidget(m_stack);
    auto* emptyColumn = new QVBoxLayout(empty);
    emptyColumn->setSpacing(6);
    emptyColumn->addStretch(1);
    emptyColumn->addWidget(new GlyphView(Glyph::magnifierOverText, 20, 1.5, empty), 0, Qt::AlignHCenter);
    m_emptyLabel = plainLabel(QString(), Theme::systemFont(12.5), Theme::textSecondary(), empty);
    m_emptyLabel->setAlignment(Qt::AlignCenter);
    emptyColumn->addWidget(m_emptyLabel, 0, Qt::AlignHCenter);
    emptyColumn->addStretch(1);
    m_stack->addWidget(empty);
    stack->addWidget(m_stack);
    stack->addWidget(divider(this));

    // The footer.
    auto* footer = new QWidget(this);
    footer->setFixedHeight(footerHeight);
    footer->setAutoFillBackground(true);
    {
        QPalette p = footer->palette();
        p.setColor(QPalette::Window, Theme::sidebar());
        footer->setPalette(p);
    }
    auto* footerRow = new QHBoxLayout(footer);
    footerRow->setContentsMargins(kBarPadding, 0, kBarPadding, 0);
    footerRow->setSpacing(14);
    footerRow->addWidget(hint(QStringLiteral("\u2191\u2193"), QStringLiteral("navigate"), footer));
    footerRow->addWidget(hint(QStringLiteral("\u23CE"), QStringLiteral("insert"), footer));
    footerRow->addWidget(hint(QStringLiteral("esc"), QStringLiteral("dismiss"), footer));
    footerRow->addStretch(1);
    m_count = plainLabel(QString(), Theme::systemFont(11), Theme::textTertiary(), footer);
    footerRow->addWidget(m_count);
    stack->addWidget(footer);

    m_field->setText(model.query());
    connect(m_field, &QLineEdit::textChanged, this, [this](const QString& text) { m_model.setQuery(text); });
    connect(&model, &InlineSearchModel::resultsChanged, this, &InlineSearchPanel::updateFromModel);
    connect(&model, &InlineSearchModel::selectedIndexChanged, this, &InlineSearchPanel::followSelection);
    updateFromModel();
}

InlineSearchPanel::~InlineSearchPanel() = default;

bool InlineSearchPanel::showsEmptyState() const
{
    return m_stack->currentWidget() != m_list;
}

void InlineSearchPanel::updateFromModel()
{
    m_results->reset();
    const bool empty = m_model.results().isEmpty();
    m_emptyLabel->setText(InlineSearchModel::emptyText(m_model.query()));
    m_stack->setCurrentIndex(empty ? 1 : 0);
    m_count->setText(InlineSearchModel::countText(int(m_model.results().size())));
    if (!empty)
        m_list->scrollToTop();
}

void InlineSearchPanel::followSelection(int index)
{
    m_results->select(index);
    if (index >= 0 && index < m_results->rowCount())
        m_list->scrollTo(m_results->index(index), QAbstractItemView::EnsureVisible);
}

void InlineSearchPanel::showAt(const QPoint& topLeft)
{
    move(topLeft);
    show();
    raise();
    activateWindow();
    QTimer::singleShot(focusDelayMs, m_field, [field = m_field] { field->setFocus(Qt::ActiveWindowFocusReason); });
}

bool InlineSearchPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_field && event->type() == QEvent::KeyPress) {
        const InlineSearchKey key = inlineSearchKeyFor(static_cast<QKeyEvent*>(event)->key());
        if (key != InlineSearchKey::pass) {
            emit keyAction(key);
            return true;
        }
    }
    return FloatingPanel::eventFilter(watched, event);
}

void InlineSearchPanel::keyPressEvent(QKeyEvent* event)
{
    const InlineSearchKey key = inlineSearchKeyFor(event->key());
    if (key == InlineSearchKey::pass) {
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
    emit keyAction(key);
}

void InlineSearchPanel::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::ActivationChange) {
        if (isActiveWindow())
            m_wasActive = true;
        else if (m_wasActive && isVisible())
            emit deactivated();
    }
    FloatingPanel::changeEvent(event);
}

void InlineSearchPanel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), Theme::bg());
    RoundedPanel{kCornerRadius, Qt::transparent, Theme::borderStrong(), 1}.paint(painter, QRectF(rect()));
}

void InlineSearchPanel::resizeEvent(QResizeEvent* event)
{
    // A plain X server has no compositor to show transparent corners: the window itself
    // is cut to the card's rounded shape.
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), kCornerRadius, kCornerRadius);
    setMask(QRegion(path.toFillPolygon().toPolygon()));
    FloatingPanel::resizeEvent(event);
}
