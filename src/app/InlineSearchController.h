#pragma once

#include "app/InlineSearchModel.h"
#include "engine/ContentRenderer.h"
#include "engine/ExpansionEngine.h"

#include <QObject>
#include <QPointer>
#include <QRect>

#include <functional>
#include <memory>
#include <optional>

class AppState;
class ContentRenderer;
class DetourProducers;
class ExpansionFeedback;
class FrontApp;
class HotKey;
class HotKeyBackend;
class InlineSearchPanel;
class TypingLearner;

// Opens the inline snippet search (Control-Alt-Space and the menu) over the window the
// user is typing in, and types the chosen snippet's text there once that window has the
// focus back.
//
// The target is the window itself, not only its application, and it is kept only while
// the panel is open: a commit types only into the window the panel was opened over, and
// only if that window is in front 0.2 s after the focus was handed back; otherwise the
// HUD says the insertion was cancelled. Snippets whose text needs a detour (an {ai:…}
// request, a fill-in form) go to the same producers as typed triggers.
//
// Main thread only.
class InlineSearchController : public QObject
{
    Q_OBJECT

  public:
    struct Collaborators
    {
        FrontApp* frontApp = nullptr;
        // The HUD, for the cancel message.
        ExpansionFeedback* feedback = nullptr;
        // Where typing goes: the injector's replace().
        ExpansionEngine::Replace replace;
        ContentRenderer* renderer = nullptr;
        // AI requests and fill-in forms; absent, such snippets are typed as plain text.
        DetourProducers* producers = nullptr;
        // Told to forget the typing in progress once a snippet is typed.
        TypingLearner* learner = nullptr;
        HotKeyBackend* hotKeys = nullptr;
        // The frame of a window on the desktop, or none; places the panel on its screen.
        std::function<std::optional<QRect>(quint64 window)> windowGeometry;
        // A monotonic clock in milliseconds; unset: the process's steady clock.
        std::function<qint64()> uptimeMs;
        // From handing the focus back to typing.
        int typingDelayMs = 200;
    };

    // A second press of the hot key sooner than this after opening is ignored.
    static constexpr qint64 toggleGuardMs = 300;

    InlineSearchController(AppState& state, Collaborators collaborators, QObject* parent = nullptr);
    ~InlineSearchController() override;

    static InlineSearchController* shared();
    static void setShared(InlineSearchController* controller);

    // Registers Control-Alt-Space to toggle(); the hot key is kept in hotKey(), or none
    // when another program holds the combination.
    void registerHotKey();
    HotKey* hotKey() const { return m_hotKey.get(); }

    // Closes the open panel (giving the focus back) unless it opened less than 0.3 s ago;
    // opens it when closed.
    void toggle();
    // Opens the panel afresh: all snippets, empty query, first row highlighted.
    void show();
    // Tears the panel down; with `reactivatePrevious`, gives the focus back to the target.
    void close(bool reactivatePrevious);
    // Hands the focus back and types the snippet's text into the target (see above).
    void commit(const Snippet& snippet);

    InlineSearchModel& model() { return m_model; }
    InlineSearchPanel* panel() const;
    // The window a commit would type into; unset while the panel is closed.
    const InlineSearchTarget& target() const { return m_target; }

    static QString focusChangedMessage();

  private:
    void handleKey(InlineSearchKey key);
    void closePanel();
    void deliver(const Snippet& snippet, const InlineSearchTarget& target, const QString& text, bool ai,
                 bool fillIn, const QString& fillInPlain, const QList<ContentRenderer::LiteralRange>& literals);
    qint64 now() const;

    AppState& m_state;
    Collaborators m_c;
    InlineSearchModel m_model;
    QPointer<InlineSearchPanel> m_panel;
    std::unique_ptr<HotKey> m_hotKey;
    InlineSearchTarget m_target;
    qint64 m_lastShowMs = 0;
    bool m_everShown = false;
};
