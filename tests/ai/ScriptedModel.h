#pragma once

#include "ai/AIAccess.h"
#include "ai/AIReply.h"

#include <QHash>
#include <QList>
#include <QPointer>
#include <QString>

#include <functional>
#include <optional>

// A stand-in for the AI back ends: answers each user message from a table (a message not
// in it fails), or holds every reply until the test releases it. Records what was asked
// and how many requests were open at once.
class ScriptedModel
{
  public:
    struct Request
    {
        AIBackend backend;
        QString system;
        QString user;
    };

    QHash<AIBackend, bool> ready{{AIBackend::onDevice, true}, {AIBackend::openAI, true}};
    QHash<QString, QString> replies;
    // Every user message not in the table gets this reply when set.
    std::optional<QString> fallback;
    bool hold = false;

    AIAccess access()
    {
        AIAccess a;
        a.isReady = [this](AIBackend b) { return b != AIBackend::off && ready.value(b, false); };
        a.complete = [this](AIBackend b, const QString& system, const QString& user) {
            requests.append({b, system, user});
            auto* reply = new AIReply;
            m_open.append({reply, user});
            maxOpen = std::max(maxOpen, openCount());
            if (!hold)
                reply->finishLater(resultFor(user));
            return reply;
        };
        return a;
    }

    AIResult resultFor(const QString& user) const
    {
        if (replies.contains(user))
            return AIResult::success(replies.value(user));
        if (fallback)
            return AIResult::success(*fallback);
        return AIResult::failure(AIServiceError::onDeviceFailed(QStringLiteral("scripted failure")));
    }

    int openCount()
    {
        prune();
        return int(m_open.size());
    }
    // Answers the oldest held reply still open; false when none is.
    bool releaseOne()
    {
        prune();
        if (m_open.isEmpty())
            return false;
        const Open o = m_open.takeFirst();
        o.reply->finish(resultFor(o.user));
        return true;
    }

    QStringList users() const
    {
        QStringList out;
        for (const Request& r : requests)
            out.append(r.user);
        return out;
    }

    QList<Request> requests;
    int maxOpen = 0;

  private:
    struct Open
    {
        QPointer<AIReply> reply;
        QString user;
    };
    // An aborted reply is finished (and soon deleted) without answering.
    void prune()
    {
        m_open.removeIf([](const Open& o) { return !o.reply || o.reply->isFinished(); });
    }
    QList<Open> m_open;
};
