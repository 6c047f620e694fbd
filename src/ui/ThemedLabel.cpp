#include "ui/ThemedLabel.h"

#include <QLabel>

void setLabelColor(QLabel* label, const QColor& color)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    label->setPalette(palette);
}

QLabel* makeThemedLabel(const QString& text, const QFont& font, const QColor& color, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    // Titles and subtitles are user data in places (snippet names): never interpret markup.
    label->setTextFormat(Qt::PlainText);
    label->setFont(font);
    setLabelColor(label, color);
    return label;
}
