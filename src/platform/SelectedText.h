#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

// The text selected in the application in front. Read over the accessibility bus, where
// programs answer late or never, so the question is asynchronous and bounded by a short
// time-out. It reads nothing from the clipboard and changes nothing.
class SelectedText
{
  public:
    using Answer = std::function<void(std::optional<QString>)>;

    virtual ~SelectedText() = default;

    // Calls `done` exactly once, always later (never from inside this call), on the
    // calling thread: with the selected text exactly as the program holds it (line breaks
    // kept, nothing trimmed), or with nothing when no text is selected, the selection is
    // empty, or no answer came in time. Nothing is called once `context` is destroyed.
    virtual void requestSelectedText(QObject* context, Answer done) = 0;
};
