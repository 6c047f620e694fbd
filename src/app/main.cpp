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

#include <QApplication>
#include <QDBusConnection>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &c, 1);
}

// TERM and INT end the event loop normally, so that what is still pending (statistics
// waiting for their delayed save, queued typing) is finished and written.
void quitOnSignals(QObject* context)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context, [] {
        char c;
        [[maybe_unused]] const ssize_t n = ::read(g_signalPipe[0], &c, 1);
        QCoreApplication::quit();
    });
    struct sigaction sa = {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGINT, &sa, nullptr);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::fprintf(stderr, "Quenvil needs an X11 session (or XWayland): DISPLAY is not set.\n");
        return 1;
    }
    // Only X11 gives us the keystrokes and typing we need, also inside a Wayland session.
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quenvil"));
    // The application id names the desktop entry and the notifications' identifiers.
    QGuiApplication::setDesktopFileName(QStringLiteral("app.quenvil.Quenvil"));
    QApplication::setQuitOnLastWindowClosed(false);
    quitOnSignals(&app);
    const QString appId = QGuiApplication::desktopFileName();

    AppState state;
    AppState::setShared(&state);

    std::unique_ptr<PlatformServices> platform = createX11PlatformServices();
    Injector injector(*platform->keySynth, *platform->sleeper);
    Injector::setShared(&injector);
    const ExpansionEngine::Replace replace = [&injector](int b, const QList<Injector::Segment>& s, int c) {
        injector.replace(b, s, c);
    };

    QtClipboard clipboard;
    ContentRenderer::Options renderOptions;
    renderOptions.lookup = ContentRenderer::lookupIn(state);
    renderOptions.clipboard = &clipboard;
    ContentRenderer renderer(renderOptions);

    ExpansionEngine engine(state, replace, renderer);
    ExpansionEngine::setShared(&engine);
    engine.setFrontBundleID(platform->frontApp->appKey());
    QObject::connect(platform->frontApp.get(), &FrontApp::frontChanged, &engine,
                     &ExpansionEngine::handleFrontChanged);
    // Whatever was typed just before a password prompt took the keyboard must not join
    // what comes after it.
    QObject::connect(platform->secureInput.get(), &SecureInput::changed, &engine, [&engine] { engine.resetBuffer(); });

    // Feedback: the HUD, the popup near the caret, sounds, the notice.
    X11CompositorProbe compositor;
    const auto compositing = [&compositor] { return compositor.isCompositing(); };
    ExpansionHUD hud(ExpansionHUD::Options{nullptr, compositing, {}});
    ExpansionHUD::setShared(&hud);
    DesktopFeedback feedback(hud);
    // One connection to the accessibility bus follows the focus for the caret, the
    // selection and password fields.
    AtSpiFocusTracker accessibleFocus;
    AtSpiCaretLocator caret(accessibleFocus);
    SuggestionPopup popup(SuggestionPopup::Options{&caret, compositing, {}});
    SuggestionPopup::setShared(&popup);
    CanberraSoundOutput sound(QStringLiteral("Quenvil"), appId);
    SoundPlayer::setOutput(&sound);
    DBusNotificationService notifications(QDBusConnection::sessionBus(), QStringLiteral("Quenvil"), appId);
    Notifier::setService(&notifications);

    // AI back ends.
    OpenAIClient openAI(state);
    AIVetter vetter(openAI);
    AIVetter::setShared(&vetter);
    OnDeviceModel onDevice(state);
    OnDeviceModel::setShared(&onDevice);
    AIService ai(vetter, onDevice);
    AIService::setShared(&ai);

    // Snippets whose text comes from a command, a model or a form.
    ScriptRunner scripts;
    FillInController fillIn(state, engine, *platform->frontApp, feedback, replace);
    SnippetProducers producers(state, engine, renderer, *platform->frontApp, feedback, replace, scripts, fillIn);
    SnippetProducers::AIModel model;
    model.isReady = [&ai](AIBackend b) { return ai.isReady(b); };
    model.complete = [&ai](AIBackend b, const QString& system, const QString& user,
                           SnippetProducers::AIModel::Reply reply) {
        AIReply* r = ai.complete(b, system, user);
        QObject::connect(r, &AIReply::finished, r, [reply](const AIResult& result) {
            if (result.ok())
                reply(result.text, {});
            else
                reply(std::nullopt, result.error->description());
        });
    };
    producers.setAIModel(model);

    // Learning: the spell checker loads here, at start-up, never inside a keystroke.
    HunspellSpellChecker spelling;
    LearningEngine learning(state, LearningEngine::Collaborators{&spelling, platform->secureInput.get(),
                                                                 [&engine] { return engine.frontBundleID(); }});
    LearningEngine::setShared(&learning);

    // Vetting, templates and the tone profile run when typing has gone quiet.
    const AIAccess aiAccess = AIAccess::from(ai);
    CandidateVetting vetting(state, learning, vetter, aiAccess);
    CandidateVetting::setShared(&vetting);
    PhraseTemplates templates(state, learning, aiAccess);
    PhraseTemplates::setShared(&templates);
    ToneProfile tone(state, learning, aiAccess);
    ToneProfile::setShared(&tone);
    learning.setAIWork({[&vetting] { vetting.autoVetOnDevice(); }, [&templates] { templates.autoTemplateOnDevice(); },
                        [&tone] { tone.refreshToneProfile(); }});

    // The accessibility bus: password fields set secure input; the rewrite reads the selection.
    AtSpiPasswordWatcher passwordWatcher(accessibleFocus, *platform->secureInput);
    X11PrimarySelection primary;
    AtSpiSelectedText selectedText(accessibleFocus, &primary);
    AIRewriteController::Collaborators rewriteWith = AIRewriteController::aiCollaborators(ai, onDevice, learning);
    rewriteWith.frontApp = platform->frontApp.get();
    rewriteWith.selectedText = &selectedText;
    rewriteWith.feedback = &feedback;
    rewriteWith.replace = replace;
    AIRewriteController rewrite(state, rewriteWith);
    rewrite.installHotKey(*platform->hotKeys);

    engine.setCollaborators({&learning, &popup, &feedback, &producers});
    AppState::Hooks hooks;
    hooks.resetBuffer = [&engine] { engine.resetBuffer(); };
    hooks.hideSuggestionPopup = [&popup] { popup.hide(); };
    state.setHooks(hooks);

    EventTap tap(*platform->inputMonitor, *platform->accessibility, state, engine);
    tap.setPermissionLostHandler([] { Notifier::permissionLost(); });
    state.setAccessibilityGranted(platform->accessibility->isTrusted());
    tap.start();
    BackupManager::backupIfNeeded();

    const int code = app.exec();
    tap.stop();
    injector.waitForIdle();
    learning.setAIWork({});
    learning.saveNow();
    state.flushPendingStats();
    state.setHooks({});
    engine.setCollaborators({});
    SoundPlayer::setOutput(nullptr);
    Notifier::setService(nullptr);
    return code;
}
