#include "app/Application.h"

#include "ai/AIAccess.h"
#include "ai/AIReply.h"
#include "ai/AIRewriteController.h"
#include "ai/AIRewritePanel.h"
#include "ai/AIService.h"
#include "ai/AIVetter.h"
#include "ai/CandidateVetting.h"
#include "ai/LearningEngine.h"
#include "ai/OnDeviceModel.h"
#include "ai/OpenAIClient.h"
#include "ai/PhraseTemplates.h"
#include "ai/ToneProfile.h"
#include "app/InlineSearchController.h"
#include "app/InlineSearchWindowFrame.h"
#include "app/OnboardingView.h"
#include "app/QuickCaptureController.h"
#include "app/SettingsWindow.h"
#include "app/StatusIcon.h"
#include "app/UpdaterController.h"
#include "engine/ContentRenderer.h"
#include "engine/DesktopFeedback.h"
#include "engine/EventTap.h"
#include "engine/ExpansionEngine.h"
#include "engine/ExpansionHUD.h"
#include "engine/FillInController.h"
#include "engine/Injector.h"
#include "engine/Notifier.h"
#include "engine/QtClipboard.h"
#include "engine/ScriptRunner.h"
#include "engine/SnippetProducers.h"
#include "engine/SoundPlayer.h"
#include "engine/SuggestionPopup.h"
#include "model/AppState.h"
#include "model/BackupManager.h"
#include "model/DailyBackup.h"
#include "platform/linux/AtSpiCaretLocator.h"
#include "platform/linux/AtSpiFocusTracker.h"
#include "platform/linux/AtSpiPasswordWatcher.h"
#include "platform/linux/AtSpiSelectedText.h"
#include "platform/linux/CanberraSoundOutput.h"
#include "platform/linux/DBusNotificationService.h"
#include "platform/linux/HunspellSpellChecker.h"
#include "platform/linux/X11CompositorProbe.h"
#include "platform/linux/X11PrimarySelection.h"
#include "platform/x11/X11PlatformServices.h"
#include "library/GroupsManagerSheet.h"
#include "library/SnippetEditor.h"
#include "library/SnippetsView.h"
#include "settings/CorrectionsView.h"
#include "settings/GeneralView.h"
#include "platform/linux/XdgAutostart.h"
#include "settings/SettingsRootView.h"
#include "settings/SuggestionsView.h"

#include <QApplication>
#include <QCursor>
#include <QDBusConnection>
#include <QMenu>
#include <QMenuBar>
#include <QSystemTrayIcon>
#include <QTimer>

namespace {

// How long "Insert last expansion again" waits for the menu's keyboard grab to end.
constexpr int kKeyboardReleaseWaitMs = 500;

} // namespace

Application::Application()
{
    m_state = std::make_unique<AppState>();
    AppState::setShared(m_state.get());
    m_platform = createX11PlatformServices();
    buildTyping();
    buildAIAndLearning();
    buildPanels();
    buildTray();
}

Application::~Application()
{
    savePending();
    m_tray.reset();
    m_trayMenu.reset();
    delete m_window;
    m_learning->setAIWork({});
    m_state->setHooks({});
    m_engine->setCollaborators({});
    SoundPlayer::setOutput(nullptr);
    Notifier::setService(nullptr);
}

// Typing -------------------------------------------------------------------------------

