#include "platform/x11/X11KeySynth.h"

#include "platform/Sleeper.h"
#include "platform/x11/KeySymbols.h"

#include <X11/XKBlib.h>
#include <X11/Xlib-xcb.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <xkbcommon/xkbcommon-keysyms.h>
#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>

namespace {

bool isKeypadKeysym(quint32 keysym)
{
    return keysym >= XKB_KEY_KP_Space && keysym <= XKB_KEY_KP_Equal;
}

} // namespace

X11KeySynth::X11KeySynth(QByteArray displayName, std::shared_ptr<InjectorIdentity> identity, Sleeper& sleeper,
                         Options options)
    : m_displayName(std::move(displayName)), m_identity(std::move(identity)), m_sleeper(sleeper),
      m_options(options)
{
    m_context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    if (m_context)
        xkb_context_set_log_verbosity(m_context, 0);
}

X11KeySynth::~X11KeySynth()
{
    if (m_inJob)
        endJob();
    m_connection.reset();
    xkb_context_unref(m_context);
}

bool X11KeySynth::connect()
{
    if (m_connection && !m_connection->isLost())
        return true;
    m_connection.reset();
    if (m_identity)
        m_identity->setIdBase(0);
    auto connection = X11Connection::open(m_displayName);
    if (!connection || !m_context)
        return false;
    int event = 0, error = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(connection->display(), &event, &error, &major, &minor))
        return false;
    xcb_connection_t* xcb = XGetXCBConnection(connection->display());
    if (!xkb_x11_setup_xkb_extension(xcb, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
                                     XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, nullptr,
                                     nullptr))
        return false;
    int xkbOpcode = 0, xkbEvent = 0, xkbError = 0, xkbMajor = XkbMajorVersion, xkbMinor = XkbMinorVersion;
    if (!XkbQueryExtension(connection->display(), &xkbOpcode, &xkbEvent, &xkbError, &xkbMajor, &xkbMinor))
        return false;
    m_xkbDevice = xkb_x11_get_core_keyboard_device_id(xcb);
    // Published before the first FakeInput: the monitor must know these events are ours.
    if (m_identity)
        m_identity->setIdBase(connection->idBase());
    m_connection = std::move(connection);
    return true;
}

bool X11KeySynth::beginJob()
{
    if (m_inJob)
        endJob();
    if (!connect() || !loadLayout())
        return false;
    Display* display = m_connection->display();
    releaseHeldModifiers();

    // Caps Lock (and a locked Shift or Control) would change what every key types.
    XkbStateRec state;
    m_restoreCapsLock = false;
    if (XkbGetState(display, XkbUseCoreKbd, &state) == Success) {
        const unsigned locked = state.locked_mods & (LockMask | ShiftMask | ControlMask);
        if (locked) {
            m_restoreCapsLock = state.locked_mods & LockMask;
            XkbLockModifiers(display, XkbUseCoreKbd, locked, 0);
        }
        if (state.latched_mods)
            XkbLatchModifiers(display, XkbUseCoreKbd, state.latched_mods, 0);
    }
    XSync(display, False);
    m_bound.clear();
    m_nextFresh = 0;
    m_inJob = !m_connection->isLost();
    return m_inJob;
}

