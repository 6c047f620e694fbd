#pragma once

#include <QByteArray>

#include <atomic>
#include <memory>

struct _XDisplay;

// One Xlib connection owned by a backend. X errors on it never abort the process: they
// are counted here (a backend that cares checks them with an error trap), and a lost
// connection only marks the connection lost, where Xlib's default would exit. Every
// backend opens its own connection, so one busy or blocked stream never delays another.
class X11Connection
{
  public:
    // Empty display name: $DISPLAY. Null when the display cannot be reached.
    static std::unique_ptr<X11Connection> open(const QByteArray& displayName);
    ~X11Connection();

    X11Connection(const X11Connection&) = delete;
    X11Connection& operator=(const X11Connection&) = delete;

    _XDisplay* display() const { return m_display; }
    int fd() const;
    // The resource-id base the server gave this client: every request it sends is
    // recorded under this id.
    quint32 idBase() const { return m_idBase; }
    bool isLost() const { return m_lost.load(); }

    // An error trap: errors of the requests sent between begin and end. end() waits for
    // the server to have answered them all and returns the first error code, 0 if none.
    void beginErrorTrap();
    int endErrorTrap();

    // Called by the process-wide handlers.
    void noteError(unsigned long serial, int code);
    void noteLost() { m_lost.store(true); }

    // Makes sure Quenvil's X error and I/O error handlers are the process's, chaining to
    // whatever handler was there before (Qt's own, typically) for connections not ours.
    // Qt installs its handlers when it connects, possibly after our backends did, so
    // each backend calls this again before work that could fail.
    static void installHandlers();

  private:
    explicit X11Connection(_XDisplay* display);

    _XDisplay* m_display = nullptr;
    quint32 m_idBase = 0;
    std::atomic<bool> m_lost{false};
    unsigned long m_trapSerial = 0;
    bool m_trapping = false;
    int m_trapError = 0;
};
