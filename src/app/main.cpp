#include "engine/ContentRenderer.h"
#include "engine/EventTap.h"
#include "engine/ExpansionEngine.h"
#include "engine/Injector.h"
#include "engine/QtClipboard.h"
#include "model/AppState.h"
#include "model/BackupManager.h"
#include "platform/x11/X11PlatformServices.h"

#include <QApplication>
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
    QApplication::setQuitOnLastWindowClosed(false);
    quitOnSignals(&app);

    AppState state;
    AppState::setShared(&state);

    std::unique_ptr<PlatformServices> platform = createX11PlatformServices();
    Injector injector(*platform->keySynth, *platform->sleeper);
    Injector::setShared(&injector);

    QtClipboard clipboard;
    ContentRenderer::Options renderOptions;
    renderOptions.lookup = ContentRenderer::lookupIn(state);
    renderOptions.clipboard = &clipboard;
    ContentRenderer renderer(renderOptions);

    ExpansionEngine engine(
        state, [&injector](int b, const QList<Injector::Segment>& s, int c) { injector.replace(b, s, c); },
        renderer);
    ExpansionEngine::setShared(&engine);
    engine.setFrontBundleID(platform->frontApp->appKey());
    QObject::connect(platform->frontApp.get(), &FrontApp::frontChanged, &engine,
                     &ExpansionEngine::handleFrontChanged);
    AppState::Hooks hooks;
    hooks.resetBuffer = [&engine] { engine.resetBuffer(); };
    state.setHooks(hooks);

    EventTap tap(*platform->inputMonitor, *platform->accessibility, state, engine);
    state.setAccessibilityGranted(platform->accessibility->isTrusted());
    tap.start();
    BackupManager::backupIfNeeded();

    const int code = app.exec();
    tap.stop();
    injector.waitForIdle();
    state.flushPendingStats();
    return code;
}
