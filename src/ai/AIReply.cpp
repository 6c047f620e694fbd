#include "ai/AIReply.h"

#include <QTimer>

AIReply::AIReply(QObject* parent) : QObject(parent) {}

AIReply::~AIReply() = default;

void AIReply::abort()
{
    if (m_done)
        return;
    m_done = true;
    // The request's own objects are children of this one and stop when it is deleted.
    deleteLater();
}

void AIReply::finish(const AIResult& result)
{
    if (m_done)
        return;
    m_done = true;
    Q_EMIT finished(result);
    deleteLater();
}

void AIReply::finishLater(const AIResult& result)
{
    QTimer::singleShot(0, this, [this, result] { finish(result); });
}
