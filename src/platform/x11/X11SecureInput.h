#pragma once

#include "platform/SecureInput.h"

// Secure input on a Linux desktop. Its sources: the keystroke monitor reports keyboard
// grabs by other programs (which is how password prompts and X screen lockers keep
// keys to themselves), the session bus's screen-saver service reports the locker,
// Quenvil's own password fields report their focus, and the accessibility watcher
// reports a focused password field elsewhere.
class X11SecureInput : public SecureInput
{
    Q_OBJECT
  public:
    // `watchScreenSaver`: follow org.freedesktop.ScreenSaver (and GNOME's) on the session
    // bus, when there is one.
    explicit X11SecureInput(bool watchScreenSaver = true, QObject* parent = nullptr);

    bool isActive() const override { return m_active; }
    void setOwnSecureFieldFocused(bool focused) override;
    void setFocusedAccessibleIsPassword(bool password) override;

    void setForeignKeyboardGrab(bool grabbed);
    void setScreenLocked(bool locked);

  private slots:
    void onScreenSaverActiveChanged(bool active);

  private:
    void update();

    bool m_ownField = false;
    bool m_accessiblePassword = false;
    bool m_foreignGrab = false;
    bool m_screenLocked = false;
    bool m_active = false;
};
