#pragma once

#include "platform/Clipboard.h"

// The desktop clipboard through Qt (needs the QGuiApplication); reads plain text only.
class QtClipboard : public Clipboard
{
  public:
    QString text() const override;
};
