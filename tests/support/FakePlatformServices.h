#pragma once

#include "FakeAccessibilityProbe.h"
#include "FakeFrontApp.h"
#include "FakeHotKeyBackend.h"
#include "FakeInputMonitor.h"
#include "FakeKeySynth.h"
#include "FakeSecureInput.h"
#include "RecordingSleeper.h"

#include "platform/PlatformServices.h"

// A full set of fakes, owned as a PlatformServices (what production code takes), with
// typed pointers for the test to drive them.
struct FakePlatformServices
{
    FakePlatformServices();

    PlatformServices services;
    FakeSecureInput* secureInput;
    FakeAccessibilityProbe* accessibility;
    FakeFrontApp* frontApp;
    FakeHotKeyBackend* hotKeys;
    RecordingSleeper* sleeper;
    FakeKeySynth* keySynth;
    FakeInputMonitor* inputMonitor;
};
