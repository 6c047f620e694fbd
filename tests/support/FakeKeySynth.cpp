#include "FakeKeySynth.h"

bool FakeKeySynth::beginJob(const QString& jobText)
{
    std::lock_guard lock(m_mutex);
    m_announced = jobText;
    m_log << QStringLiteral("begin");
    return beginSucceeds;
}

bool FakeKeySynth::pressKey(Key key)
{
    std::lock_guard lock(m_mutex);
    m_log << QStringLiteral("key ") + keyName(key);
    return true;
}

bool FakeKeySynth::typeText(const QString& units)
{
    std::lock_guard lock(m_mutex);
    m_log << QStringLiteral("text ") + units;
    return true;
}

void FakeKeySynth::endJob()
{
    std::lock_guard lock(m_mutex);
    m_log << QStringLiteral("end");
}

QStringList FakeKeySynth::log() const
{
    std::lock_guard lock(m_mutex);
    return m_log;
}

void FakeKeySynth::clear()
{
    std::lock_guard lock(m_mutex);
    m_log.clear();
}

QString FakeKeySynth::typed() const
{
    std::lock_guard lock(m_mutex);
    QString out;
    for (const QString& line : m_log) {
        if (line.startsWith(QStringLiteral("text ")))
            out += line.mid(5);
        else if (line.startsWith(QStringLiteral("key ")))
            out += QLatin1Char('<') + line.mid(4) + QLatin1Char('>');
    }
    return out;
}

QString FakeKeySynth::announcedText() const
{
    std::lock_guard lock(m_mutex);
    return m_announced;
}

void FakeKeySynth::settle()
{
    std::lock_guard lock(m_mutex);
    ++m_settles;
}

int FakeKeySynth::settles() const
{
    std::lock_guard lock(m_mutex);
    return m_settles;
}
