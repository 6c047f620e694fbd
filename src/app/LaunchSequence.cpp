#include "app/LaunchSequence.h"

#include "model/SettingsStore.h"

namespace LaunchFlags {

bool apply(SettingsStore& settings)
{
    const QString launched = QLatin1String(didLaunchBefore);
    const QString completed = QLatin1String(didCompleteOnboarding);
    const bool firstLaunch = !settings.contains(launched);
    if (!settings.contains(completed))
        settings.setBool(completed, !firstLaunch);
    settings.setBool(launched, true);
    return firstLaunch;
}

} // namespace LaunchFlags

WindowDecision decideWindow(bool trusted, bool firstLaunch, bool trayAvailable)
{
    if (trusted && !firstLaunch && trayAvailable)
        return WindowDecision::close;
    return WindowDecision::show;
}

void runLaunchSequence(LaunchSteps& steps)
{
    steps.setUpNotifications();
    const bool trusted = steps.checkTrust();
    steps.storeTrust(trusted);
    steps.startEventTap();
    steps.backupIfNeeded();
    steps.registerSearchHotKey();
    steps.registerCaptureHotKey();
    steps.registerRewriteHotKey();
    const bool firstLaunch = LaunchFlags::apply(steps.settings());
    steps.scheduleWindowDecision(trusted, firstLaunch);
}
