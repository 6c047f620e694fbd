#include "platform/x11/RecordInterpreter.h"

#include <algorithm>

namespace {

// Core protocol numbers (X.h, Xproto.h), spelled out so no X header is needed here.
constexpr quint8 kReply = 1;
constexpr quint8 kKeyPress = 2;
constexpr quint8 kKeyRelease = 3;
constexpr quint8 kButtonPress = 4;
constexpr quint8 kGrabKeyboard = 31;
constexpr quint8 kUngrabKeyboard = 32;
constexpr quint8 kChangeKeyboardMapping = 100;
constexpr quint8 kXTestFakeInput = 2;
constexpr quint8 kXIGrabDevice = 51;
constexpr quint8 kXIUngrabDevice = 52;

quint16 card16(const RecordItem& item, size_t offset)
{
    if (offset + 2 > item.length)
        return 0;
    const quint8* p = item.data + offset;
    return item.swapped ? quint16(p[0] << 8 | p[1]) : quint16(p[1] << 8 | p[0]);
}

quint32 card32(const RecordItem& item, size_t offset)
{
    if (offset + 4 > item.length)
        return 0;
    const quint8* p = item.data + offset;
    if (item.swapped)
        return quint32(p[0]) << 24 | quint32(p[1]) << 16 | quint32(p[2]) << 8 | p[3];
    return quint32(p[3]) << 24 | quint32(p[2]) << 16 | quint32(p[1]) << 8 | p[0];
}

} // namespace

RecordInterpreter::RecordInterpreter(KeyboardDecoder& decoder, Opcodes opcodes)
    : m_decoder(decoder), m_opcodes(opcodes)
{
}

bool RecordInterpreter::isOwnClient(quint32 idBase) const
{
    return std::find(m_ownClients.begin(), m_ownClients.end(), idBase) != m_ownClients.end();
}

RecordOutcome RecordInterpreter::feed(const RecordItem& item)
{
    RecordOutcome outcome;
    const bool previousOwnFake = m_previousOwnFake;
    m_previousOwnFake = false;
    if (!item.data || item.length < 4) {
        if (item.kind == RecordItem::Kind::ClientDied)
            outcome = released(item.idBase);
        return outcome;
    }
    switch (item.kind) {
    case RecordItem::Kind::FromServer:
        if (item.data[0] == kReply)
            return reply(item);
        if (previousOwnFake) {
            const quint8 type = item.data[0] & 0x7f;
            if (type == m_previousType && item.data[1] == m_previousDetail) {
                ++m_ownSkipped;
                // Still fed to the decoder: a dead key the user typed composes with our
                // key in the target, so the decoder's composition must see it too.
                if (type == kKeyPress || type == kKeyRelease)
                    m_decoder.decode(
                        RecordedKey{type == kKeyPress, item.data[1], card16(item, 28), card32(item, 4)});
                return outcome;
            }
        }
        return deviceEvent(item);
    case RecordItem::Kind::FromClient:
        return request(item);
    case RecordItem::Kind::ClientDied:
        return released(item.idBase);
    default:
        return outcome;
    }
}

RecordOutcome RecordInterpreter::deviceEvent(const RecordItem& item)
{
    RecordOutcome outcome;
    if (item.length < 32)
        return outcome;
    const quint8 type = item.data[0] & 0x7f;
    const quint8 detail = item.data[1];
    // xEvent: type, detail, sequence, time (4), root, event, child, rootX/Y, eventX/Y, state (28).
    const quint32 time = card32(item, 4);
    const quint16 state = card16(item, 28);
    switch (type) {
    case kKeyPress:
    case kKeyRelease:
        outcome.key = m_decoder.decode(RecordedKey{type == kKeyPress, detail, state, time});
        // Someone else holds the keyboard: this is most likely a password.
        if (foreignGrabActive())
            outcome.key.reset();
        break;
    case kButtonPress:
        // Buttons 4 to 7 are the wheel's two axes: scrolling, not a click.
        outcome.mouseDown = detail < 4 || detail > 7;
        break;
    default:
        break;
    }
    return outcome;
}

