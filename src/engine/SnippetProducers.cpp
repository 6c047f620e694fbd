#include "engine/SnippetProducers.h"

#include "engine/ContentRenderer.h"
#include "engine/ExpansionFeedback.h"
#include "engine/FillInController.h"
#include "engine/ScriptRunner.h"
#include "engine/TypingLearner.h"
#include "model/AppState.h"
#include "model/Text.h"
#include "platform/FrontApp.h"

#include <QPointer>
#include <QStringDecoder>

#include <memory>

SnippetProducers::SnippetProducers(AppState& state, ExpansionEngine& engine, ContentRenderer& renderer,
                                   FrontApp& frontApp, ExpansionFeedback& feedback,
                                   ExpansionEngine::Replace replace, ScriptRunner& scripts,
                                   FillInController& fillIn, QObject* parent)
    : QObject(parent), m_state(state), m_engine(engine), m_renderer(renderer), m_frontApp(frontApp),
      m_feedback(feedback), m_replace(std::move(replace)), m_scripts(scripts), m_fillIn(fillIn)
{
}

QString SnippetProducers::aiSystemPrompt()
{
    return QStringLiteral(
        "You are a writing assistant embedded in a Linux desktop text expander. The user's "
        "message is an instruction, optionally including the text to act on. Reply with ONLY "
        "the finished text to insert into their document \u2014 no preamble, no surrounding "
        "quotes, no explanation, no markdown code fences. Match the apparent tone, "
        "formatting, and language of the input.");
}

std::optional<QString> SnippetProducers::shellOutputText(const QByteArray& output)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(output);
    if (decoder.hasError() || text.isEmpty())
        return std::nullopt;
    // Only a line feed that is a character of its own: "\r\n" is one character and stays.
    while (text.endsWith(QLatin1Char('\n')) && !text.endsWith(QLatin1String("\r\n")))
        text.chop(1);
    return text;
}

SnippetProducers::Started SnippetProducers::start()
{
    m_engine.resetBuffer();
    return Started{m_engine.inputRevision(), m_engine.frontBundleID()};
}

bool SnippetProducers::stillWanted(const Started& started) const
{
    return m_engine.inputRevision() == started.revision && m_engine.frontBundleID() == started.appKey &&
           m_frontApp.appKey() == started.appKey;
}

void SnippetProducers::hud(const QString& message)
{
    if (m_state.hudEnabled())
        m_feedback.showHud(message);
}

void SnippetProducers::type(const Snippet& snippet, int backspaces, const QString& text, int producedChars,
                            const QString& appKey)
{
    m_replace(backspaces, {Injector::Segment::text(text)}, 0);
    m_state.setLastExpansion(AppState::LastExpansion{snippet.id, text});
    m_state.setStatExpansions(m_state.statExpansions() + 1);
    m_state.setStatCharsSaved(m_state.statCharsSaved() + std::max(producedChars - backspaces, 0));
    m_state.recordUsage(snippet.id, appKey);
    if (m_state.soundEnabled())
        m_feedback.playSound(m_state.soundName());
    m_engine.learner().resetTransientState();
}

bool SnippetProducers::runScriptExpansion(const Snippet& snippet, int backspaces, const QString& suffix)
{
    if (!m_state.scriptSnippetsEnabled())
        return false;
    const Started started = start();
    QPointer<SnippetProducers> self(this);
    m_scripts.run(
        snippet.content, [self, snippet, backspaces, suffix, started](const ScriptRunner::Result& r) {
            // A command that could not start, ran out of time, or printed nothing usable ends
            // silently: the trigger stays as typed.
            if (!self || r.outcome != ScriptRunner::Outcome::finished)
                return;
            const std::optional<QString> output = shellOutputText(r.output);
            if (!output)
                return;
            if (!self->stillWanted(started)) {
                self->hud(QStringLiteral("Script snippet cancelled"));
                return;
            }
            self->type(snippet, backspaces, *output + suffix, Text::graphemeCount(*output), started.appKey);
        });
    return true;
}

bool SnippetProducers::runAIExpansion(const Snippet& snippet, int backspaces, const QString& suffix)
{
    const AIBackend backend = m_state.aiWritingBackend();
    if (backend == AIBackend::off || !m_ai.isReady || !m_ai.complete || !m_ai.isReady(backend))
        return false;
    const std::optional<ContentRenderer::AIToken> token =
        ContentRenderer::findAIToken(m_renderer.resolveNested(snippet.content));
    if (!token)
        return false;
    const QString instruction = m_renderer.renderTextPlaceholders(token->instruction);
    if (Text::trimWhitespace(instruction).isEmpty())
        return false;
    const QString before = m_renderer.renderTextPlaceholders(token->before);
    const QString after = m_renderer.renderTextPlaceholders(token->after);

    const Started started = start();
    hud(QStringLiteral("\u2726 writing\u2026"));

    auto run = std::make_shared<AIRun>(AIRun{snippet, backspaces, suffix, before, after, started});
    QPointer<SnippetProducers> self(this);
    m_ai.complete(backend, aiSystemPrompt(), instruction, [self, run](std::optional<QString> text, QString) {
        if (!self || run->answered)
            return;
        run->answered = true;
        // Taken up from the event loop, also when the model answers at once: the result
        // never lands inside the keystroke that asked for it.
        QMetaObject::invokeMethod(
            self.data(),
            [self, run, text] {
                if (self)
                    self->finishAI(*run, text);
            },
            Qt::QueuedConnection);
    });
    return true;
}

void SnippetProducers::finishAI(const AIRun& run, const std::optional<QString>& reply)
{
    if (!reply) {
        hud(QStringLiteral("AI snippet failed"));
        return;
    }
    // A blank reply would only delete the trigger and type the text around the token.
    if (Text::trimWhitespace(*reply).isEmpty()) {
        hud(QStringLiteral("AI returned nothing"));
        return;
    }
    if (!stillWanted(run.started)) {
        hud(QStringLiteral("AI snippet cancelled"));
        return;
    }
    const QString typed = run.before + *reply + run.after + run.suffix;
    type(run.snippet, run.backspaces, typed, Text::graphemeCount(typed), run.started.appKey);
}

bool SnippetProducers::presentFillIn(const QString& plain,
                                     const QList<ContentRenderer::LiteralRange>& literals, int backspaces,
                                     const QString& suffix)
{
    return m_fillIn.present(plain, literals, backspaces, suffix);
}
