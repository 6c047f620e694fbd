#pragma once

#include <QWidget>

// A trigger shown as a small monospaced chip: accent text on the faint accent fill.
class TriggerChip : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText)

  public:
    static constexpr qreal textSize = 11.5;
    static constexpr int horizontalPadding = 7;
    static constexpr int verticalPadding = 3;
    static constexpr qreal cornerRadius = 6;

    explicit TriggerChip(const QString& text = {}, QWidget* parent = nullptr);

    QString text() const { return m_text; }
    void setText(const QString& text);

    QSize sizeHint() const override;
    // A row short of room may squeeze the chip down to an ellipsis rather than overflow.
    QSize minimumSizeHint() const override;

    static QFont chipFont();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    QString m_text;
};
