#include "app/QuickCaptureController.h"

#include "app/InlineSearchModel.h"
#include "app/QuickCapturePanel.h"
#include "engine/HotKey.h"
#include "model/AppState.h"
#include "platform/FrontApp.h"
#include "platform/SelectedText.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

namespace {
QPointer<QuickCaptureController> g_shared;
}

QuickCaptureController::QuickCaptureController(AppState& state, Collaborators collaborators, QObject* parent)
    : QObject(parent), m_state(state), m_c(std::move(collaborators))
{
}

QuickCaptureController::~QuickCaptureController()
{
    closePanel();
}

QuickCapturePanel* QuickCaptureController::panel() const
{
    return m_panel;
}

QuickCaptureController* QuickCaptureController::shared()
{
    return g_shared;
}

void QuickCaptureController::setShared(QuickCaptureController* controller)
{
    g_shared = controller;
}

void QuickCaptureController::registerHotKey()
{
    m_hotKey.reset();
    if (!m_c.hotKeys)
        return;
    QPointer<QuickCaptureController> self(this);
    m_hotKey = HotKey::create(*m_c.hotKeys, Key::N, Modifier::Control | Modifier::Alt, [self] {
        if (self)
            self->present();
    });
}

void QuickCaptureController::present()
{
    if (m_panel && m_panel->isVisible()) {
        m_panel->raise();
        m_panel->activateWindow();
        if (m_c.frontApp)
            m_c.frontApp->activate(m_panel->winId());
        return;
    }
    // A second press while the first one's selection is on its way opens nothing more.
    if (m_reading)
        return;

    // The window to give the focus back to: the one in front, unless it is one of ours.
    quint64 previous = 0;
    if (m_c.frontApp && !m_c.frontApp->isOwnProcess())
        previous = m_c.frontApp->window();

    if (!m_c.selectedText) {
        QTimer::singleShot(0, this, [this, previous] { open(QString(), previous); });
        return;
    }
    m_reading = true;
    const quint64 generation = ++m_readGeneration;
    m_c.selectedText->requestSelectedText(this, [this, generation, previous](std::optional<QString> text) {
        // An answer meant for an earlier request (one given up on) is dropped.
        if (generation != m_readGeneration)
            return;
        m_reading = false;
        open(text.value_or(QString()), previous);
    });
}

void QuickCaptureController::open(const QString& text, quint64 previousWindow)
{
    // A panel closed earlier with its title-bar button is replaced.
    closePanel();
    m_previousWindow = previousWindow;

    auto* panel = new QuickCapturePanel(text, m_state.triggerIndex());
    connect(panel, &QuickCapturePanel::saveRequested, this, &QuickCaptureController::save);
    connect(panel, &QuickCapturePanel::cancelRequested, this, &QuickCaptureController::cancel);
    // The window's own close button closes the window only: the focus stays where the
    // window manager puts it, and the window of this opening is forgotten.
    connect(panel, &QuickCapturePanel::closedByUser, this, [this] { m_previousWindow = 0; });
    m_panel = panel;

    QList<QRect> areas;
    if (const QScreen* primary = QGuiApplication::primaryScreen())
        areas.append(primary->availableGeometry());
    for (const QScreen* screen : QGuiApplication::screens()) {
        if (!areas.contains(screen->availableGeometry()))
            areas.append(screen->availableGeometry());
    }
    std::optional<QRect> window;
    if (previousWindow && m_c.windowGeometry)
        window = m_c.windowGeometry(previousWindow);
    panel->showCenteredIn(InlineSearchPlacement::screenFor(areas, window));
    if (m_c.frontApp)
        m_c.frontApp->activate(panel->winId());
}

void QuickCaptureController::closePanel()
{
    if (!m_panel)
        return;
    QuickCapturePanel* panel = m_panel;
    m_panel = nullptr;
    panel->disconnect(this);
    panel->hide();
    panel->deleteLater();
}

void QuickCaptureController::finish()
{
    closePanel();
    if (m_previousWindow && m_c.frontApp)
        m_c.frontApp->activate(m_previousWindow);
    m_previousWindow = 0;
}

void QuickCaptureController::save(const QString& trigger, const QString& content)
{
    if (const std::optional<Snippet> snippet = QuickCaptureRules::snippetFor(trigger, content))
        m_state.addSnippets({*snippet});
    finish();
}

void QuickCaptureController::cancel()
{
    finish();
}
