#include "FakeCaretLocator.h"

#include <QTimer>

void FakeCaretLocator::requestCaretRect(QObject* context, Answer done)
{
    ++requests;
    if (holdAnswers) {
        m_pending.append({context, std::move(done)});
        return;
    }
    const std::optional<QRect> answer = caret;
    QTimer::singleShot(0, context, [answer, done = std::move(done)] { done(answer); });
}

void FakeCaretLocator::release()
{
    const QList<Pending> pending = std::exchange(m_pending, {});
    for (const Pending& p : pending)
        if (p.context)
            p.done(caret);
}
