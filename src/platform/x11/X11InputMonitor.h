#pragma once

#include "platform/InputMonitor.h"
#include "platform/x11/InjectorIdentity.h"
#include "platform/x11/KeyboardDecoder.h"
#include "platform/x11/RecordInterpreter.h"
#include "platform/x11/X11Connection.h"

#include <QByteArray>
#include <QPointer>
#include <QTimer>

#include <memory>
#include <vector>

class QSocketNotifier;
class SecureInput;

// The keystroke monitor on X11: a RECORD context on a connection of its own, read on
// the main thread as its socket becomes readable. A second connection (the control
// one) creates the context, follows keyboard-layout changes through XKB events and
// watches grab windows; the data connection only ever carries the recorded stream.
// What the stream means (which events are Quenvil's own, by the adjacency rule; which
// keys fall under another client's keyboard grab) is RecordInterpreter's business.
class X11InputMonitor : public InputMonitor
{
    Q_OBJECT
  public:
    // `injector` says which connection's FakeInputs are Quenvil's own; `secureInput`,
    // when given, silences key downs while it is active.
    X11InputMonitor(QByteArray displayName, std::shared_ptr<const InjectorIdentity> injector,
                    SecureInput* secureInput = nullptr, QObject* parent = nullptr);
    ~X11InputMonitor() override;

    bool start() override;
    void stop() override;
    bool isRunning() const override { return m_running; }

    bool foreignGrabActive() const { return m_interpreter && m_interpreter->foreignGrabActive(); }
    quint64 ownEventsSkipped() const { return m_interpreter ? m_interpreter->ownEventsSkipped() : 0; }

    // Called by the recording callback; public only for it.
    void handleRecord(const RecordItem& item);

  signals:
    // Another client took, or no other client holds any more, the keyboard.
    void foreignKeyboardGrabChanged(bool grabbed);

  private:
    void readRecord();
    void recordInjector(quint32 idBase);
    void readControl();
    void refreshKeymap(bool newLayout);
    void drainControlLater();
    void deliver(std::vector<RecordOutcome>& outcomes);
    void watchGrabWindow(quint32 window);
    void teardown(bool serverAlive);
    bool connectionLost() const;

    QByteArray m_displayName;
    std::shared_ptr<const InjectorIdentity> m_injector;
    QPointer<SecureInput> m_secureInput;
    std::unique_ptr<X11Connection> m_control;
    std::unique_ptr<X11Connection> m_data;
    std::unique_ptr<X11Connection> m_registrar; // adds the injector's connection to the context
    QSocketNotifier* m_controlNotifier = nullptr;
    QSocketNotifier* m_dataNotifier = nullptr;
    KeyboardDecoder m_decoder;
    std::unique_ptr<RecordInterpreter> m_interpreter;
    std::vector<RecordOutcome> m_outcomes;
    unsigned long m_context = 0;
    int m_xkbEventBase = -1;
    int m_xkbDevice = -1;
    int m_xtestOpcode = -1;
    int m_xinputOpcode = -1;
    QTimer m_keymapRefresh;
    bool m_running = false;
    bool m_grabReported = false;
};
