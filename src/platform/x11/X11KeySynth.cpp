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
#include <utility>

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
    settle();
    m_connection.reset();
    xkb_context_unref(m_context);
}

bool X11KeySynth::connect()
{
    if (m_connection && !m_connection->isLost())
        return true;
    m_connection.reset();
    m_layoutLoaded = false;
    m_serverGrabbed = false;
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
    m_xkbEventBase = xkbEvent;
    // Layout changes arrive as events, so a job reads the layout again only after one.
    XkbSelectEvents(connection->display(), XkbUseCoreKbd, XkbNewKeyboardNotifyMask | XkbMapNotifyMask,
                    XkbNewKeyboardNotifyMask | XkbMapNotifyMask);
    // Published before the first FakeInput: the monitor must know these events are ours.
    // A monitor that does not answer (its thread stalled) gets no typing from us: it would
    // take our text for the user's, and expand or learn from it.
    if (m_identity && !m_identity->publish(connection->idBase(), std::chrono::seconds(2)))
        return false;
    m_connection = std::move(connection);
    return true;
}

bool X11KeySynth::beginJob(const QString& jobText)
{
    if (m_inJob)
        endJob();
    if (!connect())
        return false;
    if ((!m_layoutLoaded || layoutChanged()) && !loadLayout())
        return false;
    Display* display = m_connection->display();
    // One look at the keyboard; a second only when modifiers had to be released.
    XkbStateRec state{};
    readJobState(state);
    if (releaseHeldModifiers())
        readJobState(state);
    if (int(state.group) != m_layoutGroup && !loadLayout())
        return false;

    // Caps Lock (and a locked Shift or Control) would change what every key types.
    m_restoreCapsLock = false;
    const unsigned locked = state.locked_mods & (LockMask | ShiftMask | ControlMask);
    if (locked) {
        m_restoreCapsLock = state.locked_mods & LockMask;
        XkbLockModifiers(display, XkbUseCoreKbd, locked, 0);
    }
    if (state.latched_mods)
        XkbLatchModifiers(display, XkbUseCoreKbd, state.latched_mods, 0);
    m_jobMappingChanges = 0;
    m_jobRebindsInText = 0;
    m_inJob = !m_connection->isLost();
    if (m_inJob) {
        grabServer();
        bindUpFront(jobText);
        m_mappingUnread = m_jobMappingChanges > 0;
    }
    return m_inJob && !m_connection->isLost();
}

// Whether the layout changed since it was read: another client's mapping change, a new
// keyboard (setxkbmap). Our own bindings of spare key codes are no change.
bool X11KeySynth::layoutChanged()
{
    Display* display = m_connection->display();
    bool changed = false;
    auto foreign = [this](int first, int count) {
        if (count <= 0)
            return false;
        for (const auto& [low, high] : m_ownRanges) {
            if (first >= low && first + count - 1 <= high)
                return false;
        }
        for (int k = first; k < first + count; ++k) {
            if (std::find(m_spares.begin(), m_spares.end(), quint8(k)) == m_spares.end())
                return true;
        }
        return false;
    };
    while (XPending(display)) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == MappingNotify) {
            if (event.xmapping.request != MappingKeyboard ||
                foreign(event.xmapping.first_keycode, event.xmapping.count))
                changed = true;
        } else if (event.type == m_xkbEventBase) {
            const auto* any = reinterpret_cast<const XkbAnyEvent*>(&event);
            if (any->xkb_type == XkbNewKeyboardNotify) {
                changed = true;
            } else if (any->xkb_type == XkbMapNotify) {
                const auto* map = reinterpret_cast<const XkbMapNotifyEvent*>(&event);
                if (foreign(map->first_key_sym, map->num_key_syms) ||
                    foreign(map->first_key_act, map->num_key_acts) ||
                    foreign(map->first_key_behavior, map->num_key_behaviors) ||
                    foreign(map->first_key_explicit, map->num_key_explicit) ||
                    foreign(map->first_modmap_key, map->num_modmap_keys) ||
                    foreign(map->first_vmodmap_key, map->num_vmodmap_keys))
                    changed = true;
            }
        }
    }
    // What our earlier writes caused has arrived by now; later ones add their own ranges.
    m_ownRanges.clear();
    return changed;
}

