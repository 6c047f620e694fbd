#include "platform/x11/X11InputMonitor.h"

#include "platform/SecureInput.h"

#include <QSocketNotifier>

#include <X11/XKBlib.h>
#include <X11/Xlib-xcb.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/Xproto.h>
#include <X11/extensions/record.h>
#include <xkbcommon/xkbcommon-x11.h>

namespace {

void onRecord(XPointer closure, XRecordInterceptData* data)
{
    auto* monitor = reinterpret_cast<X11InputMonitor*>(closure);
    RecordItem item;
    switch (data->category) {
    case XRecordFromServer:
        item.kind = RecordItem::Kind::FromServer;
        break;
    case XRecordFromClient:
        item.kind = RecordItem::Kind::FromClient;
        break;
    case XRecordClientStarted:
        item.kind = RecordItem::Kind::ClientStarted;
        break;
    case XRecordClientDied:
        item.kind = RecordItem::Kind::ClientDied;
        break;
    default:
        item.kind = RecordItem::Kind::Other;
        break;
    }
    item.idBase = quint32(data->id_base);
    item.swapped = data->client_swapped;
    item.data = data->data;
    item.length = size_t(data->data_len) * 4;
    monitor->handleRecord(item);
    XRecordFreeData(data);
}

int queryOpcode(Display* display, const char* name)
{
    int opcode = 0, event = 0, error = 0;
    return XQueryExtension(display, name, &opcode, &event, &error) ? opcode : -1;
}

std::vector<int> keyboardDevices(Display* display)
{
    std::vector<int> ids;
    int major = 2, minor = 0;
    if (XIQueryVersion(display, &major, &minor) != Success)
        return ids;
    int count = 0;
    XIDeviceInfo* devices = XIQueryDevice(display, XIAllDevices, &count);
    for (int i = 0; i < count; ++i) {
        if (devices[i].use == XIMasterKeyboard || devices[i].use == XISlaveKeyboard)
            ids.push_back(devices[i].deviceid);
    }
    if (devices)
        XIFreeDeviceInfo(devices);
    return ids;
}

// What the context records, for all clients: device events (key presses and button
// presses, not releases: nothing needs them, and each would wake us on its own, a release
// coming long after its press); keyboard mapping changes; keyboard grabs with the reply
// that says whether they took; clients going away.
//
// The FakeInputs that tell our own events from the user's are recorded for the injector's
// connection alone (`injector`): other clients' would only wake us once more per key they
// type, and their events are the user's anyway. That registration replaces the one the
// connection had as one of all clients, so it repeats the requests it must not lose; it
// has no device events, which would then be recorded twice.
struct RecordRanges
{
    XRecordRange* ranges[3] = {};
    int count = 0;

    RecordRanges(const RecordInterpreter::Opcodes& opcodes, bool injector)
    {
        const int wanted = injector ? 1 : 2 + (opcodes.xinput >= 0 ? 1 : 0);
        for (int i = 0; i < wanted; ++i) {
            if (!(ranges[i] = XRecordAllocRange()))
                return;
        }
        if (injector) {
            XRecordRange* r = ranges[0];
            r->core_requests.first = r->core_requests.last = X_ChangeKeyboardMapping;
            r->ext_requests.ext_major.first = r->ext_requests.ext_major.last = quint8(opcodes.xtest);
            r->ext_requests.ext_minor.first = r->ext_requests.ext_minor.last = 2; // FakeInput
            r->client_died = True;
            count = 1;
            return;
        }
        ranges[0]->device_events.first = ranges[0]->device_events.last = KeyPress;
        ranges[0]->core_requests.first = ranges[0]->core_requests.last = X_ChangeKeyboardMapping;
        ranges[0]->client_died = True;
        ranges[1]->device_events.first = ranges[1]->device_events.last = ButtonPress;
        ranges[1]->core_requests.first = X_GrabKeyboard;
        ranges[1]->core_requests.last = X_UngrabKeyboard;
        ranges[1]->core_replies.first = ranges[1]->core_replies.last = X_GrabKeyboard;
        if (opcodes.xinput >= 0) {
            XRecordRange* r = ranges[2];
            r->ext_requests.ext_major.first = r->ext_requests.ext_major.last = quint8(opcodes.xinput);
            r->ext_requests.ext_minor.first = 51; // XIGrabDevice
            r->ext_requests.ext_minor.last = 52;  // XIUngrabDevice
            r->ext_replies.ext_major.first = r->ext_replies.ext_major.last = quint8(opcodes.xinput);
            r->ext_replies.ext_minor.first = r->ext_replies.ext_minor.last = 51;
        }
        count = wanted;
    }
    ~RecordRanges()
    {
        for (XRecordRange* r : ranges)
            XFree(r);
    }
    RecordRanges(const RecordRanges&) = delete;
    RecordRanges& operator=(const RecordRanges&) = delete;
};

} // namespace

