#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <concepts>
#include <optional>

// What the learning engine keeps between runs: the typo fixes and phrases it has seen,
// the AI's opinion of them, and their stored form in learning.json.

// The AI's judgement of a candidate, stored as its raw value.
enum class AIVerdict
{
    approved,
    rejected
};

QString toRaw(AIVerdict v);
std::optional<AIVerdict> aiVerdictFromRaw(const QString& raw);

// A word the user fixed by hand: erased part of it and typed it differently.
struct CorrectionCandidate
{
    QUuid id = QUuid::createUuid();
    QString wrong; // lower case, letters only
    QString right; // lower case, letters and "'"
    int count = 1;
    QDateTime lastSeen;
    std::optional<AIVerdict> aiVerdict;

    bool operator==(const CorrectionCandidate&) const = default;
};

// A phrase of three or more words the user typed again.
struct PhraseCandidate
{
    QUuid id = QUuid::createUuid();
    QString key;  // `text` lower-cased: two phrases with one key are one candidate
    QString text; // as first typed, words joined by single spaces, no trailing punctuation
    int count = 1;
    QDateTime lastSeen;
    std::optional<AIVerdict> aiVerdict;
    std::optional<QString> aiTrigger;
    std::optional<QString> templateText;

    bool operator==(const PhraseCandidate&) const = default;
};

// Both candidate kinds: a use count and the last sighting, which the cap rule sorts by.
template <typename T>
concept LearnedCandidate = requires(const T& c)
{
    {
        c.count
        } -> std::convertible_to<int>;
    {
        c.lastSeen
        } -> std::convertible_to<QDateTime>;
};

size_t qHash(const CorrectionCandidate& c, size_t seed = 0);
size_t qHash(const PhraseCandidate& p, size_t seed = 0);

// The content of learning.json.
struct SavedLearning
{
    QList<CorrectionCandidate> corrections;
    QList<PhraseCandidate> phrases;
    QStringList dismissed; // oldest first
    QStringList samples;   // oldest first
    std::optional<QString> toneProfile;

    bool operator==(const SavedLearning&) const = default;
};

// Pretty-printed with sorted keys, dates as UTC ISO 8601 with whole seconds, UUIDs in
// upper case; "samples" always written, "toneProfile" only when there is one.
QByteArray encodeLearning(const SavedLearning& saved);
// Strict: a missing required key, a value of the wrong type, an unknown verdict, or a
// malformed date or UUID anywhere makes the whole file unusable. Unknown keys are ignored.
std::optional<SavedLearning> decodeLearning(const QByteArray& bytes);

// The stored date form: "2025-03-01T09:30:00Z".
QString learningDateText(const QDateTime& t);
std::optional<QDateTime> learningDateFromText(const QString& text);