// The layout as it is now, in the group that is active now: which key code and level
// types each character, and which key codes are empty.
bool X11KeySynth::loadLayout()
{
    Display* display = m_connection->display();
    // Change events up to here are described by the layout about to be read.
    while (XPending(display)) {
        XEvent event;
        XNextEvent(display, &event);
    }
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
    xkb_layout_index_t maxLayouts = 0; // of the layout's own keys, not our spares
    const xkb_keycode_t minKey = xkb_keymap_min_keycode(keymap);
    const xkb_keycode_t maxKey = std::min<xkb_keycode_t>(xkb_keymap_max_keycode(keymap), 255);
    for (xkb_keycode_t keycode = minKey; keycode <= maxKey; ++keycode) {
        const xkb_layout_index_t layouts = xkb_keymap_num_layouts_for_key(keymap, keycode);
        if (layouts == 0)
            continue;
        if (!m_extraKeys.count(quint8(keycode)))
            maxLayouts = std::max(maxLayouts, layouts);
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
    m_singleGroup = maxLayouts == 1;
    xkb_keymap_unref(keymap);

    // Spares with extra groups no longer look like ours to the check below: given back
    // first (after the wait a restore needs), their first group stays in the slots.
    if (!m_extraKeys.empty()) {
        waitUntil(m_lastKey + restoreDelay());
        dropExtras();
        writeRows(std::vector<quint8>(m_touched.begin(), m_touched.end()));
    }

    // Spare key codes: empty in the core mapping, which is what a binding changes.
    int minCode = 0, maxCode = 0;
    XDisplayKeycodes(display, &minCode, &maxCode);
    int perKeycode = 0;
    KeySym* mapping = XGetKeyboardMapping(display, KeyCode(minCode), maxCode - minCode + 1, &perKeycode);
    std::vector<quint8> empty;
    std::vector<quint8> ours; // key codes still bound exactly as we bound them
    if (mapping) {
        for (int keycode = maxCode; keycode >= minCode; --keycode) {
            const KeySym* row = mapping + (keycode - minCode) * perKeycode;
            if (std::all_of(row, row + perKeycode, [](KeySym s) { return s == NoSymbol; })) {
                empty.push_back(quint8(keycode));
            } else if (m_touched.count(quint8(keycode)) && perKeycode >= 2) {
                const std::vector<quint32> mine = rowOf(quint8(keycode));
                if (row[0] == mine[0] && row[1] == mine[1] &&
                    std::all_of(row + 2, row + perKeycode, [](KeySym s) { return s == NoSymbol; }))
                    ours.push_back(quint8(keycode));
            }
        }
        XFree(mapping);
    }
    const size_t leave = std::min<size_t>(empty.size(), size_t(std::max(0, m_options.sparesLeftToOthers)));
    empty.resize(empty.size() - leave);
    empty.insert(empty.end(), ours.begin(), ours.end());
    std::sort(empty.begin(), empty.end(), std::greater<quint8>());
    if (m_options.poolLimit > 0 && empty.size() > size_t(m_options.poolLimit))
        empty.resize(size_t(m_options.poolLimit));
    m_spares = std::move(empty);
    // Bindings survive where the key code is still ours; the rest are gone with the
    // mapping they were part of.
    std::vector<Slot> kept;
    for (int level = 0; level < 2; ++level) {
        for (quint8 keycode : m_spares) {
            Slot slot{keycode, quint8(level), 0, {}};
            if (std::find(ours.begin(), ours.end(), keycode) != ours.end()) {
                for (const Slot& old : m_slots)
                    if (old.keycode == keycode && old.level == quint8(level))
                        slot = old;
            }
            kept.push_back(slot);
        }
    }
    m_slots = std::move(kept);
    m_bound.clear();
    m_touched.clear();
    for (size_t i = 0; i < m_slots.size(); ++i) {
        if (m_slots[i].keysym) {
            m_bound[m_slots[i].keysym] = i;
            m_touched.insert(m_slots[i].keycode);
        }
    }
    m_layoutGroup = int(group);
    m_levelModifiers = 0;
    m_layoutLoaded = !m_characters.empty();
    return m_layoutLoaded;
}

// Modifiers the user still holds would turn the typed text into shortcuts or capitals.
// Those held through XTEST (another program typing for the user) can be released here;
// those of a real keyboard cannot, and stay in force for the job. True when something
// was released.
bool X11KeySynth::releaseHeldModifiers()
{
    Display* display = m_connection->display();
    bool released = false;
    for (quint8 keycode : m_held) {
        const KeySym keysym = XkbKeycodeToKeysym(display, KeyCode(keycode), 0, 0);
        if (KeySymbols::isModifierKeysym(quint32(keysym)) && keysym != XKB_KEY_Caps_Lock &&
            keysym != XKB_KEY_Num_Lock) {
            XTestFakeKeyEvent(display, unsigned(keycode), False, CurrentTime);
            released = true;
        }
    }
    return released;
}

// The keys down now, the keyboard state, and whether a modifier that picks a key's level
// (Shift, AltGr, Level 5) is held.
void X11KeySynth::readJobState(XkbStateRec& state)
{
    Display* display = m_connection->display();
    m_held.clear();
    m_lockedGroup = 0;
    char keys[32];
    if (XQueryKeymap(display, keys)) {
        for (int keycode = 8; keycode < 256; ++keycode) {
            if (keys[keycode / 8] & (1 << (keycode % 8)))
                m_held.insert(quint8(keycode));
        }
    }
    m_modifiersStuck = false;
    if (XkbGetState(display, XkbUseCoreKbd, &state) == Success) {
        if (!m_levelModifiers)
            m_levelModifiers = ShiftMask | XkbKeysymToModifiers(display, XKB_KEY_ISO_Level3_Shift) |
                               XkbKeysymToModifiers(display, XKB_KEY_ISO_Level5_Shift);
        m_modifiersStuck = (state.base_mods & m_levelModifiers) != 0;
        m_lockedGroup = state.locked_group;
    }
}

// The stroke that types a symbol on the layout, when the layout has one and the user's
// hands leave it usable.
std::optional<X11KeySynth::Stroke> X11KeySynth::layoutStroke(quint32 keysym, char32_t codePoint) const
{
    if (m_modifiersStuck)
        return std::nullopt;
    std::optional<Stroke> stroke;
    if (codePoint) {
        const auto it = m_characters.find(codePoint);
        if (it != m_characters.end())
            stroke = it->second;
    } else {
        const auto it = m_keysyms.find(keysym);
        if (it != m_keysyms.end())
            stroke = it->second;
    }
    if (!stroke || m_held.count(stroke->keycode) || (stroke->shift && !m_shiftKeycode))
        return std::nullopt;
    return stroke;
}

namespace {

// What typeText() types for one code point: a key symbol for the control characters it
// presses keys for, else the code point itself; nothing for other control characters.
std::pair<quint32, char32_t> symbolFor(char32_t codePoint)
{
    switch (codePoint) {
    case U'\r':
    case U'\n':
        return {XKB_KEY_Return, 0};
    case U'\t':
        return {XKB_KEY_Tab, 0};
    case U'\b':
        return {XKB_KEY_BackSpace, 0};
    default:
        if (codePoint < 0x20 || codePoint == 0x7f)
            return {0, 0};
        return {0, codePoint};
    }
}

template<typename F> void forEachCodePoint(const QString& units, F&& f)
{
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
        if (!f(codePoint))
            return;
    }
}

} // namespace

