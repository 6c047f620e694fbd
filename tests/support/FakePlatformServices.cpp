#include "FakePlatformServices.h"

namespace {

template <typename Fake, typename Interface> Fake* own(std::unique_ptr<Interface>& slot)
{
    auto fake = std::make_unique<Fake>();
    Fake* raw = fake.get();
    slot = std::move(fake);
    return raw;
}

} // namespace

FakePlatformServices::FakePlatformServices()
    : secureInput(own<FakeSecureInput>(services.secureInput)),
      accessibility(own<FakeAccessibilityProbe>(services.accessibility)),
      frontApp(own<FakeFrontApp>(services.frontApp)), hotKeys(own<FakeHotKeyBackend>(services.hotKeys)),
      sleeper(own<RecordingSleeper>(services.sleeper)), keySynth(own<FakeKeySynth>(services.keySynth)),
      inputMonitor(own<FakeInputMonitor>(services.inputMonitor))
{
}
