#pragma once

#include "model/Models.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QUuid>

#include <optional>

class AppState;

// One line of the Spell Fix list: a built-in correction or one of the user's own.
struct CorrectionListRow
{
    // "b:" + misspelling for a built-in, "c:" + the custom correction's id otherwise.
    QString id;
    QString wrong;
    QString right;
    bool isCustom = false;
    bool learned = false;
    std::optional<QUuid> customID;

    bool operator==(const CorrectionListRow&) const = default;
};

// A row with the forms the search compares, computed once per row.
struct CorrectionListEntry
{
    CorrectionListRow row;
    QString wrongKey; // `wrong` canonically composed
    QString rightKey; // `right` lower-cased and canonically composed

    static CorrectionListEntry from(CorrectionListRow row);
};

// What the Spell Fix page computes from the store and its three texts. Pure apart from the
// three operations that write the store.
namespace CorrectionList {

// The built-ins, then the custom corrections in store order, stably sorted by misspelling
// in code-point order of the canonically composed text (capitals before their lower case;
// a built-in before a custom row with the same misspelling).
QList<CorrectionListRow> allRows(const QList<CustomCorrection>& customs);
QList<CorrectionListEntry> allEntries(const QList<CustomCorrection>& customs);

// The search as the list applies it: the untrimmed text lower-cased; empty passes all.
QString queryFor(const QString& search);
// The misspelling as stored contains the query, or the lower-cased replacement does.
bool matches(const CorrectionListRow& row, const QString& query);
bool matches(const CorrectionListEntry& entry, const QString& query);
QList<CorrectionListRow> rows(const QList<CustomCorrection>& customs, const QString& search);

// The canonically composed form (NFC) in which texts are compared.
QString composedText(const QString& s);

// The code-point order the list is sorted in (negative, zero, positive).
int compareWrong(const QString& a, const QString& b);

// A built-in is in force unless switched off; a custom correction always is.
bool isEnabled(const CorrectionListRow& row, const QSet<QString>& disabledBuiltins);

// The add row.
bool isProtectedAttempt(const QString& newWrong);
bool canAdd(const QString& newWrong, const QString& newRight);
// The correction "Add" stores: lower-cased then trimmed misspelling, trimmed replacement.
std::optional<CustomCorrection> correctionToAdd(const QString& newWrong, const QString& newRight);
// “word” is protected and can’t be auto-corrected. (the typed word lower-cased, untrimmed)
QString protectedMessage(const QString& newWrong);
QString searchPlaceholder(int rowCount);

// Store operations. Each assignment saves corrections.json and rebuilds the index.
bool addCustom(AppState& state, const QString& newWrong, const QString& newRight);
void toggle(AppState& state, const CorrectionListRow& row);
void remove(AppState& state, const CorrectionListRow& row);

} // namespace CorrectionList
