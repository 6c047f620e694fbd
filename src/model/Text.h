#pragma once

#include <QString>
#include <QStringList>
#include <QVarLengthArray>

// Text rules shared by every subsystem: lengths and slices count user-perceived characters
// (extended grapheme clusters, through ICU: Qt's own boundary finder splits ZWJ emoji),
// lower-casing is locale-independent.
namespace Text {

// Number of extended grapheme clusters.
int graphemeCount(const QString& s);

// The clusters, in order.
QStringList graphemes(const QString& s);

// The end offset (in UTF-16 units) of each cluster, in order.
QVarLengthArray<int, 64> clusterEnds(const QString& s);

// The first `n` clusters (all of `s` when it has fewer).
QString leftGraphemes(const QString& s, int n);

// The last `n` clusters (all of `s` when it has fewer).
QString rightGraphemes(const QString& s, int n);

// Default Unicode lower-case / upper-case mapping, independent of the user's locale.
QString lower(const QString& s);
QString upper(const QString& s);

// Trims spaces and tabs (Unicode space separators and U+0009) at both ends; line breaks stay.
QString trimSpacesAndTabs(const QString& s);

// Trims all white space and line breaks at both ends (Unicode White_Space).
QString trimWhitespace(const QString& s);

// Letter and number tests on the first Unicode scalar of `s` (false for an empty string).
bool isLetter(QStringView s);
bool isNumber(QStringView s);
inline bool isLetterOrNumber(QStringView s) { return isLetter(s) || isNumber(s); }
// Unicode Uppercase / Lowercase properties of the first scalar.
bool isUppercase(QStringView s);
bool isLowercase(QStringView s);

// The first Unicode scalar of `s`, 0 when empty.
char32_t firstScalar(QStringView s);

} // namespace Text
