#pragma once

#include "model/Models.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QSet>
#include <QUuid>

#include <optional>

// The stored forms of the data files, read record by record: what can be read is taken,
// and what cannot is counted, so one damaged record never costs the user the rest of the
// file. Each reader is absent only when the file has no usable shape at all (not JSON, or
// not the list or object it should be).

std::optional<DecodedList<Snippet>> decodeSnippetsFile(const QByteArray& bytes);
std::optional<DecodedList<SnippetGroup>> decodeGroupsFile(const QByteArray& bytes);

// corrections.json: {"custom": [correction…], "disabledBuiltins": [string…]}; both required.
struct CorrectionsFile
{
    QList<CustomCorrection> custom;
    QSet<QString> disabledBuiltins;
    int skipped = 0;
};
std::optional<CorrectionsFile> decodeCorrectionsFile(const QByteArray& bytes);
QByteArray encodeCorrectionsFile(const QList<CustomCorrection>& custom, const QSet<QString>& disabledBuiltins);

// stats.json: "byApp" and "bySnippet" (required objects of whole non-negative numbers),
// "lastUsed" (optional object of seconds since 2001-01-01 UTC). Counts are 64-bit; a count
// that is negative, fractional or beyond what a JSON number holds exactly is skipped; a
// date outside the years 1 to 9999 is brought to the nearest end of that range. Keys of
// "bySnippet" and "lastUsed" that are not UUID text are dropped without counting.
struct StatsFile
{
    QHash<QUuid, qint64> bySnippet;
    QHash<QString, qint64> byApp;
    QHash<QUuid, QDateTime> lastUsed;
    int skipped = 0;
};
std::optional<StatsFile> decodeStatsFile(const QByteArray& bytes);
QByteArray encodeStatsFile(const StatsFile& stats);

// Seconds since 2001-01-01 00:00:00 UTC, the stored form of dates; clamped to years 1–9999.
double toReferenceSeconds(const QDateTime& t);
QDateTime fromReferenceSeconds(double seconds);
