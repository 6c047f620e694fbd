#pragma once

#include "platform/KeySynth.h"
#include "platform/x11/InjectorIdentity.h"
#include "platform/x11/X11Connection.h"

#include <QByteArray>

#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <vector>

class Sleeper;
struct xkb_context;

// Typing through XTEST on a connection of its own, used only from the thread that runs
// the jobs (the connection is opened by the first job, in that thread).
//
// Characters on the active layout are typed by their key code, with Shift when their
// level needs it. Any other character is typed on one of the spare key codes (those the
// layout leaves empty), bound to it for the job. A job's characters are bound all at
// once before its first key, in as few mapping changes as the spares' runs of adjacent
// key codes allow, so a target sees one mapping change per job and never one between
// two keys of the text; when a job needs more characters than there are spares, each
// spare carries two, the second on its Shift level. Only a job with more distinct
// characters than that rebinds a spare half way.
//
// Target programs look a key's symbol up when they get round to its event, not when it
// was sent (Xlib even when it merely read a later mapping change off the socket): undo
// or change a binding too early and the character is lost or swapped. So bindings stay
// after a job, for the next one, and are undone by settle(), which the injector calls
// once no job has come for `settleDelayMs` (a long time, since waiting costs nothing
// there); a slot is taken from another character only `restoreDelayMs` after its last key. A spare's Shift level can be given a second character
// at any time, since its first stays where it was.
//
// What the user's own hands do must not change the text. A key the user is still
// holding (the trigger's last key, say) cannot be pressed again: the server takes the
// second press of a key that is down as nothing new, and targets lose the character.
// Such a character goes through a spare key code too. A modifier the user holds on
// another input device (a real keyboard; XTEST only releases its own presses) stays in
// force for the whole job: then every character goes through a spare, whose levels all
// carry the same symbol, so Shift or AltGr changes nothing.
//
// Another client typing for the user (xdotool, an on-screen keyboard) must not land
// inside the expansion: a job holds the server for its keys, so only our requests run
// until its last one; the other client's keys follow the job, in their order. Targets
// still get the job's events as the server makes them; only their requests wait. A
// physical keyboard is not held back: the server takes device input between any two
// requests. A job that changed the mapping lets go for `mappingWaitMs` between its
// deletions and its text: Tk, for one, looks up every key already on its socket with the
// mapping it had, and asks for the new one only once it handles the change.
//
// The layout is read once and again only when it changes (new keyboard, another
// client's mapping change, another group), so a job starts without a keymap download.
//
// Spare key codes are taken from the top of the range down: automation tools bind
// the lowest empty key codes, and a few of those are left to them.
class X11KeySynth : public KeySynth
{
  public:
    struct Options
    {
        int restoreDelayMs = 150; // a slot is given another character this long after its last key
        int mappingWaitMs = 10; // after a mapping change, before the first key that may use it
        int settleDelayMs = 300; // bindings are undone once no job has come for this long
        int sparesLeftToOthers = 4;
        int poolLimit = 0; // 0: every spare key code the layout leaves
    };

    X11KeySynth(QByteArray displayName, std::shared_ptr<InjectorIdentity> identity, Sleeper& sleeper,
                Options options);
    ~X11KeySynth() override;

    using KeySynth::beginJob;
    bool beginJob(const QString& jobText) override;
    bool pressKey(Key key) override;
    bool typeText(const QString& units) override;
    void endJob() override;
    int settleDelayMs() const override { return std::max(m_options.settleDelayMs, m_options.restoreDelayMs); }
    void settle() override;

    // Spare key codes available to a job.
    int poolSize() const { return int(m_spares.size()); }
    // Keyboard mapping changes the last job made before its first key (diagnostics).
    int lastJobMappingChanges() const { return m_jobMappingChanges; }
    // Spares the last job had to rebind between two of its keys (diagnostics).
    int lastJobRebindsInText() const { return m_jobRebindsInText; }

