#include "settings/CorrectionListModel.h"

#include "model/AppState.h"
#include "ui/Theme.h"

#include <QFontMetrics>

#include <algorithm>

CorrectionListModel::CorrectionListModel(AppState& state, QObject* parent)
    : QAbstractListModel(parent)
    , m_state(state)
{
    m_all = CorrectionList::allEntries(m_state.customCorrections());
    m_visible = m_all;
    connect(&m_state, &AppState::customCorrectionsChanged, this, &CorrectionListModel::storeChanged);
    connect(&m_state, &AppState::disabledBuiltinsChanged, this, [this] {
        if (!m_visible.isEmpty())
            Q_EMIT dataChanged(index(0), index(int(m_visible.size()) - 1), {EnabledRole, Qt::CheckStateRole});
    });
}

int CorrectionListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_visible.size());
}

bool CorrectionListModel::isEnabled(int i) const
{
    return CorrectionList::isEnabled(rowAt(i), m_state.disabledBuiltins());
}

QVariant CorrectionListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_visible.size())
        return {};
    const CorrectionListRow& row = rowAt(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return row.isCustom ? QStringLiteral("%1 \u2192 %2, custom").arg(row.wrong, row.right)
                            : QStringLiteral("%1 \u2192 %2").arg(row.wrong, row.right);
    case Qt::CheckStateRole:
        if (row.isCustom)
            return {};
        return isEnabled(index.row()) ? Qt::Checked : Qt::Unchecked;
    case IdRole:
        return row.id;
    case EnabledRole:
        return isEnabled(index.row());
    case IsCustomRole:
        return row.isCustom;
    default:
        return {};
    }
}

bool CorrectionListModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::CheckStateRole || !index.isValid() || index.row() >= m_visible.size())
        return false;
    const CorrectionListRow& row = rowAt(index.row());
    if (row.isCustom)
        return false;
    // Choosing the state the row is already in writes nothing.
    if ((value.toInt() == Qt::Checked) != isEnabled(index.row()))
        CorrectionList::toggle(m_state, row);
    return true;
}

Qt::ItemFlags CorrectionListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.row() < m_visible.size() && !rowAt(index.row()).isCustom)
        f |= Qt::ItemIsUserCheckable;
    return f;
}

void CorrectionListModel::setSearch(const QString& search)
{
    if (search == m_search)
        return;
    m_search = search;
    m_query = CorrectionList::queryFor(search);
    beginResetModel();
    m_visible = filtered();
    endResetModel();
    Q_EMIT countChanged(int(m_visible.size()));
}

int CorrectionListModel::indexOf(const QString& id) const
{
    for (int i = 0; i < m_visible.size(); ++i)
        if (m_visible.at(i).row.id == id)
            return i;
    return -1;
}

QList<CorrectionListRow> CorrectionListModel::rows() const
{
    QList<CorrectionListRow> out;
    out.reserve(m_visible.size());
    for (const CorrectionListEntry& e : m_visible)
        out.append(e.row);
    return out;
}

QList<CorrectionListEntry> CorrectionListModel::filtered() const
{
    if (m_query.isEmpty())
        return m_all;
    QList<CorrectionListEntry> out;
    for (const CorrectionListEntry& e : m_all)
        if (CorrectionList::matches(e, m_query))
            out.append(e);
    return out;
}

void CorrectionListModel::storeChanged()
{
    m_all = CorrectionList::allEntries(m_state.customCorrections());
    const int before = int(m_visible.size());
    applyInPlace(filtered());
    if (!m_visible.isEmpty())
        Q_EMIT dataChanged(index(0), index(int(m_visible.size()) - 1));
    if (before != m_visible.size())
        Q_EMIT countChanged(int(m_visible.size()));
}

