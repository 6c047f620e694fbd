#pragma once

#include "ai/AIResult.h"

#include <QObject>

// One AI request in flight. `finished` is emitted exactly once, always from the event loop
// on the main thread (never inside the call that made the request, so a caller can
// connect after it got the reply), and the object deletes itself afterwards.
//
// A caller that no longer wants the answer (the user typed on, the data were cleared)
// calls abort(): the request is stopped and `finished` never comes. Connecting with a
// context object that may die first is just as safe.
class AIReply : public QObject
{
    Q_OBJECT

  public:
    explicit AIReply(QObject* parent = nullptr);
    ~AIReply() override;

    void abort();
    bool isFinished() const { return m_done; }

    // For the clients that answer it.
    void finish(const AIResult& result);
    // Answers from the event loop: for outcomes known before any request was sent.
    void finishLater(const AIResult& result);

  Q_SIGNALS:
    void finished(const AIResult& result);

  private:
    bool m_done = false;
};
