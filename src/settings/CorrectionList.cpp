#include "settings/CorrectionList.h"

#include "model/AppState.h"
#include "model/SpellData.h"
#include "model/Text.h"

#include <algorithm>

CorrectionListEntry CorrectionListEntry::from(CorrectionListRow row)
{
    CorrectionListEntry e;
    e.wrongKey = CorrectionList::composedText(row.wrong);
    e.rightKey = CorrectionList::composedText(Text::lower(row.right));
    e.row = std::move(row);
    return e;
}

namespace CorrectionList {

QString composedText(const QString& s)
{
    return s.normalized(QString::NormalizationForm_C);
}

namespace {

// Code points of the composed texts; UTF-16 order would put U+E000–U+FFFF after the
// characters outside the basic plane.
int compareComposed(const QString& a, const QString& b)
{
    int i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const char32_t ca = Text::firstScalar(QStringView(a).mid(i));
        const char32_t cb = Text::firstScalar(QStringView(b).mid(j));
        if (ca != cb)
            return ca < cb ? -1 : 1;
        i += ca > 0xFFFF ? 2 : 1;
        j += cb > 0xFFFF ? 2 : 1;
    }
    if (i < a.size())
        return 1;
    if (j < b.size())
        return -1;
    return 0;
}

void stableSortByWrong(QList<CorrectionListEntry>& list)
{
    std::stable_sort(list.begin(), list.end(), [](const CorrectionListEntry& x, const CorrectionListEntry& y) {
        return compareComposed(x.wrongKey, y.wrongKey) < 0;
    });
}

// The built-ins never change while the program runs: sorted once.
const QList<CorrectionListEntry>& builtinEntries()
{
    static const QList<CorrectionListEntry> entries = [] {
        QList<CorrectionListEntry> list;
        const QHash<QString, QString>& safe = SpellData::safeCorrections();
        list.reserve(safe.size());
        for (auto it = safe.cbegin(); it != safe.cend(); ++it) {
            CorrectionListRow row;
            row.id = QStringLiteral("b:") + it.key();
            row.wrong = it.key();
            row.right = it.value();
            list.append(CorrectionListEntry::from(std::move(row)));
        }
        // Keys are unique, so the hash's order cannot show through.
        stableSortByWrong(list);
        return list;
    }();
    return entries;
}

QString trimmedWrong(const QString& newWrong)
{
    return Text::trimSpacesAndTabs(Text::lower(newWrong));
}

} // namespace

int compareWrong(const QString& a, const QString& b)
{
    return compareComposed(composedText(a), composedText(b));
}

QList<CorrectionListEntry> allEntries(const QList<CustomCorrection>& customs)
{
    QList<CorrectionListEntry> custom;
    custom.reserve(customs.size());
    for (const CustomCorrection& c : customs) {
        CorrectionListRow row;
        row.id = QStringLiteral("c:") + c.id.toString(QUuid::WithoutBraces);
        row.wrong = c.wrong;
        row.right = c.right;
        row.isCustom = true;
        row.learned = c.learned;
        row.customID = c.id;
        custom.append(CorrectionListEntry::from(std::move(row)));
    }
    stableSortByWrong(custom);

    // A stable merge: on equal misspellings the built-in row comes first.
    const QList<CorrectionListEntry>& builtins = builtinEntries();
    QList<CorrectionListEntry> out;
    out.reserve(builtins.size() + custom.size());
    std::merge(builtins.cbegin(), builtins.cend(), custom.cbegin(), custom.cend(), std::back_inserter(out),
               [](const CorrectionListEntry& c, const CorrectionListEntry& b) {
                   return compareComposed(c.wrongKey, b.wrongKey) < 0;
               });
    return out;
}

QList<CorrectionListRow> allRows(const QList<CustomCorrection>& customs)
{
    QList<CorrectionListRow> out;
    for (const CorrectionListEntry& e : allEntries(customs))
        out.append(e.row);
    return out;
}

QString queryFor(const QString& search)
{
    return composedText(Text::lower(search));
}

bool matches(const CorrectionListEntry& entry, const QString& query)
{
    return query.isEmpty() || entry.wrongKey.contains(query) || entry.rightKey.contains(query);
}

bool matches(const CorrectionListRow& row, const QString& query)
{
    return matches(CorrectionListEntry::from(row), query);
}

QList<CorrectionListRow> rows(const QList<CustomCorrection>& customs, const QString& search)
{
    const QString query = queryFor(search);
    QList<CorrectionListRow> out;
    for (const CorrectionListEntry& e : allEntries(customs))
        if (matches(e, query))
            out.append(e.row);
    return out;
}

bool isEnabled(const CorrectionListRow& row, const QSet<QString>& disabledBuiltins)
{
    return row.isCustom || !disabledBuiltins.contains(row.wrong);
}

bool isProtectedAttempt(const QString& newWrong)
{
    return SpellData::protectedWords().contains(trimmedWrong(newWrong));
}

bool canAdd(const QString& newWrong, const QString& newRight)
{
    const QString w = Text::trimSpacesAndTabs(newWrong);
    const QString r = Text::trimSpacesAndTabs(newRight);
    return !w.isEmpty() && !r.isEmpty() && !isProtectedAttempt(newWrong) && Text::lower(w) != Text::lower(r);
}

std::optional<CustomCorrection> correctionToAdd(const QString& newWrong, const QString& newRight)
{
    if (!canAdd(newWrong, newRight))
        return std::nullopt;
    CustomCorrection c;
    c.id = QUuid::createUuid();
    c.wrong = trimmedWrong(newWrong);
    c.right = Text::trimSpacesAndTabs(newRight);
    c.learned = false;
    return c;
}

QString protectedMessage(const QString& newWrong)
{
    return QStringLiteral("\u201C") + Text::lower(newWrong) +
           QStringLiteral("\u201D is protected and can\u2019t be auto-corrected.");
}

QString searchPlaceholder(int rowCount)
{
    return QStringLiteral("Search %1 corrections\u2026").arg(rowCount);
}

bool addCustom(AppState& state, const QString& newWrong, const QString& newRight)
{
    const std::optional<CustomCorrection> c = correctionToAdd(newWrong, newRight);
    if (!c)
        return false;
    QList<CustomCorrection> list = state.customCorrections();
    list.append(*c);
    state.setCustomCorrections(list);
    return true;
}

void toggle(AppState& state, const CorrectionListRow& row)
{
    if (row.isCustom)
        return;
    QSet<QString> set = state.disabledBuiltins();
    if (!set.remove(row.wrong))
        set.insert(row.wrong);
    state.setDisabledBuiltins(set);
}

void remove(AppState& state, const CorrectionListRow& row)
{
    if (!row.customID)
        return;
    QList<CustomCorrection> list = state.customCorrections();
    list.removeIf([&row](const CustomCorrection& c) { return c.id == *row.customID; });
    state.setCustomCorrections(list);
}

} // namespace CorrectionList
