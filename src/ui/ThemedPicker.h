#pragma once

#include <QComboBox>

// A drop-down picker drawn like the other controls: the current choice in primary text on the
// field colour with a thin strong outline and its own small chevron, never the platform's bezel.
// Its open list is drawn on the popup colours (card surface, accent selection) every time it
// opens, whatever the desktop's colour scheme is or becomes. A choice longer than the field is
// cut with an ellipsis and shown whole in the tooltip.
class ThemedPicker : public QComboBox
{
    Q_OBJECT
    // Where the choice is drawn, for checks that measure whether it fits.
    Q_PROPERTY(QRect textRect READ textRect)

  public:
    static constexpr qreal textSize = 12.5;
    static constexpr int horizontalPadding = 10;
    static constexpr int verticalPadding = 7;
    static constexpr int chevronWidth = 24;
    static constexpr qreal cornerRadius = 8;
    static constexpr qreal borderWidth = 1;

    explicit ThemedPicker(QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    void showPopup() override;

    // The current choice as the field shows it, and where.
    QString shownText() const;
    QRect textRect() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void themePopup();
    void updateTip();

    bool m_popupThemed = false;
    // The tooltip is ours (the whole of a shortened choice), not one the owner set.
    bool m_tipIsOurs = false;
};