// Binds every character of the job that needs a spare key code before the first key, in
// one mapping change per run of adjacent spare key codes: a target then reads the new
// mapping once, and no mapping change falls between two keys of the text. Characters
// bound by earlier jobs are typed where they are; those this job does not need give their
// slots up here, once the target is surely done with their last key, rather than half
// way through the text (Tk, for one, then goes on typing the old character).
void X11KeySynth::bindUpFront(const QString& jobText)
{
    std::vector<quint32> needed;
    std::unordered_set<quint32> seen;
    forEachCodePoint(jobText, [&](char32_t codePoint) {
        auto [keysym, character] = symbolFor(codePoint);
        if (!keysym && !character)
            return true;
        if (layoutStroke(keysym, character))
            return true;
        if (character)
            keysym = KeySymbols::keysymForCodePoint(character);
        if (keysym && seen.insert(keysym).second)
            needed.push_back(keysym);
        return true;
    });
    std::vector<quint8> rows;
    for (quint32 keysym : needed) {
        if (m_bound.count(keysym))
            continue;
        // Free slots first; then those of earlier jobs' characters that this job does not
        // type, idle longest first. One still in use by the target waits for bindSpare().
        std::optional<size_t> slot = freeSlot();
        if (!slot)
            slot = idleSlot(seen);
        if (!slot)
            break;
        if (const quint32 old = m_slots[*slot].keysym) {
            const auto it = m_bound.find(old);
            if (it != m_bound.end() && it->second == *slot)
                m_bound.erase(it);
        }
        m_slots[*slot].keysym = keysym;
        m_slots[*slot].lastUsed = {};
        m_bound[keysym] = *slot;
        if (std::find(rows.begin(), rows.end(), m_slots[*slot].keycode) == rows.end())
            rows.push_back(m_slots[*slot].keycode);
    }
    // No round trip: the server takes the mapping change before the keys that follow it
    // on this connection.
    if (!rows.empty())
        m_jobMappingChanges = writeRows(rows);
    std::vector<quint32> rest;
    for (quint32 keysym : needed) {
        if (!m_bound.count(keysym) && !m_extraBound.count(keysym))
            rest.push_back(keysym);
    }
    if (!rest.empty() && bindExtra(rest))
        ++m_jobMappingChanges;
}

