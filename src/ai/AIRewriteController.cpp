#include "ai/AIRewriteController.h"

#include "ai/AIReply.h"
#include "ai/AIRewritePanel.h"
#include "ai/AIService.h"
#include "ai/LearningEngine.h"
#include "ai/OnDeviceModel.h"
#include "engine/ExpansionFeedback.h"
#include "engine/HotKey.h"
#include "engine/TypingLearner.h"
#include "model/AppState.h"
#include "model/Text.h"
#include "platform/FrontApp.h"
#include "platform/InputMonitor.h"
#include "platform/SelectedText.h"

#include <QTimer>

#include <algorithm>

AIRewriteController::Collaborators
AIRewriteController::aiCollaborators(AIService& service, OnDeviceModel& onDevice, LearningEngine& learning)
{
    Collaborators c;
    QPointer<AIService> s(&service);
    QPointer<OnDeviceModel> model(&onDevice);
    QPointer<LearningEngine> engine(&learning);
    c.complete = [s](AIBackend backend, const QString& system, const QString& user) -> AIReply* {
        return s ? s->complete(backend, system, user) : nullptr;
    };
    c.isReady = [s](AIBackend backend) { return s && s->isReady(backend); };
    c.onDeviceStatus = [model] { return model ? model->statusText() : QString(); };
    c.toneProfile = [engine]() -> std::optional<QString> {
        return engine ? engine->toneProfile() : std::nullopt;
    };
    c.learner = &learning;
    return c;
}

AIRewriteController::AIRewriteController(AppState& state, Collaborators collaborators, QObject* parent)
    : QObject(parent), m_state(state), m_c(std::move(collaborators))
{
    if (m_c.input) {
        connect(m_c.input, &InputMonitor::keyDown, this, &AIRewriteController::noteUserInput);
        connect(m_c.input, &InputMonitor::mouseDown, this, &AIRewriteController::noteUserInput);
    }
}

AIRewriteController::~AIRewriteController()
{
    closePanel();
}

const QStringList& AIRewriteController::basePresets()
{
    static const QStringList presets{
        QStringLiteral("Improve the writing"),   QStringLiteral("Fix spelling and grammar"),
        QStringLiteral("Make it more concise"),  QStringLiteral("Make it more formal"),
        QStringLiteral("Make it more friendly"), QStringLiteral("Summarize it"),
    };
    return presets;
}

QString AIRewriteController::voicePreset()
{
    return QStringLiteral("Rewrite in my voice");
}

QString AIRewriteController::basePrompt()
{
    return QStringLiteral(
        "You are an editing assistant. Apply the user's instruction to the provided text and reply with ONLY "
        "the revised text, ready to replace the original \u2014 no preamble, no surrounding quotes, no "
        "explanation, no markdown fences. Preserve the original language and overall formatting unless the "
        "instruction says otherwise.");
}

QString AIRewriteController::rewritingMessage()
{
    return QStringLiteral("\u2726 rewriting\u2026");
}
QString AIRewriteController::noSelectionMessage()
{
    return QStringLiteral("Select text to rewrite");
}
QString AIRewriteController::noKeyMessage()
{
    return QStringLiteral("Add an OpenAI key in Settings");
}
QString AIRewriteController::failedMessage()
{
    return QStringLiteral("Rewrite failed");
}
QString AIRewriteController::emptyReplyMessage()
{
    return QStringLiteral("AI returned nothing");
}
QString AIRewriteController::focusChangedMessage()
{
    return QStringLiteral("Rewrite cancelled \u2014 focus changed");
}

QStringList AIRewriteController::availablePresets() const
{
    QStringList presets = basePresets();
    if (m_state.useToneProfile() && m_c.toneProfile && m_c.toneProfile())
        presets.append(voicePreset());
    return presets;
}

QString AIRewriteController::systemPrompt(const QString& instruction) const
{
    if (instruction == voicePreset() && m_state.useToneProfile() && m_c.toneProfile) {
        if (const std::optional<QString> profile = m_c.toneProfile())
            return basePrompt() + QStringLiteral("\n\nMatch this writer's personal voice:\n") + *profile;
    }
    return basePrompt();
}

bool AIRewriteController::installHotKey(HotKeyBackend& backend)
{
    QPointer<AIRewriteController> self(this);
    m_hotKey = HotKey::create(backend, HotKey::rewriteKey, HotKey::rewriteModifiers(), [self] {
        if (self)
            self->present();
    });
    return m_hotKey != nullptr;
}

bool AIRewriteController::registerHotKey()
{
    if (!m_c.hotKeys) {
        m_hotKey.reset();
        return false;
    }
    return installHotKey(*m_c.hotKeys);
}

namespace {
QPointer<AIRewriteController> g_sharedRewrite;
}

AIRewriteController* AIRewriteController::shared()
{
    return g_sharedRewrite;
}

void AIRewriteController::setShared(AIRewriteController* controller)
{
    g_sharedRewrite = controller;
}

void AIRewriteController::setHotKey(std::unique_ptr<HotKey> hotKey)
{
    m_hotKey = std::move(hotKey);
}

void AIRewriteController::noteUserInput()
{
    // Presses in Quenvil's own windows (the panel, its instruction field) are the rewrite
    // being asked for, not typing in the target.
    if (m_c.frontApp && m_c.frontApp->isOwnProcess())
        return;
    ++m_userInput;
}

void AIRewriteController::showHud(const QString& message)
{
    if (m_c.feedback)
        m_c.feedback->showHud(message);
}

