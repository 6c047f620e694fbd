#pragma once

#include <QApplication>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QTest>

class QWidget;

// Checks a laid-out window the way a person looking at it would, and says what is wrong by
// object name:
// - two visible sibling controls overlap;
// - a visible label's text does not fit its rectangle (and it does not wrap), a button is
//   squeezed below the size its title needs, or a label was elided where the design does not
//   elide (an elided label must carry its full text in its tooltip);
// - a visible control reaches outside an ancestor that clips it: outside a scroll area's
//   viewport is fine only along an axis the user can scroll (a scroll bar that is not turned
//   off, or an indicator-less scroller with both bars off);
// - a visible text field is narrower than a usable width.
// Hidden widgets and separate windows (dialogs, popups) are not looked at; check those on
// their own.
namespace LayoutCheck {

struct Options
{
    // The narrowest a text field may be, unless its own maximum or a fixed width is smaller.
    int minimumFieldWidth = 200;
    // Per object name: a different narrowest width for that field (small fields in a row).
    QHash<QString, int> fieldWidths;
    // Object names of labels and pickers the design elides (their tooltip holds the full text).
    QStringList mayElide;
};

// Everything wrong with `root` and the visible widgets inside it, one readable line each.
QStringList problems(QWidget* root, const Options& options = {});

// Writes `root`'s picture to the build folder as `name`.png, for review.
void savePicture(QWidget* root, const QString& name);

// The readable name of a widget: its object name, else its class and text, inside the
// nearest named ancestor.
QString describe(const QWidget* widget);

// The rows most windows are checked in: columns "smallest" and "longTexts", every pairing.
void addSizeAndTextRows();

} // namespace LayoutCheck

// Saves the picture and fails the test with every problem found, each on its own line.
#define QUENVIL_VERIFY_LAYOUT(widget, name, ...)                                                             \
    do {                                                                                                     \
        QApplication::processEvents();                                                                       \
        LayoutCheck::savePicture((widget), (name));                                                          \
        const QStringList _layoutProblems = LayoutCheck::problems((widget), ##__VA_ARGS__);                  \
        for (const QString& _problem : _layoutProblems)                                                      \
            qWarning("%s: %s", qPrintable(QString(name)), qPrintable(_problem));                             \
        QVERIFY2(                                                                                            \
            _layoutProblems.isEmpty(),                                                                       \
            qPrintable(QStringLiteral("%1: %2 layout problems").arg(name).arg(_layoutProblems.size())));     \
    } while (false)
