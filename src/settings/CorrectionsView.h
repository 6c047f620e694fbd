#pragma once

#include <QListView>
#include <QStyledItemDelegate>
#include <QWidget>

class AccentToggle;
class AppState;
class CorrectionListModel;
class PillButton;
class QLabel;
class ThemedTextField;

// The list of corrections: one painted line per row, the check box of a built-in and the
// trash button of a custom correction (shown while the pointer is over its line) act on a
// click; from the keyboard, Space switches the current built-in and Delete removes the
// current custom correction.
class CorrectionListView : public QListView
{
    Q_OBJECT

  public:
    CorrectionListView(AppState& state, CorrectionListModel& model, QWidget* parent = nullptr);

    // The id of the line under the pointer, empty when none.
    QString hoveredId() const { return m_hoveredId; }
    void setHoveredId(const QString& id);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool viewportEvent(QEvent* event) override;

  private:
    AppState& m_state;
    CorrectionListModel& m_model;
    QString m_hoveredId;
};

class CorrectionRowDelegate : public QStyledItemDelegate
{
    Q_OBJECT

  public:
    CorrectionRowDelegate(AppState& state, CorrectionListView& view);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

  private:
    AppState& m_state;
    CorrectionListView& m_view;
};

// The Spell Fix page: the switches for spelling and double-capital fixes, the protected
// words, the add and search row and every correction the typing engine can apply. It edits
// the store directly and keeps only the two texts of the add row and the search.
class CorrectionsView : public QWidget
{
    Q_OBJECT

  public:
    explicit CorrectionsView(AppState& state, QWidget* parent = nullptr);

    // The controls, for tests and the window's keyboard order.
    AccentToggle* spellFixToggle() const { return m_spellFixToggle; }
    AccentToggle* doubleCapitalToggle() const { return m_doubleCapitalToggle; }
    ThemedTextField* wrongField() const { return m_wrongField; }
    ThemedTextField* rightField() const { return m_rightField; }
    PillButton* addButton() const { return m_addButton; }
    QLabel* protectedLabel() const { return m_protectedLabel; }
    ThemedTextField* searchField() const { return m_searchField; }
    CorrectionListView* listView() const { return m_list; }
    CorrectionListModel* model() const { return m_model; }

    bool canAdd() const;
    void addCustom();

  private:
    void updateAddRow();
    void updateSearchPlaceholder();

    AppState& m_state;
    AccentToggle* m_spellFixToggle = nullptr;
    AccentToggle* m_doubleCapitalToggle = nullptr;
    ThemedTextField* m_wrongField = nullptr;
    ThemedTextField* m_rightField = nullptr;
    PillButton* m_addButton = nullptr;
    QLabel* m_protectedLabel = nullptr;
    ThemedTextField* m_searchField = nullptr;
    CorrectionListModel* m_model = nullptr;
    CorrectionListView* m_list = nullptr;
};
