#pragma once

#include <QHash>
#include <QList>
#include <QPair>
#include <QSet>
#include <QString>

// The built-in spelling data: words never corrected and the shipped corrections.
namespace SpellData {

// Contractions typed without their apostrophe and chat shorthand, lower case.
const QSet<QString>& protectedWords();

// Misspelling → correction, all lower case.
const QHash<QString, QString>& corrections();

// The same pairs in their table order, for lists that show them.
const QList<QPair<QString, QString>>& correctionList();

// `corrections` less pairs whose key is protected or whose two sides are equal ignoring
// case: an edited table can then neither correct a protected word nor replace a word by itself.
const QHash<QString, QString>& safeCorrections();

} // namespace SpellData