// More characters than the spares' two levels hold, on a layout of one group (Russian,
// say, where ASCII text needs some 70): the spares get up to three more groups, and their
// characters are typed with the group locked to theirs for that one stroke. Only on a
// layout of one group: the user's own keys, typed while a group is locked, then still
// type what they always do (a key of one group ignores the group), where a layout of two
// would switch the user's keys too. Only fresh slots: what an earlier job left there
// stays until the bindings are given back. False when nothing was bound.
bool X11KeySynth::bindExtra(const std::vector<quint32>& keysyms)
{
    if (!m_singleGroup || m_modifiersStuck || m_spares.empty())
        return false;
    const bool shiftLevel = m_shiftKeycode && !m_held.count(m_shiftKeycode);
    if (m_extra.empty()) {
        for (quint8 group = 1; group < 4; ++group)
            for (quint8 level = 0; level < (shiftLevel ? 2 : 1); ++level)
                for (quint8 keycode : m_spares)
                    m_extra.push_back(ExtraSlot{keycode, group, level, 0});
    }
    std::vector<quint8> rows;
    size_t next = 0;
    for (quint32 keysym : keysyms) {
        while (next < m_extra.size() &&
               (m_extra[next].keysym || (m_extra[next].level == 1 && !shiftLevel)))
            ++next;
        if (next >= m_extra.size())
            break;
        m_extra[next].keysym = keysym;
        m_extraBound[keysym] = next;
        if (std::find(rows.begin(), rows.end(), m_extra[next].keycode) == rows.end())
            rows.push_back(m_extra[next].keycode);
    }
    return !rows.empty() && writeExtraRows(rows, false);
}

// The spares' rows through XKB, which alone can give a key more than one group of plain
// two-level type (the core request would leave the keyboard counting four groups after
// the restore) and give back exactly the shape the key had.
bool X11KeySynth::writeExtraRows(const std::vector<quint8>& keycodes, bool restore)
{
    Display* display = m_connection->display();
    XkbDescPtr xkb = XkbGetMap(display, XkbAllClientInfoMask | XkbAllServerInfoMask, XkbUseCoreKbd);
    if (!xkb)
        return false;
    XkbMapChangesRec changes{};
    int low = 255, high = 0;
    bool ok = true;
    for (quint8 keycode : keycodes) {
        // Given back as one empty group, which the core rows written next make plain again.
        const int groups = restore ? 1 : 4;
        int types[XkbNumKbdGroups] = {XkbTwoLevelIndex, XkbTwoLevelIndex, XkbTwoLevelIndex, XkbTwoLevelIndex};
        if (XkbChangeTypesOfKey(xkb, keycode, groups, (1u << groups) - 1, types, &changes) != Success) {
            ok = false;
            continue;
        }
        KeySym* symbols = XkbResizeKeySyms(xkb, keycode, groups * 2);
        if (!symbols) {
            ok = false;
            continue;
        }
        std::fill(symbols, symbols + groups * 2, NoSymbol);
        low = std::min<int>(low, keycode);
        high = std::max<int>(high, keycode);
        if (restore)
            continue;
        m_extraKeys.insert(keycode);
        const std::vector<quint32> first = rowOf(keycode);
        symbols[0] = first[0];
        symbols[1] = first[1];
        for (const ExtraSlot& slot : m_extra) {
            if (slot.keycode == keycode && slot.keysym)
                symbols[slot.group * 2 + slot.level] = slot.keysym;
        }
        // One character on a group: both its levels carry it.
        for (int g = 1; g < 4; ++g) {
            if (!symbols[g * 2 + 1])
                symbols[g * 2 + 1] = symbols[g * 2];
        }
        m_touched.insert(keycode);
    }
    if (low <= high) {
        changes.changed |= XkbKeySymsMask;
        changes.first_key_sym = KeyCode(low);
        changes.num_key_syms = high - low + 1;
        ok = XkbChangeMap(display, xkb, &changes) && ok;
        m_ownRanges.emplace_back(low, high);
    }
    XkbFreeKeyboard(xkb, 0, True);
    return ok;
}

