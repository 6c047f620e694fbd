#pragma once

#include "model/Models.h"
#include "model/SettingsStore.h"
#include "model/TriggerIndex.h"

#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

// The one central store: every setting, the snippet, group and correction lists, counters
// and usage, the pause, and the indexes the typing engine reads. Main thread only. Every
// setting assignment is written through at once; every list assignment saves its file and
// rebuilds its index before it returns.
class AppState : public QObject
{
    Q_OBJECT

public:
    struct LastExpansion
    {
        QUuid snippetID;
        QString text;
        bool operator==(const LastExpansion&) const = default;
    };

    // Calls into later subsystems; they do nothing until those subsystems install them.
    struct Hooks
    {
        std::function<void()> hideSuggestionPopup;
        std::function<void()> autoVetOnDevice;
        std::function<void()> autoTemplateOnDevice;
        std::function<void()> resetBuffer;
    };

    struct Options
    {
        // Where settings live; empty: $XDG_CONFIG_HOME/Quenvil/settings.json.
        QString settingsPath;
        // Wall clock; tests pin it.
        std::function<QDateTime()> clock;
        int statsSaveDelayMs = 2000;
        // While paused, how often the wall clock is compared with the pause's end. A
        // monotonic timer alone would overshoot by the length of a suspend.
        int pauseCheckIntervalMs = 15000;
        // Settings reach the file once the current event is handled, not inside it (the
        // counters change inside the keystroke callback). Off: every assignment writes.
        bool deferSettingsWrites = true;
        // Temporary files and backup staging folders that an interrupted write left behind
        // are removed at start-up once they are this old (seconds).
        qint64 staleTemporaryAgeSecs = 60;
    };

    // Something the user should be told once about their files, in plain words: a data or
    // settings file that could not be read (wholly or in part) and where its bytes were
    // kept, or a file that could not be saved. The application shows each as a desktop
    // notification when it arrives; the settings window lists them.
    struct StoreNotice
    {
        QString file;          // "snippets.json", "settings.json", …
        QString keptAs;        // full path of the copy holding the file's bytes; empty: none
        int skippedRecords = 0; // records that could not be read and were left out
        bool wholeFile = false; // nothing in the file could be used
        bool savesHeld = false; // no copy could be kept, so the file is not replaced
        bool saveFailed = false; // a save did not reach the disk
        QString message;
        bool operator==(const StoreNotice&) const = default;
    };

    explicit AppState(QObject* parent = nullptr);
    explicit AppState(const Options& options, QObject* parent = nullptr);
    ~AppState() override;

    // The instance start-up installed (the composition root owns it).
    static AppState* shared();
    static void setShared(AppState* state);

    // The data folder, $XDG_DATA_HOME/Quenvil, created 0700 on every evaluation; the first
    // evaluation for a folder in a process runs the migration from the former product.
    static QString supportDir();
    static QString filePath(const QString& name) { return supportDir() + QLatin1Char('/') + name; }

    void setHooks(Hooks hooks) { m_hooks = std::move(hooks); }

    // Every notice so far, oldest first; those of start-up are here when the constructor
    // returns (noticeAdded fires only for later ones).
    const QList<StoreNotice>& notices() const { return m_notices; }
    SettingsStore& settings() { return *m_settings; }
    QDateTime now() const { return m_clock(); }

    // Settings.
    bool masterEnabled() const { return m_masterEnabled; }
    void setMasterEnabled(bool v);
    ExpansionMode expansionMode() const { return m_expansionMode; }
    void setExpansionMode(ExpansionMode v);
    bool spellFixEnabled() const { return m_spellFixEnabled; }
    void setSpellFixEnabled(bool v);
    bool doubleCapitalFixEnabled() const { return m_doubleCapitalFixEnabled; }
    void setDoubleCapitalFixEnabled(bool v);
    bool soundEnabled() const { return m_soundEnabled; }
    void setSoundEnabled(bool v);
    QString soundName() const { return m_soundName; }
    void setSoundName(const QString& v);
    bool correctionSoundEnabled() const { return m_correctionSoundEnabled; }
    void setCorrectionSoundEnabled(bool v);
    bool hudEnabled() const { return m_hudEnabled; }
    void setHudEnabled(bool v);
    QStringList spellFixExcludedApps() const { return m_spellFixExcludedApps; }
    void setSpellFixExcludedApps(const QStringList& v);
    bool learningEnabled() const { return m_learningEnabled; }
    void setLearningEnabled(bool v);
    bool scriptSnippetsEnabled() const { return m_scriptSnippetsEnabled; }
    void setScriptSnippetsEnabled(bool v);
    bool inlineSuggestionsEnabled() const { return m_inlineSuggestionsEnabled; }
    void setInlineSuggestionsEnabled(bool v);
    AIBackend aiWritingBackend() const { return m_aiWritingBackend; }
    void setAiWritingBackend(AIBackend v);
    AIBackend aiVettingBackend() const { return m_aiVettingBackend; }
    void setAiVettingBackend(AIBackend v);
    AIBackend aiLearningBackend() const { return m_aiLearningBackend; }
    void setAiLearningBackend(AIBackend v);
    bool useToneProfile() const { return m_useToneProfile; }
    void setUseToneProfile(bool v);
    bool anyBackendUsesOpenAI() const;

