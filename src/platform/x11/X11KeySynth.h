#pragma once

#include "platform/KeySynth.h"
#include "platform/x11/InjectorIdentity.h"
#include "platform/x11/X11Connection.h"

#include <QByteArray>

#include <chrono>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

class Sleeper;
struct xkb_context;

// Typing through XTEST on a connection of its own, used only from the thread that runs
// the jobs (the connection is opened by the first job, in that thread).
//
// Characters on the active layout are typed by their key code, with Shift when their
// level needs it. Any other character is bound for the job to one of the spare key
// codes (those the layout leaves empty) and typed there; the binding is kept for the
// rest of the job, and all bindings are undone once, when the job ends. Target
// programs look the symbol up when they get round to the event, not when it was sent:
// undo a binding too early and the character is lost, reuse a spare too early and a
// wrong one arrives. So the bindings are undone `restoreDelayMs` after the job's last
// key, and a spare is reused only `reuseDelayMs` after its own last key. 50 ms is what
// an idle target needs; the restore waits longer by default because a busy target
// (measured: one starved of processor time) falls further behind, and waiting there
// costs nothing but the start of a following job, whereas the reuse wait slows the
// typing itself.
//
// Spare key codes are taken from the top of the range down: automation tools bind
// the lowest empty key codes, and a few of those are left to them.
class X11KeySynth : public KeySynth
{
  public:
    struct Options
    {
        int restoreDelayMs = 150;
        int reuseDelayMs = 50;
        int sparesLeftToOthers = 4;
        int poolLimit = 0; // 0: every spare key code the layout leaves
    };

    X11KeySynth(QByteArray displayName, std::shared_ptr<InjectorIdentity> identity, Sleeper& sleeper,
                Options options);
    ~X11KeySynth() override;

    bool beginJob() override;
    bool pressKey(Key key) override;
    bool typeText(const QString& units) override;
    void endJob() override;

    int poolSize() const { return int(m_slots.size()); }

  private:
    using Clock = std::chrono::steady_clock;
    struct Stroke
    {
        quint8 keycode = 0;
        bool shift = false;
    };
    struct Slot
    {
        quint8 keycode = 0;
        quint32 keysym = 0;
        Clock::time_point lastUsed{};
    };

    bool connect();
    bool loadLayout();
    void releaseHeldModifiers();
    bool typeKeysym(quint32 keysym, char32_t codePoint);
    bool strike(const Stroke& stroke);
    std::optional<quint8> bindSpare(quint32 keysym);
    void waitUntil(Clock::time_point when);
    void restoreSpares();

    QByteArray m_displayName;
    std::shared_ptr<InjectorIdentity> m_identity;
    Sleeper& m_sleeper;
    Options m_options;
    std::unique_ptr<X11Connection> m_connection;
    xkb_context* m_context = nullptr;
    int m_xkbDevice = -1;

    std::unordered_map<char32_t, Stroke> m_characters;
    std::unordered_map<quint32, Stroke> m_keysyms;
    quint8 m_shiftKeycode = 0;
    std::vector<Slot> m_slots;
    std::unordered_map<quint32, size_t> m_bound; // keysym → slot, for this job
    size_t m_nextFresh = 0;
    Clock::time_point m_lastKey{};
    bool m_inJob = false;
    bool m_restoreCapsLock = false;
};
