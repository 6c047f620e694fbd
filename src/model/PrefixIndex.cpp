#include "model/PrefixIndex.h"

#include "model/Text.h"

namespace {

quint32 hashOf(std::u16string_view key) { return quint32(std::hash<std::u16string_view>{}(key)); }

} // namespace

PrefixIndex::PrefixIndex() : m_data(std::make_shared<const Data>()) {}

const PrefixIndex::Slot* PrefixIndex::Data::find(std::u16string_view key) const
{
    if (table.empty())
        return nullptr;
    const quint32 h = hashOf(key);
    const size_t mask = table.size() - 1;
    for (size_t i = h & mask;; i = (i + 1) & mask) {
        const Slot& s = table[i];
        if (!s.used())
            return nullptr;
        if (s.hash == h && keyOf(s) == key)
            return &s;
    }
}

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
    size_t capacity = 16;
    while (capacity * 3 < size_t(expected) * 4)
        capacity <<= 1;
    data->table.resize(capacity);
    const size_t mask = capacity - 1;
    for (int i = 0; i < data->entries.size(); ++i) {
        const QString& trigger = data->entries.at(i).trigger;
        const auto ends = Text::clusterEnds(trigger);
        for (qsizetype n = 1; n < ends.size(); ++n) {
            const std::u16string_view key = view(QStringView(trigger.constData(), ends[n]));
            const quint32 h = hashOf(key);
            size_t slot = h & mask;
            while (data->table[slot].used() &&
                   !(data->table[slot].hash == h && data->keyOf(data->table[slot]) == key))
                slot = (slot + 1) & mask;
            Slot& s = data->table[slot];
            if (!s.used()) {
                s = Slot{h, i, int(key.size()), Range{int(counts.size()), 0}};
                counts.push_back(0);
                ++data->count;
            }
            const int id = s.range.start;
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
    for (Slot& s : data->table) {
        if (!s.used())
            continue;
        const int id = s.range.start;
        s.range = Range{offsets[size_t(id)], counts[size_t(id)]};
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
    const Slot* s = m_data->find(view(prefix));
    if (!s)
        return {};
    return std::span<const int>(m_data->postings.data() + s->range.start, size_t(s->range.count));
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
    for (const Slot& s : m_data->table)
        if (s.used())
            out.append(m_data->entries.at(s.entry).trigger.left(s.length));
    return out;
}