    // Lists.
    const QList<Snippet>& snippets() const { return m_snippets; }
    void setSnippets(const QList<Snippet>& v);
    const QList<SnippetGroup>& groups() const { return m_groups; }
    void setGroups(const QList<SnippetGroup>& v);
    const QList<CustomCorrection>& customCorrections() const { return m_customCorrections; }
    void setCustomCorrections(const QList<CustomCorrection>& v);
    const QSet<QString>& disabledBuiltins() const { return m_disabledBuiltins; }
    void setDisabledBuiltins(const QSet<QString>& v);
    void saveGroups();

    bool addSnippets(const QList<Snippet>& added, std::optional<QUuid> after = std::nullopt);
    QString effectiveTrigger(const Snippet& s) const { return ::effectiveTrigger(s, m_groups); }
    void deleteGroup(const QUuid& id);

    // Counters and usage.
    qint64 statExpansions() const { return m_statExpansions; }
    void setStatExpansions(qint64 v);
    qint64 statCorrections() const { return m_statCorrections; }
    void setStatCorrections(qint64 v);
    qint64 statCharsSaved() const { return m_statCharsSaved; }
    void setStatCharsSaved(qint64 v);
    double typingWPM() const { return m_typingWPM; }
    void setTypingWPM(double v);
    const QHash<QUuid, qint64>& usageBySnippet() const { return m_usageBySnippet; }
    const QHash<QString, qint64>& usageByApp() const { return m_usageByApp; }
    const QHash<QUuid, QDateTime>& lastUsedBySnippet() const { return m_lastUsedBySnippet; }
    void recordUsage(const QUuid& snippetID, const QString& bundleID);
    double timeSavedSeconds() const;
    QString timeSavedLabel() const;
    // Writes statistics still waiting for their delayed save (at quit).
    void flushPendingStats();
    bool statsSavePending() const { return m_statsSaveTimer.isActive(); }

    // Pause.
    void pause(int minutes);
    void resumeNow();
    bool isPaused() const { return m_pausedUntil.has_value(); }
    std::optional<QDateTime> pausedUntil() const { return m_pausedUntil; }
    QString pausedUntilLabel() const;

    // Shared flags between windows.
    bool accessibilityGranted() const { return m_accessibilityGranted; }
    void setAccessibilityGranted(bool v);
    std::optional<LastExpansion> lastExpansion() const { return m_lastExpansion; }
    void setLastExpansion(const std::optional<LastExpansion>& v);
    std::optional<QUuid> editSnippetID() const { return m_editSnippetID; }
    void setEditSnippetID(const std::optional<QUuid>& v);
    bool showOnboarding() const { return m_showOnboarding; }
    void setShowOnboarding(bool v);