void Application::buildTyping()
{
    AppState& state = *m_state;
    m_injector = std::make_unique<Injector>(*m_platform->keySynth, *m_platform->sleeper);
    Injector::setShared(m_injector.get());
    Injector* injector = m_injector.get();
    const ExpansionEngine::Replace replace = [injector](int b, const QList<Injector::Segment>& s, int c) {
        injector->replace(b, s, c);
    };

    m_clipboard = std::make_unique<QtClipboard>();
    ContentRenderer::Options renderOptions;
    renderOptions.lookup = ContentRenderer::lookupIn(state);
    renderOptions.clipboard = m_clipboard.get();
    m_renderer = std::make_unique<ContentRenderer>(renderOptions);

    m_engine = std::make_unique<ExpansionEngine>(state, replace, *m_renderer);
    ExpansionEngine::setShared(m_engine.get());
    FrontApp* front = m_platform->frontApp.get();
    m_engine->setFrontBundleID(front->appKey());
    connect(front, &FrontApp::frontChanged, m_engine.get(), &ExpansionEngine::handleFrontChanged);
    // Quenvil's own fields (the editor's trigger field above all) are never expanded into,
    // except the onboarding's practice editor, where a first expansion is the point.
    m_engine->setInputExcluded([front] {
        if (OnboardingView::practiceEditorHasFocus())
            return false;
        // The window manager's active window, not Qt's focus window: Qt reports losing the
        // focus only after a delay, and the first keys typed in the next program would be lost.
        return front->isOwnProcess();
    });
    // Whatever was typed just before a password prompt took the keyboard must not join
    // what comes after it.
    ExpansionEngine* engine = m_engine.get();
    connect(m_platform->secureInput.get(), &SecureInput::changed, engine, [engine] { engine->resetBuffer(); });

    // Feedback: the HUD, the popup near the caret, sounds, the notice.
    m_compositor = std::make_unique<X11CompositorProbe>();
    X11CompositorProbe* compositor = m_compositor.get();
    const auto compositing = [compositor] { return compositor->isCompositing(); };
    m_hud = std::make_unique<ExpansionHUD>(ExpansionHUD::Options{nullptr, compositing, {}});
    ExpansionHUD::setShared(m_hud.get());
    m_feedback = std::make_unique<DesktopFeedback>(*m_hud);
    // One connection to the accessibility bus follows the focus for the caret, the
    // selection and password fields.
    m_accessibleFocus = std::make_unique<AtSpiFocusTracker>();
    m_caret = std::make_unique<AtSpiCaretLocator>(*m_accessibleFocus);
    m_popup = std::make_unique<SuggestionPopup>(SuggestionPopup::Options{m_caret.get(), compositing, {}});
    SuggestionPopup::setShared(m_popup.get());
    const QString appId = QGuiApplication::desktopFileName();
    m_sound = std::make_unique<CanberraSoundOutput>(QStringLiteral("Quenvil"), appId);
    SoundPlayer::setOutput(m_sound.get());
    m_notifications = std::make_unique<DBusNotificationService>(QDBusConnection::sessionBus(),
                                                                 QStringLiteral("Quenvil"), appId);
}

// AI and learning ----------------------------------------------------------------------

void Application::buildAIAndLearning()
{
    AppState& state = *m_state;
    m_openAI = std::make_unique<OpenAIClient>(state);
    m_vetter = std::make_unique<AIVetter>(*m_openAI);
    AIVetter::setShared(m_vetter.get());
    m_onDevice = std::make_unique<OnDeviceModel>(state);
    OnDeviceModel::setShared(m_onDevice.get());
    m_ai = std::make_unique<AIService>(*m_vetter, *m_onDevice);
    AIService::setShared(m_ai.get());
    AIService* ai = m_ai.get();

    // Snippets whose text comes from a command, a model or a form.
    Injector* injector = m_injector.get();
    const ExpansionEngine::Replace replace = [injector](int b, const QList<Injector::Segment>& s, int c) {
        injector->replace(b, s, c);
    };
    m_scripts = std::make_unique<ScriptRunner>();
    m_fillIn = std::make_unique<FillInController>(state, *m_engine, *m_platform->frontApp, *m_feedback, replace);
    m_producers = std::make_unique<SnippetProducers>(state, *m_engine, *m_renderer, *m_platform->frontApp,
                                                     *m_feedback, replace, *m_scripts, *m_fillIn);
    SnippetProducers::AIModel model;
    model.isReady = [ai](AIBackend b) { return ai->isReady(b); };
    model.complete = [ai](AIBackend b, const QString& system, const QString& user,
                          SnippetProducers::AIModel::Reply reply) {
        AIReply* r = ai->complete(b, system, user);
        QObject::connect(r, &AIReply::finished, r, [reply](const AIResult& result) {
            if (result.ok())
                reply(result.text, {});
            else
                reply(std::nullopt, result.error->description());
        });
    };
    m_producers->setAIModel(model);

    // Learning: the spell checker loads here, at start-up, never inside a keystroke.
    m_spelling = std::make_unique<HunspellSpellChecker>();
    ExpansionEngine* engine = m_engine.get();
    m_learning = std::make_unique<LearningEngine>(
        state, LearningEngine::Collaborators{m_spelling.get(), m_platform->secureInput.get(),
                                             [engine] { return engine->frontBundleID(); }});
    LearningEngine::setShared(m_learning.get());

    // Vetting, templates and the tone profile run when typing has gone quiet.
    const AIAccess aiAccess = AIAccess::from(*m_ai);
    m_vetting = std::make_unique<CandidateVetting>(state, *m_learning, *m_vetter, aiAccess);
    CandidateVetting::setShared(m_vetting.get());
    m_templates = std::make_unique<PhraseTemplates>(state, *m_learning, aiAccess);
    PhraseTemplates::setShared(m_templates.get());
    m_tone = std::make_unique<ToneProfile>(state, *m_learning, aiAccess);
    ToneProfile::setShared(m_tone.get());
    CandidateVetting* vetting = m_vetting.get();
    PhraseTemplates* templates = m_templates.get();
    ToneProfile* tone = m_tone.get();
    m_learning->setAIWork({[vetting] { vetting->autoVetOnDevice(); }, [templates] { templates->autoTemplateOnDevice(); },
                           [tone] { tone->refreshToneProfile(); }});

    // The accessibility bus: password fields set secure input; the rewrite reads the selection.
    m_passwordWatcher = std::make_unique<AtSpiPasswordWatcher>(*m_accessibleFocus, *m_platform->secureInput);
    m_primary = std::make_unique<X11PrimarySelection>();
    m_selectedText = std::make_unique<AtSpiSelectedText>(*m_accessibleFocus, m_primary.get());
    AIRewriteController::Collaborators rewriteWith = AIRewriteController::aiCollaborators(*m_ai, *m_onDevice, *m_learning);
    rewriteWith.frontApp = m_platform->frontApp.get();
    rewriteWith.selectedText = m_selectedText.get();
    rewriteWith.feedback = m_feedback.get();
    rewriteWith.replace = replace;
    rewriteWith.hotKeys = m_platform->hotKeys.get();
    rewriteWith.input = m_platform->inputMonitor.get();
    m_rewrite = std::make_unique<AIRewriteController>(state, rewriteWith);
    AIRewriteController::setShared(m_rewrite.get());

    m_engine->setCollaborators({m_learning.get(), m_popup.get(), m_feedback.get(), m_producers.get()});
    AppState::Hooks hooks;
    hooks.resetBuffer = [engine] { engine->resetBuffer(); };
    SuggestionPopup* popup = m_popup.get();
    hooks.hideSuggestionPopup = [popup] { popup->hide(); };
    // Choosing the on-device model for vetting or templates starts its pass at once.
    hooks.autoVetOnDevice = [vetting] { vetting->autoVetOnDevice(); };
    hooks.autoTemplateOnDevice = [templates] { templates->autoTemplateOnDevice(); };
    state.setHooks(hooks);

    m_tap = std::make_unique<EventTap>(*m_platform->inputMonitor, *m_platform->accessibility, state, *m_engine);
    m_tap->setPermissionLostHandler([] { Notifier::permissionLost(); });
}

