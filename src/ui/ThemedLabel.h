#pragma once

#include <QColor>
#include <QFont>

class QLabel;
class QWidget;

// Colours a label's text in both roles a label may draw it with.
void setLabelColor(QLabel* label, const QColor& color);

// A plain-text label in one of the theme's fonts and colours, as the shared controls stack them.
QLabel* makeThemedLabel(const QString& text, const QFont& font, const QColor& color, QWidget* parent);