    // Derived tables.
    const TriggerMap& triggerIndex() const { return m_index.triggerIndex; }
    const TriggerMap& insensitiveTriggerIndex() const { return m_index.insensitiveTriggerIndex; }
    const PrefixIndex& triggerPrefixIndex() const { return m_index.triggerPrefixIndex; }
    int maxTriggerLength() const { return m_index.maxTriggerLength; }
    int minTriggerLength() const { return m_index.minTriggerLength; }
    const QList<int>& triggerLengths() const { return m_index.triggerLengths; }
    const QHash<QString, QString>& shadowedTriggers() const { return m_index.shadowedTriggers; }
    const QHash<QString, QString>& correctionIndex() const { return m_correctionIndex; }
    void rebuildTriggerIndex();
    void rebuildCorrectionIndex();

Q_SIGNALS:
    void masterEnabledChanged(bool);
    void expansionModeChanged(ExpansionMode);
    void spellFixEnabledChanged(bool);
    void doubleCapitalFixEnabledChanged(bool);
    void soundEnabledChanged(bool);
    void soundNameChanged(const QString&);
    void correctionSoundEnabledChanged(bool);
    void hudEnabledChanged(bool);
    void spellFixExcludedAppsChanged(const QStringList&);
    void learningEnabledChanged(bool);
    void scriptSnippetsEnabledChanged(bool);
    void inlineSuggestionsEnabledChanged(bool);
    void aiWritingBackendChanged(AIBackend);
    void aiVettingBackendChanged(AIBackend);
    void aiLearningBackendChanged(AIBackend);
    void useToneProfileChanged(bool);
    void snippetsChanged();
    void groupsChanged();
    void customCorrectionsChanged();
    void disabledBuiltinsChanged();
    void statExpansionsChanged(qint64);
    void statCorrectionsChanged(qint64);
    void statCharsSavedChanged(qint64);
    void typingWPMChanged(double);
    void usageBySnippetChanged();
    void usageByAppChanged();
    void accessibilityGrantedChanged(bool);
    void pausedUntilChanged();
    void lastExpansionChanged();
    void editSnippetIDChanged();
    void showOnboardingChanged(bool);
    void noticeAdded(const AppState::StoreNotice& notice);

private:
    void load();
    void loadStats();
    void migrateAIBackends();
    void saveSnippets();
    void saveCorrections();
    void saveStats();
    void scheduleStatsSave();
    void checkPause();
    // Writes one data file, unless it could not be read at start-up and no copy of it
    // could be kept; a failed write is told once.
    void saveFile(const QString& name, const QByteArray& bytes);
    // A file that could not be read, wholly (skipped < 0) or in part: its bytes are kept
    // beside it and the user is told.
    void noteUnreadable(const QString& name, int skipped);
    void addNotice(const StoreNotice& notice);
    static void call(const std::function<void()>& fn);

    Hooks m_hooks;
    std::unique_ptr<SettingsStore> m_settings;
    std::function<QDateTime()> m_clock;
    int m_statsSaveDelayMs;
    int m_pauseCheckIntervalMs;

    bool m_masterEnabled = true;
    ExpansionMode m_expansionMode = ExpansionMode::instant;
    bool m_spellFixEnabled = true;
    bool m_doubleCapitalFixEnabled = true;
    bool m_soundEnabled = true;
    QString m_soundName;
    bool m_correctionSoundEnabled = false;
    bool m_hudEnabled = true;
    QStringList m_spellFixExcludedApps;
    bool m_learningEnabled = true;
    bool m_scriptSnippetsEnabled = false;
    bool m_inlineSuggestionsEnabled = true;
    AIBackend m_aiWritingBackend = AIBackend::off;
    AIBackend m_aiVettingBackend = AIBackend::off;
    AIBackend m_aiLearningBackend = AIBackend::off;
    bool m_useToneProfile = true;

    QList<Snippet> m_snippets;
    QList<SnippetGroup> m_groups;
    QList<CustomCorrection> m_customCorrections;
    QSet<QString> m_disabledBuiltins;

    qint64 m_statExpansions = 0;
    qint64 m_statCorrections = 0;
    qint64 m_statCharsSaved = 0;
    double m_typingWPM = 40.0;
    QHash<QUuid, qint64> m_usageBySnippet;
    QHash<QString, qint64> m_usageByApp;
    QHash<QUuid, QDateTime> m_lastUsedBySnippet;
    QTimer m_statsSaveTimer;

    bool m_accessibilityGranted = false;
    std::optional<QDateTime> m_pausedUntil;
    QTimer m_pauseTimer;
    std::optional<LastExpansion> m_lastExpansion;
    std::optional<QUuid> m_editSnippetID;
    bool m_showOnboarding = false;

    TriggerIndex m_index;
    QHash<QString, QString> m_correctionIndex;
    QSet<QString> m_heldFiles;
    QSet<QString> m_toldSaveFailure;
    bool m_snippetsIncomplete = false;
    QList<StoreNotice> m_notices;
};
