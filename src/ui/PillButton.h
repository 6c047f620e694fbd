#pragma once

#include <QAbstractButton>
#include <QColor>

#include <optional>

struct PillButtonState
{
    bool prominent = false;
    bool hovering = false;
    bool pressed = false;
    bool enabled = true;
    bool focused = false;
};

// How the button is drawn in a given state; the widget only paints what this says.
struct PillButtonLook
{
    QColor fill;
    QColor foreground;        // title and icon
    QColor border;            // transparent: no outline
    qreal contentOpacity = 1; // the whole button, pressed feedback included
    std::optional<QColor> focusRing;

    static PillButtonLook forState(const PillButtonState& state);
};

// A small rounded button: primary text on the field colour with a thin strong outline, lit to
// the hover colour while the pointer is over it; white on the accent colour when prominent.
// Being disabled only stops hover and press feedback: callers that dim a disabled button say so
// with setOpacity(), as the panels that disable one all pair it with their own opacity.
class PillButton : public QAbstractButton
{
    Q_OBJECT
    Q_PROPERTY(QString title READ title WRITE setTitle)
    Q_PROPERTY(bool prominent READ isProminent WRITE setProminent)
    Q_PROPERTY(QString symbol READ symbol WRITE setSymbol)
    Q_PROPERTY(qreal opacity READ opacity WRITE setOpacity)

  public:
    static constexpr qreal titleSize = 12;
    static constexpr qreal symbolSize = 11;
    static constexpr int horizontalPadding = 12;
    static constexpr int verticalPadding = 6;
    static constexpr int symbolSpacing = 5;
    static constexpr qreal cornerRadius = 8;
    static constexpr qreal borderWidth = 1;

    // `symbol` names the icon shown before the title ("plus", "arrow.right"); empty for none.
    explicit PillButton(const QString& title, const QString& symbol = {}, bool prominent = false,
                        QWidget* parent = nullptr);

    // Titles are shown exactly as given: an "&" is an ampersand, not a mnemonic, and changing
    // the title leaves a shortcut set with setShortcut() alone (QAbstractButton::setText would
    // replace it). The button's text() stays empty.
    QString title() const { return m_title; }
    void setTitle(const QString& title);
    QString symbol() const { return m_symbol; }
    void setSymbol(const QString& symbol);
    bool isProminent() const { return m_prominent; }
    void setProminent(bool prominent);
    qreal opacity() const { return m_opacity; }
    void setOpacity(qreal opacity);
    bool isHovering() const { return m_hovering; }

    // True when the symbol is drawn, i.e. a name with a drawing was given.
    bool showsSymbol() const;
    PillButtonLook look() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // The button's size around a title of `titleSize` and an optional symbol box of `symbolSide`.
    static QSize sizeFor(const QSize& titleSize, std::optional<int> symbolSide);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void setHovering(bool hovering);
    int symbolSide() const;

    QString m_title;
    QString m_symbol;
    bool m_prominent = false;
    bool m_hovering = false;
    qreal m_opacity = 1;
};
