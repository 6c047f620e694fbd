#include "HumanTypist.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <chrono>
#include <thread>

HumanTypist::HumanTypist(unsigned seed) : m_display(XOpenDisplay(nullptr)), m_random(seed) {}

HumanTypist::~HumanTypist()
{
    if (m_display)
        XCloseDisplay(m_display);
}

std::optional<HumanTypist::Stroke> HumanTypist::strokeFor(char32_t codePoint)
{
    KeySym wanted = NoSymbol;
    if (codePoint == U' ')
        wanted = XK_space;
    else if (codePoint == U'\n')
        wanted = XK_Return;
    else if (codePoint < 0x100)
        wanted = KeySym(codePoint);
    else
        wanted = KeySym(0x01000000 | codePoint);
    // Cyrillic letters have legacy key symbols, which the Russian layout uses.
    const KeySym legacy = [&]() -> KeySym {
        static const char32_t cyr[] = U"абвгдежзийклмнопрстуфхцчшщъыьэюяё";
        static const KeySym sym[] = {XK_Cyrillic_a,  XK_Cyrillic_be,   XK_Cyrillic_ve,  XK_Cyrillic_ghe,
                                     XK_Cyrillic_de, XK_Cyrillic_ie,   XK_Cyrillic_zhe, XK_Cyrillic_ze,
                                     XK_Cyrillic_i,  XK_Cyrillic_shorti, XK_Cyrillic_ka, XK_Cyrillic_el,
                                     XK_Cyrillic_em, XK_Cyrillic_en,   XK_Cyrillic_o,   XK_Cyrillic_pe,
                                     XK_Cyrillic_er, XK_Cyrillic_es,   XK_Cyrillic_te,  XK_Cyrillic_u,
                                     XK_Cyrillic_ef, XK_Cyrillic_ha,   XK_Cyrillic_tse, XK_Cyrillic_che,
                                     XK_Cyrillic_sha, XK_Cyrillic_shcha, XK_Cyrillic_hardsign,
                                     XK_Cyrillic_yeru, XK_Cyrillic_softsign, XK_Cyrillic_e, XK_Cyrillic_yu,
                                     XK_Cyrillic_ya, XK_Cyrillic_io};
        for (int i = 0; cyr[i]; ++i)
            if (cyr[i] == codePoint)
                return sym[i];
        return NoSymbol;
    }();
    const unsigned altGrKey = XKeysymToKeycode(m_display, XK_ISO_Level3_Shift);
    int minCode = 0, maxCode = 0;
    XDisplayKeycodes(m_display, &minCode, &maxCode);
    for (int level = 0; level < 4; ++level) {
        if (level >= 2 && !altGrKey)
            break;
        for (int keycode = minCode; keycode <= maxCode; ++keycode) {
            const KeySym sym = XkbKeycodeToKeysym(m_display, KeyCode(keycode), 0, level);
            if (sym != NoSymbol && (sym == wanted || sym == legacy))
                return Stroke{unsigned(keycode), (level % 2) == 1, level >= 2};
        }
    }
    return std::nullopt;
}

bool HumanTypist::canType(const QString& text)
{
    if (!m_display)
        return false;
    for (char32_t c : text.toStdU32String())
        if (!strokeFor(c))
            return false;
    return true;
}

bool HumanTypist::type(const QString& text, std::optional<int> longHold)
{
    if (!m_display)
        return false;
    const unsigned shiftKey = XKeysymToKeycode(m_display, XK_Shift_L);
    const unsigned altGrKey = XKeysymToKeycode(m_display, XK_ISO_Level3_Shift);
    struct Event
    {
        double atMs;
        unsigned keycode;
        bool press;
    };
    std::vector<Event> events;
    std::uniform_real_distribution<double> gap(40, 150), hold(20, 120), longHeld(100, 140);
    const std::u32string chars = text.toStdU32String();
    std::vector<Stroke> strokes;
    for (char32_t c : chars) {
        const auto s = strokeFor(c);
        if (!s)
            return false;
        strokes.push_back(*s);
    }
    double at = 5;
    for (size_t i = 0; i < strokes.size(); ++i) {
        const Stroke& s = strokes[i];
        const double next = gap(m_random);
        double held = (longHold && size_t(*longHold) == i) ? longHeld(m_random) : hold(m_random);
        // A chord's modifiers must not reach into the neighbour's keys: a person rolls
        // over plain keys, not over Shift.
        const bool chord = s.shift || s.altGr;
        const bool nextChord = i + 1 < strokes.size() && (strokes[i + 1].shift || strokes[i + 1].altGr);
        if (chord || nextChord)
            held = std::min(held, next - 10);
        if (s.shift)
            events.push_back({at - 4, shiftKey, true});
        if (s.altGr)
            events.push_back({at - 3, altGrKey, true});
        events.push_back({at, s.keycode, true});
        events.push_back({at + held, s.keycode, false});
        if (s.altGr)
            events.push_back({at + held + 2, altGrKey, false});
        if (s.shift)
            events.push_back({at + held + 3, shiftKey, false});
        at += next;
    }
    std::stable_sort(events.begin(), events.end(), [](const Event& a, const Event& b) { return a.atMs < b.atMs; });
    const auto start = std::chrono::steady_clock::now();
    for (const Event& e : events) {
        std::this_thread::sleep_until(start + std::chrono::microseconds(qint64(e.atMs * 1000)));
        XTestFakeKeyEvent(m_display, e.keycode, e.press ? True : False, CurrentTime);
        XFlush(m_display);
    }
    XSync(m_display, False);
    return true;
}