// Windows and panels -------------------------------------------------------------------

void Application::buildPanels()
{
    // The search and capture panels: the window in front, the HUD, typing through the
    // injector, the producers for snippets that need a detour.
    Injector* injector = m_injector.get();
    InlineSearchController::Collaborators searchWith;
    searchWith.frontApp = m_platform->frontApp.get();
    searchWith.feedback = m_feedback.get();
    searchWith.replace = [injector](int b, const QList<Injector::Segment>& s, int c) { injector->replace(b, s, c); };
    searchWith.renderer = m_renderer.get();
    searchWith.producers = m_producers.get();
    searchWith.learner = m_learning.get();
    searchWith.hotKeys = m_platform->hotKeys.get();
    searchWith.windowGeometry = x11WindowFrame;
    m_search = std::make_unique<InlineSearchController>(*m_state, searchWith);
    InlineSearchController::setShared(m_search.get());
    QuickCaptureController::Collaborators captureWith;
    captureWith.frontApp = m_platform->frontApp.get();
    captureWith.selectedText = m_selectedText.get();
    captureWith.hotKeys = m_platform->hotKeys.get();
    captureWith.windowGeometry = x11WindowFrame;
    m_capture = std::make_unique<QuickCaptureController>(*m_state, captureWith);
    QuickCaptureController::setShared(m_capture.get());
    m_updater = std::make_unique<UpdaterController>(UpdaterController::buildOptions(m_state->settings()));
    UpdaterController::setShared(m_updater.get());
}

