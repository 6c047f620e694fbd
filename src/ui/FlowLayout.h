#pragma once

#include <QLayout>
#include <QList>
#include <QRect>

#include <optional>

// One child as the flow sees it: the size it would like and the least width it can be drawn at.
struct FlowItem
{
    QSize ideal;
    int minimumWidth = 0;
};

struct FlowResult
{
    QSize size;
    QList<QRect> frames; // one per child, in child order, relative to the top-left corner
};

// Places children left to right and starts a new row when the next child's right edge would
// pass `limit`; a child ending exactly at the limit stays in the row. Rows are top-aligned and
// `spacing` apart, as are neighbours in a row. Without a limit everything stays in one row and
// the width includes the spacing after the last child; with one, the width is the limit.
// A child is never wider than the limit when it can shrink (down to its minimum width), so a
// long entry stays whole and removable inside its row rather than running past the edge.
FlowResult flowLayout(const QList<FlowItem>& items, int spacing, std::optional<int> limit);

// A layout that wraps its children into rows by flowLayout(). Height follows width, so a card
// holding it grows as its chips wrap.
class FlowLayout : public QLayout
{
    Q_OBJECT

  public:
    explicit FlowLayout(QWidget* parent = nullptr, int spacing = 6);
    ~FlowLayout() override;

    int spacing() const override { return m_spacing; }
    void setSpacing(int spacing) override;

    void addItem(QLayoutItem* item) override;
    int count() const override { return int(m_items.size()); }
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;

    Qt::Orientations expandingDirections() const override { return {}; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    void setGeometry(const QRect& rect) override;

  private:
    QList<FlowItem> measure() const;
    FlowResult layoutFor(std::optional<int> width) const;

    QList<QLayoutItem*> m_items;
    int m_spacing = 6;
};