void CorrectionListModel::applyInPlace(const QList<CorrectionListEntry>& next)
{
    QSet<QString> nextIds, currentIds;
    for (const CorrectionListEntry& e : next)
        nextIds.insert(e.row.id);
    for (const CorrectionListEntry& e : m_visible)
        currentIds.insert(e.row.id);

    // Rows that stay must keep their relative order; otherwise (a reordered store list) the
    // list is simply rebuilt.
    QStringList keptNow, keptNext;
    for (const CorrectionListEntry& e : m_visible)
        if (nextIds.contains(e.row.id))
            keptNow.append(e.row.id);
    for (const CorrectionListEntry& e : next)
        if (currentIds.contains(e.row.id))
            keptNext.append(e.row.id);
    if (keptNow != keptNext) {
        beginResetModel();
        m_visible = next;
        endResetModel();
        return;
    }

    // Removals, as runs from the end so earlier positions stay valid.
    for (int i = int(m_visible.size()) - 1; i >= 0;) {
        if (nextIds.contains(m_visible.at(i).row.id)) {
            --i;
            continue;
        }
        int first = i;
        while (first > 0 && !nextIds.contains(m_visible.at(first - 1).row.id))
            --first;
        beginRemoveRows({}, first, i);
        m_visible.remove(first, i - first + 1);
        endRemoveRows();
        i = first - 1;
    }
    // Insertions, as runs in final order: everything before position j is already in place.
    for (int j = 0; j < next.size();) {
        if (currentIds.contains(next.at(j).row.id)) {
            m_visible[j] = next.at(j); // same id, possibly new texts
            ++j;
            continue;
        }
        int last = j;
        while (last + 1 < next.size() && !currentIds.contains(next.at(last + 1).row.id))
            ++last;
        beginInsertRows({}, j, last);
        for (int k = j; k <= last; ++k)
            m_visible.insert(k, next.at(k));
        endInsertRows();
        j = last + 1;
    }
}

// Geometry ------------------------------------------------------------------------------

QFont CorrectionRowGeometry::textFont()
{
    return Theme::systemFont(12, QFont::Normal, Theme::FontDesign::Monospaced);
}

QFont CorrectionRowGeometry::capsuleFont()
{
    return Theme::systemFont(9.5, QFont::DemiBold);
}

int CorrectionRowGeometry::lineHeight()
{
    const QFontMetrics fm(textFont());
    return std::max({fm.height(), checkBoxSide, trashSide}) + 2 * verticalPadding;
}

CorrectionRowGeometry CorrectionRowGeometry::compute(const QRect& line, const CorrectionListRow& row)
{
    CorrectionRowGeometry g;
    const QRect inner = line.adjusted(horizontalPadding, verticalPadding, -horizontalPadding, -verticalPadding);
    const int cy = inner.center().y();
    const QFontMetrics fm(textFont());
    const QFontMetrics cfm(capsuleFont());

    // The trailing control first: the texts take what is left of the line.
    int trailingLeft = inner.right() + 1;
    if (row.isCustom) {
        g.trash = QRect(trailingLeft - trashSide, cy - trashSide / 2, trashSide, trashSide);
        trailingLeft = g.trash.left() - spacing;
    } else {
        g.checkBox = QRect(trailingLeft - checkBoxSide, cy - checkBoxSide / 2, checkBoxSide, checkBoxSide);
        trailingLeft = g.checkBox.left() - spacing;
    }

    int x = inner.left();
    g.wrong = QRect(x, inner.top(), wrongWidth, inner.height());
    x += wrongWidth + spacing;
    const int arrowSide = 10;
    g.arrow = QRect(x, cy - arrowSide / 2, arrowSide, arrowSide);
    x += arrowSide + spacing;

    int extras = 0;
    const int capsuleWidth = cfm.horizontalAdvance(QStringLiteral("custom")) + 10;
    const int capsuleHeight = cfm.height() + 4;
    const int sparklesSide = 12;
    if (row.isCustom) {
        extras += spacing + capsuleWidth;
        if (row.learned)
            extras += spacing + sparklesSide;
    }
    const int rightWidth = std::max(0, std::min(fm.horizontalAdvance(row.right) + 1, trailingLeft - x - extras));
    g.right = QRect(x, inner.top(), rightWidth, inner.height());
    x += rightWidth;
    if (row.isCustom) {
        x += spacing;
        g.capsule = QRect(x, cy - capsuleHeight / 2, capsuleWidth, capsuleHeight);
        x += capsuleWidth;
        if (row.learned) {
            x += spacing;
            g.sparkles = QRect(x, cy - sparklesSide / 2, sparklesSide, sparklesSide);
        }
    }
    return g;
}
