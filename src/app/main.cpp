#include "app/Application.h"
#include "app/QuitSignals.h"
#include "app/SingleInstance.h"
#include "ui/PopupTheme.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::fprintf(stderr, "Quenvil needs an X11 session (or XWayland): DISPLAY is not set.\n");
        return 1;
    }
    // Only X11 gives us the keystrokes and typing we need, also inside a Wayland session.
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quenvil"));
    // The application id names the desktop entry and the notifications' identifiers.
    QGuiApplication::setDesktopFileName(QStringLiteral("app.quenvil.Quenvil"));
    QApplication::setQuitOnLastWindowClosed(false);
    PopupTheme::install();

    // Before the store loads and before any hot key is grabbed: a second Quenvil only
    // raises the first one's window.
    SingleInstance instance(SingleInstance::defaultDir(), SingleInstance::defaultKey());
    if (!instance.acquire()) {
        instance.askRunningToShow();
        return 0;
    }

    Application app;
    QObject::connect(&instance, &SingleInstance::showRequested, &app, &Application::showMainWindow);
    QuitSignals::install(&app, [&app] { app.savePending(); });
    app.start();
    const int code = QApplication::exec();
    app.savePending();
    QuitSignals::uninstall();
    return code;
}