X11InputMonitor::X11InputMonitor(QByteArray displayName, std::shared_ptr<const InjectorIdentity> injector,
                                 SecureInput* secureInput, QObject* parent)
    : InputMonitor(parent), m_displayName(std::move(displayName)), m_injector(std::move(injector)),
      m_secureInput(secureInput)
{
    // Mapping changes come in bursts (every character an automation tool rebinds is two
    // of them); the keymap is fetched once the burst is over.
    m_keymapRefresh.setSingleShot(true);
    m_keymapRefresh.setInterval(150);
    connect(&m_keymapRefresh, &QTimer::timeout, this, [this] { refreshKeymap(false); });
}

X11InputMonitor::~X11InputMonitor()
{
    stop();
}

bool X11InputMonitor::start()
{
    if (m_running)
        return true;
    m_control = X11Connection::open(m_displayName);
    m_data = X11Connection::open(m_displayName);
    if (m_injector)
        m_registrar = X11Connection::open(m_displayName);
    if (!m_control || !m_data || (m_injector && !m_registrar)) {
        teardown(true);
        return false;
    }
    Display* control = m_control->display();
    int recordMajor = 0, recordMinor = 0;
    int xkbOpcode = 0, xkbError = 0, xkbMajor = XkbMajorVersion, xkbMinor = XkbMinorVersion;
    RecordInterpreter::Opcodes opcodes;
    opcodes.xtest = queryOpcode(control, "XTEST");
    opcodes.xinput = queryOpcode(control, "XInputExtension");
    if (!XRecordQueryVersion(control, &recordMajor, &recordMinor) || opcodes.xtest < 0 ||
        !XkbQueryExtension(control, &xkbOpcode, &m_xkbEventBase, &xkbError, &xkbMajor, &xkbMinor)) {
        teardown(true);
        return false;
    }

    xcb_connection_t* xcb = XGetXCBConnection(control);
    if (!xkb_x11_setup_xkb_extension(xcb, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
                                     XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, nullptr,
                                     nullptr)) {
        teardown(true);
        return false;
    }
    m_xkbDevice = xkb_x11_get_core_keyboard_device_id(xcb);
    XkbSelectEvents(control, XkbUseCoreKbd, XkbNewKeyboardNotifyMask | XkbMapNotifyMask,
                    XkbNewKeyboardNotifyMask | XkbMapNotifyMask);
    m_interpreter = std::make_unique<RecordInterpreter>(m_decoder, opcodes);
    refreshKeymap(true);
    if (!m_decoder.hasKeymap()) {
        teardown(true);
        return false;
    }
    if (opcodes.xinput >= 0)
        m_interpreter->setKeyboardDevices(keyboardDevices(control));
    m_interpreter->setOwnClients(
        {m_control->idBase(), m_data->idBase(), m_registrar ? m_registrar->idBase() : 0u});

    m_xtestOpcode = opcodes.xtest;
    m_xinputOpcode = opcodes.xinput;
    RecordRanges ranges(opcodes, false);
    if (!ranges.count) {
        teardown(true);
        return false;
    }
    XRecordClientSpec clients = XRecordAllClients;
    m_context = XRecordCreateContext(control, 0, &clients, 1, ranges.ranges, ranges.count);
    XSync(control, False);
    if (!m_context || m_control->isLost()) {
        teardown(true);
        return false;
    }
    if (!XRecordEnableContextAsync(m_data->display(), m_context, onRecord,
                                   reinterpret_cast<XPointer>(this))) {
        teardown(true);
        return false;
    }
    XFlush(m_data->display());

    m_dataNotifier = new QSocketNotifier(m_data->fd(), QSocketNotifier::Read, this);
    connect(m_dataNotifier, &QSocketNotifier::activated, this, &X11InputMonitor::readRecord);
    m_controlNotifier = new QSocketNotifier(m_control->fd(), QSocketNotifier::Read, this);
    connect(m_controlNotifier, &QSocketNotifier::activated, this, &X11InputMonitor::readControl);
    m_running = true;
    if (m_injector && m_registrar) {
        QPointer<X11InputMonitor> self(this);
        // Called on the injector's thread with the identity locked, so the monitor cannot
        // be torn down meanwhile (teardown clears the watcher first); the registration
        // goes through a connection of its own, so it never waits for the main thread.
        m_injector->setWatcher([this](quint32 idBase) { recordInjector(idBase); });
        if (const quint32 idBase = m_injector->idBase())
            recordInjector(idBase);
    }
    // The enable request's first replies may already sit in Xlib's buffer.
    readRecord();
    readControl();
    return m_running;
}

