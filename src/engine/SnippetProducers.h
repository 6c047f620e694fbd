#pragma once

#include "engine/DetourProducers.h"
#include "engine/ExpansionEngine.h"
#include "model/Models.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class AppState;
class ContentRenderer;
class ExpansionFeedback;
class FillInController;
class FrontApp;
class ScriptRunner;

// The snippets whose text is produced away from the keystroke: shell snippets (what a
// command prints), AI snippets (a model's reply to the instruction in an {ai:…} token) and
// fill-in snippets (the form of FillInController).
//
// Shell and AI results arrive later; they are typed only when nothing was typed and the
// buffer was not reset since the trigger (the engine's input revision is unchanged) and
// the application in front is still the one the trigger was typed in. Otherwise the HUD
// says the snippet was cancelled.
//
// The model is reached through an injected AIModel, so the typing engine does not depend
// on the AI subsystem; until one is set, AI snippets decline. Main thread only.
class SnippetProducers : public QObject, public DetourProducers
{
    Q_OBJECT

  public:
    struct AIModel
    {
        // Exactly one of the two is set: the reply's text, or why there is none.
        using Reply = std::function<void(std::optional<QString> text, QString error)>;
        std::function<bool(AIBackend backend)> isReady;
        // Answers later, once, on the main thread.
        std::function<void(AIBackend backend, const QString& system, const QString& user, Reply reply)>
            complete;
    };

    SnippetProducers(AppState& state, ExpansionEngine& engine, ContentRenderer& renderer, FrontApp& frontApp,
                     ExpansionFeedback& feedback, ExpansionEngine::Replace replace, ScriptRunner& scripts,
                     FillInController& fillIn, QObject* parent = nullptr);

    void setAIModel(AIModel model) { m_ai = std::move(model); }

    bool runScriptExpansion(const Snippet& snippet, int backspaces, const QString& suffix) override;
    bool runAIExpansion(const Snippet& snippet, int backspaces, const QString& suffix) override;
    bool presentFillIn(const QString& plain, const QList<ContentRenderer::LiteralRange>& literals,
                       int backspaces, const QString& suffix) override;

    // What a command's output types: valid UTF-8, not empty, trailing line feeds removed.
    static std::optional<QString> shellOutputText(const QByteArray& output);

    // The system message of every AI snippet request.
    static QString aiSystemPrompt();

  private:
    struct Started
    {
        quint64 revision = 0;
        QString appKey;
    };

    struct AIRun
    {
        Snippet snippet;
        int backspaces = 0;
        QString suffix;
        QString before;
        QString after;
        Started started;
        bool answered = false;
    };

    Started start();
    bool stillWanted(const Started& started) const;
    // Types `text` in place of the trigger and does the bookkeeping of a produced expansion.
    void type(const Snippet& snippet, int backspaces, const QString& text, int savedBase,
              const QString& appKey);
    void finishAI(const AIRun& run, const std::optional<QString>& reply);
    void hud(const QString& message);

    AppState& m_state;
    ExpansionEngine& m_engine;
    ContentRenderer& m_renderer;
    FrontApp& m_frontApp;
    ExpansionFeedback& m_feedback;
    ExpansionEngine::Replace m_replace;
    ScriptRunner& m_scripts;
    FillInController& m_fillIn;
    AIModel m_ai;
};
