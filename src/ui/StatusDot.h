#pragma once

#include <QColor>
#include <QWidget>

// A small filled circle in a status colour (the sidebar's status line, the tour's waiting row).
class StatusDot : public QWidget
{
  public:
    StatusDot(int side, const QColor& color, QWidget* parent = nullptr);

    QColor color() const { return m_color; }
    void setColor(const QColor& color);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QColor m_color;
};
