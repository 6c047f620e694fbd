#pragma once

#include <QString>
#include <QUrl>

#include <functional>

class NotificationService;

// The notice that Quenvil lost its access to the keyboard (the X display it watches went
// away or lacks what Quenvil needs), and the help page that explains the requirement.
namespace Notifier {

// The notification's identifier: the application id (QGuiApplication::desktopFileName())
// followed by ".permission-lost"; empty while the application has no id.
QString permissionLostIdentifier();

// The help page on what Quenvil needs from the X server, as a local file (written out of
// the application's resources on first use); empty when it cannot be written.
QUrl accessibilitySettingsURL();

// Installed by start-up; none: no notification is posted. Clicking the notification
// opens the help page. Main thread.
void setService(NotificationService* service);

// How a URL is opened; unset: the desktop's handler. Tests record instead.
void setUrlOpener(std::function<void(const QUrl&)> opener);

// Opens the help page (the menu, the settings window and the notification do).
void openAccessibilitySettings();

// Posts the notice. Nothing without an application id or a service. Posting it again
// replaces the one still on screen.
void permissionLost();

} // namespace Notifier
