#include "ai/AIService.h"

#include "ai/AIReply.h"
#include "ai/AIVetter.h"
#include "ai/OnDeviceModel.h"

namespace {

AIService* g_shared = nullptr;

} // namespace

AIService::AIService(AIVetter& vetter, OnDeviceModel& onDevice, QObject* parent)
    : QObject(parent), m_vetter(vetter), m_onDevice(onDevice)
{
}

AIService::~AIService()
{
    if (g_shared == this)
        g_shared = nullptr;
}

AIService* AIService::shared()
{
    return g_shared;
}

void AIService::setShared(AIService* service)
{
    g_shared = service;
}

AIReply* AIService::complete(AIBackend backend, const QString& system, const QString& user)
{
    switch (backend) {
    case AIBackend::onDevice:
        return m_onDevice.complete(system, user);
    case AIBackend::openAI: {
        // Read afresh: a key removed or replaced outside the application counts at once.
        const std::optional<QString> key = AIVetter::loadKey();
        if (key)
            return m_vetter.complete(*key, system, user);
        auto* reply = new AIReply(this);
        reply->finishLater(AIResult::failure(AIServiceError::openAIKeyMissing()));
        return reply;
    }
    case AIBackend::off:
        break;
    }
    auto* reply = new AIReply(this);
    reply->finishLater(AIResult::failure(AIServiceError::backendOff()));
    return reply;
}

bool AIService::isReady(AIBackend backend)
{
    switch (backend) {
    case AIBackend::onDevice:
        return m_onDevice.isReady();
    case AIBackend::openAI:
        return AIVetter::loadKey().has_value();
    case AIBackend::off:
        break;
    }
    return false;
}
