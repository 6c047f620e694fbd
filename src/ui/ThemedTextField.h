#pragma once

#include <QColor>
#include <QLineEdit>

// The colours a themed field gives its text; the widget applies them through its palette.
struct ThemedFieldColors
{
    QColor fill;
    QColor border;
    QColor text;
    QColor placeholder;
    QColor selection;
    QColor selectedText;

    static ThemedFieldColors standard();
};

// A plain one-line text field on the field colour with a thin border and no platform bezel.
// It is a QLineEdit, so text(), setText() and textChanged() are the binding to a string value.
// `focusChanged` reports when the field gains or loses keyboard focus (window switches included).
class ThemedTextField : public QLineEdit
{
    Q_OBJECT
    Q_PROPERTY(bool mono READ isMono WRITE setMono)

  public:
    static constexpr qreal textSize = 12.5;
    static constexpr int horizontalPadding = 10;
    static constexpr int verticalPadding = 7;
    static constexpr qreal cornerRadius = 8;
    static constexpr qreal borderWidth = 1;

    explicit ThemedTextField(const QString& placeholder = {}, bool mono = false, QWidget* parent = nullptr);

    bool isMono() const { return m_mono; }
    void setMono(bool mono);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // The field's height around one line of text `lineHeight` high.
    static int heightFor(int lineHeight);

  signals:
    void focusChanged(bool focused);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    void applyTheme();

    bool m_mono = false;
};
