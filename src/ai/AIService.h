#pragma once

#include "model/Models.h"

#include <QObject>
#include <QString>

class AIReply;
class AIVetter;
class OnDeviceModel;

// The one door every AI feature goes through: a system prompt and a user prompt to the
// back end the feature's setting names, a text reply back. Keeps no state of its own.
class AIService : public QObject
{
    Q_OBJECT

  public:
    AIService(AIVetter& vetter, OnDeviceModel& onDevice, QObject* parent = nullptr);
    ~AIService() override;

    static AIService* shared();
    static void setShared(AIService* service);

    // Never answers inside the call: connect to the reply's `finished`. The reply's text is
    // the engine's answer trimmed at both ends, nothing else done to it.
    AIReply* complete(AIBackend backend, const QString& system, const QString& user);
    // Whether a request to the back end could be answered now: never for "off"; for
    // OpenAI, a usable key is stored; for on-device, the model's cached status is ready.
    bool isReady(AIBackend backend);

  private:
    AIVetter& m_vetter;
    OnDeviceModel& m_onDevice;
};
