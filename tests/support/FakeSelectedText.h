#pragma once

#include "platform/SelectedText.h"

#include <QPointer>
#include <QTimer>

// The selection the test says; answered from the event loop, as the real reader does.
class FakeSelectedText : public SelectedText
{
  public:
    void requestSelectedText(QObject* context, Answer done) override
    {
        ++requests;
        const std::optional<QString> answer = text && !text->isEmpty() ? text : std::nullopt;
        QTimer::singleShot(0, context, [done = std::move(done), answer] { done(answer); });
    }

    std::optional<QString> text;
    int requests = 0;
};
