#pragma once

#include "model/Models.h"

#include <QHash>
#include <QList>
#include <QStringView>

#include <memory>
#include <span>
#include <string_view>
#include <unordered_map>
#include <vector>

// Every prefix of two or more characters of every active effective trigger → the entries
// whose trigger begins with it, in snippet-list order.
//
// Stored compactly: each entry once, the prefixes as views into the entries' own trigger
// text, and for each prefix a run of entry numbers in one shared array. A map holding a
// list of entries per prefix costs tens of megabytes and a hundred milliseconds per rebuild
// with ten thousand snippets; this holds the same answers in a few.
class PrefixIndex
{
public:
    PrefixIndex();

    // Entries must already be in list order; those with triggers shorter than two
    // characters add no prefixes but may be passed.
    static PrefixIndex build(QList<SuggestionEntry> entries);

    // The entry numbers under `prefix` (exact, case-sensitive), in list order.
    std::span<const int> lookup(QStringView prefix) const;
    const SuggestionEntry& entry(int i) const { return m_data->entries.at(i); }
    // The entries under `prefix`, copied out (for callers that want a list).
    QList<SuggestionEntry> entries(QStringView prefix) const;

    bool contains(QStringView prefix) const { return m_data->ranges.count(view(prefix)) != 0; }
    bool isEmpty() const { return m_data->ranges.empty(); }
    // Number of distinct prefixes.
    qsizetype size() const { return qsizetype(m_data->ranges.size()); }
    QList<QString> keys() const;

private:
    static std::u16string_view view(QStringView v)
    {
        return std::u16string_view(reinterpret_cast<const char16_t*>(v.utf16()), size_t(v.size()));
    }
    struct Range
    {
        int start = 0;
        int count = 0;
    };
    // Immutable once built and shared between copies, so the views stay valid.
    struct Data
    {
        QList<SuggestionEntry> entries;
        // std's string-view hash: several times faster here than Qt 6.4's for this many keys.
        std::unordered_map<std::u16string_view, Range> ranges;
        std::vector<int> postings;
    };
    std::shared_ptr<const Data> m_data;
};
