#pragma once

#include "engine/Injector.h"
#include "engine/TypedBuffer.h"
#include "model/Models.h"
#include "model/PrefixIndex.h"
#include "platform/KeyDown.h"

#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

class AppState;
class DetourProducers;
class ExpansionFeedback;
class SuggestionDisplay;
class TypingLearner;
class ContentRenderer;

// Keeps the typed buffer and turns each key press into buffer edits, trigger matches,
// expansions and spelling fixes. Main thread only; runs inside the keystroke callback, so
// nothing here blocks: all typing is queued to the injector.
class ExpansionEngine : public QObject
{
    Q_OBJECT

public:
    struct Collaborators
    {
        TypingLearner* learner = nullptr;
        SuggestionDisplay* suggestions = nullptr;
        ExpansionFeedback* feedback = nullptr;
        DetourProducers* producers = nullptr;
    };

    // Where typing goes: Injector::replace in the application, a recorder in tests.
    using Replace = std::function<void(int backspaces, const QList<Injector::Segment>& segments, int cursorBack)>;

    ExpansionEngine(AppState& state, Replace replace, ContentRenderer& renderer, QObject* parent = nullptr);
    ~ExpansionEngine() override;

    static ExpansionEngine* shared();
    static void setShared(ExpansionEngine* engine);

    // Absent collaborators are replaced by do-nothing ones.
    void setCollaborators(const Collaborators& c);
    TypingLearner& learner() const { return *m_learner; }

    void handleKeyDown(const KeyDown& event);
    // A mouse button went down anywhere: the caret may have moved.
    void handleMouseDown();
    // Another window came to the front.
    void handleFrontChanged(const QString& appKey);
    void resetBuffer();

    const TypedBuffer& buffer() const { return m_buffer; }
    quint64 inputRevision() const { return m_inputRevision; }
    QString frontBundleID() const { return m_frontBundleID; }
    void setFrontBundleID(const QString& id) { m_frontBundleID = id; }
    // While it answers true, typing is neither expanded, fixed, suggested into nor learned
    // from: the keys go to one of Quenvil's own fields.
    void setInputExcluded(std::function<bool()> excluded) { m_inputExcluded = std::move(excluded); }

    // The suggestion popup's matcher: the longest typed tail that begins an active
    // trigger admitted here, with its entries (numbers in `index`) in list order.
    struct SuggestionMatch
    {
        QString typed;
        PrefixIndex index;
        std::vector<int> rows;
    };
    std::optional<SuggestionMatch> suggestionMatches() const;
    void refreshSuggestions();

    // Spelling-fix rules, public for tests.
    bool spellFixAllowedHere() const;
    std::optional<std::pair<QString, QString>> matchMisspelledWord() const;
    std::optional<std::pair<QString, QString>> matchDoubleCapital() const;
    static QString applyCase(const QString& typed, const QString& stored);

    struct Match
    {
        QString typed;
        Snippet snippet;
    };
    std::optional<Match> matchTriggerSuffix(bool atWordEnd) const;

private:
    // Handles one character of an event's text. `rest` is what the same event carries
    // after it: the target already has it, so an expansion deletes and retypes it. Returns
    // false when an expansion consumed the rest.
    bool handleCharacter(const QString& character, const QString& rest);
    // `refresh`: refresh the suggestions when nothing matched. Characters of a key event's
    // text leave that to the one refresh after the whole event.
    bool handleDelimiter(const QString& d, const QString& rest, bool refresh);
    bool tryInstantExpansion(const QString& rest);
    // `delimiter` is the key that ended the trigger (empty in instant mode), `kept` what
    // of it is typed back, `rest` the event text after it.
    bool expand(const Match& m, int backspaces, const QString& delimiter, const QString& kept, const QString& rest);
    void applyFix(const QString& word, const QString& fixed, const QString& d, const QString& rest);
    void recordExpansion(const Snippet& snippet, const QString& typed);
    void removeTrailingWord();
    void learnerBoundary();
    void reset();
    bool scopeAdmits(AppScopeMode mode, const QStringList& apps) const;

    AppState& m_state;
    Replace m_replace;
    ContentRenderer& m_renderer;
    TypingLearner* m_learner;
    SuggestionDisplay* m_suggestions;
    ExpansionFeedback* m_feedback;
    DetourProducers* m_producers;
    TypedBuffer m_buffer{100};
    quint64 m_inputRevision = 0;
    QString m_frontBundleID;
    std::function<bool()> m_inputExcluded;
};
