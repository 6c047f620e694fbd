#include "ui/FlowLayout.h"

#include <QWidget>

#include <algorithm>

FlowResult flowLayout(const QList<FlowItem>& items, int spacing, std::optional<int> limit)
{
    FlowResult result;
    result.frames.reserve(items.size());
    int x = 0;
    int y = 0;
    int rowHeight = 0;
    for (const FlowItem& item : items) {
        int w = item.ideal.width();
        if (limit)
            w = std::max(item.minimumWidth, std::min(w, *limit));
        const int h = item.ideal.height();
        if (x > 0 && limit && x + w > *limit) {
            y += rowHeight + spacing;
            x = 0;
            rowHeight = 0;
        }
        result.frames.append(QRect(x, y, w, h));
        x += w + spacing;
        rowHeight = std::max(rowHeight, h);
    }
    result.size = QSize(limit ? *limit : x, y + rowHeight);
    return result;
}

FlowLayout::FlowLayout(QWidget* parent, int spacing) : QLayout(parent), m_spacing(spacing)
{
    setContentsMargins(0, 0, 0, 0);
}

FlowLayout::~FlowLayout()
{
    while (QLayoutItem* item = takeAt(0))
        delete item;
}

void FlowLayout::setSpacing(int spacing)
{
    m_spacing = spacing;
    invalidate();
}

void FlowLayout::addItem(QLayoutItem* item)
{
    m_items.append(item);
    invalidate();
}

QLayoutItem* FlowLayout::itemAt(int index) const
{
    return index >= 0 && index < m_items.size() ? m_items.at(index) : nullptr;
}

QLayoutItem* FlowLayout::takeAt(int index)
{
    if (index < 0 || index >= m_items.size())
        return nullptr;
    QLayoutItem* item = m_items.takeAt(index);
    invalidate();
    return item;
}

QList<FlowItem> FlowLayout::measure() const
{
    QList<FlowItem> items;
    items.reserve(m_items.size());
    for (QLayoutItem* item : m_items) {
        // Hidden widgets take no room.
        if (item->isEmpty())
            continue;
        items.append({item->sizeHint(), item->minimumSize().width()});
    }
    return items;
}

FlowResult FlowLayout::layoutFor(std::optional<int> width) const
{
    return flowLayout(measure(), m_spacing, width);
}

int FlowLayout::heightForWidth(int width) const
{
    const QMargins m = contentsMargins();
    return layoutFor(std::max(0, width - m.left() - m.right())).size.height() + m.top() + m.bottom();
}

QSize FlowLayout::sizeHint() const
{
    const QMargins m = contentsMargins();
    const FlowResult r = layoutFor(std::nullopt);
    // The one-row width counts the gap after the last child; a preferred size has no use for it.
    const int width = r.frames.isEmpty() ? 0 : r.size.width() - m_spacing;
    return QSize(width + m.left() + m.right(), r.size.height() + m.top() + m.bottom());
}

QSize FlowLayout::minimumSize() const
{
    const QMargins m = contentsMargins();
    int widest = 0;
    for (const FlowItem& item : measure())
        widest = std::max(widest, item.minimumWidth);
    return QSize(widest + m.left() + m.right(), heightForWidth(widest + m.left() + m.right()));
}

void FlowLayout::setGeometry(const QRect& rect)
{
    QLayout::setGeometry(rect);
    const QRect area = rect.marginsRemoved(contentsMargins());
    const FlowResult r = layoutFor(area.width());
    int i = 0;
    for (QLayoutItem* item : m_items) {
        if (item->isEmpty())
            continue;
        item->setGeometry(r.frames.at(i++).translated(area.topLeft()));
    }
}
