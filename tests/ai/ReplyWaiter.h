#pragma once

#include "ai/AIReply.h"

#include <QObject>
#include <QTest>

#include <memory>
#include <optional>

// Collects the answer of one AIReply; safe when the reply never answers.
class ReplyWaiter
{
  public:
    explicit ReplyWaiter(AIReply* reply) : m_context(std::make_unique<QObject>())
    {
        QObject::connect(reply, &AIReply::finished, m_context.get(), [this](const AIResult& r) {
            m_result = r;
            ++m_count;
        });
    }

    std::optional<AIResult> wait(int timeoutMs = 10000)
    {
        (void)QTest::qWaitFor([this] { return m_result.has_value(); }, timeoutMs);
        return m_result;
    }
    bool answered() const { return m_result.has_value(); }
    int count() const { return m_count; }

  private:
    std::unique_ptr<QObject> m_context;
    std::optional<AIResult> m_result;
    int m_count = 0;
};

// The user-facing text of a result: the reply itself, or the error's description.
inline QString outcomeText(const std::optional<AIResult>& r)
{
    if (!r)
        return QStringLiteral("<no answer>");
    return r->ok() ? r->text : r->error->description();
}
