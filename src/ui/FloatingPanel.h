#pragma once

#include <QWidget>

// A panel that floats above the other windows: frameless, a tool window, in the dark
// theme, taking the keyboard focus so the user can type into it at once. Escape asks to
// cancel; a close by the window manager is reported apart from that. Panels only report;
// their controllers act.
class FloatingPanel : public QWidget
{
    Q_OBJECT

  public:
    explicit FloatingPanel(QWidget* parent = nullptr);

    // Sizes the panel to its content, centres it on the primary screen, shows, raises and
    // activates it.
    void showCentered();

  signals:
    void cancelRequested();
    // The window manager closed the window (not a choice of the panel's own).
    void closedByUser();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};
