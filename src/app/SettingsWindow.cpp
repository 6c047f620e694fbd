#include "app/SettingsWindow.h"

#include "settings/SettingsRootView.h"
#include "ui/Theme.h"

#include <QMenu>
#include <QMenuBar>
#include <QVBoxLayout>

SettingsWindow::SettingsWindow(SettingsRootView* root, QWidget* parent) : QWidget(parent), m_root(root)
{
    setObjectName(QStringLiteral("main"));
    setWindowTitle(QStringLiteral("Quenvil"));
    setMinimumSize(minimumWidth, minimumHeight);
    resize(defaultWidth, defaultHeight);
    setPalette(Theme::darkPalette(Theme::bg()));
    setAutoFillBackground(true);
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);
    root->setParent(this);
    stack->addWidget(root);
}

void SettingsWindow::setStandInMenu(const std::function<void(QMenu&)>& fill)
{
    if (!m_menuBar) {
        m_menuBar = new QMenuBar(this);
        m_menuBar->setAccessibleName(QStringLiteral("Quenvil"));
        static_cast<QVBoxLayout*>(layout())->setMenuBar(m_menuBar);
    }
    m_menuBar->clear();
    QMenu* menu = m_menuBar->addMenu(QStringLiteral("Quenvil"));
    fill(*menu);
    connect(menu, &QMenu::aboutToShow, menu, [menu, fill] { fill(*menu); });
}

void SettingsWindow::present()
{
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
}
