#include "library/SnippetListModel.h"

#include "library/SnippetRowLogic.h"
#include "model/AppState.h"

#include <QHash>

SnippetListModel::SnippetListModel(AppState& state, QObject* parent)
    : QAbstractListModel(parent), m_state(state)
{
    relower();
    applyRows(filterSnippets(m_state.snippets(), m_lowered,
                             effectiveGroupFilter(m_filterGroupID, m_state.groups()), m_search));
    connect(&m_state, &AppState::snippetsChanged, this, &SnippetListModel::refresh);
    connect(&m_state, &AppState::groupsChanged, this, &SnippetListModel::refresh);
    connect(&m_state, &AppState::usageBySnippetChanged, this, &SnippetListModel::refreshAll);
    connect(&m_state, &AppState::expansionModeChanged, this, &SnippetListModel::refreshAll);
}

int SnippetListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

const Snippet& SnippetListModel::snippetAt(int row) const
{
    static const Snippet none;
    const int at = row >= 0 && row < m_rows.size() ? m_rows.at(row) : -1;
    return at >= 0 && at < m_state.snippets().size() ? m_state.snippets().at(at) : none;
}

SnippetRowData SnippetListModel::rowData(int row) const
{
    SnippetRowData d;
    d.snippet = snippetAt(row);
    d.effectiveTrigger = m_state.effectiveTrigger(d.snippet);
    d.shadowTooltip = SnippetRowLogic::shadowTooltip(m_state.expansionMode(), m_state.shadowedTriggers(),
                                                     d.effectiveTrigger);
    d.useCount = SnippetRowLogic::useCount(m_state.usageBySnippet().value(d.snippet.id));
    d.preview = SnippetRowLogic::preview(d.snippet.content);
    return d;
}

QVariant SnippetListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const Snippet& s = snippetAt(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return m_state.effectiveTrigger(s);
    case Qt::ToolTipRole:
    case Qt::AccessibleDescriptionRole:
        return SnippetRowLogic::preview(s.content);
    case IdRole:
        return s.id;
    default:
        return {};
    }
}

int SnippetListModel::rowOf(const QUuid& id) const
{
    return int(m_rowIds.indexOf(id));
}

void SnippetListModel::setSearch(const QString& search)
{
    if (search == m_search)
        return;
    m_search = search;
    applyRows(filterSnippets(m_state.snippets(), m_lowered,
                             effectiveGroupFilter(m_filterGroupID, m_state.groups()), m_search));
}

void SnippetListModel::setFilterGroupID(const std::optional<QUuid>& id)
{
    if (id == m_filterGroupID)
        return;
    m_filterGroupID = id;
    applyRows(filterSnippets(m_state.snippets(), m_lowered,
                             effectiveGroupFilter(m_filterGroupID, m_state.groups()), m_search));
}

void SnippetListModel::relower()
{
    const QList<Snippet>& all = m_state.snippets();
    // Most changes keep every snippet where it was: compare in place, and look up by id only
    // for snippets that moved.
    QHash<QUuid, int> previous;
    const auto reusable = [&](int i, const Snippet& s) -> const LoweredSnippetText* {
        int at = -1;
        if (i < m_loweredIds.size() && m_loweredIds.at(i) == s.id) {
            at = i;
        } else {
            if (previous.isEmpty() && !m_loweredIds.isEmpty()) {
                previous.reserve(m_loweredIds.size());
                for (int j = 0; j < m_loweredIds.size(); ++j)
                    previous.insert(m_loweredIds.at(j), j);
            }
            at = previous.value(s.id, -1);
        }
        if (at < 0)
            return nullptr;
        const LoweredSnippetText& old = m_lowered.at(at);
        return old.trigger == s.trigger && old.content == s.content ? &old : nullptr;
    };
    QList<LoweredSnippetText> lowered;
    lowered.reserve(all.size());
    QList<QUuid> ids;
    ids.reserve(all.size());
    for (int i = 0; i < all.size(); ++i) {
        const Snippet& s = all.at(i);
        ids.append(s.id);
        const LoweredSnippetText* old = reusable(i, s);
        lowered.append(old ? *old : LoweredSnippetText::of(s));
    }
    m_lowered = std::move(lowered);
    m_loweredIds = std::move(ids);
}

void SnippetListModel::refresh()
{
    relower();
    applyRows(filterSnippets(m_state.snippets(), m_lowered,
                             effectiveGroupFilter(m_filterGroupID, m_state.groups()), m_search));
    refreshAll();
}

void SnippetListModel::refreshAll()
{
    if (!m_rows.isEmpty())
        emit dataChanged(index(0), index(int(m_rows.size()) - 1));
}

void SnippetListModel::applyRows(const QList<int>& rows)
{
    QList<QUuid> ids;
    ids.reserve(rows.size());
    const QList<Snippet>& all = m_state.snippets();
    for (int i : rows)
        ids.append(all.at(i).id);

    // Keep the unchanged head and tail; replace only what lies between.
    const int oldCount = int(m_rowIds.size());
    const int newCount = int(ids.size());
    int head = 0;
    while (head < oldCount && head < newCount && m_rowIds.at(head) == ids.at(head))
        ++head;
    int tail = 0;
    while (tail < oldCount - head && tail < newCount - head &&
           m_rowIds.at(oldCount - 1 - tail) == ids.at(newCount - 1 - tail))
        ++tail;

    const int removed = oldCount - head - tail;
    const int inserted = newCount - head - tail;
    // Kept rows point into the new list before anyone is told; rows about to go point nowhere.
    for (int i = 0; i < head; ++i)
        m_rows[i] = rows.at(i);
    for (int i = 0; i < tail; ++i)
        m_rows[oldCount - tail + i] = rows.at(newCount - tail + i);
    for (int i = head; i < oldCount - tail; ++i)
        m_rows[i] = -1;
    if (removed > 0) {
        beginRemoveRows({}, head, head + removed - 1);
        m_rows.remove(head, removed);
        m_rowIds.remove(head, removed);
        endRemoveRows();
    }
    if (inserted > 0) {
        beginInsertRows({}, head, head + inserted - 1);
        m_rows = rows;
        m_rowIds = ids;
        endInsertRows();
    } else {
        m_rows = rows;
        m_rowIds = ids;
    }
}
