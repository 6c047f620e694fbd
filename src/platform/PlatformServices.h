#pragma once

#include "platform/AccessibilityProbe.h"
#include "platform/FrontApp.h"
#include "platform/HotKeyBackend.h"
#include "platform/InputMonitor.h"
#include "platform/KeySynth.h"
#include "platform/SecureInput.h"
#include "platform/Sleeper.h"

#include <memory>

// The set of window-system services one Quenvil process runs on. The composition root
// builds the real set once (see platform/x11/X11PlatformServices.h); tests build a set
// of fakes. Members are declared in dependency order, so destruction runs from the
// monitor (which listens to secure input) down.
struct PlatformServices
{
    std::unique_ptr<SecureInput> secureInput;
    std::unique_ptr<AccessibilityProbe> accessibility;
    std::unique_ptr<FrontApp> frontApp;
    std::unique_ptr<HotKeyBackend> hotKeys;
    std::unique_ptr<Sleeper> sleeper;
    std::unique_ptr<KeySynth> keySynth;
    std::unique_ptr<InputMonitor> inputMonitor;
};
