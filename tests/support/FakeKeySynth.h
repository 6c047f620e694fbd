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
    using KeySynth::beginJob;
    bool beginJob(const QString& jobText) override;
    bool pressKey(Key key) override;
    bool typeText(const QString& units) override;
    void endJob() override;
    int settleDelayMs() const override { return settleDelay; }
    void settle() override;

    QStringList log() const;
    void clear();
    // The text typed so far, keys written as "<Name>".
    QString typed() const;

    bool beginSucceeds = true;
    int settleDelay = 0;
    // settle() calls so far.
    int settles() const;
    // What the last beginJob() was told the job would type.
    QString announcedText() const;

  private:
    mutable std::mutex m_mutex;
    QStringList m_log;
    QString m_announced;
    int m_settles = 0;
};
