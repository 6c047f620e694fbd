#pragma once

#include <QFont>
#include <QString>

// Controls size themselves to their text's exact (fractional) width, rounded up; whole-pixel
// metrics round down as often as up and would cut the last letter off a text that fits.
int naturalTextWidth(const QFont& font, const QString& text);

// The text as it fits in `width`: unchanged when it fits, else cut with an ellipsis at the end.
QString fitText(const QFont& font, const QString& text, qreal width);
