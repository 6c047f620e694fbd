#pragma once

#include "platform/AccessibilityProbe.h"

// Trust as the test sets it; counts how often it was asked.
class FakeAccessibilityProbe : public AccessibilityProbe
{
  public:
    bool isTrusted() override
    {
        ++checks;
        return trusted;
    }
    QString reason() const override { return trusted ? QString() : reasonText; }

    bool trusted = true;
    QString reasonText = QStringLiteral("No X display can be reached.");
    int checks = 0;
};
