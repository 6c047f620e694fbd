#pragma once

#include "platform/SecureInput.h"

// Secure input the test switches; remembers which source set it.
class FakeSecureInput : public SecureInput
{
    Q_OBJECT
  public:
    using SecureInput::SecureInput;

    bool isActive() const override { return m_own || m_accessible || m_other; }
    void setOwnSecureFieldFocused(bool focused) override { set(m_own, focused); }
    void setFocusedAccessibleIsPassword(bool password) override { set(m_accessible, password); }
    // Any other source (a keyboard grab, the screen locker).
    void setActive(bool active) { set(m_other, active); }

  private:
    void set(bool& field, bool value)
    {
        const bool before = isActive();
        field = value;
        if (isActive() != before)
            emit changed(isActive());
    }

    bool m_own = false;
    bool m_accessible = false;
    bool m_other = false;
};
