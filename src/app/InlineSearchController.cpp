#include "app/InlineSearchController.h"

#include "app/InlineSearchPanel.h"
#include "engine/ContentRenderer.h"
#include "engine/DetourProducers.h"
#include "engine/ExpansionFeedback.h"
#include "engine/HotKey.h"
#include "engine/TypingLearner.h"
#include "model/AppState.h"
#include "platform/FrontApp.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

#include <chrono>

namespace {
QPointer<InlineSearchController> g_shared;
}

InlineSearchController::InlineSearchController(AppState& state, Collaborators collaborators, QObject* parent)
    : QObject(parent), m_state(state), m_c(std::move(collaborators))
{
}

InlineSearchController::~InlineSearchController()
{
    closePanel();
}

InlineSearchPanel* InlineSearchController::panel() const
{
    return m_panel;
}

InlineSearchController* InlineSearchController::shared()
{
    return g_shared;
}

void InlineSearchController::setShared(InlineSearchController* controller)
{
    g_shared = controller;
}

QString InlineSearchController::focusChangedMessage()
{
    return QStringLiteral("Insertion cancelled \u2014 focus changed");
}

void InlineSearchController::registerHotKey()
{
    m_hotKey.reset();
    if (!m_c.hotKeys)
        return;
    QPointer<InlineSearchController> self(this);
    m_hotKey = HotKey::create(*m_c.hotKeys, Key::Space, Modifier::Control | Modifier::Alt, [self] {
        if (self)
            self->toggle();
    });
}

qint64 InlineSearchController::now() const
{
    if (m_c.uptimeMs)
        return m_c.uptimeMs();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void InlineSearchController::toggle()
{
    if (m_panel && m_panel->isVisible()) {
        // A second press right after opening is the same press repeated, not a close.
        if (now() - m_lastShowMs < toggleGuardMs)
            return;
        close(true);
        return;
    }
    show();
}

void InlineSearchController::show()
{
    m_lastShowMs = now();
    const bool wasOpen = m_panel && m_panel->isVisible();

    // The target: the window in front, unless that is one of ours. Reopened from the menu
    // while open (our panel in front) the window it was opened over stays the target;
    // opened over our own settings window there is none.
    InlineSearchTarget target;
    if (m_c.frontApp && !m_c.frontApp->isOwnProcess() && m_c.frontApp->window() != 0)
        target = InlineSearchTarget{m_c.frontApp->window(), m_c.frontApp->appKey()};
    else if (wasOpen)
        target = m_target;

    m_model.load(m_state.snippets());
    closePanel();
    m_target = target;

    auto* panel = new InlineSearchPanel(m_model);
    QPointer<InlineSearchPanel> weakPanel(panel);
    connect(panel, &InlineSearchPanel::keyAction, this, &InlineSearchController::handleKey);
    connect(panel, &InlineSearchPanel::rowClicked, this, &InlineSearchController::commit);
    connect(panel, &InlineSearchPanel::deactivated, this, [this, weakPanel] {
        // Closed after the event that took the focus away, and only if this is still the
        // panel on screen: a late focus-out of a replaced panel leaves the new one alone.
        QTimer::singleShot(0, this, [this, weakPanel] {
            if (weakPanel && weakPanel == m_panel)
                close(false);
        });
    });
    m_panel = panel;

    QList<QRect> areas;
    for (const QScreen* screen : QGuiApplication::screens())
        areas.append(screen->availableGeometry());
    if (const QScreen* primary = QGuiApplication::primaryScreen()) {
        // The primary screen first: it is the fallback.
        areas.removeOne(primary->availableGeometry());
        areas.prepend(primary->availableGeometry());
    }
    std::optional<QRect> window;
    if (m_target.isSet() && m_c.windowGeometry)
        window = m_c.windowGeometry(m_target.window);
    const QRect area = InlineSearchPlacement::screenFor(areas, window);
    panel->showAt(area.isEmpty() ? QPoint(0, 0) : InlineSearchPlacement::topLeft(area));
    // A background program's window may be refused the focus; asked through the
    // front-window service the window manager obeys.
    if (m_c.frontApp)
        m_c.frontApp->activate(panel->winId());
}

void InlineSearchController::closePanel()
{
    if (!m_panel)
        return;
    InlineSearchPanel* panel = m_panel;
    m_panel = nullptr;
    panel->disconnect(this);
    panel->hide();
    panel->deleteLater();
}

void InlineSearchController::close(bool reactivatePrevious)
{
    closePanel();
    if (reactivatePrevious && m_target.isSet() && m_c.frontApp)
        m_c.frontApp->activate(m_target.window);
    m_target = {};
}

void InlineSearchController::handleKey(InlineSearchKey key)
{
    switch (key) {
    case InlineSearchKey::pass:
        break;
    case InlineSearchKey::dismiss:
        close(true);
        break;
    case InlineSearchKey::commit:
        if (const std::optional<Snippet> s = m_model.selected())
            commit(*s);
        break;
    case InlineSearchKey::down:
        m_model.move(1);
        break;
    case InlineSearchKey::up:
        m_model.move(-1);
        break;
    }
}

void InlineSearchController::commit(const Snippet& snippet)
{
    const InlineSearchTarget target = m_target;
    close(false);
    if (target.isSet() && m_c.frontApp)
        m_c.frontApp->activate(target.window);

    // Only the plain text is typed: key placeholders and the cursor mark are dropped.
    QString text;
    ContentRenderer::Result rendered;
    if (m_c.renderer) {
        rendered = m_c.renderer->renderedContent(snippet, snippet.trigger);
        text = ContentRenderer::plainText(rendered.segments);
    } else {
        text = snippet.content;
    }
    if (text.isEmpty())
        return;
    const bool ai = snippet.content.contains(QLatin1String("{ai:"));
    const bool fillIn = rendered.hasFillInTokens;
    const QString fillInPlain = rendered.plainText;
    const QList<ContentRenderer::LiteralRange> literals = rendered.literalRanges;
    QTimer::singleShot(m_c.typingDelayMs, this, [this, snippet, target, text, ai, fillIn, fillInPlain, literals] {
        deliver(snippet, target, text, ai, fillIn, fillInPlain, literals);
    });
}

void InlineSearchController::deliver(const Snippet& snippet, const InlineSearchTarget& target, const QString& text,
                                     bool ai, bool fillIn, const QString& fillInPlain,
                                     const QList<ContentRenderer::LiteralRange>& literals)
{
    const bool admitted = m_c.frontApp && target.admits(m_c.frontApp->window(), m_c.frontApp->appKey(),
                                                        m_c.frontApp->isOwnProcess());
    if (!admitted) {
        if (m_c.feedback)
            m_c.feedback->showHud(focusChangedMessage());
        return;
    }
    // The same detours a typed trigger takes; a producer that declines (no AI back end,
    // no form) leaves the plain text to be typed.
    if (m_c.producers) {
        if (ai && m_c.producers->runAIExpansion(snippet, 0, QString()))
            return;
        if (fillIn && m_c.producers->presentFillIn(fillInPlain, literals, 0, QString()))
            return;
    }
    if (m_c.replace)
        m_c.replace(0, {Injector::Segment::text(text)}, 0);
    if (m_c.learner)
        m_c.learner->resetTransientState();
}
