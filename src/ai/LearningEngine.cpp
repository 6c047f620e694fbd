#include "ai/LearningEngine.h"

#include "model/AppState.h"
#include "model/AtomicFile.h"
#include "model/SpellData.h"
#include "model/Text.h"
#include "platform/SecureInput.h"
#include "platform/SpellChecker.h"

#include <QFileInfo>
#include <QHash>

#include <limits>
#include <utility>
#include <vector>

namespace {

LearningEngine* g_shared = nullptr;

const QString kFileName = QStringLiteral("learning.json");

// Single sightings older than this are forgotten at start-up.
constexpr qint64 kAgeLimitSeconds = 3888000; // 45 days
constexpr int kLongestWord = 24;

bool isApostrophe(QStringView c)
{
    return c.size() == 1 && (c.at(0) == u'\'' || c.at(0) == u'\u2019');
}

bool isWordCharacter(QStringView c)
{
    return isApostrophe(c) || Text::isLetter(c);
}

bool isWhitespace(QStringView c)
{
    return !c.isEmpty() && c.at(0).isSpace();
}

bool isTrailingPunctuation(QStringView c)
{
    if (c.size() != 1)
        return false;
    switch (c.at(0).unicode()) {
    case u' ':
    case u'.':
    case u'!':
    case u'?':
    case u',':
    case u';':
    case u':':
    case u'\u2026':
        return true;
    default:
        return false;
    }
}

QString correctionKey(const QString& wrong, const QString& right)
{
    return QStringLiteral("c:") + wrong + QLatin1Char('>') + right;
}

QString phraseKey(const QString& key)
{
    return QStringLiteral("p:") + key;
}

// Words of a text split at white space, empty pieces dropped, each as its characters.
QList<QStringList> wordsOf(const QString& text)
{
    QList<QStringList> words;
    QStringList current;
    for (const QString& c : Text::graphemes(text)) {
        if (isWhitespace(c)) {
            if (!current.isEmpty())
                words.append(std::exchange(current, {}));
        } else {
            current.append(c);
        }
    }
    if (!current.isEmpty())
        words.append(current);
    return words;
}

// A long word mixing three of lower case, upper case, digits and symbols looks like a
// password, a key or code, not prose.
bool looksLikeCode(const QStringList& word)
{
    if (word.size() < 8)
        return false;
    bool lower = false, upper = false, number = false, other = false;
    for (const QString& c : word) {
        lower = lower || Text::isLowercase(c);
        upper = upper || Text::isUppercase(c);
        const bool isNumber = Text::isNumber(c);
        number = number || isNumber;
        other = other || (!isNumber && !Text::isLetter(c));
    }
    return int(lower) + int(upper) + int(number) + int(other) >= 3;
}

int saturatingAdd(int a, int b)
{
    const qint64 sum = qint64(a) + qint64(b);
    return int(std::clamp<qint64>(sum, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

template <typename T> QList<T> suggested(const QList<T>& all)
{
    QList<T> out;
    for (const T& c : all)
        if (c.count >= 2)
            out.append(c);
    std::stable_sort(out.begin(), out.end(), [](const T& a, const T& b) {
        if (a.count != b.count)
            return a.count > b.count;
        return a.lastSeen < b.lastSeen;
    });
    return out;
}

template <typename T> QList<T> inProgress(const QList<T>& all)
{
    QList<T> out;
    for (const T& c : all)
        if (c.count < 2)
            out.append(c);
    std::stable_sort(out.begin(), out.end(), [](const T& a, const T& b) { return a.lastSeen > b.lastSeen; });
    return out;
}

template <typename T> bool removeById(QList<T>& list, const QUuid& id)
{
    return list.removeIf([&](const T& c) { return c.id == id; }) > 0;
}

} // namespace

LearningEngine::LearningEngine(AppState& state, Collaborators collaborators, QObject* parent)
    : LearningEngine(state, std::move(collaborators), Options{}, parent)
{
}

LearningEngine::LearningEngine(AppState& state, Collaborators collaborators, Options options, QObject* parent)
    : QObject(parent), m_state(state), m_collaborators(std::move(collaborators)),
      m_options(std::move(options))
{
    m_filePath = m_options.filePath.isEmpty() ? AppState::filePath(kFileName) : m_options.filePath;
    for (QTimer* t : {&m_saveTimer, &m_autoVetTimer, &m_autoTemplateTimer, &m_toneTimer})
        t->setSingleShot(true);
    connect(&m_saveTimer, &QTimer::timeout, this, &LearningEngine::saveNow);
    // The badge and the menu follow the number of suggestions, not every change of a count.
    const auto recount = [this] {
        const int n = suggestionCount();
        if (n != m_lastSuggestionCount) {
            m_lastSuggestionCount = n;
            Q_EMIT suggestionCountChanged(n);
        }
    };
    connect(this, &LearningEngine::correctionCandidatesChanged, this, recount);
    connect(this, &LearningEngine::phraseCandidatesChanged, this, recount);
    connect(&m_autoVetTimer, &QTimer::timeout, this, [this] {
        if (m_aiWork.autoVetOnDevice)
            m_aiWork.autoVetOnDevice();
    });
    connect(&m_autoTemplateTimer, &QTimer::timeout, this, [this] {
        if (m_aiWork.autoTemplateOnDevice)
            m_aiWork.autoTemplateOnDevice();
    });
    connect(&m_toneTimer, &QTimer::timeout, this, [this] {
        if (m_aiWork.refreshToneProfile)
            m_aiWork.refreshToneProfile();
    });
    // Key events stop while secure input is set, but the first keys of a password can
    // arrive before the flag does, and what follows the secure spell would otherwise be
    // joined to what preceded it. Whatever the segment holds is dropped unevaluated.
    connect(&m_state, &AppState::spellFixExcludedAppsChanged, this, [this] { m_appVerdictValid = false; });
    if (m_collaborators.secureInput)
        connect(m_collaborators.secureInput, &SecureInput::changed, this,
                [this](bool) { resetTransientState(); });
    load();
}

LearningEngine::~LearningEngine()
{
    if (m_saveTimer.isActive())
        saveNow();
    if (g_shared == this)
        g_shared = nullptr;
}

LearningEngine* LearningEngine::shared()
{
    return g_shared;
}
void LearningEngine::setShared(LearningEngine* engine)
{
    g_shared = engine;
}

QString LearningEngine::filePath() const
{
    return m_filePath;
}

// Views ---------------------------------------------------------------------------------

QList<CorrectionCandidate> LearningEngine::suggestedCorrections() const
{
    return suggested(m_correctionCandidates);
}
QList<PhraseCandidate> LearningEngine::suggestedPhrases() const
{
    return suggested(m_phraseCandidates);
}
QList<CorrectionCandidate> LearningEngine::inProgressCorrections() const
{
    return inProgress(m_correctionCandidates);
}
QList<PhraseCandidate> LearningEngine::inProgressPhrases() const
{
    return inProgress(m_phraseCandidates);
}

int LearningEngine::suggestionCount() const
{
    int n = 0;
    for (const CorrectionCandidate& c : m_correctionCandidates)
        n += c.count >= 2;
    for (const PhraseCandidate& p : m_phraseCandidates)
        n += p.count >= 2;
    return n;
}

// Decisions -----------------------------------------------------------------------------

void LearningEngine::rememberDismissal(const QString& key)
{
    if (m_dismissedKeys.contains(key))
        return;
    m_dismissedKeys.insert(key);
    m_dismissedOrder.append(key);
    if (m_dismissedOrder.size() > kDismissalCap) {
        const qsizetype surplus = m_dismissedOrder.size() - kDismissalCap;
        for (qsizetype i = 0; i < surplus; ++i)
            m_dismissedKeys.remove(m_dismissedOrder.at(i));
        m_dismissedOrder.remove(0, surplus);
    }
}

void LearningEngine::acceptCorrection(const CorrectionCandidate& c)
{
    CustomCorrection fix;
    fix.wrong = c.wrong;
    fix.right = c.right;
    fix.learned = true;
    QList<CustomCorrection> list = m_state.customCorrections();
    list.append(fix);
    m_state.setCustomCorrections(list); // saves corrections.json and rebuilds the index
    dismissCorrection(c);
}

void LearningEngine::dismissCorrection(const CorrectionCandidate& c)
{
    rememberDismissal(correctionKey(c.wrong, c.right));
    if (removeById(m_correctionCandidates, c.id))
        Q_EMIT correctionCandidatesChanged();
    saveNow();
}

void LearningEngine::acceptPhrase(const PhraseCandidate& p, const QString& trigger,
                                  const std::optional<QString>& content)
{
    const QString t = Text::trimSpacesAndTabs(trigger);
    if (t.isEmpty())
        return;
    Snippet s;
    s.trigger = t;
    s.content = content && !content->isEmpty() ? *content : p.text;
    s.enabled = true;
    s.ignoreCase = false;
    s.adaptCase = false;
    s.wholeWord = false;
    s.keepDelimiter = true;
    s.learned = true;
    s.kind = SnippetKind::text;
    s.groupID.reset();
    if (!m_state.addSnippets({s}))
        return;
    dismissPhrase(p);
}

void LearningEngine::dismissPhrase(const PhraseCandidate& p)
{
    rememberDismissal(phraseKey(p.key));
    if (removeById(m_phraseCandidates, p.id))
        Q_EMIT phraseCandidatesChanged();
    saveNow();
}

void LearningEngine::clearAllLearnedData()
{
    stopTimers();
    ++m_generation;
    m_correctionCandidates.clear();
    m_phraseCandidates.clear();
    m_dismissedKeys.clear();
    m_dismissedOrder.clear();
    m_writingSamples.clear();
    m_toneProfile.reset();
    resetTransientState();
    Q_EMIT correctionCandidatesChanged();
    Q_EMIT phraseCandidatesChanged();
    Q_EMIT toneProfileChanged();
    saveNow();
}

QString LearningEngine::suggestedTrigger(const PhraseCandidate& p) const
{
    const TriggerMap& index = m_state.triggerIndex();
    if (p.aiTrigger && !p.aiTrigger->isEmpty() && !index.contains(*p.aiTrigger))
        return *p.aiTrigger;
    const QList<QStringList> words = wordsOf(p.text);
    QString base;
    int letters = 0;
    if (!words.isEmpty()) {
        for (const QString& c : Text::graphemes(Text::lower(words.first().join(QString())))) {
            if (letters == 4)
                break;
            if (Text::isLetter(c)) {
                base += c;
                ++letters;
            }
        }
    }
    if (base.isEmpty())
        base = QStringLiteral("snip");
    for (int n = 1;; ++n) {
        const QString candidate = base + QString::number(n);
        if (!index.contains(candidate))
            return candidate;
    }
}

// Writes from AI work -------------------------------------------------------------------

namespace {

// Edits the candidate with that id; false when it is gone.
template <typename T>
bool editById(QList<T>& list, const QUuid& id, const std::function<void(T&)>& edit)
{
    for (T& item : list) {
        if (item.id == id) {
            edit(item);
            return true;
        }
    }
    return false;
}

} // namespace

bool LearningEngine::updateCorrection(quint64 generation, const QUuid& id,
                                      const std::function<void(CorrectionCandidate&)>& edit)
{
    if (generation != m_generation || !editById(m_correctionCandidates, id, edit))
        return false;
    Q_EMIT correctionCandidatesChanged();
    return true;
}

bool LearningEngine::updatePhrase(quint64 generation, const QUuid& id,
                                  const std::function<void(PhraseCandidate&)>& edit)
{
    if (generation != m_generation || !editById(m_phraseCandidates, id, edit))
        return false;
    Q_EMIT phraseCandidatesChanged();
    return true;
}

bool LearningEngine::setToneProfile(quint64 generation, const std::optional<QString>& profile)
{
    if (generation != m_generation)
        return false;
    if (m_toneProfile != profile) {
        m_toneProfile = profile;
        Q_EMIT toneProfileChanged();
    }
    return true;
}

void LearningEngine::setAutoVetting(bool v)
{
    if (m_isAutoVetting == v)
        return;
    m_isAutoVetting = v;
    Q_EMIT isAutoVettingChanged(v);
}

void LearningEngine::setBuildingTone(bool v)
{
    if (m_isBuildingTone == v)
        return;
    m_isBuildingTone = v;
    Q_EMIT isBuildingToneChanged(v);
}

// Timers --------------------------------------------------------------------------------

void LearningEngine::scheduleSave()
{
    m_saveTimer.start(m_options.saveDelayMs);
}

void LearningEngine::scheduleAutoVet()
{
    if (m_state.aiVettingBackend() != AIBackend::onDevice)
        return;
    m_autoVetTimer.start(m_options.autoVetDelayMs);
}

void LearningEngine::scheduleAutoTemplate()
{
    if (m_state.aiLearningBackend() != AIBackend::onDevice)
        return;
    m_autoTemplateTimer.start(m_options.autoTemplateDelayMs);
}

void LearningEngine::scheduleToneRefresh()
{
    // Only the first profile is built unasked; later ones come from the user's button.
    if (!m_state.useToneProfile() || m_state.aiWritingBackend() != AIBackend::onDevice || m_toneProfile ||
        m_writingSamples.size() < 5)
        return;
    m_toneTimer.start(m_options.toneRefreshDelayMs);
}

void LearningEngine::stopTimers()
{
    for (QTimer* t : {&m_saveTimer, &m_autoVetTimer, &m_autoTemplateTimer, &m_toneTimer})
        t->stop();
}

// learning.json -------------------------------------------------------------------------

void LearningEngine::saveNow()
{
    m_saveTimer.stop();
    SavedLearning saved;
    saved.corrections = m_correctionCandidates;
    saved.phrases = m_phraseCandidates;
    saved.dismissed = m_dismissedOrder;
    saved.samples = m_writingSamples;
    saved.toneProfile = m_toneProfile;
    const QByteArray bytes = encodeLearning(saved);
    const QString path = filePath();
    if (m_setAsideBeforeSave) {
        // The user's unreadable file is kept under another name; when even that fails it
        // stays where it is and nothing is written over it.
        if (QFileInfo::exists(path) && AtomicFile::setAside(path).isEmpty())
            return;
        m_setAsideBeforeSave = false;
    }
    if (AtomicFile::write(path, bytes))
        AtomicFile::makePrivate(path);
}

void LearningEngine::load()
{
    const QString path = filePath();
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return;
    const auto bytes = AtomicFile::read(path, m_options.maxFileBytes);
    std::optional<SavedLearning> saved;
    if (bytes)
        saved = decodeLearning(*bytes);
    if (!saved) {
        m_setAsideBeforeSave = true;
        return;
    }

    const QDateTime cutoff = m_state.now().addSecs(-kAgeLimitSeconds);
    for (CorrectionCandidate& c : saved->corrections)
        if (c.count >= 2 || c.lastSeen > cutoff)
            m_correctionCandidates.append(std::move(c));

    // Phrases saved by earlier versions may still end in punctuation: they are re-keyed,
    // and two that now share a key become one.
    QHash<QString, qsizetype> byKey;
    byKey.reserve(saved->phrases.size());
    for (PhraseCandidate& p : saved->phrases) {
        if (p.count < 2 && !(p.lastSeen > cutoff))
            continue;
        p.text = strippingTrailingPunctuation(p.text);
        p.key = Text::lower(p.text);
        if (p.key.isEmpty())
            continue;
        const auto it = byKey.constFind(p.key);
        if (it == byKey.constEnd()) {
            byKey.insert(p.key, m_phraseCandidates.size());
            m_phraseCandidates.append(std::move(p));
            continue;
        }
        PhraseCandidate& first = m_phraseCandidates[*it];
        first.count = saturatingAdd(first.count, p.count);
        first.lastSeen = std::max(first.lastSeen, p.lastSeen);
        if (!first.aiVerdict)
            first.aiVerdict = p.aiVerdict;
        if (!first.aiTrigger)
            first.aiTrigger = p.aiTrigger;
    }

    // Re-keying can make two dismissal keys one. Each is kept once: a duplicate in the
    // order list would take the key out of the set when its older copy is forgotten,
    // and the suggestion would come back.
    m_dismissedKeys.reserve(saved->dismissed.size());
    for (const QString& raw : saved->dismissed) {
        const QString key = raw.startsWith(QLatin1String("p:"))
                                ? QStringLiteral("p:") + strippingTrailingPunctuation(raw.mid(2))
                                : raw;
        if (m_dismissedKeys.contains(key))
            continue;
        m_dismissedKeys.insert(key);
        m_dismissedOrder.append(key);
    }
    // A longer list keeps its newest keys in order; the set still blocks them all.
    if (m_dismissedOrder.size() > kDismissalCap)
        m_dismissedOrder.remove(0, m_dismissedOrder.size() - kDismissalCap);

    m_writingSamples = saved->samples;
    m_toneProfile = saved->toneProfile;
}

// Learning from typing ------------------------------------------------------------------

bool LearningEngine::isLearningActive() const
{
    if (!m_state.masterEnabled() || !m_state.learningEnabled())
        return false;
    // Asked on every keystroke: the application's verdict is kept until the application or
    // the exclusion list changes (a string hash per key costs more than all the rest).
    const QString front = m_collaborators.frontApp ? m_collaborators.frontApp() : QString();
    if (!m_appVerdictValid || front != m_appVerdictFor) {
        m_appVerdictFor = front;
        m_appAllowed =
            !TerminalApps::bundleIDs().contains(front) && !m_state.spellFixExcludedApps().contains(front);
        m_appVerdictValid = true;
    }
    if (!m_appAllowed)
        return false;
    return !(m_collaborators.secureInput && m_collaborators.secureInput->isActive());
}

void LearningEngine::appendToBuffer(const QString& character)
{
    if (character.isEmpty())
        return;
    const bool full = m_typedBuffer.size() >= kBufferCap;
    m_typedBuffer.append(character); // drops the oldest when over the cap
    if (full) {
        m_segmentOverflowed = true;
        closeEdit();
    }
}

void LearningEngine::beginEditSessionIfNeeded()
{
    if (m_editPending)
        return;
    m_editOriginal.clear();
    for (int i = 0; i < m_typedBuffer.size(); ++i)
        m_editOriginal.append(m_typedBuffer.at(i));
    m_editPending = true;
    m_editCut = m_typedBuffer.size();
    m_editErasedLetter = false;
}

void LearningEngine::closeEdit()
{
    if (m_editPending) {
        m_editPending = false;
        m_editOriginal.clear();
    }
    m_editCut = 0;
    m_editErasedLetter = false;
}

void LearningEngine::noteBackspace()
{
    if (!isLearningActive()) {
        resetTransientState();
        return;
    }
    if (m_typedBuffer.isEmpty()) {
        closeEdit();
        return;
    }
    beginEditSessionIfNeeded();
    m_typedSinceBackspace = false;
    if (Text::isLetter(m_typedBuffer.last()))
        m_editErasedLetter = true;
    m_typedBuffer.removeLast();
    m_editCut = std::min(m_editCut, m_typedBuffer.size());
}

void LearningEngine::noteWordBackspace()
{
    if (!isLearningActive()) {
        resetTransientState();
        return;
    }
    if (m_typedBuffer.isEmpty()) {
        closeEdit();
        return;
    }
    beginEditSessionIfNeeded();
    m_typedSinceBackspace = false;
    while (!m_typedBuffer.isEmpty() && !isWordCharacter(m_typedBuffer.last()))
        m_typedBuffer.removeLast();
    while (!m_typedBuffer.isEmpty() && isWordCharacter(m_typedBuffer.last())) {
        m_typedBuffer.removeLast();
        m_editErasedLetter = true;
    }
    m_editCut = std::min(m_editCut, m_typedBuffer.size());
}

std::optional<QString> LearningEngine::word(const TypedBuffer& buffer, int index)
{
    const int n = buffer.size();
    if (index < 0 || index >= n)
        return std::nullopt;
    int start = index;
    if (isWordCharacter(buffer.at(index))) {
        while (start > 0 && isWordCharacter(buffer.at(start - 1)))
            --start;
    } else {
        ++start;
        while (start < n && !isWordCharacter(buffer.at(start)))
            ++start;
        if (start >= n)
            return std::nullopt;
    }
    int end = start;
    while (end < n && isWordCharacter(buffer.at(end)))
        ++end;
    if (end - start > kLongestWord)
        return std::nullopt;
    QString w;
    for (int i = start; i < end; ++i)
        w += buffer.at(i);
    return w;
}

void LearningEngine::evaluatePendingFix()
{
    if (!m_editPending || !m_editErasedLetter || !m_typedSinceBackspace) {
        closeEdit();
        return;
    }
    const auto wrong = word(m_editOriginal, m_editCut);
    const auto right = word(m_typedBuffer, m_editCut);
    if (wrong && right)
        recordCorrection(Text::lower(*wrong), Text::lower(*right).replace(QChar(0x2019), QLatin1Char('\'')));
    closeEdit();
}

int LearningEngine::editDistance(const QString& a, const QString& b)
{
    const QStringList x = Text::graphemes(a);
    const QStringList y = Text::graphemes(b);
    const qsizetype m = x.size(), n = y.size();
    if (m == 0)
        return int(n);
    if (n == 0)
        return int(m);
    std::vector<int> d(size_t((m + 1) * (n + 1)));
    const auto at = [&](qsizetype i, qsizetype j) -> int& { return d[size_t(i * (n + 1) + j)]; };
    for (qsizetype i = 0; i <= m; ++i)
        at(i, 0) = int(i);
    for (qsizetype j = 0; j <= n; ++j)
        at(0, j) = int(j);
    for (qsizetype i = 1; i <= m; ++i) {
        for (qsizetype j = 1; j <= n; ++j) {
            const int cost = x[i - 1] == y[j - 1] ? 0 : 1;
            int v = std::min({at(i - 1, j) + 1, at(i, j - 1) + 1, at(i - 1, j - 1) + cost});
            if (i > 1 && j > 1 && x[i - 1] == y[j - 2] && x[i - 2] == y[j - 1])
                v = std::min(v, at(i - 2, j - 2) + 1);
            at(i, j) = v;
        }
    }
    return at(m, n);
}

void LearningEngine::recordCorrection(const QString& wrong, const QString& right)
{
    if (wrong == right)
        return;
    const QStringList w = Text::graphemes(wrong);
    const QStringList r = Text::graphemes(right);
    if (w.size() < 3 || w.size() > kLongestWord || r.size() < 2 || r.size() > kLongestWord)
        return;
    for (const QString& c : w)
        if (!Text::isLetter(c))
            return;
    for (const QString& c : r)
        if (!Text::isLetter(c) && c != QLatin1String("'"))
            return;
    if (SpellData::protectedWords().contains(wrong) || m_state.correctionIndex().contains(wrong))
        return;
    const QString key = correctionKey(wrong, right);
    if (m_dismissedKeys.contains(key))
        return;
    const int d = editDistance(wrong, right);
    const int allowed = w.size() < 7 ? 1 : w.size() <= 10 ? 2 : 3;
    if (d < 1 || d > allowed)
        return;
    // The one costly test, kept for last.
    if (!m_collaborators.spellChecker || !m_collaborators.spellChecker->isMisspelled(wrong))
        return;

    const QDateTime now = m_state.now();
    bool found = false;
    for (CorrectionCandidate& c : m_correctionCandidates) {
        if (c.wrong == wrong && c.right == right) {
            c.count = saturatingAdd(c.count, 1);
            c.lastSeen = now;
            found = true;
            break;
        }
    }
    if (!found) {
        CorrectionCandidate c;
        c.wrong = wrong;
        c.right = right;
        c.count = 1;
        c.lastSeen = now;
        m_correctionCandidates.append(c);
        evictIfNeeded(m_correctionCandidates, kCorrectionCap);
    }
    Q_EMIT correctionCandidatesChanged();
    scheduleSave();
    scheduleAutoVet();
}

QString LearningEngine::strippingTrailingPunctuation(const QString& s)
{
    if (s.isEmpty() || !isTrailingPunctuation(QStringView(s).right(1)))
        return s;
    // Walk back over whole characters: a mark combined with the final full stop makes it
    // another character, which stays.
    const auto ends = Text::clusterEnds(s);
    qsizetype keep = ends.size();
    while (keep > 0) {
        const int from = keep >= 2 ? ends[keep - 2] : 0;
        if (!isTrailingPunctuation(QStringView(s).mid(from, ends[keep - 1] - from)))
            break;
        --keep;
    }
    return s.left(keep > 0 ? ends[keep - 1] : 0);
}

void LearningEngine::finalizeSegment()
{
    if (m_segmentOverflowed || m_typedBuffer.isEmpty())
        return;
    const QString trimmed = Text::trimWhitespace(m_typedBuffer.text());
    const int length = Text::graphemeCount(trimmed);
    if (length < 15 || length > 200)
        return;
    const QList<QStringList> words = wordsOf(trimmed);
    if (words.size() < 3)
        return;
    for (const QStringList& w : words)
        if (looksLikeCode(w))
            return;
    QStringList joined;
    joined.reserve(words.size());
    for (const QStringList& w : words)
        joined.append(w.join(QString()));
    const QString text = strippingTrailingPunctuation(joined.join(QLatin1Char(' ')));
    if (Text::graphemeCount(text) < 15)
        return;

    collectWritingSample(text, int(words.size()));

    const QString key = Text::lower(text);
    if (m_dismissedKeys.contains(phraseKey(key)))
        return;
    for (const Snippet& s : m_state.snippets())
        if (s.content.compare(text, Qt::CaseInsensitive) == 0)
            return;

    const QDateTime now = m_state.now();
    bool found = false;
    for (PhraseCandidate& p : m_phraseCandidates) {
        if (p.key == key) {
            p.count = saturatingAdd(p.count, 1);
            p.lastSeen = now;
            found = true;
            break;
        }
    }
    if (!found) {
        PhraseCandidate p;
        p.key = key;
        p.text = text;
        p.count = 1;
        p.lastSeen = now;
        m_phraseCandidates.append(p);
        evictIfNeeded(m_phraseCandidates, kPhraseCap);
    }
    Q_EMIT phraseCandidatesChanged();
    scheduleSave();
    scheduleAutoVet();
    scheduleAutoTemplate();
}

void LearningEngine::collectWritingSample(const QString& text, int wordCount)
{
    if (!m_state.useToneProfile() || wordCount < 6)
        return;
    const int length = Text::graphemeCount(text);
    if (length < 40 || length > 280)
        return;
    for (const QString& s : m_writingSamples)
        if (s.compare(text, Qt::CaseInsensitive) == 0)
            return;
    m_writingSamples.append(text);
    if (m_writingSamples.size() > kSampleCap)
        m_writingSamples.remove(0, m_writingSamples.size() - kSampleCap);
    scheduleToneRefresh();
}

void LearningEngine::resetTransientState()
{
    m_typedBuffer.clear();
    m_segmentOverflowed = false;
    closeEdit();
    m_typedSinceBackspace = false;
}
