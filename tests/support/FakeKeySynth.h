#pragma once

#include "platform/KeySynth.h"

#include <QStringList>

#include <mutex>

// A key synthesiser that records what it was asked, one line per call:
// "begin", "key Return", "text héllo", "end". Thread-safe, since the injector calls it
// from its own thread while the test reads on the main one.
class FakeKeySynth : public KeySynth
{
  public:
    bool beginJob() override;
    bool pressKey(Key key) override;
    bool typeText(const QString& units) override;
    void endJob() override;

    QStringList log() const;
    void clear();
    // The text typed so far, keys written as "<Name>".
    QString typed() const;

    bool beginSucceeds = true;

  private:
    mutable std::mutex m_mutex;
    QStringList m_log;
};
