#include "platform/x11/X11PlatformServices.h"

#include "platform/ThreadSleeper.h"
#include "platform/x11/X11AccessibilityProbe.h"
#include "platform/x11/X11FrontApp.h"
#include "platform/x11/X11HotKeyBackend.h"
#include "platform/x11/X11InputMonitor.h"
#include "platform/x11/X11KeySynth.h"
#include "platform/x11/X11SecureInput.h"

std::unique_ptr<PlatformServices> createX11PlatformServices(const QByteArray& displayName)
{
    auto services = std::make_unique<PlatformServices>();
    auto identity = std::make_shared<InjectorIdentity>();
    auto secure = std::make_unique<X11SecureInput>();
    auto monitor = std::make_unique<X11InputMonitor>(displayName, identity, secure.get());
    QObject::connect(monitor.get(), &X11InputMonitor::foreignKeyboardGrabChanged, secure.get(),
                     &X11SecureInput::setForeignKeyboardGrab, Qt::DirectConnection);
    services->sleeper = std::make_unique<ThreadSleeper>();
    services->keySynth =
        std::make_unique<X11KeySynth>(displayName, identity, *services->sleeper, X11KeySynth::Options{});
    services->accessibility = std::make_unique<X11AccessibilityProbe>(displayName);
    services->frontApp = std::make_unique<X11FrontApp>(displayName);
    services->hotKeys = std::make_unique<X11HotKeyBackend>(displayName);
    services->inputMonitor = std::move(monitor);
    services->secureInput = std::move(secure);
    return services;
}
