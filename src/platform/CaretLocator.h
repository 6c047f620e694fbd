#pragma once

#include <QObject>
#include <QRect>

#include <functional>
#include <optional>

// Where the text caret of the focused text field of whatever program is in front is
// drawn. Programs answer over the accessibility bus, and a busy or hung one may take
// arbitrarily long, so the question is asynchronous and bounded by a short time-out:
// nothing on the key path ever waits for it.
class CaretLocator
{
  public:
    using Answer = std::function<void(std::optional<QRect>)>;

    virtual ~CaretLocator() = default;

    // Calls `done` exactly once, always later (never from inside this call), on the
    // calling thread: with the caret's rectangle in screen pixels (origin at the top left
    // of the X screen), or with nothing when no text has the focus, it has no caret, or
    // no answer came within the time-out. Nothing is called once `context` is destroyed.
    virtual void requestCaretRect(QObject* context, Answer done) = 0;
};
