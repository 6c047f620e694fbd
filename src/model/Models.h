#pragma once

#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <optional>

// The value records every subsystem passes around, their stored JSON forms, and the
// constant lists and defaults that go with them.

enum class ExpansionMode { instant, delimiter };
enum class SnippetKind { text, shell };
enum class AppScopeMode { all, allExcept, onlyIn };
// Which AI service a feature uses; chosen separately for writing, vetting and learning.
enum class AIBackend { off, onDevice, openAI };

QString toRaw(ExpansionMode m);
QString toRaw(SnippetKind k);
QString toRaw(AppScopeMode m);
QString toRaw(AIBackend b);
std::optional<ExpansionMode> expansionModeFromRaw(const QString& raw);
std::optional<SnippetKind> snippetKindFromRaw(const QString& raw);
std::optional<AppScopeMode> appScopeModeFromRaw(const QString& raw);
std::optional<AIBackend> aiBackendFromRaw(const QString& raw);
const QList<AIBackend>& allAIBackends();
const QList<ExpansionMode>& allExpansionModes();
const QList<AppScopeMode>& allAppScopeModes();

// UUIDs are written as canonical upper-case text; reading accepts either case but only the
// 36-character hyphenated form.
QString uuidText(const QUuid& id);
std::optional<QUuid> uuidFromText(const QString& text);

struct Snippet
{
    QUuid id = QUuid::createUuid();
    QString trigger;
    QString content;
    bool enabled = true;
    bool ignoreCase = false;
    bool adaptCase = false;
    bool wholeWord = false;
    bool keepDelimiter = true;
    bool learned = false;
    SnippetKind kind = SnippetKind::text;
    std::optional<QUuid> groupID;

    bool operator==(const Snippet&) const = default;

    // The four starter snippets used when no snippet file can be read. Their ids are fixed,
    // so their usage counts add up across starts even before the list is first saved.
    static const QList<Snippet>& samples();
};

struct SnippetGroup
{
    QUuid id = QUuid::createUuid();
    QString name = QStringLiteral("Group");
    bool enabled = true;
    QString triggerPrefix;
    AppScopeMode appMode = AppScopeMode::all;
    QStringList appList;
    // An "appMode" this version does not know (written by a newer one), kept as it was
    // read and written back unchanged. While it is set the group fires nowhere: reading it
    // as any known scope could let a group meant for a few applications fire everywhere.
    // Choosing a scope for the group means clearing it.
    std::optional<QString> unrecognisedAppMode;

    bool operator==(const SnippetGroup&) const = default;
    bool scopeUnderstood() const { return !unrecognisedAppMode.has_value(); }
};

struct CustomCorrection
{
    QUuid id = QUuid::createUuid();
    QString wrong;
    QString right;
    bool learned = false;

    bool operator==(const CustomCorrection&) const = default;
};

// A snippet as the trigger index hands it out: with the scope of its group.
struct ResolvedSnippet
{
    Snippet snippet;
    AppScopeMode appMode = AppScopeMode::all;
    QStringList appList;
};

// One row of the prefix index and of the suggestion popup.
struct SuggestionEntry
{
    QString trigger;
    QString content;
    AppScopeMode appMode = AppScopeMode::all;
    QStringList appList;

    bool operator==(const SuggestionEntry&) const = default;
};

size_t qHash(const Snippet& s, size_t seed = 0);
size_t qHash(const SnippetGroup& g, size_t seed = 0);
size_t qHash(const CustomCorrection& c, size_t seed = 0);
size_t qHash(const SuggestionEntry& e, size_t seed = 0);

// JSON coding of one record. A required field that is missing or of the wrong type, or a
// snippet "kind" that is not "text" or "shell" (the kind decides what the content means),
// makes the record unreadable; an optional field of the wrong type (including a malformed
// id or groupID) takes its default, as an absent one does.
QJsonObject toJson(const Snippet& s);
QJsonObject toJson(const SnippetGroup& g);
QJsonObject toJson(const CustomCorrection& c);
std::optional<Snippet> snippetFromJson(const QJsonValue& v);
std::optional<SnippetGroup> groupFromJson(const QJsonValue& v);
std::optional<CustomCorrection> correctionFromJson(const QJsonValue& v);
std::optional<QList<Snippet>> snippetsFromJson(const QJsonValue& v);
std::optional<QList<SnippetGroup>> groupsFromJson(const QJsonValue& v);
std::optional<QList<CustomCorrection>> correctionsFromJson(const QJsonValue& v);

// A stored list read record by record: the records that could be read, and how many could
// not. Absent when the value is not a list at all.
template <typename T>
struct DecodedList
{
    QList<T> records;
    int skipped = 0;
};
std::optional<DecodedList<Snippet>> readSnippetList(const QJsonValue& v);
std::optional<DecodedList<SnippetGroup>> readGroupList(const QJsonValue& v);
std::optional<DecodedList<CustomCorrection>> readCorrectionList(const QJsonValue& v);

// A JSON text whose top level is an array or an object; absent for anything else.
std::optional<QJsonValue> parseJson(const QByteArray& bytes);

// The document as every data and settings file writes it. Qt's reader decodes a string
// without escapes as plain UTF-8 and so drops a U+FEFF at its start; written as the escape
// \ufeff, which the reader keeps, every string reads back exactly as it was written.
QByteArray jsonBytes(const QJsonDocument& doc, QJsonDocument::JsonFormat format = QJsonDocument::Indented);

// Pretty-printed, sorted keys (QJsonObject keeps its keys sorted).
QByteArray encodeSnippets(const QList<Snippet>& list);
QByteArray encodeGroups(const QList<SnippetGroup>& list);
// Strict: absent when the text is not a list or any record in it cannot be read.
std::optional<QList<Snippet>> decodeSnippets(const QByteArray& bytes);
std::optional<QList<SnippetGroup>> decodeGroups(const QByteArray& bytes);

// Terminals (spelling fixes always off, learning inactive) and the default spelling-fix
// exclusions, as WM_CLASS classes. Compared exactly, as stored.
namespace TerminalApps {
const QSet<QString>& bundleIDs();
const QStringList& defaultSpellFixExclusions();
} // namespace TerminalApps
