#include "model/AppState.h"

#include "model/AtomicFile.h"
#include "model/BackupManager.h"
#include "model/DataFiles.h"
#include "model/Defaults.h"
#include "model/LegacyMigration.h"
#include "model/Paths.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>

#include <cmath>

namespace {

AppState* g_shared = nullptr;

const QString kSnippetsFile = QStringLiteral("snippets.json");
const QString kGroupsFile = QStringLiteral("groups.json");
const QString kCorrectionsFile = QStringLiteral("corrections.json");
const QString kStatsFile = QStringLiteral("stats.json");

const QStringList& privateFiles()
{
    // Everything the data folder holds for the user, the stored key included.
    static const QStringList names{kSnippetsFile, kGroupsFile, kCorrectionsFile, kStatsFile,
                                   QStringLiteral("learning.json"), QStringLiteral("openai_api_key")};
    return names;
}

QString fileName(const QString& path) { return QFileInfo(path).fileName(); }

} // namespace

AppState::AppState(QObject* parent) : AppState(Options{}, parent) {}

AppState::AppState(const Options& options, QObject* parent)
    : QObject(parent), m_settings(std::make_unique<SettingsStore>(options.settingsPath, options.staleTemporaryAgeSecs)),
      m_clock(options.clock ? options.clock : [] { return QDateTime::currentDateTime(); }),
      m_statsSaveDelayMs(options.statsSaveDelayMs), m_pauseCheckIntervalMs(options.pauseCheckIntervalMs)
{
    m_settings->setDeferredWrites(options.deferSettingsWrites);
    m_settings->setWriteFailureHandler([this](const QString& error) {
        StoreNotice n;
        n.file = fileName(m_settings->path());
        n.saveFailed = true;
        n.message = QStringLiteral("Quenvil could not save its settings (%1). Changes made now last only "
                                   "until Quenvil quits.")
                        .arg(error);
        addNotice(n);
    });
    // Interrupted writes of earlier runs (a crash, a kill) leave temporary files and backup
    // work folders behind; ours only, and only when old enough to belong to nobody.
    const QString dir = supportDir();
    AtomicFile::removeStaleTemporaries(dir, options.staleTemporaryAgeSecs);
    BackupManager::removeStaleWork(options.staleTemporaryAgeSecs);
    if (m_settings->loadFailed()) {
        StoreNotice n;
        n.file = fileName(m_settings->path());
        n.wholeFile = true;
        n.keptAs = m_settings->keptAs();
        n.savesHeld = m_settings->writesHeld();
        n.message = n.savesHeld
                        ? QStringLiteral("Your settings file %1 could not be read, and Quenvil could not keep a "
                                         "copy of it. To protect it, Quenvil uses its default settings and will "
                                         "not save settings until it is restarted.")
                              .arg(m_settings->path())
                        : QStringLiteral("Your settings file could not be read, so Quenvil uses its default "
                                         "settings. The file was kept as %1.")
                              .arg(n.keptAs);
        m_notices.append(n);
    }
    m_statsSaveTimer.setSingleShot(true);
    connect(&m_statsSaveTimer, &QTimer::timeout, this, &AppState::saveStats);
    m_pauseTimer.setSingleShot(true);
    connect(&m_pauseTimer, &QTimer::timeout, this, &AppState::checkPause);
    load();
}

AppState::~AppState()
{
    flushPendingStats();
    if (g_shared == this)
        g_shared = nullptr;
}

AppState* AppState::shared() { return g_shared; }
void AppState::setShared(AppState* state) { g_shared = state; }

QString AppState::supportDir()
{
    const QString dir = Paths::dataHome() + QStringLiteral("/Quenvil");
    AtomicFile::ensurePrivateDir(dir);
    LegacyMigration::runOnce(Paths::dataHome());
    return dir;
}

void AppState::call(const std::function<void()>& fn)
{
    if (fn)
        fn();
}

