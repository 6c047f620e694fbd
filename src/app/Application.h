#pragma once

#include "app/LaunchSequence.h"
#include "app/MenuContent.h"
#include "model/AppState.h"
#include "app/SettingsWindow.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>

class AIRewriteController;
class AIService;
class AIVetter;
class AtSpiCaretLocator;
class AtSpiFocusTracker;
class AtSpiPasswordWatcher;
class AtSpiSelectedText;
class CandidateVetting;
class DailyBackup;
class CanberraSoundOutput;
class ContentRenderer;
class DBusNotificationService;
class DesktopFeedback;
class EventTap;
class ExpansionEngine;
class ExpansionHUD;
class FillInController;
class HunspellSpellChecker;
class InlineSearchController;
class Injector;
class LearningEngine;
class OnDeviceModel;
class OpenAIClient;
class PhraseTemplates;
class QMenu;
class QSystemTrayIcon;
class QtClipboard;
class QuickCaptureController;
class ScriptRunner;
class SnippetProducers;
class SuggestionPopup;
class ToneProfile;
class UpdaterController;
class X11CompositorProbe;
class X11PrimarySelection;
struct PlatformServices;

// The running application: owns every long-lived object in construction order, joins them
// (typing, AI and learning, windows and panels, quitting) and runs the launch sequence.
// The one place that builds the real X11 and desktop backends.
class Application : public QObject, private LaunchSteps
{
    Q_OBJECT

  public:
    Application();
    ~Application() override;

    // Runs the launch sequence; the window decision follows 0.3 s later.
    void start();

    // Shows the settings window "main", raised and active.
    void showMainWindow();
    SettingsWindow* mainWindow() const { return m_window; }

    // Writes everything still pending: learning data, statistics waiting for their delayed
    // save, settings writes deferred to the end of the event. Safe to call more than once,
    // also from the exit path when the display goes away.
    void savePending();

  private:
    void buildTyping();
    void buildAIAndLearning();
    void buildPanels();
    void buildTray();
    void act(MenuAction action);
    void refreshTray();
    void scheduleTrayMenuRefresh();
    void fillMenu(QMenu& menu);
    void insertLastExpansionWhenKeyboardFree();
    void ensureMainWindow();
    void postStoreNotice(const AppState::StoreNotice& notice);

    // Launch steps.
    void setUpNotifications() override;
    bool checkTrust() override;
    void storeTrust(bool trusted) override;
    void startEventTap() override;
    void backupIfNeeded() override;
    void registerSearchHotKey() override;
    void registerCaptureHotKey() override;
    void registerRewriteHotKey() override;
    SettingsStore& settings() override;
    void scheduleWindowDecision(bool trusted, bool firstLaunch) override;

    std::unique_ptr<AppState> m_state;
    std::unique_ptr<PlatformServices> m_platform;
    std::unique_ptr<Injector> m_injector;
    std::unique_ptr<QtClipboard> m_clipboard;
    std::unique_ptr<ContentRenderer> m_renderer;
    std::unique_ptr<ExpansionEngine> m_engine;
    std::unique_ptr<X11CompositorProbe> m_compositor;
    std::unique_ptr<ExpansionHUD> m_hud;
    std::unique_ptr<DesktopFeedback> m_feedback;
    std::unique_ptr<AtSpiFocusTracker> m_accessibleFocus;
    std::unique_ptr<AtSpiCaretLocator> m_caret;
    std::unique_ptr<SuggestionPopup> m_popup;
    std::unique_ptr<CanberraSoundOutput> m_sound;
    std::unique_ptr<DBusNotificationService> m_notifications;
    std::unique_ptr<OpenAIClient> m_openAI;
    std::unique_ptr<AIVetter> m_vetter;
    std::unique_ptr<OnDeviceModel> m_onDevice;
    std::unique_ptr<AIService> m_ai;
    std::unique_ptr<ScriptRunner> m_scripts;
    std::unique_ptr<FillInController> m_fillIn;
    std::unique_ptr<SnippetProducers> m_producers;
    std::unique_ptr<HunspellSpellChecker> m_spelling;
    std::unique_ptr<LearningEngine> m_learning;
    std::unique_ptr<CandidateVetting> m_vetting;
    std::unique_ptr<PhraseTemplates> m_templates;
    std::unique_ptr<ToneProfile> m_tone;
    std::unique_ptr<AtSpiPasswordWatcher> m_passwordWatcher;
    std::unique_ptr<X11PrimarySelection> m_primary;
    std::unique_ptr<AtSpiSelectedText> m_selectedText;
    std::unique_ptr<AIRewriteController> m_rewrite;
    std::unique_ptr<InlineSearchController> m_search;
    std::unique_ptr<QuickCaptureController> m_capture;
    std::unique_ptr<UpdaterController> m_updater;
    std::unique_ptr<EventTap> m_tap;
    std::unique_ptr<DailyBackup> m_backups;
    std::unique_ptr<QMenu> m_trayMenu;
    std::unique_ptr<QSystemTrayIcon> m_tray;
    QPointer<SettingsWindow> m_window;
    bool m_trayMenuRefreshQueued = false;
    bool m_shutDown = false;
};