// A slot no character holds. A spare's two levels are filled together (when Shift is ours
// to press), so a job's characters take half as many key codes and targets get half as
// many mapping changes, each of which some of them answer by reading the whole keymap
// again. Giving a spare a second character leaves its first where it was, which is safe
// however far behind the target is.
std::optional<size_t> X11KeySynth::freeSlot() const
{
    const bool shiftLevel = !m_modifiersStuck && m_shiftKeycode && !m_held.count(m_shiftKeycode);
    const size_t half = m_slots.size() / 2; // level 0 of each spare, then level 1 in the same order
    if (shiftLevel) {
        // A spare that already carries one character first.
        for (size_t i = 0; i < half; ++i)
            if (m_slots[i].keysym && !m_slots[i + half].keysym)
                return i + half;
    }
    for (size_t i = 0; i < half; ++i) {
        if (!m_slots[i].keysym && (shiftLevel || !m_slots[i + half].keysym))
            return i;
    }
    return std::nullopt;
}

// The slot of an earlier character that `keep` does not hold, idle for longer than a target
// takes to look its last key up; the one idle longest.
std::optional<size_t> X11KeySynth::idleSlot(const std::unordered_set<quint32>& keep) const
{
    const auto settled = Clock::now() - restoreDelay();
    const bool shiftLevel = !m_modifiersStuck && m_shiftKeycode && !m_held.count(m_shiftKeycode);
    const size_t half = m_slots.size() / 2;
    std::optional<size_t> best;
    for (size_t i = 0; i < m_slots.size(); ++i) {
        const Slot& slot = m_slots[i];
        if (!slot.keysym || keep.count(slot.keysym) || slot.lastUsed > settled)
            continue;
        if (i >= half && !shiftLevel)
            continue;
        // Without the Shift level, a spare carries one character on both levels.
        if (i < half && !shiftLevel && m_slots[i + half].keysym)
            continue;
        if (!best || slot.lastUsed < m_slots[*best].lastUsed)
            best = i;
    }
    return best;
}

// The symbols of a spare key code as this job has bound it. With one character per
// spare, both levels carry it, so a Shift the user holds changes nothing.
std::vector<quint32> X11KeySynth::rowOf(quint8 keycode) const
{
    quint32 levels[2] = {0, 0};
    for (const Slot& slot : m_slots) {
        if (slot.keycode == keycode)
            levels[slot.level] = slot.keysym;
    }
    if (!levels[1])
        levels[1] = levels[0];
    if (!levels[0])
        levels[0] = levels[1];
    return {levels[0], levels[1]};
}

