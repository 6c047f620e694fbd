#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class QSocketNotifier;
class QTimer;
struct xcb_connection_t;

// The X PRIMARY selection (the text last selected with the mouse or keyboard), read only
// from the program in front: PRIMARY outlives the program's own view of its selection and
// may belong to any window on the screen, so its text is taken only when its owner window
// belongs to the process of the active window. Never the clipboard.
//
// On a connection of its own, read on the main thread; the conversion is asynchronous
// and bounded by a time-out, since the owner answers when it likes.
class X11PrimarySelection : public QObject
{
    Q_OBJECT

  public:
    using Answer = std::function<void(std::optional<QString>)>;

    // Empty display name: $DISPLAY.
    explicit X11PrimarySelection(QByteArray displayName = {}, QObject* parent = nullptr);
    ~X11PrimarySelection() override;

    bool isConnected() const { return m_connection != nullptr; }

    // The active window (_NET_ACTIVE_WINDOW, else the input focus); 0 when none.
    quint32 frontWindow();
    // The process of the active window, as it declares it (_NET_WM_PID).
    std::optional<quint32> frontWindowPid();
    // PRIMARY has an owner, and that owner is a window of the front window's program.
    bool ownedByFrontProcess();

    // Calls `done` once, always later, with PRIMARY's text, or with nothing when the owner
    // is not the front program, refuses, answers with no text or too late. Nothing is
    // called once `context` is gone.
    void requestText(QObject* context, int timeoutMs, Answer done);

  private:
    struct Waiter;

    quint32 atom(const char* name);
    std::optional<quint32> windowPid(quint32 window);
    void readEvents();
    void finishAll(const std::optional<QString>& text);

    xcb_connection_t* m_connection = nullptr;
    quint32 m_root = 0;
    quint32 m_requestor = 0;
    quint32 m_idMask = 0;
    quint32 m_utf8 = 0;
    quint32 m_incr = 0;
    quint32 m_property = 0;
    quint32 m_activeAtom = 0;
    quint32 m_pidAtom = 0;
    QSocketNotifier* m_notifier = nullptr;
    QTimer* m_timeout = nullptr;
    QList<Waiter> m_waiters;
};