// The layout as it is now, in the group that is active now: which key code and level
// types each character, and which key codes are empty.
bool X11KeySynth::loadLayout()
{
    Display* display = m_connection->display();
    xkb_keymap* keymap = xkb_x11_keymap_new_from_device(m_context, XGetXCBConnection(display), m_xkbDevice,
                                                        XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (!keymap)
        return false;
    XkbStateRec state{};
    XkbGetState(display, XkbUseCoreKbd, &state);
    const xkb_layout_index_t group = state.group;

    m_characters.clear();
    m_keysyms.clear();
    m_shiftKeycode = 0;
    const xkb_keycode_t minKey = xkb_keymap_min_keycode(keymap);
    const xkb_keycode_t maxKey = std::min<xkb_keycode_t>(xkb_keymap_max_keycode(keymap), 255);
    for (xkb_keycode_t keycode = minKey; keycode <= maxKey; ++keycode) {
        const xkb_layout_index_t layouts = xkb_keymap_num_layouts_for_key(keymap, keycode);
        if (layouts == 0)
            continue;
        const xkb_layout_index_t layout = group < layouts ? group : 0;
        const xkb_level_index_t levels = xkb_keymap_num_levels_for_key(keymap, keycode, layout);
        for (xkb_level_index_t level = 0; level < levels; ++level) {
            const xkb_keysym_t* symbols = nullptr;
            if (xkb_keymap_key_get_syms_by_level(keymap, keycode, layout, level, &symbols) != 1)
                continue;
            const xkb_keysym_t keysym = symbols[0];
            xkb_mod_mask_t masks[8];
            const size_t maskCount =
                xkb_keymap_key_get_mods_for_level(keymap, keycode, layout, level, masks, 8);
            // Only levels reached with nothing or with Shift alone; AltGr levels and the
            // keypad (whose meaning follows Num Lock) go through a spare key code.
            std::optional<bool> shift;
            for (size_t i = 0; i < maskCount; ++i) {
                if (masks[i] == 0)
                    shift = false;
                else if (masks[i] == ShiftMask && !shift)
                    shift = true;
            }
            if (level == 0 && maskCount == 0)
                shift = false;
            if (!shift || isKeypadKeysym(keysym))
                continue;
            const Stroke stroke{quint8(keycode), *shift};
            auto keep = [&](auto& table, auto key) {
                const auto it = table.find(key);
                if (it == table.end() || (it->second.shift && !stroke.shift))
                    table[key] = stroke;
            };
            keep(m_keysyms, quint32(keysym));
            const char32_t codePoint = xkb_keysym_to_utf32(keysym);
            if (codePoint >= 0x20 && codePoint != 0x7f)
                keep(m_characters, codePoint);
            if (keysym == XKB_KEY_Shift_L && !*shift && !m_shiftKeycode)
                m_shiftKeycode = quint8(keycode);
        }
    }
    xkb_keymap_unref(keymap);

    // Spare key codes: empty in the core mapping, which is what a binding changes.
    int minCode = 0, maxCode = 0;
    XDisplayKeycodes(display, &minCode, &maxCode);
    int perKeycode = 0;
    KeySym* mapping = XGetKeyboardMapping(display, KeyCode(minCode), maxCode - minCode + 1, &perKeycode);
    std::vector<quint8> empty;
    if (mapping) {
        for (int keycode = maxCode; keycode >= minCode; --keycode) {
            const KeySym* row = mapping + (keycode - minCode) * perKeycode;
            if (std::all_of(row, row + perKeycode, [](KeySym s) { return s == NoSymbol; }))
                empty.push_back(quint8(keycode));
        }
        XFree(mapping);
    }
    const size_t leave = std::min<size_t>(empty.size(), size_t(std::max(0, m_options.sparesLeftToOthers)));
    empty.resize(empty.size() - leave);
    if (m_options.poolLimit > 0 && empty.size() > size_t(m_options.poolLimit))
        empty.resize(size_t(m_options.poolLimit));
    m_slots.clear();
    for (quint8 keycode : empty)
        m_slots.push_back(Slot{keycode, 0, {}});
    return !m_characters.empty();
}

// Modifiers the user still holds would turn the typed text into shortcuts or capitals.
void X11KeySynth::releaseHeldModifiers()
{
    Display* display = m_connection->display();
    char keys[32];
    if (!XQueryKeymap(display, keys))
        return;
    int minCode = 0, maxCode = 0;
    XDisplayKeycodes(display, &minCode, &maxCode);
    for (int keycode = minCode; keycode <= maxCode; ++keycode) {
        if (!(keys[keycode / 8] & (1 << (keycode % 8))))
            continue;
        const KeySym keysym = XkbKeycodeToKeysym(display, KeyCode(keycode), 0, 0);
        if (KeySymbols::isModifierKeysym(quint32(keysym)) && keysym != XKB_KEY_Caps_Lock &&
            keysym != XKB_KEY_Num_Lock) {
            XTestFakeKeyEvent(display, unsigned(keycode), False, CurrentTime);
            XFlush(display);
        }
    }
}

bool X11KeySynth::pressKey(Key key)
{
    if (!m_inJob)
        return false;
    const quint32 keysym = KeySymbols::keysymForKey(key);
    if (!keysym)
        return false;
    return typeKeysym(keysym, 0);
}

bool X11KeySynth::typeText(const QString& units)
{
    if (!m_inJob)
        return false;
    bool ok = true;
    for (qsizetype i = 0; i < units.size(); ++i) {
        char32_t codePoint = units.at(i).unicode();
        if (QChar::isHighSurrogate(codePoint)) {
            if (i + 1 >= units.size() || !units.at(i + 1).isLowSurrogate())
                continue;
            codePoint = QChar::surrogateToUcs4(units.at(i), units.at(i + 1));
            ++i;
        } else if (QChar::isLowSurrogate(codePoint)) {
            continue;
        }
        quint32 keysym = 0;
        switch (codePoint) {
        case U'\r':
        case U'\n':
            keysym = XKB_KEY_Return;
            break;
        case U'\t':
            keysym = XKB_KEY_Tab;
            break;
        case U'\b':
            keysym = XKB_KEY_BackSpace;
            break;
        default:
            if (codePoint < 0x20 || codePoint == 0x7f)
                continue;
            break;
        }
        ok = (keysym ? typeKeysym(keysym, 0) : typeKeysym(0, codePoint)) && ok;
        if (m_connection->isLost())
            return false;
    }
    return ok;
}

bool X11KeySynth::typeKeysym(quint32 keysym, char32_t codePoint)
{
    if (codePoint) {
        const auto it = m_characters.find(codePoint);
        if (it != m_characters.end())
            return strike(it->second);
        keysym = KeySymbols::keysymForCodePoint(codePoint);
    } else {
        const auto it = m_keysyms.find(keysym);
        if (it != m_keysyms.end())
            return strike(it->second);
    }
    if (!keysym)
        return false;
    const std::optional<quint8> spare = bindSpare(keysym);
    if (!spare)
        return false;
    const bool ok = strike(Stroke{*spare, false});
    m_slots[m_bound[keysym]].lastUsed = m_lastKey;
    return ok;
}

bool X11KeySynth::strike(const Stroke& stroke)
{
    Display* display = m_connection->display();
    const bool shift = stroke.shift && m_shiftKeycode;
    if (stroke.shift && !shift)
        return false;
    auto send = [&](unsigned keycode, bool press) {
        XTestFakeKeyEvent(display, keycode, press ? True : False, CurrentTime);
        XFlush(display);
    };
    if (shift)
        send(m_shiftKeycode, true);
    send(stroke.keycode, true);
    send(stroke.keycode, false);
    if (shift)
        send(m_shiftKeycode, false);
    m_lastKey = Clock::now();
    return !m_connection->isLost();
}

std::optional<quint8> X11KeySynth::bindSpare(quint32 keysym)
{
    const auto bound = m_bound.find(keysym);
    if (bound != m_bound.end())
        return m_slots[bound->second].keycode;
    if (m_slots.empty())
        return std::nullopt;
    size_t index = 0;
    if (m_nextFresh < m_slots.size()) {
        index = m_nextFresh++;
    } else {
        // Every spare holds a character of this job: take the one idle longest, once the
        // target has surely looked its last key up.
        index =
            size_t(std::min_element(m_slots.begin(), m_slots.end(),
                                    [](const Slot& a, const Slot& b) { return a.lastUsed < b.lastUsed; }) -
                   m_slots.begin());
        waitUntil(m_slots[index].lastUsed + std::chrono::milliseconds(std::max(50, m_options.reuseDelayMs)));
        m_bound.erase(m_slots[index].keysym);
    }
    Slot& slot = m_slots[index];
    Display* display = m_connection->display();
    // Both levels, so a Shift the user presses meanwhile changes nothing.
    KeySym symbols[2] = {KeySym(keysym), KeySym(keysym)};
    XChangeKeyboardMapping(display, slot.keycode, 2, symbols, 1);
    XSync(display, False);
    slot.keysym = keysym;
    m_bound[keysym] = index;
    return slot.keycode;
}

void X11KeySynth::waitUntil(Clock::time_point when)
{
    const auto now = Clock::now();
    if (when > now)
        m_sleeper.sleepMicroseconds(
            long(std::chrono::duration_cast<std::chrono::microseconds>(when - now).count()) + 1);
}

void X11KeySynth::restoreSpares()
{
    if (m_nextFresh == 0)
        return;
    waitUntil(m_lastKey + std::chrono::milliseconds(std::max(50, m_options.restoreDelayMs)));
    Display* display = m_connection->display();
    KeySym none[2] = {NoSymbol, NoSymbol};
    for (size_t i = 0; i < m_nextFresh && i < m_slots.size(); ++i) {
        XChangeKeyboardMapping(display, m_slots[i].keycode, 2, none, 1);
        m_slots[i].keysym = 0;
    }
    m_bound.clear();
    m_nextFresh = 0;
    XSync(display, False);
}

void X11KeySynth::endJob()
{
    if (!m_inJob)
        return;
    m_inJob = false;
    if (!m_connection || m_connection->isLost())
        return;
    restoreSpares();
    if (m_restoreCapsLock) {
        XkbLockModifiers(m_connection->display(), XkbUseCoreKbd, LockMask, LockMask);
        m_restoreCapsLock = false;
    }
    XSync(m_connection->display(), False);
}