int X11KeySynth::writeRows(const std::vector<quint8>& keycodes)
{
    int changes = 0;
    // A spare with extra groups keeps them: the core request would take them away.
    std::vector<quint8> sorted, extra;
    for (quint8 keycode : keycodes)
        (m_extraKeys.count(keycode) ? extra : sorted).push_back(keycode);
    if (!extra.empty() && writeExtraRows(extra, false))
        ++changes;
    std::sort(sorted.begin(), sorted.end());
    Display* display = m_connection->display();
    for (size_t i = 0; i < sorted.size();) {
        size_t j = i + 1;
        while (j < sorted.size() && sorted[j] == sorted[j - 1] + 1)
            ++j;
        std::vector<KeySym> symbols;
        for (size_t k = i; k < j; ++k) {
            for (quint32 keysym : rowOf(sorted[k]))
                symbols.push_back(KeySym(keysym));
            m_touched.insert(sorted[k]);
        }
        XChangeKeyboardMapping(display, sorted[i], 2, symbols.data(), int(j - i));
        ++changes;
        i = j;
    }
    return changes;
}

// Gives the spares' extra groups back (the caller waited for the target), leaving their
// first group to the core rows written next.
void X11KeySynth::dropExtras()
{
    if (!m_extraKeys.empty()) {
        const std::vector<quint8> keys(m_extraKeys.begin(), m_extraKeys.end());
        writeExtraRows(keys, true);
        m_touched.insert(keys.begin(), keys.end());
    }
    m_extraKeys.clear();
    m_extra.clear();
    m_extraBound.clear();
}

bool X11KeySynth::pressKey(Key key)
{
    if (!m_inJob)
        return false;
    const quint32 keysym = KeySymbols::keysymForKey(key);
    if (!keysym)
        return false;
    const bool ok = typeKeysym(keysym, 0);
    flush();
    return ok && !m_connection->isLost();
}

bool X11KeySynth::typeText(const QString& units)
{
    if (!m_inJob)
        return false;
    if (m_mappingUnread)
        letTargetReadMapping();
    bool ok = true;
    forEachCodePoint(units, [&](char32_t codePoint) {
        const auto [keysym, character] = symbolFor(codePoint);
        if (!keysym && !character)
            return true;
        ok = typeKeysym(keysym, character) && ok;
        return !m_connection->isLost();
    });
    flush();
    return ok && !m_connection->isLost();
}

bool X11KeySynth::typeKeysym(quint32 keysym, char32_t codePoint)
{
    if (const std::optional<Stroke> stroke = layoutStroke(keysym, codePoint))
        return strike(*stroke);
    if (codePoint)
        keysym = KeySymbols::keysymForCodePoint(codePoint);
    if (!keysym)
        return false;
    if (const auto extra = m_extraBound.find(keysym); extra != m_extraBound.end() && !m_modifiersStuck) {
        const ExtraSlot& slot = m_extra[extra->second];
        return strike(Stroke{slot.keycode, slot.level == 1, slot.group});
    }
    const std::optional<Stroke> spare = bindSpare(keysym);
    if (!spare)
        return false;
    const bool ok = strike(*spare);
    m_slots[m_bound[keysym]].lastUsed = m_lastKey;
    return ok;
}

// Plain strokes are not flushed one by one: they go to the server in one write when the
// call ends, and the job's calls follow each other with no wait. A stroke with Shift is a
// write of its own: the Shift it holds is the whole keyboard's, and the server may move to
// another client in the middle of a long write (measured), so a key the user typed there
// would arrive in capitals. A write this short the server takes whole.
bool X11KeySynth::strike(const Stroke& stroke)
{
    Display* display = m_connection->display();
    const bool shift = stroke.shift && m_shiftKeycode;
    if (stroke.shift && !shift)
        return false;
    // A group is locked for this one stroke only. It needs no write of its own, unlike
    // Shift: extra groups exist only on a layout of one group, whose keys ignore the group,
    // so a user's key that the server takes in between still types what it always does.
    if (shift)
        XFlush(display);
    if (stroke.group)
        XkbLockGroup(display, XkbUseCoreKbd, stroke.group);
    if (shift)
        XTestFakeKeyEvent(display, m_shiftKeycode, True, CurrentTime);
    XTestFakeKeyEvent(display, stroke.keycode, True, CurrentTime);
    XTestFakeKeyEvent(display, stroke.keycode, False, CurrentTime);
    if (shift)
        XTestFakeKeyEvent(display, m_shiftKeycode, False, CurrentTime);
    if (stroke.group)
        XkbLockGroup(display, XkbUseCoreKbd, unsigned(m_lockedGroup));
    if (shift)
        XFlush(display);
    m_lastKey = Clock::now();
    return !m_connection->isLost();
}

