#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

class QLabel;
class QPainter;

// Small pieces the Spell Fix and Suggestions pages share.
namespace PagePieces {

// An upper-case section caption: 10 pt semibold, tertiary text, letter spacing 0.8.
QLabel* caption(const QString& text, QWidget* parent = nullptr);
// A plain-text label in the system font.
QLabel* label(const QString& text, qreal size, const QColor& color, QWidget* parent = nullptr,
              QFont::Weight weight = QFont::Normal);
// A one-pixel line in the border colour.
QWidget* divider(QWidget* parent = nullptr);

// The symbols of these pages: the shared set, and the few only these pages draw.
bool canDrawSymbol(const QString& name);
void paintSymbol(QPainter& painter, const QString& name, const QRectF& box, const QColor& color, int weight = 600);

} // namespace PagePieces

// A symbol drawn at a text size in one colour (information only, no control).
class PageSymbolView : public QWidget
{
    Q_OBJECT

  public:
    PageSymbolView(const QString& symbol, qreal size, const QColor& color, QWidget* parent = nullptr,
               int weight = 600);

    QString symbol() const { return m_symbol; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString m_symbol;
    qreal m_size;
    QColor m_color;
    int m_weight;
};
