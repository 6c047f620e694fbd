#include "ui/ThemedSecureField.h"

ThemedSecureField::ThemedSecureField(const QString& placeholder, QWidget* parent)
    : ThemedTextField(placeholder, true, parent)
{
    setEchoMode(QLineEdit::Password);
}
