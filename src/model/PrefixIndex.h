#pragma once

#include "model/Models.h"

#include <QHash>
#include <QList>
#include <QStringView>

#include <memory>
#include <span>
#include <string_view>
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

    bool contains(QStringView prefix) const { return m_data->find(view(prefix)) != nullptr; }
    bool isEmpty() const { return m_data->count == 0; }
    // Number of distinct prefixes.
    qsizetype size() const { return m_data->count; }
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
    // One slot of an open-addressing table: with a hundred thousand prefixes, a node per
    // key (Qt's and std's maps) costs more in allocation and cache misses than the rest of
    // the rebuild together.
    struct Slot
    {
        quint32 hash = 0;
        int entry = -1; // whose trigger holds the key; -1: an empty slot
        int length = 0; // UTF-16 units of the key
        Range range;
        bool used() const { return entry >= 0; }
    };
    // Immutable once built and shared between copies, so the views stay valid.
    struct Data
    {
        QList<SuggestionEntry> entries;
        std::vector<Slot> table; // size a power of two, at most three quarters full
        qsizetype count = 0;
        std::vector<int> postings;
        const Slot* find(std::u16string_view key) const;
        std::u16string_view keyOf(const Slot& s) const
        {
            return view(QStringView(entries.at(s.entry).trigger).left(s.length));
        }
    };
    std::shared_ptr<const Data> m_data;
};