void AppState::load()
{
    SettingsStore& d = *m_settings;
    Defaults::registerDefaults(d);

    m_masterEnabled = d.boolValue(QStringLiteral("masterEnabled"));
    m_expansionMode = d.stringValue(QStringLiteral("expansionMode")) == QLatin1String("delimiter")
                          ? ExpansionMode::delimiter
                          : ExpansionMode::instant;
    m_spellFixEnabled = d.boolValue(QStringLiteral("spellFixEnabled"));
    m_doubleCapitalFixEnabled = d.boolValue(QStringLiteral("doubleCapitalFixEnabled"));
    m_soundEnabled = d.boolValue(QStringLiteral("soundEnabled"));
    m_soundName = d.stringValue(QStringLiteral("soundName")).value_or(QStringLiteral("Pop"));
    m_correctionSoundEnabled = d.boolValue(QStringLiteral("correctionSoundEnabled"));
    m_hudEnabled = d.boolValue(QStringLiteral("hudEnabled"));
    m_spellFixExcludedApps = d.stringListValue(QStringLiteral("spellFixExcludedApps"))
                                 .value_or(TerminalApps::defaultSpellFixExclusions());
    m_learningEnabled = d.boolValue(QStringLiteral("learningEnabled"));
    m_scriptSnippetsEnabled = d.boolValue(QStringLiteral("scriptSnippetsEnabled"));
    m_inlineSuggestionsEnabled = d.boolValue(QStringLiteral("inlineSuggestionsEnabled"));
    const auto backend = [&](const char* key) {
        return aiBackendFromRaw(d.stringValue(QLatin1String(key)).value_or(QString())).value_or(AIBackend::off);
    };
    m_aiWritingBackend = backend("aiWritingBackend");
    m_aiVettingBackend = backend("aiVettingBackend");
    m_aiLearningBackend = backend("aiLearningBackend");
    m_useToneProfile = d.boolValue(QStringLiteral("useToneProfile"));

    m_statExpansions = d.integerValue(QStringLiteral("statExpansions"));
    m_statCorrections = d.integerValue(QStringLiteral("statCorrections"));
    m_statCharsSaved = d.integerValue(QStringLiteral("statCharsSaved"));
    m_typingWPM = d.doubleValue(QStringLiteral("typingWPM"));

    // Counters are never negative.
    m_statExpansions = std::max<qint64>(0, m_statExpansions);
    m_statCorrections = std::max<qint64>(0, m_statCorrections);
    m_statCharsSaved = std::max<qint64>(0, m_statCharsSaved);

    const QString dir = supportDir();
    // Files others could read stay closed to them from the start, also those this store
    // does not read (the key is read later, by the AI side, and may never load).
    for (const QString& name : privateFiles())
        if (QFileInfo::exists(dir + QLatin1Char('/') + name))
            AtomicFile::makePrivate(dir + QLatin1Char('/') + name);
    const auto readFile = [&](const QString& name) -> std::optional<QByteArray> {
        const QString path = dir + QLatin1Char('/') + name;
        if (!QFileInfo::exists(path))
            return std::nullopt; // missing, or a link to nothing: written through later
        auto bytes = AtomicFile::read(path);
        if (!bytes)
            noteUnreadable(name, -1);
        return bytes;
    };

    m_snippets = Snippet::samples();
    if (const auto bytes = readFile(kSnippetsFile)) {
        if (auto list = decodeSnippetsFile(*bytes)) {
            m_snippets = std::move(list->records);
            if (list->skipped > 0)
                noteUnreadable(kSnippetsFile, list->skipped);
        } else {
            noteUnreadable(kSnippetsFile, -1);
        }
    }
    if (const auto bytes = readFile(kGroupsFile)) {
        if (auto list = decodeGroupsFile(*bytes)) {
            m_groups = std::move(list->records);
            if (list->skipped > 0)
                noteUnreadable(kGroupsFile, list->skipped);
        } else {
            noteUnreadable(kGroupsFile, -1);
        }
    }
    if (const auto bytes = readFile(kCorrectionsFile)) {
        if (auto file = decodeCorrectionsFile(*bytes)) {
            m_customCorrections = std::move(file->custom);
            m_disabledBuiltins = std::move(file->disabledBuiltins);
            if (file->skipped > 0)
                noteUnreadable(kCorrectionsFile, file->skipped);
        } else {
            noteUnreadable(kCorrectionsFile, -1);
        }
    }
    if (const auto bytes = readFile(kStatsFile)) {
        if (auto file = decodeStatsFile(*bytes)) {
            m_usageBySnippet = std::move(file->bySnippet);
            m_usageByApp = std::move(file->byApp);
            m_lastUsedBySnippet = std::move(file->lastUsed);
            if (file->skipped > 0)
                noteUnreadable(kStatsFile, file->skipped);
        } else {
            noteUnreadable(kStatsFile, -1);
        }
    }

    migrateAIBackends();
    rebuildTriggerIndex();
    rebuildCorrectionIndex();
}

