#pragma once

#include <QAbstractButton>

// One capsule of the group filter row: accent on a faint accent fill when selected, dimmed text
// for a disabled group, lit while pointed at.
class GroupFilterChip : public QAbstractButton
{
    Q_OBJECT

  public:
    static constexpr qreal textSize = 11.5;
    static constexpr int horizontalPadding = 10;
    static constexpr int verticalPadding = 5;

    explicit GroupFilterChip(const QString& label, bool selected = false, bool dimmed = false,
                             QWidget* parent = nullptr);

    QString label() const { return m_label; }
    void setLabel(const QString& label);
    bool isSelected() const { return m_selected; }
    void setSelected(bool selected);
    bool isDimmed() const { return m_dimmed; }
    void setDimmed(bool dimmed);
    bool isHovering() const { return m_hovering; }
    QColor textColor() const;

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    QString m_label;
    bool m_selected = false;
    bool m_dimmed = false;
    bool m_hovering = false;
};
