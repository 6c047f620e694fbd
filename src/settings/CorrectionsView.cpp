#include "settings/CorrectionsView.h"

#include "model/AppState.h"
#include "settings/CorrectionList.h"
#include "settings/CorrectionListModel.h"
#include "settings/PagePieces.h"
#include "ui/AccentToggle.h"
#include "ui/Card.h"
#include "ui/PillButton.h"
#include "ui/SectionHeader.h"
#include "ui/SettingRow.h"
#include "ui/SymbolImage.h"
#include "ui/Theme.h"
#include "ui/ThemedTextField.h"

#include <QHBoxLayout>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>
#include <QVBoxLayout>

namespace {

constexpr int kRowSpacing = 4;

QColor withAlpha(QColor c, qreal alpha)
{
    c.setAlphaF(c.alphaF() * alpha);
    return c;
}

// A switch that shows a stored Boolean: filled without writing back, and a click writes
// only a value that differs from the stored one.
void bindToggle(AccentToggle* toggle, AppState& state, bool (AppState::*get)() const,
                void (AppState::*set)(bool), void (AppState::*changed)(bool))
{
    toggle->setOn((state.*get)());
    QObject::connect(toggle, &AccentToggle::toggled, toggle, [&state, get, set](bool on) {
        if ((state.*get)() != on)
            (state.*set)(on);
    });
    QObject::connect(&state, changed, toggle, [toggle](bool on) {
        if (toggle->isOn() == on)
            return;
        const QSignalBlocker blocker(toggle);
        toggle->setOn(on);
    });
}

} // namespace

// The list --------------------------------------------------------------------------------

CorrectionListView::CorrectionListView(AppState& state, CorrectionListModel& model, QWidget* parent)
    : QListView(parent)
    , m_state(state)
    , m_model(model)
{
    setModel(&m_model);
    setItemDelegate(new CorrectionRowDelegate(state, *this));
    setUniformItemSizes(true);
    setFrameShape(QFrame::NoFrame);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setMouseTracking(true);
    viewport()->setAttribute(Qt::WA_Hover);
    setAccessibleName(QStringLiteral("Corrections"));
    setAutoFillBackground(false);
    viewport()->setAutoFillBackground(false);
    // A removed row under the pointer leaves no stale hover behind.
    connect(&m_model, &QAbstractItemModel::rowsRemoved, this, [this] {
        if (!m_hoveredId.isEmpty() && m_model.indexOf(m_hoveredId) < 0)
            m_hoveredId.clear();
    });
    connect(&m_model, &QAbstractItemModel::modelReset, this, [this] { m_hoveredId.clear(); });
}

void CorrectionListView::setHoveredId(const QString& id)
{
    if (id == m_hoveredId)
        return;
    const int before = m_model.indexOf(m_hoveredId);
    m_hoveredId = id;
    if (before >= 0)
        update(m_model.index(before));
    const int now = m_model.indexOf(id);
    if (now >= 0)
        update(m_model.index(now));
}

bool CorrectionListView::viewportEvent(QEvent* event)
{
    switch (event->type()) {
    case QEvent::HoverEnter:
    case QEvent::HoverMove: {
        const QModelIndex index = indexAt(static_cast<QHoverEvent*>(event)->position().toPoint());
        setHoveredId(index.isValid() ? index.data(CorrectionListModel::IdRole).toString() : QString());
        break;
    }
    case QEvent::HoverLeave:
    case QEvent::Leave:
        setHoveredId({});
        break;
    default:
        break;
    }
    return QListView::viewportEvent(event);
}

void CorrectionListView::keyPressEvent(QKeyEvent* event)
{
    const QModelIndex current = currentIndex();
    if (current.isValid() && event->modifiers() == Qt::NoModifier) {
        const CorrectionListRow row = m_model.rowAt(current.row());
        if (event->key() == Qt::Key_Space && !row.isCustom) {
            CorrectionList::toggle(m_state, row);
            return;
        }
        if (event->key() == Qt::Key_Delete && row.isCustom) {
            CorrectionList::remove(m_state, row);
            return;
        }
    }
    QListView::keyPressEvent(event);
}

