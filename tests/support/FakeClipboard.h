#pragma once

#include "platform/Clipboard.h"

// A clipboard holding whatever the test put in it; counts how often it was read.
class FakeClipboard : public Clipboard
{
  public:
    explicit FakeClipboard(const QString& text = QString()) : value(text) {}

    QString text() const override
    {
        ++reads;
        return value;
    }

    QString value;
    mutable int reads = 0;
};
