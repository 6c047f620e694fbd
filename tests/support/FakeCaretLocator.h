#pragma once

#include "platform/CaretLocator.h"

#include <QList>
#include <QPointer>

// A caret where the test puts it. Answers on the next turn of the event loop, or, while
// `holdAnswers` is set, only when the test calls release(), to stand for a slow program.
class FakeCaretLocator : public CaretLocator
{
  public:
    void requestCaretRect(QObject* context, Answer done) override;
    // Answers every held question with the caret as it is now.
    void release();
    int pendingCount() const { return int(m_pending.size()); }

    std::optional<QRect> caret;
    bool holdAnswers = false;
    int requests = 0;

  private:
    struct Pending
    {
        QPointer<QObject> context;
        Answer done;
    };
    QList<Pending> m_pending;
};
