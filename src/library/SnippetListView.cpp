#include "library/SnippetListView.h"

#include "library/SnippetListModel.h"
#include "library/SnippetRow.h"
#include "ui/AccentToggle.h"

#include <QHelpEvent>
#include <QKeyEvent>
#include <QLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QScrollBar>
#include <QTimer>

SnippetRowDelegate::SnippetRowDelegate(SnippetListModel& model, SnippetListView& view)
    : QAbstractItemDelegate(&view), m_model(model), m_view(view), m_stamp(std::make_unique<SnippetRow>())
{
    m_stamp->setAttribute(Qt::WA_DontShowOnScreen);
    m_stamp->ensurePolished();
}

SnippetRowDelegate::~SnippetRowDelegate() = default;

QSize SnippetRowDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const
{
    return {0, SnippetRow::rowHeight() + rowSpacing};
}

void SnippetRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const
{
    // The live row draws itself on top.
    if (index == m_view.m_active)
        return;
    m_stamp->setData(m_model.rowData(index.row()));
    const QRect row = option.rect.adjusted(0, 0, 0, -rowSpacing);
    if (m_stamp->size() != row.size())
        m_stamp->resize(row.size());
    m_stamp->layout()->activate();
    // Through an image: rendering straight into the view's painter lands at the window's
    // offsets, not the viewport's.
    const qreal ratio = painter->device()->devicePixelRatioF();
    QPixmap image(row.size() * ratio);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    m_stamp->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    painter->drawPixmap(row.topLeft(), image);
}

QWidget* SnippetRowDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                          const QModelIndex&) const
{
    auto* row = new SnippetRow(parent);
    // The writes happen after the click that asked for them has returned: they may remove this row.
    auto id = [row] { return row->data().snippet.id; };
    SnippetListView* view = &m_view;
    connect(
        row, &SnippetRow::editRequested, view, [view, id] { emit view->editRequested(id()); },
        Qt::QueuedConnection);
    connect(
        row, &SnippetRow::duplicateRequested, view, [view, id] { emit view->duplicateRequested(id()); },
        Qt::QueuedConnection);
    connect(
        row, &SnippetRow::deleteRequested, view, [view, id] { emit view->deleteRequested(id()); },
        Qt::QueuedConnection);
    connect(
        row, &SnippetRow::enabledToggled, view, [view, id](bool on) { emit view->enabledToggled(id(), on); },
        Qt::QueuedConnection);
    return row;
}

void SnippetRowDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    static_cast<SnippetRow*>(editor)->setData(m_model.rowData(index.row()));
}

void SnippetRowDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                              const QModelIndex&) const
{
    editor->setGeometry(option.rect.adjusted(0, 0, 0, -rowSpacing));
}

SnippetListView::SnippetListView(SnippetListModel& model, QWidget* parent) : QListView(parent), m_model(model)
{
    setModel(&model);
    m_delegate = new SnippetRowDelegate(model, *this);
    setItemDelegate(m_delegate);
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    verticalScrollBar()->setSingleStep(24);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setFrameShape(QFrame::NoFrame);
    setMouseTracking(true);
    viewport()->setAutoFillBackground(false);
    setAutoFillBackground(false);
    setAccessibleName(QStringLiteral("Snippets"));

    connect(this, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        emit editRequested(index.data(SnippetListModel::IdRole).toUuid());
    });
    // Rows come and go under a still pointer: give the live widget to whatever is there now.
    const auto follow = [this] { QTimer::singleShot(0, this, &SnippetListView::followPointer); };
    connect(&model, &QAbstractItemModel::rowsRemoved, this, follow);
    connect(&model, &QAbstractItemModel::rowsInserted, this, follow);
    connect(&model, &QAbstractItemModel::modelReset, this, follow);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, follow);
}

SnippetRow* SnippetListView::activeRow() const
{
    return m_active.isValid() ? qobject_cast<SnippetRow*>(indexWidget(m_active)) : nullptr;
}

void SnippetListView::setActiveRow(const QModelIndex& index, bool hovered)
{
    if (index != m_active) {
        if (m_active.isValid())
            closePersistentEditor(m_active);
        m_active = QPersistentModelIndex(index);
        if (m_active.isValid())
            openPersistentEditor(m_active);
        viewport()->update();
    }
    if (SnippetRow* row = activeRow())
        row->setHovering(hovered);
}

void SnippetListView::followPointer()
{
    const QPoint pos = viewport()->mapFromGlobal(QCursor::pos());
    if (viewport()->rect().contains(pos) && viewport()->underMouse()) {
        setActiveRow(indexAt(pos), true);
        return;
    }
    if (SnippetRow* row = activeRow(); row && row->actionsShown() && !row->isHovering())
        return; // the keyboard is on it
    setActiveRow(hasFocus() ? currentIndex() : QModelIndex(), false);
}

bool SnippetListView::viewportEvent(QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseMove:
    case QEvent::HoverMove:
    case QEvent::HoverEnter: {
        const QPoint pos = event->type() == QEvent::MouseMove
                               ? static_cast<QMouseEvent*>(event)->position().toPoint()
                               : static_cast<QHoverEvent*>(event)->position().toPoint();
        setActiveRow(indexAt(pos), true);
        break;
    }
    case QEvent::Leave:
    case QEvent::HoverLeave:
        if (SnippetRow* row = activeRow(); row && row->underMouse())
            break;
        setActiveRow(hasFocus() ? currentIndex() : QModelIndex(), false);
        break;
    default:
        break;
    }
    return QListView::viewportEvent(event);
}

void SnippetListView::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QListView::currentChanged(current, previous);
    if (hasFocus())
        setActiveRow(current, false);
}

void SnippetListView::focusInEvent(QFocusEvent* event)
{
    QListView::focusInEvent(event);
    if (!currentIndex().isValid() && model()->rowCount() > 0)
        setCurrentIndex(model()->index(0, 0));
}

void SnippetListView::keyPressEvent(QKeyEvent* event)
{
    const QModelIndex current = currentIndex();
    if (current.isValid()) {
        const QUuid id = current.data(SnippetListModel::IdRole).toUuid();
        switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            emit editRequested(id);
            return;
        case Qt::Key_Space:
            emit enabledToggled(id, !m_model.snippetAt(current.row()).enabled);
            return;
        default:
            break;
        }
    }
    QListView::keyPressEvent(event);
}
