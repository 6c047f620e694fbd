#pragma once

#include <QObject>

// Secure input: a password may be being typed, so no keystroke may reach the engine or
// the learner. It is set while another program holds the keyboard (password prompts
// and screen lockers grab it), while the screen locker is active, while the focused
// accessible element is a password field, or while one of Quenvil's own password
// fields has focus.
//
// The flag is cached and kept current by events, never computed per key: isActive()
// is cheap enough to call for every keystroke.
class SecureInput : public QObject
{
    Q_OBJECT
  public:
    using QObject::QObject;
    ~SecureInput() override = default;

    virtual bool isActive() const = 0;

    // One of Quenvil's own password fields gained or lost focus.
    virtual void setOwnSecureFieldFocused(bool focused) = 0;
    // The focused accessible element of the front application is, or stopped being, a
    // password field (reported by the accessibility bus watcher).
    virtual void setFocusedAccessibleIsPassword(bool password) = 0;

  signals:
    void changed(bool active);
};
