#pragma once

#include <QFrame>

class QVBoxLayout;

// A rounded panel on the card colour that takes the full width it is offered. The caller fills
// contentLayout(); its margins are the card's padding. Content narrower than the card sits at
// the leading edge: addContent() does that for fixed-size widgets, and widgets that can grow
// fill the width.
class Card : public QFrame
{
    Q_OBJECT
    Q_PROPERTY(int padding READ padding WRITE setPadding)

  public:
    static constexpr qreal cornerRadius = 12;
    static constexpr qreal borderWidth = 1;

    explicit Card(int padding, QWidget* parent = nullptr);

    int padding() const { return m_padding; }
    void setPadding(int padding);

    QVBoxLayout* contentLayout() const { return m_layout; }
    void addContent(QWidget* widget);
    void addContent(QLayout* layout);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    int m_padding = 0;
    QVBoxLayout* m_layout = nullptr;
};
