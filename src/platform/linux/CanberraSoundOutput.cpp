#include "platform/linux/CanberraSoundOutput.h"

#include <canberra.h>

namespace {

// All our sounds share one id, so a new confirmation cuts the previous one short instead
// of piling up during fast typing.
constexpr uint32_t kSoundId = 1;

} // namespace

CanberraSoundOutput::CanberraSoundOutput(const QString& appName, const QString& appId)
    : m_appName(appName), m_appId(appId)
{
}

CanberraSoundOutput::~CanberraSoundOutput()
{
    if (m_context)
        ca_context_destroy(m_context);
}

void CanberraSoundOutput::playEvent(const QString& eventId)
{
    if (eventId.isEmpty())
        return;
    if (!m_context) {
        // Made on first use: connecting to the sound server is not free, and many users
        // never turn sounds on.
        if (ca_context_create(&m_context) != CA_SUCCESS) {
            m_context = nullptr;
            m_lastResult = CA_ERROR_NOTAVAILABLE;
            return;
        }
        ca_context_change_props(m_context, CA_PROP_APPLICATION_NAME, m_appName.toUtf8().constData(), nullptr);
        if (!m_appId.isEmpty())
            ca_context_change_props(m_context, CA_PROP_APPLICATION_ID, m_appId.toUtf8().constData(), nullptr);
    }
    ca_context_cancel(m_context, kSoundId);
    m_lastResult = ca_context_play(m_context, kSoundId, CA_PROP_EVENT_ID, eventId.toUtf8().constData(),
                                   CA_PROP_CANBERRA_CACHE_CONTROL, "permanent", nullptr);
}
