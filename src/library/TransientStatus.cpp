#include "library/TransientStatus.h"

#include <QPointer>
#include <QTimer>

quint64 StatusLineState::post(const QString& text)
{
    m_text = text;
    return ++m_generation;
}

bool StatusLineState::expire(quint64 generation)
{
    if (generation != m_generation || !m_text)
        return false;
    m_text.reset();
    return true;
}

TransientStatus::TransientStatus(int durationMs, QObject* parent) : QObject(parent), m_durationMs(durationMs)
{
}

void TransientStatus::show(const QString& text)
{
    const quint64 generation = m_state.post(text);
    emit changed();
    // Bound to this object: the task dies with the page that showed the message.
    QTimer::singleShot(m_durationMs, this, [this, generation] {
        if (m_state.expire(generation))
            emit changed();
    });
}
