#include "model/PrefixIndex.h"

#include "model/Text.h"

PrefixIndex::PrefixIndex() : m_data(std::make_shared<const Data>()) {}

PrefixIndex PrefixIndex::build(QList<SuggestionEntry> entries)
{
    auto data = std::make_shared<Data>();
    data->entries = std::move(entries);

    // First pass: number the distinct prefixes and note (prefix, entry) pairs in list order.
    // The map values hold the prefix number until the second pass turns them into ranges.
    std::vector<std::pair<int, int>> pairs;
    std::vector<int> counts;
    qsizetype expected = 0;
    for (const SuggestionEntry& e : std::as_const(data->entries))
        expected += e.trigger.size();
    pairs.reserve(size_t(expected));
    data->ranges.reserve(size_t(expected));
    for (int i = 0; i < data->entries.size(); ++i) {
        const QString& trigger = data->entries.at(i).trigger;
        const auto ends = Text::clusterEnds(trigger);
        for (qsizetype n = 1; n < ends.size(); ++n) {
            const auto [it, added] =
                data->ranges.try_emplace(view(QStringView(trigger.constData(), ends[n])), Range{int(counts.size()), 0});
            if (added)
                counts.push_back(0);
            const int id = it->second.start;
            ++counts[size_t(id)];
            pairs.emplace_back(id, i);
        }
    }

    // Second pass: lay the runs out one after another.
    std::vector<int> offsets(counts.size());
    int running = 0;
    for (size_t id = 0; id < counts.size(); ++id) {
        offsets[id] = running;
        running += counts[id];
    }
    for (auto& [key, range] : data->ranges) {
        const int id = range.start;
        range = Range{offsets[size_t(id)], counts[size_t(id)]};
    }
    data->postings.resize(pairs.size());
    std::vector<int> fill = offsets;
    for (const auto& [id, entry] : pairs)
        data->postings[size_t(fill[size_t(id)]++)] = entry;

    PrefixIndex index;
    index.m_data = std::move(data);
    return index;
}

std::span<const int> PrefixIndex::lookup(QStringView prefix) const
{
    const auto it = m_data->ranges.find(view(prefix));
    if (it == m_data->ranges.end())
        return {};
    return std::span<const int>(m_data->postings.data() + it->second.start, size_t(it->second.count));
}

QList<SuggestionEntry> PrefixIndex::entries(QStringView prefix) const
{
    QList<SuggestionEntry> out;
    for (int i : lookup(prefix))
        out.append(m_data->entries.at(i));
    return out;
}

QList<QString> PrefixIndex::keys() const
{
    QList<QString> out;
    for (const auto& [key, range] : m_data->ranges)
        out.append(QString::fromUtf16(key.data(), qsizetype(key.size())));
    return out;
}
