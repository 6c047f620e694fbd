#pragma once

#include "platform/KeyDown.h"
#include "platform/x11/KeyboardDecoder.h"

#include <QtGlobal>

#include <optional>
#include <unordered_map>

// One item of the RECORD stream, in stream order.
struct RecordItem
{
    enum class Kind
    {
        FromServer,
        FromClient,
        ClientStarted,
        ClientDied,
        Other
    };
    Kind kind = Kind::Other;
    quint32 idBase = 0; // the client the request came from (requests and replies)
    bool swapped = false;
    const quint8* data = nullptr;
    size_t length = 0;
};

// What one item means to Quenvil.
struct RecordOutcome
{
    std::optional<KeyDown> key;      // a user's key press, never while another client holds the keyboard
    bool mouseDown = false;          // a user's button press (not the wheel)
    std::optional<bool> foreignGrab; // another client took (true) or let go of (false) the keyboard
    quint32 grabWindow = 0;          // with foreignGrab = true: the window the grab is on
};

// Reads the RECORD stream: device events, XTEST FakeInput requests, core keyboard
// mapping changes, and keyboard grabs, all of it from every client.
//
// Own events, the adjacency rule: the server turns a FakeInput request into its device
// event while processing that request, so in the stream every faked event comes right
// after the FakeInput that caused it. A device event is Quenvil's own exactly when the
// record just before it is a FakeInput from the injector's connection (known by its
// resource-id base) with the same event type and key code. Never by counting: a
// FakeInput can produce no event (releasing a key that is not down), and other
// programs' FakeInputs (on-screen keyboards, xdotool) interleave with ours; theirs are
// user input.
//
// Keyboard grabs: a GrabKeyboard (or XI2 XIGrabDevice of a keyboard) whose reply says
// success marks that client as holding the keyboard until it ungrabs, dies, or the
// grab window goes away (noteWindowGone). RECORD sees keys while someone else holds
// the keyboard, and those are typically passwords: no key press is reported meanwhile,
// decided in stream order, so not one key of the password slips through.
class RecordInterpreter
{
  public:
    struct Opcodes
    {
        int xtest = -1;
        int xinput = -1;
    };

    RecordInterpreter(KeyboardDecoder& decoder, Opcodes opcodes);

    // The injector's resource-id base, 0 while it has no connection.
    void setOwnInjectorIdBase(quint32 idBase) { m_ownIdBase = idBase; }
    // Device ids of XI2 keyboards (masters and slaves).
    void setKeyboardDevices(std::vector<int> ids) { m_keyboardDevices = std::move(ids); }
    // Clients that are Quenvil itself: their grabs are no secure input.
    void setOwnClients(std::vector<quint32> idBases) { m_ownClients = std::move(idBases); }

    RecordOutcome feed(const RecordItem& item);
    RecordOutcome noteWindowGone(quint32 window);

    bool foreignGrabActive() const { return !m_grabs.empty(); }
    // Own events skipped so far (for tests and diagnostics).
    quint64 ownEventsSkipped() const { return m_ownSkipped; }

  private:
    RecordOutcome deviceEvent(const RecordItem& item);
    RecordOutcome request(const RecordItem& item);
    RecordOutcome reply(const RecordItem& item);
    RecordOutcome grabbed(quint32 client, quint32 window);
    RecordOutcome released(quint32 client);
    bool isOwnClient(quint32 idBase) const;

    KeyboardDecoder& m_decoder;
    Opcodes m_opcodes;
    quint32 m_ownIdBase = 0;
    std::vector<int> m_keyboardDevices;
    std::vector<quint32> m_ownClients;

    // The record just before the current one, when it was one of our FakeInputs.
    bool m_previousOwnFake = false;
    quint8 m_previousType = 0;
    quint8 m_previousDetail = 0;

    enum class PendingGrab
    {
        Core,
        XInput
    };
    struct Pending
    {
        PendingGrab kind;
        quint32 window;
    };
    std::unordered_map<quint32, Pending> m_pending; // client → grab request awaiting its reply
    std::unordered_map<quint32, quint32> m_grabs;   // client → grab window
    quint64 m_ownSkipped = 0;
};
