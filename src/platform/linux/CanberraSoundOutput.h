#pragma once

#include "platform/SoundOutput.h"

#include <QString>

struct ca_context;

// Event sounds through libcanberra, from the desktop's XDG sound theme (falling back to
// the freedesktop theme). Playing only starts the sound: libcanberra mixes and plays on
// its own threads. Without a sound server or device nothing plays, silently.
class CanberraSoundOutput : public SoundOutput
{
  public:
    explicit CanberraSoundOutput(const QString& appName = QStringLiteral("Quenvil"),
                                 const QString& appId = {});
    ~CanberraSoundOutput() override;
    CanberraSoundOutput(const CanberraSoundOutput&) = delete;
    CanberraSoundOutput& operator=(const CanberraSoundOutput&) = delete;

    void playEvent(const QString& eventId) override;

    // The libcanberra result of the latest play (0 when it started); for tests.
    int lastResult() const { return m_lastResult; }

  private:
    ca_context* m_context = nullptr;
    QString m_appName;
    QString m_appId;
    int m_lastResult = 0;
};
