#pragma once

#include <QDialog>
#include <QHash>
#include <QUuid>

class AccentToggle;
class AppState;
class FlowLayout;
class GroupAppChip;
class PillButton;
class QComboBox;
class QLabel;
class QScrollArea;
class QVBoxLayout;
class SymbolButton;
class ThemedTextField;

// The card of one group in the groups sheet. It reads its group from the store by id each time
// the store changes and writes every edit straight through (one assignment of the group list per
// keystroke). Fields are updated in place, so typing keeps its focus and caret.
class GroupEditorRow : public QWidget
{
    Q_OBJECT

  public:
    GroupEditorRow(AppState& state, const QUuid& groupID, QWidget* parent = nullptr);

    QUuid groupID() const { return m_groupID; }
    void refresh();

    ThemedTextField* nameField() const { return m_name; }
    AccentToggle* enabledToggle() const { return m_enabled; }
    QLabel* countLabel() const { return m_count; }
    SymbolButton* deleteButton() const { return m_delete; }
    ThemedTextField* prefixField() const { return m_prefix; }
    QComboBox* scopePicker() const { return m_scope; }
    QLabel* prefixSentence() const { return m_prefixSentence; }
    QWidget* appSection() const { return m_appSection; }
    QLabel* scopeSentence() const { return m_scopeSentence; }
    QList<GroupAppChip*> chips() const;
    ThemedTextField* appField() const { return m_appField; }
    PillButton* addAppButton() const { return m_addApp; }

  private:
    void addApp();
    void syncChips(const QStringList& apps);

    AppState& m_state;
    QUuid m_groupID;
    ThemedTextField* m_name = nullptr;
    AccentToggle* m_enabled = nullptr;
    QLabel* m_count = nullptr;
    SymbolButton* m_delete = nullptr;
    ThemedTextField* m_prefix = nullptr;
    QComboBox* m_scope = nullptr;
    QLabel* m_prefixSentence = nullptr;
    QWidget* m_appSection = nullptr;
    QLabel* m_scopeSentence = nullptr;
    QWidget* m_chipBox = nullptr;
    FlowLayout* m_chipLayout = nullptr;
    QStringList m_chipTexts;
    ThemedTextField* m_appField = nullptr;
    PillButton* m_addApp = nullptr;
};

// The sheet where groups are added, edited and deleted. There is no Save: every change is
// already stored when it is made; "Done" closes the sheet.
class GroupsManagerSheet : public QDialog
{
    Q_OBJECT

  public:
    static constexpr int sheetWidth = 600;
    static constexpr int maxListHeight = 440;

    explicit GroupsManagerSheet(AppState& state, QWidget* parent = nullptr);

    QList<GroupEditorRow*> rows() const;
    GroupEditorRow* rowFor(const QUuid& id) const { return m_rows.value(id); }
    QWidget* emptyState() const { return m_empty; }
    QScrollArea* list() const { return m_scroll; }
    PillButton* addGroupButton() const { return m_addGroup; }
    PillButton* doneButton() const { return m_done; }

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void syncRows();
    void updateListHeight();

    AppState& m_state;
    QWidget* m_empty = nullptr;
    QScrollArea* m_scroll = nullptr;
    QWidget* m_rowsBox = nullptr;
    QVBoxLayout* m_rowsLayout = nullptr;
    QHash<QUuid, GroupEditorRow*> m_rows;
    PillButton* m_addGroup = nullptr;
    PillButton* m_done = nullptr;
};