  private:
    using Clock = std::chrono::steady_clock;
    struct Stroke
    {
        quint8 keycode = 0;
        bool shift = false;
        quint8 group = 0; // a spare's extra group, typed with the group locked to it
    };
    // A character on one of a spare key code's extra groups (2 to 4).
    struct ExtraSlot
    {
        quint8 keycode = 0;
        quint8 group = 0;
        quint8 level = 0;
        quint32 keysym = 0;
    };

    // One level of one spare key code.
    struct Slot
    {
        quint8 keycode = 0;
        quint8 level = 0;
        quint32 keysym = 0;
        Clock::time_point lastUsed{};
    };

    bool connect();
    bool layoutChanged();
    bool loadLayout();
    bool releaseHeldModifiers();
    void readJobState(struct _XkbStateRec& state);
    void bindUpFront(const QString& jobText);
    bool typeKeysym(quint32 keysym, char32_t codePoint);
    std::optional<Stroke> layoutStroke(quint32 keysym, char32_t codePoint) const;
    bool strike(const Stroke& stroke);
    std::optional<Stroke> bindSpare(quint32 keysym);
    std::optional<size_t> freeSlot() const;
    std::optional<size_t> idleSlot(const std::unordered_set<quint32>& keep) const;
    int writeRows(const std::vector<quint8>& keycodes);
    bool bindExtra(const std::vector<quint32>& keysyms);
    bool writeExtraRows(const std::vector<quint8>& keycodes, bool restore);
    void dropExtras();
    std::vector<quint32> rowOf(quint8 keycode) const;
    // How long after its last key a target has surely looked a spare's symbol up.
    std::chrono::milliseconds restoreDelay() const
    {
        return std::chrono::milliseconds(std::max(50, m_options.restoreDelayMs));
    }
    void waitUntil(Clock::time_point when);
    void grabServer();
    void ungrabServer();
    void letTargetReadMapping();
    void restoreSpares();
    void flush();

    QByteArray m_displayName;
    std::shared_ptr<InjectorIdentity> m_identity;
    Sleeper& m_sleeper;
    Options m_options;
    std::unique_ptr<X11Connection> m_connection;
    xkb_context* m_context = nullptr;
    int m_xkbDevice = -1;
    int m_xkbEventBase = -1;
    bool m_layoutLoaded = false;
    bool m_serverGrabbed = false;
    bool m_mappingUnread = false; // the job changed the mapping and has typed no text since
    int m_layoutGroup = -1;

    std::unordered_map<char32_t, Stroke> m_characters;
    std::unordered_map<quint32, Stroke> m_keysyms;
    quint8 m_shiftKeycode = 0;
    std::vector<quint8> m_spares;      // spare key codes, highest first
    std::vector<Slot> m_slots;         // this job's levels of them
    std::unordered_map<quint32, size_t> m_bound; // keysym → slot, for this job
    std::unordered_set<quint8> m_touched;        // spare key codes this job rebound
    std::unordered_set<quint8> m_held;           // key codes down when the job began
    std::vector<ExtraSlot> m_extra;                 // groups 2 to 4 of the spares, when in use
    std::unordered_map<quint32, size_t> m_extraBound; // keysym → extra slot
    std::unordered_set<quint8> m_extraKeys;           // spares given extra groups
    // Key code ranges of our own XKB writes: the server reports each as a change of every
    // key code from the lowest spare to the highest, layout keys between them included.
    std::vector<std::pair<int, int>> m_ownRanges;
    bool m_singleGroup = false;
    int m_lockedGroup = 0;
    bool m_modifiersStuck = false;
    unsigned m_levelModifiers = 0;
    int m_jobMappingChanges = 0;
    int m_jobRebindsInText = 0;
    Clock::time_point m_lastKey{};
    bool m_inJob = false;
    bool m_restoreCapsLock = false;
};
