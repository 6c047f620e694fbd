#pragma once

#include "model/Models.h"

#include <QString>

#include <functional>

class AIReply;
class AIService;

// The two questions the learning work asks of the AI back ends: can this one answer now,
// and what does it say to a system prompt and a user message. Normally AIService; tests
// put a scripted model in its place.
struct AIAccess
{
    std::function<bool(AIBackend)> isReady;
    std::function<AIReply*(AIBackend, const QString& system, const QString& user)> complete;

    static AIAccess from(AIService& service);
};