void AppState::migrateAIBackends()
{
    if (m_settings->boolValue(QStringLiteral("aiBackendsMigrated")))
        return;
    if (m_settings->boolValue(QStringLiteral("aiSnippetsEnabled")))
        setAiWritingBackend(AIBackend::openAI);
    m_settings->setBool(QStringLiteral("aiBackendsMigrated"), true);
}

void AppState::noteUnreadable(const QString& name, int skipped)
{
    if (name == kSnippetsFile)
        m_snippetsIncomplete = true;
    for (const StoreNotice& n : std::as_const(m_notices))
        if (n.file == name && !n.saveFailed)
            return; // one notice per file
    StoreNotice n;
    n.file = name;
    n.wholeFile = skipped < 0;
    n.skippedRecords = std::max(0, skipped);
    // The file stays in place until the next save replaces it; the copy keeps its bytes
    // whatever happens after. Without a copy it is never replaced in this process.
    n.keptAs = AtomicFile::keepCopy(filePath(name));
    n.savesHeld = n.keptAs.isEmpty();
    if (n.savesHeld)
        m_heldFiles.insert(name);
    const QString what =
        n.wholeFile ? QStringLiteral("%1 could not be read, so Quenvil started without what it holds.").arg(name)
        : n.skippedRecords == 1
            ? QStringLiteral("1 record in %1 could not be read and was skipped.").arg(name)
            : QStringLiteral("%1 records in %2 could not be read and were skipped.").arg(n.skippedRecords).arg(name);
    n.message = n.savesHeld ? what + QStringLiteral(" Quenvil could not keep a copy of the file, so it will not "
                                                    "save %1 until it is restarted; changes stay in memory.")
                                         .arg(name)
                            : what + QStringLiteral(" The original file was kept as %1.").arg(fileName(n.keptAs));
    qWarning("Quenvil: %s", qUtf8Printable(n.message));
    addNotice(n);
}

void AppState::addNotice(const StoreNotice& notice)
{
    m_notices.append(notice);
    Q_EMIT noticeAdded(notice);
}

void AppState::saveFile(const QString& name, const QByteArray& bytes)
{
    if (m_heldFiles.contains(name))
        return;
    const QString path = filePath(name);
    QString error;
    const bool ok = AtomicFile::write(path, bytes, &error);
    AtomicFile::makePrivate(path);
    if (ok) {
        m_toldSaveFailure.remove(name);
        return;
    }
    if (m_toldSaveFailure.contains(name))
        return;
    m_toldSaveFailure.insert(name);
    StoreNotice n;
    n.file = name;
    n.saveFailed = true;
    n.message = QStringLiteral("Quenvil could not save %1 (%2). Your changes are kept until Quenvil quits; "
                               "it tries again with the next change.")
                    .arg(name, error);
    qWarning("Quenvil: %s", qUtf8Printable(n.message));
    addNotice(n);
}

// Settings ------------------------------------------------------------------------------

void AppState::setMasterEnabled(bool v)
{
    m_masterEnabled = v;
    m_settings->setBool(QStringLiteral("masterEnabled"), v);
    Q_EMIT masterEnabledChanged(v);
    if (!v)
        call(m_hooks.hideSuggestionPopup);
}

void AppState::setExpansionMode(ExpansionMode v)
{
    m_expansionMode = v;
    m_settings->setString(QStringLiteral("expansionMode"), toRaw(v));
    Q_EMIT expansionModeChanged(v);
}

