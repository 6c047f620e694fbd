#pragma once

#include <QObject>

class QWidget;

// Gives the popups that Qt makes on our windows' behalf the theme's colours: a text field's
// context menu, a menu opened from a window, a completion list, any combo box's open list,
// tooltips, and the standard dialogs (file dialog, message boxes). Such a popup is a window of
// its own and takes no palette from the window it opens over, so it would otherwise draw in
// the desktop's colour scheme. Popups of no window of ours (the tray icon's menu) are left
// to the desktop.
class PopupTheme : public QObject
{
    Q_OBJECT

  public:
    // Installs the one filter on the application; calling it again does nothing.
    static void install();

    // Whether `window` is a popup or dialog that opens over one of our windows, and so is
    // themed when it shows.
    static bool opensOverOurWindow(const QWidget* window);

    // Gives the popup window `popup` the popup colours: its palette, and its surface and
    // hairline drawn in the theme's card and strong border colours.
    static void themePopup(QWidget* popup);

    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    using QObject::QObject;
};
