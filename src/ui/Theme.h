#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>

// The one dark palette every window and panel is drawn in. Views name colours only through
// these functions, so a change of look happens here and nowhere else.
namespace Theme {

const QColor& bg();
const QColor& sidebar();
const QColor& card();
const QColor& cardHover();
const QColor& field();
const QColor& border();
const QColor& borderStrong();
const QColor& accent();
const QColor& accentSoft();
const QColor& green();
const QColor& red();
const QColor& amber();
const QColor& textPrimary();
const QColor& textSecondary();
const QColor& textTertiary();

enum class FontDesign
{
    Default,
    Monospaced,
};

// The application's default font family at `size` logical pixels. Sizes throughout the UI are
// given in logical pixels so that a 12.5 stays 12.5 whatever the screen's DPI; QFont only keeps
// fractional sizes in points, hence the conversion.
QFont systemFont(qreal size, QFont::Weight weight = QFont::Normal, FontDesign design = FontDesign::Default);

// The size in logical pixels that systemFont() was asked for (inverse of its conversion).
qreal fontSize(const QFont& font);

// The dark palette for a window or sheet whose background is `window`, so standard widgets
// inside (menus, plain fields, dialogs' buttons, scroll bars) match the drawn controls. Every
// colour role is set, so nothing of the desktop's light or dark colour scheme shows through,
// also after the desktop changes it.
QPalette darkPalette(const QColor& window);

// The palette of a popup that a window opens (a picker's list, a menu, a text field's context
// menu, a completion list, a tooltip): the card surface, primary text, the accent selection.
QPalette popupPalette();

} // namespace Theme
