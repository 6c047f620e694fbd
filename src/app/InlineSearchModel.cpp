#include "app/InlineSearchModel.h"

#include "model/Text.h"

#include <algorithm>
#include <cmath>

namespace {

// The preview shows one elided line: a few hundred characters are more than any row holds.
constexpr qsizetype kPreviewScan = 400;

} // namespace

InlineSearchModel::InlineSearchModel(QObject* parent) : QObject(parent) {}

QList<Snippet> InlineSearchModel::searchable(const QList<Snippet>& library)
{
    QList<Snippet> out;
    out.reserve(library.size());
    for (const Snippet& s : library) {
        if (s.enabled && s.kind != SnippetKind::shell)
            out.append(s);
    }
    return out;
}

void InlineSearchModel::load(const QList<Snippet>& library)
{
    // The library rarely changes between two openings: the lower-cased texts are kept
    // while the store still holds the very same list.
    if (!library.isSharedWith(m_source) || m_source.isEmpty()) {
        m_source = library;
        m_all = searchable(library);
        m_lowerTriggers.clear();
        m_lowerContents.clear();
        m_lowerTriggers.reserve(m_all.size());
        m_lowerContents.reserve(m_all.size());
        for (const Snippet& s : std::as_const(m_all)) {
            m_lowerTriggers.append(Text::lower(s.trigger));
            m_lowerContents.append(Text::lower(s.content));
        }
    }
    m_query.clear();
    refilter();
}

void InlineSearchModel::setQuery(const QString& query)
{
    m_query = query;
    refilter();
}

std::optional<Snippet> InlineSearchModel::selected() const
{
    if (m_selectedIndex >= 0 && m_selectedIndex < m_results.size())
        return m_results.at(m_selectedIndex);
    return std::nullopt;
}

void InlineSearchModel::refilter()
{
    const QString q = Text::lower(m_query);
    if (q.isEmpty()) {
        m_results = m_all;
    } else {
        m_results.clear();
        for (qsizetype i = 0; i < m_all.size(); ++i) {
            if (m_lowerTriggers.at(i).contains(q) || m_lowerContents.at(i).contains(q))
                m_results.append(m_all.at(i));
        }
    }
    m_selectedIndex = 0;
    emit resultsChanged();
    emit selectedIndexChanged(m_selectedIndex);
}

void InlineSearchModel::move(int step)
{
    if (m_results.isEmpty())
        return;
    const int next = std::clamp(m_selectedIndex + step, 0, int(m_results.size()) - 1);
    if (next == m_selectedIndex)
        return;
    m_selectedIndex = next;
    emit selectedIndexChanged(m_selectedIndex);
}

QString InlineSearchModel::previewText(const QString& content)
{
    QString text = content.left(kPreviewScan);
    const QString mark = QStringLiteral(" \u23CE ");
    text.replace(QLatin1String("\r\n"), mark);
    text.replace(QLatin1Char('\n'), mark);
    text.replace(QLatin1Char('\r'), mark);
    return text;
}

QString InlineSearchModel::countText(int count)
{
    return QString::number(count) + (count == 1 ? QStringLiteral(" snippet") : QStringLiteral(" snippets"));
}

QString InlineSearchModel::emptyText(const QString& query)
{
    return query.isEmpty() ? QStringLiteral("No snippets yet") : QStringLiteral("No matching snippets");
}

InlineSearchKey inlineSearchKeyFor(int qtKey)
{
    switch (qtKey) {
    case Qt::Key_Escape:
        return InlineSearchKey::dismiss;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return InlineSearchKey::commit;
    case Qt::Key_Down:
        return InlineSearchKey::down;
    case Qt::Key_Up:
        return InlineSearchKey::up;
    default:
        return InlineSearchKey::pass;
    }
}

QRect InlineSearchPlacement::screenFor(const QList<QRect>& availableAreas, const std::optional<QRect>& window)
{
    if (availableAreas.isEmpty())
        return {};
    if (window && window->isValid()) {
        const QPoint centre = window->center();
        for (const QRect& area : availableAreas) {
            if (area.contains(centre))
                return area;
        }
        QRect best;
        qint64 bestOverlap = 0;
        for (const QRect& area : availableAreas) {
            const QRect overlap = area.intersected(*window);
            const qint64 size = qint64(overlap.width()) * overlap.height();
            if (!overlap.isEmpty() && size > bestOverlap) {
                bestOverlap = size;
                best = area;
            }
        }
        if (bestOverlap > 0)
            return best;
    }
    return availableAreas.first();
}

QPoint InlineSearchPlacement::topLeft(const QRect& area, QSize panel)
{
    // Exact in floating point, as the centre of an odd-sized area is half a pixel off
    // QRect::center(); rounded once at the end.
    const double midX = area.x() + area.width() / 2.0;
    const double centreY = area.y() + 0.38 * area.height();
    return {int(std::lround(midX - panel.width() / 2.0)), int(std::lround(centreY - panel.height() / 2.0))};
}