// Adds the injector's connection to the context, for its FakeInputs, and tells the
// injector it may type. Called from either thread, one at a time (the identity's lock).
void X11InputMonitor::recordInjector(quint32 idBase)
{
    if (!m_registrar || !m_context || !idBase)
        return;
    RecordRanges ranges({m_xtestOpcode, m_xinputOpcode}, true);
    if (!ranges.count)
        return;
    XRecordClientSpec client = idBase;
    m_registrar->beginErrorTrap();
    XRecordRegisterClients(m_registrar->display(), m_context, 0, &client, 1, ranges.ranges, ranges.count);
    if (m_registrar->endErrorTrap() == 0)
        m_injector->recorded(idBase);
}

void X11InputMonitor::stop()
{
    teardown(!connectionLost());
}

bool X11InputMonitor::connectionLost() const
{
    return (m_control && m_control->isLost()) || (m_data && m_data->isLost());
}

void X11InputMonitor::teardown(bool serverAlive)
{
    // First: a registration under way on the injector's thread finishes before this
    // returns, and none starts after it.
    if (m_injector)
        m_injector->setWatcher({});
    m_running = false;
    m_keymapRefresh.stop();
    delete m_dataNotifier;
    m_dataNotifier = nullptr;
    delete m_controlNotifier;
    m_controlNotifier = nullptr;
    if (serverAlive && m_control && m_context) {
        XRecordDisableContext(m_control->display(), m_context);
        XRecordFreeContext(m_control->display(), m_context);
        XSync(m_control->display(), False);
    }
    m_context = 0;
    m_registrar.reset();
    m_data.reset();
    m_control.reset();
    m_outcomes.clear();
    m_interpreter.reset();
    m_decoder.resetTransientState();
    if (m_grabReported) {
        m_grabReported = false;
        emit foreignKeyboardGrabChanged(false);
    }
}

void X11InputMonitor::handleRecord(const RecordItem& item)
{
    if (!m_interpreter)
        return;
    if (m_injector)
        m_interpreter->setOwnInjectorIdBase(m_injector->idBase());
    RecordOutcome outcome = m_interpreter->feed(item);
    // Decided in stream order: a key recorded while secure input is on is dropped here,
    // whatever happens later (the interpreter already drops those typed under a grab).
    if (outcome.key && m_secureInput && m_secureInput->isActive())
        outcome.key.reset();
    if (outcome.key || outcome.mouseDown || outcome.foreignGrab)
        m_outcomes.push_back(std::move(outcome));
}

