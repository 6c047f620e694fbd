#include "ai/AIBackend.h"

QString aiBackendLabel(AIBackend backend)
{
    switch (backend) {
    case AIBackend::onDevice:
        return QStringLiteral("On-device");
    case AIBackend::openAI:
        return QStringLiteral("OpenAI");
    case AIBackend::off:
        break;
    }
    return QStringLiteral("Off");
}