RecordOutcome RecordInterpreter::request(const RecordItem& item)
{
    RecordOutcome outcome;
    const quint8 major = item.data[0];
    if (m_opcodes.xtest >= 0 && major == m_opcodes.xtest && item.data[1] == kXTestFakeInput) {
        if (m_ownIdBase != 0 && item.idBase == m_ownIdBase && item.length >= 6) {
            m_previousOwnFake = true;
            m_previousType = item.data[4];
            m_previousDetail = item.data[5];
        }
        return outcome;
    }
    if (major == kChangeKeyboardMapping && item.length >= 8) {
        const int count = item.data[1];
        const int first = item.data[4];
        const int per = item.data[5];
        const size_t needed = 8 + size_t(count) * size_t(per) * 4;
        if (per > 0 && item.length >= needed) {
            std::vector<quint32> symbols(size_t(count) * size_t(per));
            for (size_t i = 0; i < symbols.size(); ++i)
                symbols[i] = card32(item, 8 + i * 4);
            m_decoder.applyCoreMapping(first, count, per, symbols.data());
        }
        return outcome;
    }
    if (isOwnClient(item.idBase))
        return outcome;
    if (major == kGrabKeyboard && item.length >= 8) {
        m_pending[item.idBase] = Pending{PendingGrab::Core, card32(item, 4)};
        return outcome;
    }
    if (major == kUngrabKeyboard)
        return released(item.idBase);
    if (m_opcodes.xinput >= 0 && major == m_opcodes.xinput) {
        // XIGrabDevice: window at 4, device at 16; XIUngrabDevice: device at 8.
        const quint8 minor = item.data[1];
        auto isKeyboard = [&](int device) {
            return std::find(m_keyboardDevices.begin(), m_keyboardDevices.end(), device) !=
                   m_keyboardDevices.end();
        };
        if (minor == kXIGrabDevice && item.length >= 18 && isKeyboard(card16(item, 16)))
            m_pending[item.idBase] = Pending{PendingGrab::XInput, card32(item, 4)};
        else if (minor == kXIUngrabDevice && item.length >= 10 && isKeyboard(card16(item, 8)))
            return released(item.idBase);
    }
    return outcome;
}

RecordOutcome RecordInterpreter::reply(const RecordItem& item)
{
    RecordOutcome outcome;
    const auto it = m_pending.find(item.idBase);
    if (it == m_pending.end())
        return outcome;
    const Pending pending = it->second;
    m_pending.erase(it);
    // GrabKeyboard's reply carries its status in byte 1, XIGrabDevice's in byte 8; 0 is
    // success.
    const quint8 status =
        pending.kind == PendingGrab::Core ? item.data[1] : (item.length > 8 ? item.data[8] : 1);
    if (status == 0)
        return grabbed(item.idBase, pending.window);
    return outcome;
}

RecordOutcome RecordInterpreter::grabbed(quint32 client, quint32 window)
{
    RecordOutcome outcome;
    m_grabs[client] = window;
    // Reported also when the flag was set already: there is a new window to watch.
    outcome.foreignGrab = true;
    outcome.grabWindow = window;
    m_decoder.resetTransientState();
    return outcome;
}

RecordOutcome RecordInterpreter::released(quint32 client)
{
    RecordOutcome outcome;
    m_pending.erase(client);
    if (m_grabs.erase(client) && !foreignGrabActive())
        outcome.foreignGrab = false;
    return outcome;
}

RecordOutcome RecordInterpreter::noteWindowGone(quint32 window)
{
    RecordOutcome outcome;
    bool any = false;
    for (auto it = m_grabs.begin(); it != m_grabs.end();) {
        if (it->second == window) {
            it = m_grabs.erase(it);
            any = true;
        } else {
            ++it;
        }
    }
    if (any && !foreignGrabActive())
        outcome.foreignGrab = false;
    return outcome;
}
