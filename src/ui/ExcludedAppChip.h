#pragma once

#include <QWidget>

#include <functional>

class QAbstractButton;

// One application identifier of an exclusion or scope list: a capsule with the identifier in
// small monospaced type and a cross that removes it. The caller decides what removal means.
// Offered less width than the identifier needs, the chip elides it in the middle and shows the
// whole identifier as its tooltip, so the cross always stays inside the row.
class ExcludedAppChip : public QWidget
{
    Q_OBJECT

  public:
    static constexpr qreal textSize = 10.5;
    static constexpr qreal symbolSize = 8;
    static constexpr int horizontalPadding = 8;
    static constexpr int verticalPadding = 4;
    static constexpr int spacing = 5;

    explicit ExcludedAppChip(const QString& bundleID, std::function<void()> onRemove = {},
                             QWidget* parent = nullptr);

    QString bundleID() const { return m_bundleID; }
    bool isHovering() const { return m_hovering; }
    QAbstractButton* removeButton() const { return m_remove; }
    // The identifier as drawn at the chip's current width.
    QString shownText() const;
    QColor crossColor() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    QRectF textRect() const;
    void setHovering(bool hovering);
    void updateToolTip();

    QString m_bundleID;
    std::function<void()> m_onRemove;
    QAbstractButton* m_remove = nullptr;
    bool m_hovering = false;
};
