#pragma once

#include "ui/ThemedTextField.h"

// The themed field for a secret: characters are masked and always set in the monospaced
// design. Its `focusChanged` tells whoever guards typed secrets that one of our own password
// fields holds keyboard focus.
class ThemedSecureField : public ThemedTextField
{
    Q_OBJECT

  public:
    explicit ThemedSecureField(const QString& placeholder = {}, QWidget* parent = nullptr);
};