void AppState::setSpellFixEnabled(bool v)
{
    m_spellFixEnabled = v;
    m_settings->setBool(QStringLiteral("spellFixEnabled"), v);
    Q_EMIT spellFixEnabledChanged(v);
}

void AppState::setDoubleCapitalFixEnabled(bool v)
{
    m_doubleCapitalFixEnabled = v;
    m_settings->setBool(QStringLiteral("doubleCapitalFixEnabled"), v);
    Q_EMIT doubleCapitalFixEnabledChanged(v);
}

void AppState::setSoundEnabled(bool v)
{
    m_soundEnabled = v;
    m_settings->setBool(QStringLiteral("soundEnabled"), v);
    Q_EMIT soundEnabledChanged(v);
}

void AppState::setSoundName(const QString& v)
{
    m_soundName = v;
    m_settings->setString(QStringLiteral("soundName"), v);
    Q_EMIT soundNameChanged(v);
}

void AppState::setCorrectionSoundEnabled(bool v)
{
    m_correctionSoundEnabled = v;
    m_settings->setBool(QStringLiteral("correctionSoundEnabled"), v);
    Q_EMIT correctionSoundEnabledChanged(v);
}

void AppState::setHudEnabled(bool v)
{
    m_hudEnabled = v;
    m_settings->setBool(QStringLiteral("hudEnabled"), v);
    Q_EMIT hudEnabledChanged(v);
}

void AppState::setSpellFixExcludedApps(const QStringList& v)
{
    m_spellFixExcludedApps = v;
    m_settings->setStringList(QStringLiteral("spellFixExcludedApps"), v);
    Q_EMIT spellFixExcludedAppsChanged(v);
}

void AppState::setLearningEnabled(bool v)
{
    m_learningEnabled = v;
    m_settings->setBool(QStringLiteral("learningEnabled"), v);
    Q_EMIT learningEnabledChanged(v);
}

void AppState::setScriptSnippetsEnabled(bool v)
{
    m_scriptSnippetsEnabled = v;
    m_settings->setBool(QStringLiteral("scriptSnippetsEnabled"), v);
    Q_EMIT scriptSnippetsEnabledChanged(v);
}

void AppState::setInlineSuggestionsEnabled(bool v)
{
    m_inlineSuggestionsEnabled = v;
    m_settings->setBool(QStringLiteral("inlineSuggestionsEnabled"), v);
    Q_EMIT inlineSuggestionsEnabledChanged(v);
    if (!v)
        call(m_hooks.hideSuggestionPopup);
}

void AppState::setAiWritingBackend(AIBackend v)
{
    m_aiWritingBackend = v;
    m_settings->setString(QStringLiteral("aiWritingBackend"), toRaw(v));
    Q_EMIT aiWritingBackendChanged(v);
}

void AppState::setAiVettingBackend(AIBackend v)
{
    m_aiVettingBackend = v;
    m_settings->setString(QStringLiteral("aiVettingBackend"), toRaw(v));
    Q_EMIT aiVettingBackendChanged(v);
    if (v == AIBackend::onDevice)
        QMetaObject::invokeMethod(this, [this] { call(m_hooks.autoVetOnDevice); }, Qt::QueuedConnection);
}

void AppState::setAiLearningBackend(AIBackend v)
{
    m_aiLearningBackend = v;
    m_settings->setString(QStringLiteral("aiLearningBackend"), toRaw(v));
    Q_EMIT aiLearningBackendChanged(v);
    if (v == AIBackend::onDevice)
        QMetaObject::invokeMethod(this, [this] { call(m_hooks.autoTemplateOnDevice); }, Qt::QueuedConnection);
}

void AppState::setUseToneProfile(bool v)
{
    m_useToneProfile = v;
    m_settings->setBool(QStringLiteral("useToneProfile"), v);
    Q_EMIT useToneProfileChanged(v);
}