CorrectionRowDelegate::CorrectionRowDelegate(AppState& state, CorrectionListView& view)
    : QStyledItemDelegate(&view)
    , m_state(state)
    , m_view(view)
{
}

QSize CorrectionRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const
{
    return {std::max(option.rect.width(), 300), CorrectionRowGeometry::lineHeight() + kRowSpacing};
}

void CorrectionRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                  const QModelIndex& index) const
{
    auto* model = static_cast<const CorrectionListModel*>(index.model());
    const CorrectionListRow& row = model->rowAt(index.row());
    const bool enabled = model->isEnabled(index.row());
    const bool hovering = m_view.hoveredId() == row.id;
    const QRect line = option.rect.adjusted(0, 0, 0, -kRowSpacing);
    const CorrectionRowGeometry g = CorrectionRowGeometry::compute(line, row);

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(line), 6, 6);
    if (hovering)
        painter->fillPath(shape, QColor(255, 255, 255, int(0.03 * 255)));
    if ((option.state & QStyle::State_HasFocus) && m_view.hasFocus()) {
        painter->setPen(QPen(withAlpha(Theme::accent(), 0.6), 1));
        painter->drawPath(shape);
    }

    const QFont font = CorrectionRowGeometry::textFont();
    const QFontMetrics fm(font);
    painter->setFont(font);

    // The misspelling, struck through while the correction is in force.
    const QColor wrongColor = enabled ? withAlpha(Theme::red(), 0.8) : Theme::textTertiary();
    const QString wrong = fm.elidedText(row.wrong, Qt::ElideRight, g.wrong.width());
    painter->setPen(wrongColor);
    painter->drawText(g.wrong, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, wrong);
    if (enabled) {
        const int w = std::min(fm.horizontalAdvance(wrong), g.wrong.width());
        const qreal y = g.wrong.center().y() + 0.5;
        painter->setPen(QPen(withAlpha(Theme::red(), 0.45), 1));
        painter->drawLine(QPointF(g.wrong.left(), y), QPointF(g.wrong.left() + w, y));
    }

    PagePieces::paintSymbol(*painter, QStringLiteral("arrow.right"), g.arrow, Theme::textTertiary(), 600);

    painter->setPen(enabled ? Theme::green() : Theme::textTertiary());
    painter->drawText(g.right, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                      fm.elidedText(row.right, Qt::ElideRight, g.right.width()));

    if (row.isCustom) {
        QPainterPath capsule;
        capsule.addRoundedRect(QRectF(g.capsule), g.capsule.height() / 2.0, g.capsule.height() / 2.0);
        painter->fillPath(capsule, Theme::accentSoft());
        painter->setFont(CorrectionRowGeometry::capsuleFont());
        painter->setPen(Theme::accent());
        painter->drawText(g.capsule, Qt::AlignCenter, QStringLiteral("custom"));
        if (row.learned)
            PagePieces::paintSymbol(*painter, QStringLiteral("sparkles"), g.sparkles, Theme::amber(), 400);
        if (hovering)
            PagePieces::paintSymbol(*painter, QStringLiteral("trash"), g.trash, withAlpha(Theme::red(), 0.85), 400);
    } else {
        const QRectF box = QRectF(g.checkBox).adjusted(0.5, 0.5, -0.5, -0.5);
        QPainterPath boxPath;
        boxPath.addRoundedRect(box, 3.5, 3.5);
        if (enabled) {
            painter->fillPath(boxPath, Theme::accent());
            PagePieces::paintSymbol(*painter, QStringLiteral("checkmark"), box.adjusted(2, 2, -2, -2), Qt::white, 700);
        } else {
            painter->fillPath(boxPath, Theme::field());
            painter->setPen(QPen(Theme::borderStrong(), 1));
            painter->drawPath(boxPath);
        }
    }
    painter->restore();
}

