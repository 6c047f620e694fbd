#pragma once

#include <QWidget>

// The application's mark: the text cursor in white on the blue-to-accent gradient tile, at
// the size each place shows it (the sidebar's brand row, the welcome page).
class BrandTile : public QWidget
{
  public:
    BrandTile(int side, qreal cornerRadius, qreal symbolSide, QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    qreal m_cornerRadius;
    qreal m_symbolSide;
};