bool AppState::anyBackendUsesOpenAI() const
{
    return m_aiWritingBackend == AIBackend::openAI || m_aiVettingBackend == AIBackend::openAI ||
           m_aiLearningBackend == AIBackend::openAI;
}

// Lists ---------------------------------------------------------------------------------

void AppState::setSnippets(const QList<Snippet>& v)
{
    m_snippets = v;
    saveSnippets();
    rebuildTriggerIndex();
    Q_EMIT snippetsChanged();
}

void AppState::setGroups(const QList<SnippetGroup>& v)
{
    m_groups = v;
    saveGroups();
    rebuildTriggerIndex();
    Q_EMIT groupsChanged();
}

void AppState::setCustomCorrections(const QList<CustomCorrection>& v)
{
    m_customCorrections = v;
    saveCorrections();
    rebuildCorrectionIndex();
    Q_EMIT customCorrectionsChanged();
}

void AppState::setDisabledBuiltins(const QSet<QString>& v)
{
    m_disabledBuiltins = v;
    saveCorrections();
    rebuildCorrectionIndex();
    Q_EMIT disabledBuiltinsChanged();
}

void AppState::saveSnippets() { saveFile(kSnippetsFile, encodeSnippets(m_snippets)); }
void AppState::saveGroups() { saveFile(kGroupsFile, encodeGroups(m_groups)); }

void AppState::saveCorrections()
{
    saveFile(kCorrectionsFile, encodeCorrectionsFile(m_customCorrections, m_disabledBuiltins));
}

void AppState::rebuildTriggerIndex() { m_index = TriggerIndex::build(m_snippets, m_groups); }

void AppState::rebuildCorrectionIndex()
{
    m_correctionIndex = buildCorrectionIndex(m_disabledBuiltins, m_customCorrections);
}

bool AppState::addSnippets(const QList<Snippet>& added, std::optional<QUuid> after)
{
    if (added.isEmpty())
        return true;
    QList<Snippet> list = m_snippets;
    qsizetype at = list.size();
    if (after) {
        for (qsizetype i = 0; i < list.size(); ++i) {
            if (list.at(i).id == *after) {
                at = i + 1;
                break;
            }
        }
    }
    for (qsizetype i = 0; i < added.size(); ++i)
        list.insert(at + i, added.at(i));
    setSnippets(list);
    return true;
}

void AppState::deleteGroup(const QUuid& id)
{
    bool any = false;
    QList<Snippet> list = m_snippets;
    for (Snippet& s : list) {
        if (s.groupID == id) {
            s.groupID.reset();
            any = true;
        }
    }
    if (any)
        setSnippets(list);
    QList<SnippetGroup> groups;
    for (const SnippetGroup& g : m_groups)
        if (g.id != id)
            groups.append(g);
    setGroups(groups);
}

// Counters and usage --------------------------------------------------------------------

void AppState::setStatExpansions(qint64 v)
{
    m_statExpansions = v;
    m_settings->setInteger(QStringLiteral("statExpansions"), v);
    Q_EMIT statExpansionsChanged(v);
}

void AppState::setStatCorrections(qint64 v)
{
    m_statCorrections = v;
    m_settings->setInteger(QStringLiteral("statCorrections"), v);
    Q_EMIT statCorrectionsChanged(v);
}

void AppState::setStatCharsSaved(qint64 v)
{
    m_statCharsSaved = v;
    m_settings->setInteger(QStringLiteral("statCharsSaved"), v);
    Q_EMIT statCharsSavedChanged(v);
}

void AppState::setTypingWPM(double v)
{
    m_typingWPM = v;
    m_settings->setDouble(QStringLiteral("typingWPM"), v);
    Q_EMIT typingWPMChanged(v);
}

void AppState::recordUsage(const QUuid& snippetID, const QString& bundleID)
{
    m_usageBySnippet[snippetID] += 1;
    m_lastUsedBySnippet.insert(snippetID, m_clock());
    Q_EMIT usageBySnippetChanged();
    if (!bundleID.isEmpty()) {
        m_usageByApp[bundleID] += 1;
        Q_EMIT usageByAppChanged();
    }
    scheduleStatsSave();
}

