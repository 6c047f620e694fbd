#pragma once

#include <QAbstractButton>
#include <QDialog>
#include <QVBoxLayout>
#include <QColor>
#include <QStringList>
#include <QWidget>

class QLabel;

// Small pieces the snippet library's pages and sheets share.
namespace LibraryLook {

// An upper-case section caption: 10 pt semibold, tertiary, letter spacing 0.8.
QLabel* caption(const QString& text, QWidget* parent = nullptr);

// A plain-text label in the system font.
QLabel* label(const QString& text, qreal size, const QColor& color, QWidget* parent = nullptr,
              QFont::Weight weight = QFont::Normal);

// Every symbol the library's views draw; each has a drawing (a test holds that).
const QStringList& symbolNames();

// The page and sheet background.
void paintBackground(QWidget* widget, const QColor& color);

// A modal sheet's frame: its title (also its accessible name), the sheet background, and a
// leading stack of fixed width padded 24 with 16 between items, which is returned.
QVBoxLayout* sheetStack(QDialog* dialog, const QString& title, int width);

} // namespace LibraryLook

// A symbol drawn at a given size and colour, optionally with a tooltip (the marks of a row).
class SymbolView : public QWidget
{
    Q_OBJECT

  public:
    SymbolView(const QString& symbol, qreal size, const QColor& color, QWidget* parent = nullptr);
    QString symbol() const { return m_symbol; }
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString m_symbol;
    qreal m_size;
    QColor m_color;
};

// A small icon button: the symbol at 11 pt centred in a 26 x 26 square on the field colour,
// rounded with radius 7. Its accessible name is its tooltip, or `name` when it has none.
class SymbolButton : public QAbstractButton
{
    Q_OBJECT

  public:
    static constexpr int side = 26;

    SymbolButton(const QString& symbol, const QColor& color, const QString& name, QWidget* parent = nullptr);
    QString symbol() const { return m_symbol; }
    QSize sizeHint() const override { return {side, side}; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString m_symbol;
    QColor m_color;
};
