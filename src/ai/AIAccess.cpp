#include "ai/AIAccess.h"

#include "ai/AIService.h"

AIAccess AIAccess::from(AIService& service)
{
    AIAccess access;
    access.isReady = [&service](AIBackend b) { return service.isReady(b); };
    access.complete = [&service](AIBackend b, const QString& system, const QString& user) {
        return service.complete(b, system, user);
    };
    return access;
}
