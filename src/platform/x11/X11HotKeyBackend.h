#pragma once

#include "platform/HotKeyBackend.h"
#include "platform/x11/X11Connection.h"

#include <QByteArray>
#include <QObject>

#include <map>
#include <memory>

class QSocketNotifier;

// Hot keys as passive key grabs on the root window, on a connection of their own read
// on the main thread. Each combination is grabbed four times, with and without Caps
// Lock and Num Lock, since the server matches lock modifiers like any other. A grab
// some other client holds fails with BadAccess: the registration fails as a whole.
// Detectable auto-repeat makes a held key a run of presses without releases, of which
// only the first fires.
class X11HotKeyBackend : public QObject, public HotKeyBackend
{
    Q_OBJECT
  public:
    explicit X11HotKeyBackend(QByteArray displayName, QObject* parent = nullptr);
    ~X11HotKeyBackend() override;

    std::optional<int> registerHotKey(Key key, Modifiers modifiers, std::function<void()> handler) override;
    void unregisterHotKey(int id) override;

  private:
    struct Registration
    {
        quint8 keycode = 0;
        unsigned mask = 0;
        std::function<void()> handler;
        bool down = false;
    };

    bool connectDisplay();
    void readEvents();
    void ungrab(const Registration& registration);
    unsigned lockVariant(int index) const;

    QByteArray m_displayName;
    std::unique_ptr<X11Connection> m_connection;
    QSocketNotifier* m_notifier = nullptr;
    std::map<int, Registration> m_registrations;
    int m_nextId = 1;
    unsigned m_altMask = 0;
    unsigned m_superMask = 0;
    unsigned m_numLockMask = 0;
};