void AppState::scheduleStatsSave()
{
    // Not extended by later uses: a burst costs one write, at most this long after its start.
    if (!m_statsSaveTimer.isActive())
        m_statsSaveTimer.start(m_statsSaveDelayMs);
}

void AppState::flushPendingStats()
{
    if (!m_statsSaveTimer.isActive())
        return;
    m_statsSaveTimer.stop();
    saveStats();
}

void AppState::saveStats()
{
    StatsFile stats;
    stats.byApp = m_usageByApp;
    // Usage of snippets that are gone only grows the file. While snippets.json could not be
    // read in full, the skipped ones may come back from the kept copy: their usage stays.
    if (m_snippetsIncomplete) {
        stats.bySnippet = m_usageBySnippet;
        stats.lastUsed = m_lastUsedBySnippet;
    } else {
        QSet<QUuid> live;
        for (const Snippet& s : std::as_const(m_snippets))
            live.insert(s.id);
        for (auto it = m_usageBySnippet.cbegin(); it != m_usageBySnippet.cend(); ++it)
            if (live.contains(it.key()))
                stats.bySnippet.insert(it.key(), it.value());
        for (auto it = m_lastUsedBySnippet.cbegin(); it != m_lastUsedBySnippet.cend(); ++it)
            if (live.contains(it.key()))
                stats.lastUsed.insert(it.key(), it.value());
    }
    saveFile(kStatsFile, encodeStatsFile(stats));
}

double AppState::timeSavedSeconds() const
{
    // A speed that is not a finite number above one word a minute counts as one.
    const double w = (std::isfinite(m_typingWPM) && m_typingWPM > 1.0) ? m_typingWPM : 1.0;
    return double(m_statCharsSaved) / (w * 5.0 / 60.0) + 2.0 * double(m_statCorrections);
}

QString AppState::timeSavedLabel() const
{
    const double raw = timeSavedSeconds();
    const qint64 s = std::isfinite(raw) ? qint64(std::llround(std::clamp(raw, -9.0e15, 9.0e15))) : 0;
    if (s < 60)
        return QString::number(s) + QLatin1Char('s');
    if (s < 3600)
        return QString::number(s / 60) + QLatin1Char('m');
    if (s < 86400)
        return QString::number(s / 3600) + QLatin1Char('h');
    return QString::number(s / 86400) + QLatin1Char('d');
}

// Pause ---------------------------------------------------------------------------------

void AppState::pause(int minutes)
{
    m_pausedUntil = m_clock().addSecs(qint64(minutes) * 60);
    m_pauseTimer.stop();
    checkPause();
    Q_EMIT pausedUntilChanged();
    call(m_hooks.resetBuffer);
}

void AppState::checkPause()
{
    if (!m_pausedUntil)
        return;
    const qint64 left = m_clock().msecsTo(*m_pausedUntil);
    if (left <= 0) {
        resumeNow();
        return;
    }
    m_pauseTimer.start(int(std::min<qint64>(left, m_pauseCheckIntervalMs)));
}

void AppState::resumeNow()
{
    m_pauseTimer.stop();
    m_pausedUntil.reset();
    Q_EMIT pausedUntilChanged();
    call(m_hooks.resetBuffer);
}

QString AppState::pausedUntilLabel() const
{
    if (!m_pausedUntil)
        return {};
    return QLocale::system().toString(m_pausedUntil->time(), QLocale::ShortFormat);
}

// Shared flags --------------------------------------------------------------------------

void AppState::setAccessibilityGranted(bool v)
{
    m_accessibilityGranted = v;
    Q_EMIT accessibilityGrantedChanged(v);
}

void AppState::setLastExpansion(const std::optional<LastExpansion>& v)
{
    m_lastExpansion = v;
    Q_EMIT lastExpansionChanged();
}

void AppState::setEditSnippetID(const std::optional<QUuid>& v)
{
    m_editSnippetID = v;
    Q_EMIT editSnippetIDChanged();
}

void AppState::setShowOnboarding(bool v)
{
    m_showOnboarding = v;
    Q_EMIT showOnboardingChanged(v);
}
