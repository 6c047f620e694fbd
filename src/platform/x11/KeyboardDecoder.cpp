#include "platform/x11/KeyboardDecoder.h"

#include "platform/x11/KeySymbols.h"

#include <xkbcommon/xkbcommon-compose.h>
#include <xkbcommon/xkbcommon-keysyms.h>
#include <xkbcommon/xkbcommon.h>

#include <clocale>
#include <cstdlib>

namespace {

constexpr quint16 kShiftMask = 0x01;
constexpr quint16 kLockMask = 0x02;

const char* composeLocale()
{
    for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value)
            return value;
    }
    return "C";
}

} // namespace

KeyboardDecoder::KeyboardDecoder()
{
    m_context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    if (!m_context)
        return;
    xkb_context_set_log_verbosity(m_context, 0);
    m_composeTable =
        xkb_compose_table_new_from_locale(m_context, composeLocale(), XKB_COMPOSE_COMPILE_NO_FLAGS);
    if (!m_composeTable)
        m_composeTable = xkb_compose_table_new_from_locale(m_context, "C", XKB_COMPOSE_COMPILE_NO_FLAGS);
    if (m_composeTable)
        m_compose = xkb_compose_state_new(m_composeTable, XKB_COMPOSE_STATE_NO_FLAGS);
}

KeyboardDecoder::~KeyboardDecoder()
{
    xkb_compose_state_unref(m_compose);
    xkb_compose_table_unref(m_composeTable);
    xkb_state_unref(m_state);
    xkb_keymap_unref(m_keymap);
    xkb_context_unref(m_context);
}

void KeyboardDecoder::setKeymap(xkb_keymap* keymap, bool keepRebindings)
{
    if (!keymap)
        return;
    xkb_keymap_ref(keymap);
    xkb_state_unref(m_state);
    xkb_keymap_unref(m_keymap);
    m_keymap = keymap;
    m_state = xkb_state_new(m_keymap);
    if (!keepRebindings) {
        for (auto& symbols : m_override)
            symbols.clear();
        m_hasOverride.reset();
    }
    computeModifierTable();
}

