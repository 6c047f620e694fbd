#pragma once

#include "model/Models.h"

#include <QPointer>
#include <QWidget>

#include <optional>

class AppState;
class Card;
class FileChooser;
class GroupFilterChip;
class GroupsManagerSheet;
class PillButton;
class QHBoxLayout;
class QLabel;
class QScrollArea;
class SnippetEditor;
class SnippetListModel;
class SnippetListView;
class ThemedTextField;
class TransientStatus;

// The Snippets tab: header and actions, search, the group filter, the snippet list (or its empty
// state) and a transient status line. It opens the snippet editor and the groups sheet as their
// own dialogs, modal to the settings window, and answers the menu's request to edit a snippet
// once the tab is on screen and no sheet is open. All writes go through the store.
class SnippetsView : public QWidget
{
    Q_OBJECT

  public:
    static constexpr int searchMinimumWidth = 200;
    static constexpr int searchMaximumWidth = 320;

    explicit SnippetsView(AppState& state, QWidget* parent = nullptr);
    ~SnippetsView() override;

    // Shows `text` beside the search field for 5 seconds; a newer message gets its own 5 seconds.
    void showStatus(const QString& text);
    std::optional<QString> transferStatus() const;
    void setStatusDuration(int ms);
    // The file dialogs of Import and Export; the desktop's when none is set (tests set one).
    void setFileChooser(FileChooser* chooser) { m_fileChooser = chooser; }

    std::optional<QUuid> filterGroupID() const;
    void setFilterGroupID(const std::optional<QUuid>& id);
    QString search() const;

    SnippetEditor* editor() const;
    GroupsManagerSheet* groupsSheet() const;
    // Opens the editor for a copy of the stored snippet with that id; false when there is none.
    bool openEditor(const QUuid& id);
    void openNewSnippet();
    void openGroups();

    ThemedTextField* searchField() const { return m_search; }
    QLabel* statusLabel() const { return m_statusLabel; }
    QScrollArea* chipRow() const { return m_chipScroll; }
    QList<GroupFilterChip*> chips() const { return m_chips; }
    SnippetListModel* listModel() const { return m_model; }
    SnippetListView* listView() const { return m_list; }
    Card* emptyState() const { return m_empty; }
    QLabel* emptyTitle() const { return m_emptyTitle; }
    QLabel* emptyHint() const { return m_emptyHint; }
    PillButton* groupsButton() const { return m_groupsButton; }
    PillButton* importButton() const { return m_importButton; }
    PillButton* exportButton() const { return m_exportButton; }
    PillButton* newButton() const { return m_newButton; }

  public slots:
    void importSnippets();
    void exportSnippets();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void openEditorFor(const Snippet& snippet, bool isNew);
    void sheetClosed();
    void handleEditRequest();
    void updateChips();
    void updateEmptyState();
    void updateStatus();

    AppState& m_state;
    SnippetListModel* m_model = nullptr;
    SnippetListView* m_list = nullptr;
    TransientStatus* m_status = nullptr;
    ThemedTextField* m_search = nullptr;
    QLabel* m_statusLabel = nullptr;
    QScrollArea* m_chipScroll = nullptr;
    QHBoxLayout* m_chipLayout = nullptr;
    QList<GroupFilterChip*> m_chips;
    QList<std::optional<QUuid>> m_chipIds;
    Card* m_empty = nullptr;
    QLabel* m_emptyTitle = nullptr;
    QLabel* m_emptyHint = nullptr;
    PillButton* m_groupsButton = nullptr;
    PillButton* m_importButton = nullptr;
    PillButton* m_exportButton = nullptr;
    PillButton* m_newButton = nullptr;
    QPointer<SnippetEditor> m_editor;
    QPointer<GroupsManagerSheet> m_groupsSheet;
    FileChooser* m_fileChooser = nullptr;
};
