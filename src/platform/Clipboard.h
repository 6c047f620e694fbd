#pragma once

#include <QString>

// Read-only view of the desktop clipboard, for snippets that insert what was copied.
// Quenvil never writes the clipboard: typing goes through synthetic key events only.
class Clipboard
{
  public:
    virtual ~Clipboard() = default;
    // The clipboard's plain text; empty when it holds none.
    virtual QString text() const = 0;
};
