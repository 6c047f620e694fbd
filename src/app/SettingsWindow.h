#pragma once

#include <QWidget>

#include <functional>

class QMenu;
class QMenuBar;
class SettingsRootView;

// The one settings window, "main": the settings shell, and where the desktop has no tray,
// a menu bar that offers what the tray menu would.
class SettingsWindow : public QWidget
{
    Q_OBJECT

  public:
    static constexpr int minimumWidth = 880;
    static constexpr int minimumHeight = 580;
    static constexpr int defaultWidth = 920;
    static constexpr int defaultHeight = 620;

    explicit SettingsWindow(SettingsRootView* root, QWidget* parent = nullptr);

    SettingsRootView* root() const { return m_root; }

    // Shows the tray menu's rows in the window; `fill` rebuilds them each time the menu opens.
    void setStandInMenu(const std::function<void(QMenu&)>& fill);
    QMenuBar* standInMenuBar() const { return m_menuBar; }

    // Shows the window, raised and active, over whatever application the user was in.
    void present();

  private:
    SettingsRootView* m_root = nullptr;
    QMenuBar* m_menuBar = nullptr;
};