void Application::ensureMainWindow()
{
    if (m_window)
        return;
    auto* root = new SettingsRootView(*m_state, m_learning.get());
    // Each page is made when its tab is first chosen, with the objects it shows.
    root->setPageFactory([this](SettingsTab tab, QWidget* parent) -> QWidget* {
        switch (tab) {
        case SettingsTab::snippets:
            return new SnippetsView(*m_state, parent);
        case SettingsTab::corrections:
            return new CorrectionsView(*m_state, parent);
        case SettingsTab::suggestions:
            return new SuggestionsView(*m_state, *m_learning, *m_vetter, *m_vetting, *m_templates,
                                       AIAccess::from(*m_ai), m_onDevice.get(), parent);
        case SettingsTab::general: {
            // Stateless: it reads and writes the autostart entry on each call.
            static XdgAutostart autostart;
            GeneralPlatform platform;
            platform.launchAtLogin = &autostart;
            platform.secureInput = m_platform->secureInput.get();
            return new GeneralView(*m_state, *m_learning, *m_vetter, *m_tone, AIAccess::from(*m_ai),
                                   m_onDevice.get(), platform, parent);
        }
        }
        return nullptr;
    });
    AccessibilityProbe* probe = m_platform->accessibility.get();
    root->setOnboardingFactory([this, probe](QWidget* parent) -> QDialog* {
        return new OnboardingView(*m_state, [probe] { return probe->reason(); }, parent);
    });
    m_window = new SettingsWindow(root);
    // Without a tray the window is the only way in: it carries the menu's rows.
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        m_window->setStandInMenu([this](QMenu& menu) { fillMenu(menu); });
}

void Application::showMainWindow()
{
    ensureMainWindow();
    m_window->present();
}

void Application::buildTray()
{
    m_trayMenu = std::make_unique<QMenu>();
    m_trayMenu->setAccessibleName(QStringLiteral("Quenvil"));
    connect(m_trayMenu.get(), &QMenu::aboutToShow, this, [this] { fillMenu(*m_trayMenu); });
    m_tray = std::make_unique<QSystemTrayIcon>();
    m_tray->setContextMenu(m_trayMenu.get());
    // A left click opens the same menu as a right click.
    connect(m_tray.get(), &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger && !m_trayMenu->isVisible())
            m_trayMenu->popup(QCursor::pos());
    });
    for (auto signal : {&AppState::accessibilityGrantedChanged, &AppState::masterEnabledChanged}) {
        connect(m_state.get(), signal, this, [this] {
            refreshTray();
            scheduleTrayMenuRefresh();
        });
    }
    connect(m_state.get(), &AppState::pausedUntilChanged, this, [this] {
        refreshTray();
        scheduleTrayMenuRefresh();
    });
    connect(m_state.get(), &AppState::lastExpansionChanged, this, &Application::scheduleTrayMenuRefresh);
    connect(m_state.get(), &AppState::aiWritingBackendChanged, this, &Application::scheduleTrayMenuRefresh);
    connect(m_learning.get(), &LearningEngine::suggestionCountChanged, this, &Application::scheduleTrayMenuRefresh);
    connect(m_updater.get(), &UpdaterController::canCheckForUpdatesChanged, this,
            &Application::scheduleTrayMenuRefresh);
    fillMenu(*m_trayMenu);
    refreshTray();
    // Always shown: Qt docks it whenever a tray host appears.
    m_tray->show();
}

void Application::refreshTray()
{
    const QString symbol =
        StatusIcon::symbol(m_state->accessibilityGranted(), m_state->masterEnabled(), m_state->isPaused());
    if (m_tray->property("symbol").toString() != symbol) {
        m_tray->setProperty("symbol", symbol);
        m_tray->setIcon(StatusIcon::icon(symbol));
    }
    QString tip = QStringLiteral("Quenvil");
    if (!m_state->accessibilityGranted())
        tip += QStringLiteral(" \u2014 needs an X11 display");
    else if (m_state->isPaused())
        tip += QStringLiteral(" \u2014 paused until ") + m_state->pausedUntilLabel();
    else if (!m_state->masterEnabled())
        tip += QStringLiteral(" \u2014 off");
    m_tray->setToolTip(tip);
}

void Application::scheduleTrayMenuRefresh()
{
    // Several changes inside one event (an expansion sets counters and the last expansion)
    // rebuild the menu once, after the event.
    if (m_trayMenuRefreshQueued)
        return;
    m_trayMenuRefreshQueued = true;
    QTimer::singleShot(0, this, [this] {
        m_trayMenuRefreshQueued = false;
        fillMenu(*m_trayMenu);
        if (m_window && m_window->standInMenuBar()) {
            for (QAction* a : m_window->standInMenuBar()->actions()) {
                if (a->menu())
                    fillMenu(*a->menu());
            }
        }
    });
}

void Application::fillMenu(QMenu& menu)
{
    const MenuInputs inputs = MenuInputs::from(*m_state, m_learning->suggestionCount(), m_updater->canCheckForUpdates());
    ::fillMenu(menu, menuRows(inputs), [self = QPointer<Application>(this)](MenuAction action) {
        if (self)
            self->act(action);
    });
}