bool CorrectionRowDelegate::editorEvent(QEvent* event, QAbstractItemModel* model,
                                        const QStyleOptionViewItem& option, const QModelIndex& index)
{
    if (event->type() != QEvent::MouseButtonRelease || !index.isValid())
        return false;
    auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() != Qt::LeftButton)
        return false;
    auto* list = static_cast<CorrectionListModel*>(model);
    const CorrectionListRow row = list->rowAt(index.row());
    const CorrectionRowGeometry g =
        CorrectionRowGeometry::compute(option.rect.adjusted(0, 0, 0, -kRowSpacing), row);
    const QPoint pos = mouse->position().toPoint();
    if (!row.isCustom && g.checkBox.adjusted(-4, -4, 4, 4).contains(pos)) {
        CorrectionList::toggle(m_state, row);
        return true;
    }
    if (row.isCustom && m_view.hoveredId() == row.id && g.trash.adjusted(-4, -4, 4, 4).contains(pos)) {
        // Removing the row inside the view's own click handling would pull it from under
        // the view: the store is changed once the click is over.
        AppState* state = &m_state;
        QMetaObject::invokeMethod(
            this, [state, row] { CorrectionList::remove(*state, row); }, Qt::QueuedConnection);
        return true;
    }
    return false;
}

bool CorrectionRowDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                                      const QModelIndex& index)
{
    if (event->type() == QEvent::ToolTip && index.isValid()) {
        auto* list = static_cast<const CorrectionListModel*>(index.model());
        const CorrectionListRow& row = list->rowAt(index.row());
        const CorrectionRowGeometry g =
            CorrectionRowGeometry::compute(option.rect.adjusted(0, 0, 0, -kRowSpacing), row);
        if (row.learned && g.sparkles.contains(event->pos())) {
            QToolTip::showText(event->globalPos(), QStringLiteral("Learned from your typing"), view);
            return true;
        }
        QToolTip::hideText();
        return true;
    }
    return QStyledItemDelegate::helpEvent(event, view, option, index);
}

// The page --------------------------------------------------------------------------------

