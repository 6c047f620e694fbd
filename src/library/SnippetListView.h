#pragma once

#include <QAbstractItemDelegate>
#include <QListView>
#include <QPersistentModelIndex>
#include <QUuid>

#include <memory>

class SnippetListModel;
class SnippetRow;
class SnippetListView;

// Draws rows from one off-screen row widget, so ten thousand snippets cost ten thousand model
// rows and not ten thousand widgets; the row under the pointer or the keyboard gets a real row.
class SnippetRowDelegate : public QAbstractItemDelegate
{
    Q_OBJECT

  public:
    static constexpr int rowSpacing = 8;

    SnippetRowDelegate(SnippetListModel& model, SnippetListView& view);
    ~SnippetRowDelegate() override;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;

  private:
    SnippetListModel& m_model;
    SnippetListView& m_view;
    std::unique_ptr<SnippetRow> m_stamp;
};

// The scrolling snippet list. It asks for edits, toggles, duplicates and deletions by snippet id;
// its owner writes them, after the click that asked has been handled.
class SnippetListView : public QListView
{
    Q_OBJECT

  public:
    explicit SnippetListView(SnippetListModel& model, QWidget* parent = nullptr);

    // The row that has a live widget, or null.
    SnippetRow* activeRow() const;
    QModelIndex activeIndex() const { return m_active; }
    void setActiveRow(const QModelIndex& index, bool hovered);

  signals:
    void editRequested(const QUuid& id);
    void duplicateRequested(const QUuid& id);
    void deleteRequested(const QUuid& id);
    void enabledToggled(const QUuid& id, bool enabled);

  protected:
    bool viewportEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void focusInEvent(QFocusEvent* event) override;

  private:
    friend class SnippetRowDelegate;
    void followPointer();

    SnippetListModel& m_model;
    SnippetRowDelegate* m_delegate = nullptr;
    QPersistentModelIndex m_active;
};
