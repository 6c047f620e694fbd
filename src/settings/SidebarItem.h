#pragma once

#include "settings/SettingsTab.h"

#include <QAbstractButton>

// One tab in the settings window's sidebar: symbol, title and, for Suggestions, the count in a
// capsule. It is checked while its page is shown. Assistive tools meet it as what it is, a
// page tab that is selected or not, whose action shows its page as a click does.
class SidebarItem : public QAbstractButton
{
    Q_OBJECT

  public:
    SidebarItem(SettingsTab tab, int width, QWidget* parent = nullptr);

    void setBadge(int badge);
    int badgeValue() const { return m_badge; }

    QSize sizeHint() const override { return {m_width, 2 + 2 * 7 + 18}; }

  protected:
    void paintEvent(QPaintEvent*) override;

  private:
    SettingsTab m_tab;
    int m_width;
    int m_badge = 0;
};
