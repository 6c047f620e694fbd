#pragma once

class SettingsStore;

// The start-up steps, run strictly in this order by runLaunchSequence(). The application
// implements them with the real services; tests record the order.
class LaunchSteps
{
  public:
    virtual ~LaunchSteps() = default;

    // Desktop notifications: the click on the permission notice is handled from here on.
    virtual void setUpNotifications() = 0;
    // Whether the keyboard can be watched and typed into (on X11: a display with the
    // needed extensions); the answer is stored as accessibilityGranted by the sequence.
    virtual bool checkTrust() = 0;
    virtual void storeTrust(bool trusted) = 0;
    virtual void startEventTap() = 0;
    virtual void backupIfNeeded() = 0;
    virtual void registerSearchHotKey() = 0;
    virtual void registerCaptureHotKey() = 0;
    virtual void registerRewriteHotKey() = 0;
    virtual SettingsStore& settings() = 0;
    // Arms the one window decision, 0.3 s later, with the values captured now.
    virtual void scheduleWindowDecision(bool trusted, bool firstLaunch) = 0;
};

namespace LaunchFlags {
inline constexpr char didLaunchBefore[] = "didLaunchBefore";
inline constexpr char didCompleteOnboarding[] = "didCompleteOnboarding";

// Reads and updates the two launch flags; returns whether this is the first launch.
// Only presence counts: "didLaunchBefore" stored as false still marks a later launch.
// A later launch without "didCompleteOnboarding" comes from a version before the tour
// and is marked completed; the very first launch stores false, so an unfinished tour is
// never taken for one from before the flag existed.
bool apply(SettingsStore& settings);
} // namespace LaunchFlags

enum class WindowDecision
{
    close,
    show,
};

// Trusted later launches run from the tray alone; the first launch, a missing capability,
// or a desktop without a tray (the window then stands in for the menu) show the window.
WindowDecision decideWindow(bool trusted, bool firstLaunch, bool trayAvailable);

void runLaunchSequence(LaunchSteps& steps);
