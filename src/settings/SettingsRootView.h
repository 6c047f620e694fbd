#pragma once

#include "settings/SettingsTab.h"

#include <QDialog>
#include <QHash>
#include <QPointer>
#include <QWidget>

#include <functional>

class AppState;
class LearningEngine;

class NoticeText;
class QLabel;
class QStackedWidget;
class QVBoxLayout;
class SidebarItem;
class StatusDot;

// The whole content of the settings window: the sidebar (brand, the four tabs, the live
// status and counters) beside the selected page, and the host of the onboarding sheet,
// presented whenever the window comes on screen before onboarding was completed.
//
// Pages are made by a factory when their tab is first selected, so opening the window
// builds only what it shows. The root never switches tabs by itself.
class SettingsRootView : public QWidget
{
    Q_OBJECT

  public:
    static constexpr int sidebarWidth = 220;

    // Makes the page of a tab; nullptr: a placeholder page saying what will be there.
    using PageFactory = std::function<QWidget*(SettingsTab, QWidget* parent)>;
    // Makes the onboarding sheet, a dialog the root opens window-modally.
    using SheetFactory = std::function<QDialog*(QWidget* parent)>;

    // `learning` may be null (no badge).
    SettingsRootView(AppState& state, LearningEngine* learning, QWidget* parent = nullptr);
    ~SettingsRootView() override;

    void setPageFactory(PageFactory factory);
    void setOnboardingFactory(SheetFactory factory);

    SettingsTab tab() const { return m_tab; }
    void setTab(SettingsTab tab);
    // The page of a tab once it was made.
    QWidget* page(SettingsTab tab) const { return m_pages.value(tab); }
    QWidget* sidebar() const { return m_sidebar; }

    int badge(SettingsTab tab) const;
    QString statusText() const;
    // What the store had to say about its files (kept copies, skipped records, failed saves).
    QString noticesText() const;
    QStringList statLineTexts() const;
    QDialog* onboardingSheet() const { return m_sheet; }

    // A dismissable welcome sheet, used until the full onboarding flow is installed.
    static QDialog* makeWelcomeSheet(QWidget* parent);

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    QWidget* buildSidebar();
    void refreshStatus();
    void refreshBadge();
    void refreshNotices();
    void syncOnboarding();
    QWidget* placeholderPage(SettingsTab tab);

    AppState& m_state;
    QPointer<LearningEngine> m_learning;
    PageFactory m_pageFactory;
    SheetFactory m_sheetFactory;
    SettingsTab m_tab = SettingsTab::snippets;
    QWidget* m_sidebar = nullptr;
    QStackedWidget* m_stack = nullptr;
    QHash<SettingsTab, QWidget*> m_pages;
    QHash<SettingsTab, SidebarItem*> m_items;
    StatusDot* m_statusDot = nullptr;
    QLabel* m_statusLabel = nullptr;
    NoticeText* m_notices = nullptr;
    QList<QLabel*> m_statValues;
    QList<QLabel*> m_statLabels;
    QPointer<QDialog> m_sheet;
};
