#pragma once

#include "engine/ExpansionEngine.h"
#include "model/Models.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class AIReply;
class AIRewritePanel;
class AIService;
class AppState;
class ExpansionFeedback;
class FrontApp;
class HotKey;
class HotKeyBackend;
class InputMonitor;
class LearningEngine;
class OnDeviceModel;
class SelectedText;
class TypingLearner;

// Rewrites the text selected in the application in front. present() (the hot key, the
// menu item) reads the selection and opens a panel of instructions; the chosen one goes
// with the selection to the writing back end, and the reply is typed over the
// still-selected text in the window the user came from, provided that window is still in
// front when the reply arrives and the user neither typed nor clicked outside Quenvil
// since the request went out. Progress and every failure are said in the
// HUD, whatever the HUD setting.
//
// Main thread only.
class AIRewriteController : public QObject
{
    Q_OBJECT

  public:
    using Complete = std::function<AIReply*(AIBackend, const QString& system, const QString& user)>;

    struct Collaborators
    {
        FrontApp* frontApp = nullptr;
        SelectedText* selectedText = nullptr;
        ExpansionFeedback* feedback = nullptr;
        ExpansionEngine::Replace replace;
        Complete complete;
        std::function<bool(AIBackend)> isReady;
        // The on-device model's readiness text, said when it is not ready.
        std::function<QString()> onDeviceStatus;
        std::function<std::optional<QString>()> toneProfile;
        // Told to forget the typing in progress once a reply is typed, so the reply is not
        // taken for the user's own writing.
        TypingLearner* learner = nullptr;
        // Where registerHotKey() registers the combination.
        HotKeyBackend* hotKeys = nullptr;
        // The user's own key and mouse presses. One made outside Quenvil while a request is
        // out may have moved the caret or replaced the selection: that reply is dropped.
        InputMonitor* input = nullptr;
        // How long a reply that comes before the window manager has given the focus back to
        // the target waits for it (a model on this computer can answer within milliseconds).
        int focusBackWaitMs = 1000;
    };

    // The AI side of the collaborators from the real services.
    static Collaborators aiCollaborators(AIService& service, OnDeviceModel& onDevice,
                                         LearningEngine& learning);

    AIRewriteController(AppState& state, Collaborators collaborators, QObject* parent = nullptr);
    ~AIRewriteController() override;

    static const QStringList& basePresets();
    static QString voicePreset();
    static QString basePrompt();

    void present();

    // The ready-made instructions: the six always there, and the voice one while the tone
    // profile option is on and a profile exists.
    QStringList availablePresets() const;
    QString systemPrompt(const QString& instruction) const;

    // The instance start-up installed.
    static AIRewriteController* shared();
    static void setShared(AIRewriteController* controller);

    // Registers Control-Alt-R to present(); false (and no hot key) when refused.
    bool installHotKey(HotKeyBackend& backend);
    // The same on the collaborators' backend; the hot key is dropped when there is none.
    bool registerHotKey();
    HotKey* hotKey() const { return m_hotKey.get(); }
    void setHotKey(std::unique_ptr<HotKey> hotKey);

    // The panel while it exists (hidden when the window manager closed it).
    AIRewritePanel* panel() const { return m_panel; }
    // The window the last panel was opened over: the target of the rewrite.
    quint64 previousWindow() const { return m_previousWindow; }

    static QString rewritingMessage();
    static QString noSelectionMessage();
    static QString noKeyMessage();
    static QString failedMessage();
    static QString emptyReplyMessage();
    static QString focusChangedMessage();

  private:
    // Where a reply may go: the window the panel was opened over, as long as it saw no
    // input since the request went out.
    struct Target
    {
        quint64 window = 0;
        QString appKey;
        quint64 inputSeen = 0;
    };

    void presentWith(const std::optional<QString>& selection, quint64 frontWindow, const QString& frontKey);
    void run(const QString& instruction, const QString& selection);
    void cancel();
    void closePanel();
    void activatePrevious();
    void finish(const QString& reply, const QString& selection, const Target& target);
    bool focusComingBack(const Target& target) const;
    void typeReply(const QString& reply, const QString& selection, const Target& target);
    void noteUserInput();
    void showHud(const QString& message);

    AppState& m_state;
    Collaborators m_c;
    QPointer<AIRewritePanel> m_panel;
    std::unique_ptr<HotKey> m_hotKey;
    quint64 m_previousWindow = 0;
    QString m_previousAppKey;
    // Key and mouse presses the user made outside Quenvil's own windows.
    quint64 m_userInput = 0;
};
