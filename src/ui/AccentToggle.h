#pragma once

#include <QAbstractButton>
#include <QColor>

#include <optional>

// How the switch is drawn in a given state; the widget only paints what this says.
struct AccentToggleLook
{
    QColor track;
    QColor knob;
    qreal knobPosition = 0; // 0 = leading end (off), 1 = trailing end (on)
    qreal opacity = 1;
    std::optional<QColor> focusRing;

    static AccentToggleLook forState(bool on, bool enabled, bool focused);
};

// An on/off switch without a label, tinted with the accent. Checkable: `toggled(bool)` reports
// every change, whether it came from a click, the keyboard or setChecked().
class AccentToggle : public QAbstractButton
{
    Q_OBJECT

  public:
    // The small switch: 32 x 18 with a knob 2 smaller than the track is high.
    static constexpr int trackWidth = 32;
    static constexpr int trackHeight = 18;
    static constexpr int knobInset = 1;

    explicit AccentToggle(bool on = false, QWidget* parent = nullptr);

    bool isOn() const { return isChecked(); }
    void setOn(bool on) { setChecked(on); }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override;
};