void X11InputMonitor::readRecord()
{
    if (!m_running || !m_data)
        return;
    XRecordProcessReplies(m_data->display());
    std::vector<RecordOutcome> outcomes;
    outcomes.swap(m_outcomes);
    if (connectionLost()) {
        teardown(false);
        return;
    }
    deliver(outcomes);
}

void X11InputMonitor::deliver(std::vector<RecordOutcome>& outcomes)
{
    QPointer<X11InputMonitor> alive(this);
    for (RecordOutcome& outcome : outcomes) {
        if (!alive || !m_running)
            return;
        if (outcome.foreignGrab) {
            if (*outcome.foreignGrab && outcome.grabWindow)
                watchGrabWindow(outcome.grabWindow);
            if (*outcome.foreignGrab != m_grabReported) {
                m_grabReported = *outcome.foreignGrab;
                emit foreignKeyboardGrabChanged(m_grabReported);
            }
        }
        if (!alive || !m_running)
            return;
        if (outcome.key)
            emit keyDown(*outcome.key);
        else if (outcome.mouseDown)
            emit mouseDown();
    }
}

// A grab ends without an ungrab request when its window is unmapped or destroyed.
void X11InputMonitor::watchGrabWindow(quint32 window)
{
    Display* control = m_control->display();
    m_control->beginErrorTrap();
    XWindowAttributes attributes;
    const bool exists = XGetWindowAttributes(control, window, &attributes);
    if (exists)
        XSelectInput(control, window, attributes.your_event_mask | StructureNotifyMask);
    const int error = m_control->endErrorTrap();
    if (!exists || error != 0 || attributes.map_state != IsViewable) {
        RecordOutcome gone = m_interpreter->noteWindowGone(window);
        if (gone.foreignGrab)
            m_outcomes.push_back(gone);
    }
    drainControlLater();
}

void X11InputMonitor::readControl()
{
    if (!m_running || !m_control)
        return;
    Display* control = m_control->display();
    bool newLayout = false;
    bool mapChanged = false;
    while (!m_control->isLost() && XPending(control)) {
        XEvent event;
        XNextEvent(control, &event);
        if (event.type == m_xkbEventBase) {
            const auto* xkb = reinterpret_cast<const XkbAnyEvent*>(&event);
            if (xkb->xkb_type == XkbNewKeyboardNotify)
                newLayout = true;
            else if (xkb->xkb_type == XkbMapNotify)
                mapChanged = true;
        } else if (event.type == UnmapNotify || event.type == DestroyNotify) {
            const Window window =
                event.type == UnmapNotify ? event.xunmap.window : event.xdestroywindow.window;
            RecordOutcome gone = m_interpreter->noteWindowGone(quint32(window));
            if (gone.foreignGrab)
                m_outcomes.push_back(gone);
        }
    }
    if (connectionLost()) {
        teardown(false);
        return;
    }
    if (newLayout)
        refreshKeymap(true);
    else if (mapChanged)
        m_keymapRefresh.start();
    std::vector<RecordOutcome> outcomes;
    outcomes.swap(m_outcomes);
    deliver(outcomes);
}

void X11InputMonitor::refreshKeymap(bool newLayout)
{
    if (!m_control || m_control->isLost() || m_xkbDevice < 0)
        return;
    xkb_keymap* keymap =
        xkb_x11_keymap_new_from_device(m_decoder.context(), XGetXCBConnection(m_control->display()),
                                       m_xkbDevice, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (keymap) {
        m_decoder.setKeymap(keymap, !newLayout);
        xkb_keymap_unref(keymap);
    }
    drainControlLater();
}

// A round trip on the control connection may have read events into Xlib's queue, where
// the socket notifier cannot see them.
void X11InputMonitor::drainControlLater()
{
    if (m_running && m_control && !m_control->isLost() && XPending(m_control->display()))
        QMetaObject::invokeMethod(this, &X11InputMonitor::readControl, Qt::QueuedConnection);
}
