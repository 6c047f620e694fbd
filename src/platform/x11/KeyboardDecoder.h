#pragma once

#include "platform/KeyDown.h"

#include <QByteArray>

#include <array>
#include <bitset>
#include <optional>
#include <vector>

struct xkb_context;
struct xkb_keymap;
struct xkb_state;
struct xkb_compose_table;
struct xkb_compose_state;

// A key event as the server recorded it: press or release, the hardware key code, the
// core state field (modifier bits and, in bits 13–14, the layout group) as it was just
// before the event, and the server time.
struct RecordedKey
{
    bool press = true;
    quint8 keycode = 0;
    quint16 state = 0;
    quint32 time = 0;
};

// Turns recorded key events into key downs: key to text with the active keymap, using
// each event's own modifier and group bits (never the keyboard's state at decoding
// time, which has moved on), dead keys through the locale's compose table.
//
// Remapped key codes: automation tools type a character that is not on the layout by
// rebinding a spare key code for the moment of one press. The decoder is told of every
// such rebinding in stream order (applyCoreMapping) and decodes that key code with the
// recorded symbols from then on; asking the server later would give whatever the key
// code holds by the time we ask, which under fast input is already the next character.
//
// Pure over its inputs: no connection, so it can be tested and measured on its own.
class KeyboardDecoder
{
  public:
    KeyboardDecoder();
    ~KeyboardDecoder();

    KeyboardDecoder(const KeyboardDecoder&) = delete;
    KeyboardDecoder& operator=(const KeyboardDecoder&) = delete;

    xkb_context* context() const { return m_context; }
    // Takes its own reference. A new layout (keepRebindings false) also drops the
    // recorded rebindings; a keymap fetched again after a mapping change keeps them, since
    // for a key code that was ever rebound the recorded stream stays the authority: the
    // fetched keymap may already show a rebinding whose key presses are still on their
    // way through the stream.
    void setKeymap(xkb_keymap* keymap, bool keepRebindings = false);
    // A keymap compiled from rule names, for tests and benchmarks.
    bool setKeymapFromNames(const QByteArray& layout, const QByteArray& variant = {},
                            const QByteArray& options = {});
    bool hasKeymap() const { return m_keymap != nullptr; }

    // A core keyboard-mapping change as recorded: `count` key codes from `first`, each
    // with `perKeycode` symbols (0 = no symbol).
    void applyCoreMapping(int first, int count, int perKeycode, const quint32* keysyms);

    // The key down for a press; nothing for releases, modifier-only keys and key codes
    // that hold no symbol.
    std::optional<KeyDown> decode(const RecordedKey& event);

    // Forget held keys and a half-typed dead-key sequence (after a gap in the stream).
    void resetTransientState();

  private:
    quint32 overrideKeysym(quint8 keycode, quint16 state) const;
    Modifiers modifiersFor(quint16 state) const;
    void computeModifierTable();

    xkb_context* m_context = nullptr;
    xkb_keymap* m_keymap = nullptr;
    xkb_state* m_state = nullptr;
    xkb_compose_table* m_composeTable = nullptr;
    xkb_compose_state* m_compose = nullptr;
    std::array<Modifiers, 8> m_realModifier{};
    std::array<std::vector<quint32>, 256> m_override;
    std::bitset<256> m_hasOverride;
};