bool KeyboardDecoder::setKeymapFromNames(const QByteArray& layout, const QByteArray& variant,
                                         const QByteArray& options)
{
    if (!m_context)
        return false;
    xkb_rule_names names{};
    names.rules = "evdev";
    names.model = "pc105";
    names.layout = layout.constData();
    names.variant = variant.constData();
    names.options = options.constData();
    xkb_keymap* keymap = xkb_keymap_new_from_names(m_context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (!keymap)
        return false;
    setKeymap(keymap);
    xkb_keymap_unref(keymap);
    return true;
}

// Which logical modifiers each of the eight core modifier bits stands for on this
// keymap. xkbcommon derives the virtual modifiers (Alt, Super, LevelThree, …) from the
// real bits, so asking a state with one bit set tells what that bit means.
void KeyboardDecoder::computeModifierTable()
{
    m_realModifier = {};
    m_realModifier[0] = Modifier::Shift;
    m_realModifier[1] = Modifier::CapsLock;
    m_realModifier[2] = Modifier::Control;
    xkb_state* probe = xkb_state_new(m_keymap);
    if (!probe)
        return;
    auto active = [&](const char* name) {
        return xkb_keymap_mod_get_index(m_keymap, name) != XKB_MOD_INVALID &&
               xkb_state_mod_name_is_active(probe, name, XKB_STATE_MODS_EFFECTIVE) > 0;
    };
    for (int bit = 3; bit < 8; ++bit) {
        xkb_state_update_mask(probe, 1u << bit, 0, 0, 0, 0, 0);
        Modifiers m;
        if (active("Alt"))
            m |= Modifier::Alt;
        else if (active("Meta") || active("Hyper"))
            m |= Modifier::Meta;
        if (active("Super"))
            m |= Modifier::Super;
        if (active("LevelThree") || active("LevelFive"))
            m |= Modifier::AltGr;
        if (active("NumLock"))
            m |= Modifier::NumLock;
        if (!m) {
            // A keymap without virtual modifier names: the customary assignment.
            switch (bit) {
            case 3:
                m = Modifier::Alt;
                break;
            case 4:
                m = Modifier::NumLock;
                break;
            case 6:
                m = Modifier::Super;
                break;
            case 7:
                m = Modifier::AltGr;
                break;
            default:
                break;
            }
        }
        m_realModifier[bit] = m;
    }
    xkb_state_unref(probe);
}

Modifiers KeyboardDecoder::modifiersFor(quint16 state) const
{
    Modifiers m;
    for (int bit = 0; bit < 8; ++bit) {
        if (state & (1u << bit))
            m |= m_realModifier[bit];
    }
    return m;
}

void KeyboardDecoder::applyCoreMapping(int first, int count, int perKeycode, const quint32* keysyms)
{
    if (perKeycode <= 0 || count <= 0)
        return;
    for (int i = 0; i < count; ++i) {
        const int keycode = first + i;
        if (keycode < 0 || keycode > 255)
            continue;
        m_override[keycode].assign(keysyms + i * perKeycode, keysyms + (i + 1) * perKeycode);
        m_hasOverride.set(keycode);
    }
}

// The core protocol's rule for picking a symbol from a key code's list: the group's
// pair (falling back to the first group), an absent second symbol being the upper case
// of the first, Shift choosing the second, Caps Lock upper-casing.
quint32 KeyboardDecoder::overrideKeysym(quint8 keycode, quint16 state) const
{
    const std::vector<quint32>& list = m_override[keycode];
    auto at = [&](size_t i) -> quint32 { return i < list.size() ? list[i] : 0; };
    const size_t group = (state >> 13) & 3;
    quint32 first = at(2 * group);
    quint32 second = at(2 * group + 1);
    if (first == 0 && second == 0) {
        first = at(0);
        second = at(1);
    }
    if (second == 0) {
        const quint32 upper = xkb_keysym_to_upper(first);
        second = upper != first ? upper : first;
        first = xkb_keysym_to_lower(first);
    }
    const bool shift = state & kShiftMask;
    const bool lock = state & kLockMask;
    quint32 chosen = shift ? second : first;
    if (lock)
        chosen = xkb_keysym_to_upper(chosen);
    return chosen;
}

std::optional<KeyDown> KeyboardDecoder::decode(const RecordedKey& event)
{
    if (!event.press || !m_state)
        return std::nullopt;

    KeyDown down;
    down.modifiers = modifiersFor(event.state);
    down.time = event.time;

    quint32 keysym = 0;
    char utf8[64];
    int length = 0;
    if (m_hasOverride.test(event.keycode)) {
        keysym = overrideKeysym(event.keycode, event.state);
        length = keysym ? xkb_keysym_to_utf8(keysym, utf8, sizeof utf8) - 1 : 0;
    } else {
        xkb_state_update_mask(m_state, event.state & 0xff, 0, 0, 0, 0, (event.state >> 13) & 3);
        keysym = xkb_state_key_get_one_sym(m_state, event.keycode);
        length = xkb_state_key_get_utf8(m_state, event.keycode, utf8, sizeof utf8);
    }
    if (keysym == XKB_KEY_NoSymbol || KeySymbols::isModifierKeysym(keysym))
        return std::nullopt;
    down.key = KeySymbols::keyFromKeysym(keysym);
    if (length > 0)
        down.text = QString::fromUtf8(utf8, qMin(length, int(sizeof utf8) - 1));

    if (m_compose && !down.isShortcut()) {
        if (xkb_compose_state_feed(m_compose, keysym) == XKB_COMPOSE_FEED_ACCEPTED) {
            switch (xkb_compose_state_get_status(m_compose)) {
            case XKB_COMPOSE_COMPOSING:
                down.text.clear();
                break;
            case XKB_COMPOSE_COMPOSED: {
                char composed[64];
                const int n = xkb_compose_state_get_utf8(m_compose, composed, sizeof composed);
                down.text = QString::fromUtf8(composed, qMin(n, int(sizeof composed) - 1));
                xkb_compose_state_reset(m_compose);
                break;
            }
            case XKB_COMPOSE_CANCELLED:
                down.text.clear();
                xkb_compose_state_reset(m_compose);
                break;
            case XKB_COMPOSE_NOTHING:
                break;
            }
        }
    }
    return down;
}

void KeyboardDecoder::resetTransientState()
{
    if (m_compose)
        xkb_compose_state_reset(m_compose);
}
