#include "engine/ExpansionEngine.h"

#include "engine/ContentRenderer.h"
#include "engine/DetourProducers.h"
#include "engine/ExpansionFeedback.h"
#include "engine/Injector.h"
#include "engine/SuggestionDisplay.h"
#include "engine/TypingLearner.h"
#include "model/AppState.h"
#include "model/SpellData.h"
#include "model/Text.h"

namespace {

ExpansionEngine* g_shared = nullptr;

TypingLearner g_noLearner;
SuggestionDisplay g_noSuggestions;
ExpansionFeedback g_noFeedback;
DetourProducers g_noProducers;

bool isResetKey(Key k)
{
    switch (k) {
    case Key::Left:
    case Key::Right:
    case Key::Down:
    case Key::Up:
    case Key::Home:
    case Key::End:
    case Key::PageUp:
    case Key::PageDown:
    case Key::Escape:
    case Key::Return:
    case Key::KeypadEnter:
    case Key::ForwardDelete:
        return true;
    default:
        return false;
    }
}

bool isNewline(char32_t c)
{
    return (c >= 0x0A && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029;
}

bool isDelimiter(const QString& c)
{
    if (c.size() != 1)
        return false;
    switch (c.at(0).unicode()) {
    case ' ':
    case '.':
    case ',':
    case '!':
    case '?':
    case ';':
    case ':':
    case ')':
    case ']':
    case '}':
    case '"':
        return true;
    default:
        return false;
    }
}

bool hasControl(const QString& c)
{
    for (const QChar ch : c)
        if (ch.unicode() < 0x20)
            return true;
    return false;
}

// A view as a QString without copying, for hash probes.
QString raw(QStringView v) { return QString::fromRawData(v.data(), v.size()); }

constexpr int kLongestWord = 24;

} // namespace

ExpansionEngine::ExpansionEngine(AppState& state, Replace replace, ContentRenderer& renderer, QObject* parent)
    : QObject(parent), m_state(state), m_replace(std::move(replace)), m_renderer(renderer), m_learner(&g_noLearner),
      m_suggestions(&g_noSuggestions), m_feedback(&g_noFeedback), m_producers(&g_noProducers)
{
}

ExpansionEngine::~ExpansionEngine()
{
    if (g_shared == this)
        g_shared = nullptr;
}

ExpansionEngine* ExpansionEngine::shared() { return g_shared; }
void ExpansionEngine::setShared(ExpansionEngine* engine) { g_shared = engine; }

void ExpansionEngine::setCollaborators(const Collaborators& c)
{
    m_learner = c.learner ? c.learner : &g_noLearner;
    m_suggestions = c.suggestions ? c.suggestions : &g_noSuggestions;
    m_feedback = c.feedback ? c.feedback : &g_noFeedback;
    m_producers = c.producers ? c.producers : &g_noProducers;
}

void ExpansionEngine::resetBuffer()
{
    ++m_inputRevision;
    m_buffer.clear();
    m_suggestions->hide();
}

void ExpansionEngine::learnerBoundary()
{
    if (m_learner->isLearningActive()) {
        m_learner->evaluatePendingFix();
        m_learner->finalizeSegment();
    }
    m_learner->resetTransientState();
}

void ExpansionEngine::reset()
{
    resetBuffer();
    learnerBoundary();
}

void ExpansionEngine::handleMouseDown() { reset(); }

void ExpansionEngine::handleFrontChanged(const QString& appKey)
{
    learnerBoundary(); // still sees the application that was in front
    m_frontBundleID = appKey;
    resetBuffer();
}

void ExpansionEngine::handleKeyDown(const KeyDown& event)
{
    ++m_inputRevision;
    if (!m_state.masterEnabled() || m_state.isPaused())
        return;
    if (m_inputExcluded && m_inputExcluded()) {
        // Nothing typed into our own fields may join what is typed after them elsewhere.
        reset();
        return;
    }

    // The word erase is a Control or Alt chord, so it is recognised before the rule that
    // shortcut chords reset the buffer.
    if (event.key == Key::Backspace && (event.modifiers & (Modifier::Control | Modifier::Alt))) {
        removeTrailingWord();
        m_learner->noteWordBackspace();
        refreshSuggestions();
        return;
    }
    if (event.isShortcut()) {
        reset();
        return;
    }
    if (event.key == Key::Backspace) {
        m_buffer.removeLast();
        m_learner->noteBackspace();
        refreshSuggestions();
        return;
    }
    if (isResetKey(event.key)) {
        reset();
        return;
    }
    if (event.key == Key::Tab) {
        handleDelimiter(QStringLiteral("\t"), QString(), true);
        return;
    }
    if (event.text.isEmpty())
        return;

    if (event.text.size() == 1 && !event.text.at(0).isSurrogate()) {
        handleCharacter(event.text, QString());
    } else {
        const QStringList characters = Text::graphemes(event.text);
        qsizetype consumed = 0;
        for (const QString& c : characters) {
            consumed += c.size();
            if (!handleCharacter(c, event.text.mid(consumed)))
                break;
        }
    }
    refreshSuggestions();
}

bool ExpansionEngine::handleCharacter(const QString& character, const QString& rest)
{
    if (isNewline(Text::firstScalar(character))) {
        ++m_inputRevision;
        m_buffer.clear();
        m_suggestions->hide();
        learnerBoundary();
        return true;
    }
    if (isDelimiter(character))
        return handleDelimiter(character, rest, false);
    if (hasControl(character))
        return true;
    m_buffer.append(character);
    if (m_learner->isLearningActive()) {
        m_learner->setTypedSinceBackspace(true);
        m_learner->appendToBuffer(character);
    } else {
        m_learner->resetTransientState();
    }
    if (m_state.expansionMode() == ExpansionMode::instant)
        return tryInstantExpansion(rest);
    return true;
}

bool ExpansionEngine::scopeAdmits(AppScopeMode mode, const QStringList& apps) const
{
    switch (mode) {
    case AppScopeMode::allExcept:
        return !apps.contains(m_frontBundleID);
    case AppScopeMode::onlyIn:
        return apps.contains(m_frontBundleID);
    case AppScopeMode::all:
        break;
    }
    return true;
}

std::optional<ExpansionEngine::Match> ExpansionEngine::matchTriggerSuffix(bool atWordEnd) const
{
    const int n = m_buffer.size();
    const QList<int>& lengths = m_state.triggerLengths();
    if (m_state.maxTriggerLength() < 1 || n < m_state.minTriggerLength() || lengths.isEmpty())
        return std::nullopt;
    const int limit = std::min(n, m_state.maxTriggerLength());
    const auto& exact = m_state.triggerIndex();
    const auto& folded = m_state.insensitiveTriggerIndex();
    for (int len : lengths) {
        if (len > limit)
            continue;
        // Triggers that begin with a letter or digit wait for a delimiter, even in instant
        // mode; testing that first spares the lookups and is the same rule.
        if (!atWordEnd && Text::isLetterOrNumber(m_buffer.at(n - len)))
            continue;
        const QString candidate = raw(m_buffer.suffix(len));
        auto it = exact.constFind(candidate);
        const ResolvedSnippet* r = nullptr;
        if (it != exact.constEnd()) {
            r = &it.value();
        } else if (!folded.isEmpty()) {
            const auto f = folded.constFind(Text::lower(candidate));
            if (f != folded.constEnd())
                r = &f.value();
        }
        if (!r || !scopeAdmits(r->appMode, r->appList))
            continue;
        if ((atWordEnd || r->snippet.wholeWord) && len < n && Text::isLetterOrNumber(m_buffer.at(n - len - 1)))
            continue;
        return Match{QString(candidate.constData(), candidate.size()), r->snippet};
    }
    return std::nullopt;
}

bool ExpansionEngine::tryInstantExpansion(const QString& rest)
{
    const auto m = matchTriggerSuffix(false);
    if (!m)
        return true;
    const int k = Text::graphemeCount(m->typed) + Text::graphemeCount(rest);
    return !expand(*m, k, QString(), QString(), rest);
}

bool ExpansionEngine::handleDelimiter(const QString& d, const QString& rest, bool refresh)
{
    if (const auto m = matchTriggerSuffix(true)) {
        const int k = Text::graphemeCount(m->typed) + 1 + Text::graphemeCount(rest);
        const QString kept = m->snippet.keepDelimiter ? d : QString();
        if (expand(*m, k, d, kept, rest))
            return false;
        // A producer declined: carry on exactly as if nothing had matched.
    }
    if (d != QLatin1String("\t") && spellFixAllowedHere()) {
        auto fix = matchMisspelledWord();
        if (!fix && m_state.doubleCapitalFixEnabled())
            fix = matchDoubleCapital();
        if (fix) {
            applyFix(fix->first, fix->second, d, rest);
            return false;
        }
    }
    if (d != QLatin1String("\t"))
        m_buffer.append(d);
    if (m_learner->isLearningActive()) {
        m_learner->evaluatePendingFix();
        m_learner->appendToBuffer(d);
    } else {
        m_learner->resetTransientState();
    }
    if (refresh)
        refreshSuggestions();
    return true;
}

bool ExpansionEngine::expand(const Match& m, int backspaces, const QString& delimiter, const QString& kept,
                             const QString& rest)
{
    const Snippet& s = m.snippet;
    if (s.kind == SnippetKind::shell)
        return m_producers->runScriptExpansion(s, backspaces, delimiter + rest);
    if (s.content.contains(QLatin1String("{ai:")))
        return m_producers->runAIExpansion(s, backspaces, kept + rest);

    ContentRenderer::Result r = m_renderer.render(s, m.typed);
    if (r.declined)
        return false;
    if (r.hasFillInTokens) {
        // The form types the result itself; without a form there is nothing to type.
        if (!m_producers->presentFillIn(r.plainText, r.literalRanges, backspaces, kept + rest))
            return false;
        resetBuffer();
        return true;
    }
    m_state.setLastExpansion(AppState::LastExpansion{s.id, r.plainText});
    // The caret stays where the content put it: before whatever is retyped after it.
    const QString after = kept + rest;
    if (!after.isEmpty()) {
        r.segments.append(Injector::Segment::text(after));
        if (r.cursorBack > 0)
            r.cursorBack += Text::graphemeCount(after);
    }
    m_replace(backspaces, r.segments, r.cursorBack);
    recordExpansion(s, m.typed);
    resetBuffer();
    m_learner->resetTransientState();
    return true;
}

void ExpansionEngine::applyFix(const QString& word, const QString& fixed, const QString& d, const QString& rest)
{
    m_replace(Text::graphemeCount(word) + 1 + Text::graphemeCount(rest),
                       {Injector::Segment::text(fixed + d + rest)}, 0);
    m_state.setStatCorrections(m_state.statCorrections() + 1);
    if (m_state.hudEnabled())
        m_feedback->showHud(word + QStringLiteral(" \u2192 ") + fixed);
    if (m_state.soundEnabled() && m_state.correctionSoundEnabled())
        m_feedback->playSound(m_state.soundName());
    resetBuffer();
    m_learner->resetTransientState();
}

void ExpansionEngine::recordExpansion(const Snippet& snippet, const QString& typed)
{
    m_state.setStatExpansions(m_state.statExpansions() + 1);
    const int saved = Text::graphemeCount(snippet.content) - Text::graphemeCount(typed);
    m_state.setStatCharsSaved(m_state.statCharsSaved() + std::max(saved, 0));
    m_state.recordUsage(snippet.id, m_frontBundleID);
    if (m_state.hudEnabled())
        m_feedback->showHud(QStringLiteral("\u2713 ") + typed);
    if (m_state.soundEnabled())
        m_feedback->playSound(m_state.soundName());
}

void ExpansionEngine::removeTrailingWord()
{
    while (!m_buffer.isEmpty() && !Text::isLetterOrNumber(m_buffer.last()))
        m_buffer.removeLast();
    while (!m_buffer.isEmpty() && Text::isLetterOrNumber(m_buffer.last()))
        m_buffer.removeLast();
}

// Spelling fixes ------------------------------------------------------------------------

bool ExpansionEngine::spellFixAllowedHere() const
{
    return m_state.spellFixEnabled() && !TerminalApps::bundleIDs().contains(m_frontBundleID) &&
           !m_state.spellFixExcludedApps().contains(m_frontBundleID);
}

QString ExpansionEngine::applyCase(const QString& typed, const QString& stored)
{
    if (typed == Text::upper(typed) && Text::graphemeCount(typed) >= 2)
        return Text::upper(stored);
    if (Text::isUppercase(typed)) {
        const QString first = Text::leftGraphemes(stored, 1);
        return Text::upper(first) + stored.mid(first.size());
    }
    return stored;
}

std::optional<std::pair<QString, QString>> ExpansionEngine::matchMisspelledWord() const
{
    int taken = 0;
    for (int i = m_buffer.size() - 1; i >= 0; --i) {
        const QStringView c = m_buffer.at(i);
        const bool apostrophe = c == QLatin1String("'") || c == QStringView(u"\u2019");
        if (!apostrophe && !Text::isLetter(c))
            break;
        if (++taken > kLongestWord)
            return std::nullopt;
    }
    if (taken < 2)
        return std::nullopt;
    const QString word = m_buffer.suffix(taken).toString();
    QString key = Text::lower(word);
    key.replace(QChar(0x2019), QLatin1Char('\''));
    if (SpellData::protectedWords().contains(key))
        return std::nullopt;
    const auto it = m_state.correctionIndex().constFind(key);
    if (it == m_state.correctionIndex().constEnd() || Text::lower(it.value()) == key)
        return std::nullopt;
    return std::make_pair(word, applyCase(word, it.value()));
}

std::optional<std::pair<QString, QString>> ExpansionEngine::matchDoubleCapital() const
{
    int taken = 0;
    for (int i = m_buffer.size() - 1; i >= 0 && Text::isLetter(m_buffer.at(i)); --i) {
        if (++taken > kLongestWord)
            return std::nullopt;
    }
    if (taken < 3)
        return std::nullopt;
    const int start = m_buffer.size() - taken;
    if (!Text::isUppercase(m_buffer.at(start)) || !Text::isUppercase(m_buffer.at(start + 1)))
        return std::nullopt;
    for (int i = start + 2; i < m_buffer.size(); ++i)
        if (!Text::isLowercase(m_buffer.at(i)))
            return std::nullopt;
    if (taken == 3 && m_buffer.at(start + 2) == QLatin1String("s"))
        return std::nullopt;
    const QString word = m_buffer.suffix(taken).toString();
    if (SpellData::protectedWords().contains(Text::lower(word)))
        return std::nullopt;
    const QString first = m_buffer.at(start).toString();
    return std::make_pair(word, first + Text::lower(word.mid(first.size())));
}

// Suggestions ---------------------------------------------------------------------------

std::optional<ExpansionEngine::SuggestionMatch> ExpansionEngine::suggestionMatches() const
{
    const int n = m_buffer.size();
    if (m_state.maxTriggerLength() < 2 || n < 2)
        return std::nullopt;
    const PrefixIndex& index = m_state.triggerPrefixIndex();
    for (int len = std::min(n, m_state.maxTriggerLength()); len >= 2; --len) {
        const QStringView prefix = m_buffer.suffix(len);
        const auto found = index.lookup(prefix);
        if (found.empty())
            continue;
        if (Text::isLetterOrNumber(prefix) && len < n && Text::isLetterOrNumber(m_buffer.at(n - len - 1)))
            continue;
        SuggestionMatch m;
        for (int i : found) {
            const SuggestionEntry& e = index.entry(i);
            if (scopeAdmits(e.appMode, e.appList))
                m.rows.push_back(i);
        }
        if (!m.rows.empty()) {
            m.typed = prefix.toString();
            m.index = index;
            return m;
        }
    }
    return std::nullopt;
}

void ExpansionEngine::refreshSuggestions()
{
    if (!m_state.inlineSuggestionsEnabled())
        return;
    if (const auto m = suggestionMatches())
        m_suggestions->show(m->typed, m->index, m->rows);
    else
        m_suggestions->hide();
}