CorrectionsView::CorrectionsView(AppState& state, QWidget* parent)
    : QWidget(parent)
    , m_state(state)
{
    setPalette(Theme::darkPalette(Theme::bg()));
    setAutoFillBackground(true);

    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(32, 32, 32, 32);
    page->setSpacing(18);

    // Header.
    auto* header = new QHBoxLayout;
    header->setSpacing(12);
    header->addWidget(new SectionHeader(QStringLiteral("Spell Fix"),
                                        QStringLiteral("Fixes common misspellings the instant you finish a word."),
                                        this),
                      1, Qt::AlignTop);
    m_spellFixToggle = new AccentToggle(false, this);
    m_spellFixToggle->setAccessibleName(QStringLiteral("Spell Fix"));
    bindToggle(m_spellFixToggle, m_state, &AppState::spellFixEnabled, &AppState::setSpellFixEnabled,
               &AppState::spellFixEnabledChanged);
    header->addWidget(m_spellFixToggle, 0, Qt::AlignTop);
    page->addLayout(header);

    // The card: protected words and double capitals.
    auto* card = new Card(18, this);
    card->contentLayout()->setSpacing(14);
    auto* shield = new PageSymbolView(QStringLiteral("shield.checkered"), 16, Theme::green(), nullptr, 400);
    card->addContent(new SettingRow(
        QStringLiteral("Protected words"),
        QStringLiteral("Quenvil never capitalizes \u201Ci\u201D, never adds apostrophes (dont, cant, im, "
                       "youre\u2026), and never touches shorthand like thx or lol. Case is always preserved: "
                       "teh \u2192 the, Teh \u2192 The."),
        shield));
    card->addContent(PagePieces::divider());
    m_doubleCapitalToggle = new AccentToggle(false);
    m_doubleCapitalToggle->setAccessibleName(QStringLiteral("Fix DOuble capitals"));
    bindToggle(m_doubleCapitalToggle, m_state, &AppState::doubleCapitalFixEnabled,
               &AppState::setDoubleCapitalFixEnabled, &AppState::doubleCapitalFixEnabledChanged);
    card->addContent(new SettingRow(
        QStringLiteral("Fix DOuble capitals"),
        QStringLiteral("THanks \u2192 Thanks when the shift key sticks. Skips acronyms like IDs and never adds "
                       "capitalization."),
        m_doubleCapitalToggle));
    page->addWidget(card);

    // The add and search row.
    auto* addRow = new QHBoxLayout;
    addRow->setSpacing(8);
    m_wrongField = new ThemedTextField(QStringLiteral("typo"), true, this);
    m_wrongField->setAccessibleName(QStringLiteral("typo"));
    m_wrongField->setFixedWidth(150);
    m_rightField = new ThemedTextField(QStringLiteral("correction"), true, this);
    m_rightField->setAccessibleName(QStringLiteral("correction"));
    m_rightField->setFixedWidth(150);
    m_addButton = new PillButton(QStringLiteral("Add"), QStringLiteral("plus"), true, this);
    m_protectedLabel = PagePieces::label(QString(), 11, Theme::amber(), this);
    m_protectedLabel->setVisible(false);
    m_searchField = new ThemedTextField(QString(), false, this);
    m_searchField->setFixedWidth(200);
    addRow->addWidget(m_wrongField, 0, Qt::AlignVCenter);
    addRow->addWidget(new PageSymbolView(QStringLiteral("arrow.right"), 11, Theme::textTertiary(), this, 600), 0,
                      Qt::AlignVCenter);
    addRow->addWidget(m_rightField, 0, Qt::AlignVCenter);
    addRow->addWidget(m_addButton, 0, Qt::AlignVCenter);
    addRow->addWidget(m_protectedLabel, 0, Qt::AlignVCenter);
    addRow->addStretch(1);
    addRow->addWidget(m_searchField, 0, Qt::AlignVCenter);
    page->addLayout(addRow);

    // The list.
    m_model = new CorrectionListModel(m_state, this);
    m_list = new CorrectionListView(m_state, *m_model, this);
    page->addWidget(m_list, 1);

    connect(m_wrongField, &QLineEdit::textChanged, this, &CorrectionsView::updateAddRow);
    connect(m_rightField, &QLineEdit::textChanged, this, &CorrectionsView::updateAddRow);
    // Never disabled: a click while the input is not valid does nothing.
    connect(m_addButton, &QAbstractButton::clicked, this, &CorrectionsView::addCustom);
    connect(m_searchField, &QLineEdit::textChanged, m_model, &CorrectionListModel::setSearch);
    connect(m_model, &CorrectionListModel::countChanged, this, &CorrectionsView::updateSearchPlaceholder);

    setTabOrder(m_spellFixToggle, m_doubleCapitalToggle);
    setTabOrder(m_doubleCapitalToggle, m_wrongField);
    setTabOrder(m_wrongField, m_rightField);
    setTabOrder(m_rightField, m_addButton);
    setTabOrder(m_addButton, m_searchField);
    setTabOrder(m_searchField, m_list);

    updateAddRow();
    updateSearchPlaceholder();
}

bool CorrectionsView::canAdd() const
{
    return CorrectionList::canAdd(m_wrongField->text(), m_rightField->text());
}

void CorrectionsView::addCustom()
{
    if (!CorrectionList::addCustom(m_state, m_wrongField->text(), m_rightField->text()))
        return;
    m_wrongField->clear();
    m_rightField->clear();
}

void CorrectionsView::updateAddRow()
{
    m_addButton->setOpacity(canAdd() ? 1.0 : 0.4);
    const bool isProtected = CorrectionList::isProtectedAttempt(m_wrongField->text());
    if (isProtected)
        m_protectedLabel->setText(CorrectionList::protectedMessage(m_wrongField->text()));
    m_protectedLabel->setVisible(isProtected);
}

void CorrectionsView::updateSearchPlaceholder()
{
    const QString text = CorrectionList::searchPlaceholder(m_model->rowCount());
    m_searchField->setPlaceholderText(text);
    // No caption: screen readers name the field after what it shows.
    m_searchField->setAccessibleName(text);
}
