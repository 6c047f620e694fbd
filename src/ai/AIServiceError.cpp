#include "ai/AIServiceError.h"

QString AIServiceError::description() const
{
    switch (m_code) {
    case Code::backendOff:
        return QStringLiteral("This AI feature is turned off");
    case Code::openAIKeyMissing:
        return QStringLiteral("Add an OpenAI key in Settings");
    case Code::onDeviceUnavailable:
        return m_detail;
    case Code::badResponse:
        return QStringLiteral("OpenAI request failed: ") + m_detail;
    case Code::responseTooLarge:
        return QStringLiteral("OpenAI response exceeded the 2 MB safety limit");
    case Code::onDeviceFailed:
        return QStringLiteral("On-device model request failed: ") + m_detail;
    case Code::network:
        return m_detail;
    case Code::timedOut:
        return QStringLiteral("The AI request timed out");
    case Code::invalidJSON:
        return QStringLiteral("The AI reply is not valid JSON: ") + m_detail;
    }
    return m_detail;
}
