#pragma once

#include "platform/FrontApp.h"
#include "platform/x11/X11Connection.h"

#include <QByteArray>

#include <memory>

class QSocketNotifier;

// The active window from the window manager's _NET_ACTIVE_WINDOW on the root window,
// followed through property changes on a connection of its own. The application key is
// the class part of the window's WM_CLASS; "our own" means its _NET_WM_PID is this
// process. Without a window manager that publishes the active window, the window with
// the input focus stands in (read on demand, no change signal).
class X11FrontApp : public FrontApp
{
    Q_OBJECT
  public:
    explicit X11FrontApp(QByteArray displayName, QObject* parent = nullptr);
    ~X11FrontApp() override;

    QString appKey() const override;
    quint64 window() const override;
    bool isOwnProcess() const override;
    bool activate(quint64 window, quint32 time = 0) override;

  private:
    bool connectDisplay() const;
    void readEvents();
    // Xlib reads whatever events have come while it waits for a reply: those sit in its
    // queue, not on the socket, and the socket notifier never tells of them.
    void readQueuedLater() const;
    void refresh(bool announce) const;
    quint64 activeWindow() const;
    quint64 focusedTopLevel() const;

    QByteArray m_displayName;
    mutable std::unique_ptr<X11Connection> m_connection;
    mutable QSocketNotifier* m_notifier = nullptr;
    mutable unsigned long m_activeAtom = 0;
    mutable unsigned long m_pidAtom = 0;
    mutable bool m_ewmh = false;
    mutable quint64 m_window = 0;
    mutable QString m_appKey;
    mutable qint64 m_pid = 0;
    mutable bool m_reading = false;
};