void AIRewriteController::present()
{
    const AIBackend backend = m_state.aiWritingBackend();
    if (backend == AIBackend::off)
        return;
    if (!m_c.isReady || !m_c.isReady(backend)) {
        showHud(backend == AIBackend::openAI ? noKeyMessage()
                                             : (m_c.onDeviceStatus ? m_c.onDeviceStatus() : QString()));
        return;
    }
    // With one of Quenvil's own windows in front there is no other program's selection to
    // read, and the remembered target would be a stale one the user is not looking at.
    if (!m_c.frontApp || !m_c.selectedText || m_c.frontApp->isOwnProcess()) {
        showHud(noSelectionMessage());
        return;
    }
    // The target is the window in front when the user asked, not when the answer came.
    const quint64 frontWindow = m_c.frontApp->window();
    const QString frontKey = m_c.frontApp->appKey();
    m_c.selectedText->requestSelectedText(this, [this, frontWindow, frontKey](std::optional<QString> text) {
        presentWith(text, frontWindow, frontKey);
    });
}

void AIRewriteController::presentWith(const std::optional<QString>& selection, quint64 frontWindow,
                                      const QString& frontKey)
{
    if (!selection || selection->isEmpty()) {
        showHud(noSelectionMessage());
        return;
    }
    if (m_panel && m_panel->isVisible()) {
        m_panel->raise();
        m_panel->activateWindow();
        m_c.frontApp->activate(m_panel->winId());
        return;
    }
    m_previousWindow = frontWindow;
    m_previousAppKey = frontKey;

    auto* panel = new AIRewritePanel(*selection, availablePresets());
    const QString text = *selection;
    connect(panel, &AIRewritePanel::chosen, this,
            [this, text](const QString& instruction) { run(instruction, text); });
    connect(panel, &AIRewritePanel::cancelRequested, this, &AIRewriteController::cancel);
    closePanel();
    m_panel = panel;
    panel->showCentered();
    // A background program's window may be refused the focus; asked through the
    // front-window service the window manager obeys.
    m_c.frontApp->activate(panel->winId());
}

void AIRewriteController::closePanel()
{
    if (!m_panel)
        return;
    AIRewritePanel* panel = m_panel;
    m_panel = nullptr;
    panel->disconnect(this);
    panel->hide();
    panel->deleteLater();
}

void AIRewriteController::activatePrevious()
{
    if (m_previousWindow && m_c.frontApp)
        m_c.frontApp->activate(m_previousWindow);
}

void AIRewriteController::cancel()
{
    closePanel();
    activatePrevious();
}

void AIRewriteController::run(const QString& instruction, const QString& selection)
{
    const QString trimmed = Text::trimWhitespace(instruction);
    const AIBackend backend = m_state.aiWritingBackend();
    if (trimmed.isEmpty() || backend == AIBackend::off) {
        closePanel();
        activatePrevious();
        return;
    }
    const QString system = systemPrompt(trimmed);
    const Target target{m_previousWindow, m_previousAppKey, m_userInput};
    closePanel();
    activatePrevious();
    showHud(rewritingMessage());

    const QString user = trimmed + QStringLiteral(":\n\n") + selection;
    AIReply* reply = m_c.complete ? m_c.complete(backend, system, user) : nullptr;
    if (!reply) {
        showHud(failedMessage());
        return;
    }
    // Nothing cancels the request: a second rewrite may start while this one runs, and
    // each types its own reply.
    connect(reply, &AIReply::finished, this, [this, selection, target](const AIResult& result) {
        if (!result.ok()) {
            showHud(failedMessage());
            return;
        }
        finish(result.text, selection, target);
    });
}

void AIRewriteController::finish(const QString& reply, const QString& selection, const Target& target)
{
    if (reply.isEmpty()) {
        showHud(emptyReplyMessage());
        return;
    }
    // Wait for the target to come to the front, for a bounded time, then decide.
    if (focusComingBack(target)) {
        auto* waiter = new QObject(this);
        auto decide = [this, waiter, reply, selection, target](bool timedOut) {
            if (waiter->property("decided").toBool())
                return;
            if (!timedOut && focusComingBack(target))
                return;
            waiter->setProperty("decided", true);
            waiter->deleteLater();
            typeReply(reply, selection, target);
        };
        connect(m_c.frontApp, &FrontApp::frontChanged, waiter, [decide] { decide(false); });
        QTimer::singleShot(m_c.focusBackWaitMs, waiter, [decide] { decide(true); });
        return;
    }
    typeReply(reply, selection, target);
}

// Still handing the focus back: nothing but our own closing panel (or no window) is in
// front yet.
bool AIRewriteController::focusComingBack(const Target& target) const
{
    if (!m_c.frontApp || m_c.frontApp->window() == target.window)
        return false;
    return m_c.frontApp->window() == 0 || m_c.frontApp->isOwnProcess();
}

void AIRewriteController::typeReply(const QString& reply, const QString& selection, const Target& target)
{
    // The reply is typed wherever the caret of the window in front is: only into the window
    // the text came from, never Quenvil's own, and only while the text is still selected
    // there. A key or a click since the request went out may have replaced the selection
    // or moved the caret into what the user wrote meanwhile.
    if (!m_c.frontApp || m_c.frontApp->isOwnProcess() || m_c.frontApp->window() != target.window ||
        m_c.frontApp->appKey() != target.appKey || m_userInput != target.inputSeen) {
        showHud(focusChangedMessage());
        return;
    }
    if (m_c.replace)
        m_c.replace(0, {Injector::Segment::text(reply)}, 0);
    m_state.setStatExpansions(m_state.statExpansions() + 1);
    m_state.setStatCharsSaved(m_state.statCharsSaved() +
                              std::max(Text::graphemeCount(selection) - Text::graphemeCount(reply), 0));
    if (m_state.soundEnabled() && m_c.feedback)
        m_c.feedback->playSound(m_state.soundName());
    if (m_c.learner)
        m_c.learner->resetTransientState();
}
