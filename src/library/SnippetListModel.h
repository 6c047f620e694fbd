#pragma once

#include "library/SnippetFilter.h"
#include "library/SnippetRow.h"

#include <QAbstractListModel>

class AppState;

// The snippet list as a model: the store's snippets in store order, narrowed by a group filter
// and a search. Rows are keyed by snippet id: a store change inserts, removes and refreshes rows
// in place instead of resetting, so the row under the pointer or the keyboard keeps its widget.
// Lower-cased texts are kept per snippet and only worked out again when a text changes.
class SnippetListModel : public QAbstractListModel
{
    Q_OBJECT

  public:
    enum Role
    {
        IdRole = Qt::UserRole + 1
    };

    explicit SnippetListModel(AppState& state, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    const Snippet& snippetAt(int row) const;
    SnippetRowData rowData(int row) const;
    int rowOf(const QUuid& id) const;
    QList<QUuid> rowIds() const { return m_rowIds; }

    QString search() const { return m_search; }
    void setSearch(const QString& search);
    std::optional<QUuid> filterGroupID() const { return m_filterGroupID; }
    void setFilterGroupID(const std::optional<QUuid>& id);

    // Picks up the store's current lists (connected to its change signals).
    void refresh();

  private:
    void relower();
    void applyRows(const QList<int>& rows);
    void refreshAll();

    AppState& m_state;
    QList<LoweredSnippetText> m_lowered; // parallel to the store's snippets
    QList<QUuid> m_loweredIds;
    QList<int> m_rows; // positions in the store's snippets
    QList<QUuid> m_rowIds;
    QString m_search;
    std::optional<QUuid> m_filterGroupID;
};