void X11KeySynth::flush()
{
    if (m_connection && !m_connection->isLost())
        XFlush(m_connection->display());
}

std::optional<X11KeySynth::Stroke> X11KeySynth::bindSpare(quint32 keysym)
{
    auto strokeOf = [this](size_t i) -> std::optional<Stroke> {
        const Slot& slot = m_slots[i];
        // With a Shift the user holds on another device, the Shift level is out of reach.
        if (slot.level == 1 && (m_modifiersStuck || !m_shiftKeycode))
            return std::nullopt;
        if (slot.level == 0 && m_modifiersStuck && m_slots[i + m_slots.size() / 2].keysym)
            return std::nullopt;
        return Stroke{slot.keycode, slot.level == 1};
    };
    const auto bound = m_bound.find(keysym);
    if (bound != m_bound.end()) {
        if (const auto stroke = strokeOf(bound->second))
            return stroke;
        m_bound.erase(bound); // rebound below on a first level
    }
    std::optional<size_t> index = freeSlot();
    if (!index) {
        // Every usable slot holds a character: take the one idle longest, once the target
        // has surely looked its last key up (see restoreDelayMs).
        for (size_t i = 0; i < m_slots.size(); ++i) {
            if (!strokeOf(i))
                continue;
            if (!index || m_slots[i].lastUsed < m_slots[*index].lastUsed)
                index = i;
        }
        if (!index)
            return std::nullopt;
        // The target takes in the keys typed so far, and then the change, only with the
        // server let go.
        ungrabServer();
        waitUntil(m_slots[*index].lastUsed + restoreDelay());
        if (m_bound.count(m_slots[*index].keysym) && m_bound[m_slots[*index].keysym] == *index)
            m_bound.erase(m_slots[*index].keysym);
    }
    Slot& slot = m_slots[*index];
    slot.keysym = keysym;
    m_bound[keysym] = *index;
    writeRows({slot.keycode});
    ++m_jobRebindsInText;
    letTargetReadMapping();
    return strokeOf(*index);
}

void X11KeySynth::waitUntil(Clock::time_point when)
{
    const auto now = Clock::now();
    if (when > now)
        m_sleeper.sleepMicroseconds(
            long(std::chrono::duration_cast<std::chrono::microseconds>(when - now).count()) + 1);
}

void X11KeySynth::grabServer()
{
    if (!m_serverGrabbed) {
        XGrabServer(m_connection->display());
        m_serverGrabbed = true;
    }
}

void X11KeySynth::ungrabServer()
{
    if (m_serverGrabbed) {
        XUngrabServer(m_connection->display());
        m_serverGrabbed = false;
    }
    flush();
}

// The target reads the mapping change and fetches the new mapping, which it can only do
// with the server let go; the job then holds it again for its keys.
void X11KeySynth::letTargetReadMapping()
{
    m_mappingUnread = false;
    ungrabServer();
    m_sleeper.sleepMicroseconds(long(std::max(0, m_options.mappingWaitMs)) * 1000);
    grabServer();
}

void X11KeySynth::restoreSpares()
{
    if (m_touched.empty())
        return;
    flush();
    waitUntil(m_lastKey + restoreDelay());
    for (Slot& slot : m_slots)
        slot.keysym = 0;
    dropExtras();
    std::vector<quint8> rows(m_touched.begin(), m_touched.end());
    writeRows(rows);
    m_touched.clear();
    m_bound.clear();
    XSync(m_connection->display(), False);
}

// The bindings stay for the next job (no mapping change at all when it needs the same
// characters, and never a wait in front of it): settle() gives them back.
void X11KeySynth::endJob()
{
    if (!m_inJob)
        return;
    m_inJob = false;
    m_mappingUnread = false;
    if (!m_connection || m_connection->isLost())
        return;
    ungrabServer();
    if (m_restoreCapsLock) {
        XkbLockModifiers(m_connection->display(), XkbUseCoreKbd, LockMask, LockMask);
        m_restoreCapsLock = false;
    }
    XSync(m_connection->display(), False);
}

void X11KeySynth::settle()
{
    if (m_inJob)
        endJob();
    if (!m_connection || m_connection->isLost()) {
        m_touched.clear();
        m_bound.clear();
        return;
    }
    restoreSpares();
}