void Application::act(MenuAction action)
{
    AppState& state = *m_state;
    switch (action) {
    case MenuAction::none:
        break;
    case MenuAction::enable:
        state.setMasterEnabled(!state.masterEnabled());
        break;
    case MenuAction::fixPermission:
        Notifier::openAccessibilitySettings();
        break;
    case MenuAction::resume:
        state.resumeNow();
        break;
    case MenuAction::pause15:
        state.pause(15);
        break;
    case MenuAction::pause60:
        state.pause(60);
        break;
    case MenuAction::review:
    case MenuAction::openWindow:
        showMainWindow();
        break;
    case MenuAction::insertLastExpansion:
        insertLastExpansionWhenKeyboardFree();
        break;
    case MenuAction::editLastExpansion:
        if (const auto last = state.lastExpansion())
            state.setEditSnippetID(last->snippetID);
        showMainWindow();
        break;
    case MenuAction::searchSnippets:
        m_search->show();
        break;
    case MenuAction::newSnippetFromSelection:
        m_capture->present();
        break;
    case MenuAction::rewriteSelection:
        m_rewrite->present();
        break;
    case MenuAction::checkForUpdates:
        m_updater->checkForUpdates();
        break;
    case MenuAction::quit:
        QCoreApplication::quit();
        break;
    }
}

void Application::insertLastExpansionWhenKeyboardFree()
{
    // The menu held the keyboard while it was open; keys typed before the grab is given
    // back would go to the menu, not to the application the user returns to.
    SecureInput* secure = m_platform->secureInput.get();
    auto done = std::make_shared<bool>(false);
    auto type = [this, done] {
        if (*done)
            return;
        *done = true;
        if (const auto last = m_state->lastExpansion())
            m_injector->replace(0, {Injector::Segment::text(last->text)}, 0);
    };
    if (!secure->isActive()) {
        QTimer::singleShot(0, this, type);
        return;
    }
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = connect(secure, &SecureInput::changed, this, [secure, type, connection] {
        if (secure->isActive())
            return;
        QObject::disconnect(*connection);
        type();
    });
    QTimer::singleShot(kKeyboardReleaseWaitMs, this, [type, connection] {
        QObject::disconnect(*connection);
        type();
    });
}

// Launch -------------------------------------------------------------------------------

void Application::start()
{
    runLaunchSequence(*this);
}

void Application::setUpNotifications()
{
    Notifier::setService(m_notifications.get());
    // A data file that could not be read in full, or not saved, is said once, in plain words.
    for (const AppState::StoreNotice& notice : m_state->notices())
        postStoreNotice(notice);
    connect(m_state.get(), &AppState::noticeAdded, this, &Application::postStoreNotice);
}

void Application::postStoreNotice(const AppState::StoreNotice& notice)
{
    NotificationService::Notification n;
    n.identifier = QGuiApplication::desktopFileName() + QStringLiteral(".file.") + notice.file;
    n.title = QStringLiteral("Quenvil: ") + notice.file;
    n.body = notice.message;
    n.sound = false;
    m_notifications->post(n);
}

bool Application::checkTrust()
{
    return m_platform->accessibility->isTrusted();
}

void Application::storeTrust(bool trusted)
{
    m_state->setAccessibilityGranted(trusted);
}

void Application::startEventTap()
{
    m_tap->start();
}

void Application::backupIfNeeded()
{
    // Today's backup if it is missing, then one each time the date changes while
    // Quenvil stays up.
    m_backups = std::make_unique<DailyBackup>();
    m_backups->start();
}

void Application::registerSearchHotKey()
{
    m_search->registerHotKey();
}

void Application::registerCaptureHotKey()
{
    m_capture->registerHotKey();
}

void Application::registerRewriteHotKey()
{
    m_rewrite->registerHotKey();
}

SettingsStore& Application::settings()
{
    return m_state->settings();
}

void Application::scheduleWindowDecision(bool trusted, bool firstLaunch)
{
    QTimer::singleShot(300, this, [this, trusted, firstLaunch] {
        const bool tray = QSystemTrayIcon::isSystemTrayAvailable();
        // The window is made only when something asks for it, so on the "close" branch any
        // window that exists was asked for in these 0.3 s (a second start, the menu): the
        // user's request wins over the launch's tidying up.
        if (decideWindow(trusted, firstLaunch, tray) == WindowDecision::close)
            return;
        showMainWindow();
    });
}

// Quitting -----------------------------------------------------------------------------

void Application::savePending()
{
    if (m_shutDown)
        return;
    m_shutDown = true;
    m_tap->stop();
    m_injector->waitForIdle();
    m_learning->saveNow();
    m_state->flushPendingStats();
    m_state->settings().flush();
}
