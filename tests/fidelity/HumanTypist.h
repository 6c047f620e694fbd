#pragma once

#include <QString>

#include <optional>
#include <random>
#include <vector>

struct _XDisplay;

// The user of the typing tests: a person at the keyboard, typing through XTest on a
// connection of its own (to Quenvil another client's input, like xdotool or an
// on-screen keyboard). Keys come 40–150 ms apart and are each held 20–120 ms, so one is
// often still down when the next goes down; Shift and AltGr are pressed around the keys
// that need them, on whatever layout is active.
class HumanTypist
{
  public:
    explicit HumanTypist(unsigned seed);
    ~HumanTypist();
    bool isOpen() const { return m_display != nullptr; }

    // Whether every character of `text` is on the active layout.
    bool canType(const QString& text);
    // Types `text`, returning once the last key is up. The key of character `longHold`
    // (an index into text) is held 100–140 ms whatever the draw says.
    bool type(const QString& text, std::optional<int> longHold = std::nullopt);

  private:
    struct Stroke
    {
        unsigned keycode = 0;
        bool shift = false;
        bool altGr = false;
    };
    std::optional<Stroke> strokeFor(char32_t codePoint);

    _XDisplay* m_display = nullptr;
    std::mt19937 m_random;
};
