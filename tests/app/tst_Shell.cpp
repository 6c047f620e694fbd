#include "ai/LearningEngine.h"
#include "app/LaunchSequence.h"
#include "app/MenuContent.h"
#include "app/SingleInstance.h"
#include "app/StatusIcon.h"
#include "model/AppState.h"
#include "model/SettingsStore.h"
#include "settings/SettingsRootView.h"
#include "settings/SettingsTab.h"
#include "settings/SidebarStatus.h"
#include "ui/SymbolImage.h"
#include "ui/Theme.h"

#include "AccessibleEdit.h"
#include "FakeSpellChecker.h"
#include "TestHome.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QDialog>
#include <QLocalSocket>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QTextEdit>

#include <thread>

namespace {

// Records the launch steps in the order they are taken.
class RecordingSteps : public LaunchSteps
{
  public:
    explicit RecordingSteps(SettingsStore& settings, bool trusted) : m_settings(settings), m_trusted(trusted) {}

    QStringList calls;
    bool decidedTrusted = false;
    bool decidedFirstLaunch = false;

    void setUpNotifications() override { calls << QStringLiteral("notifications"); }
    bool checkTrust() override
    {
        calls << QStringLiteral("trust");
        return m_trusted;
    }
    void storeTrust(bool trusted) override { calls << QStringLiteral("store trust %1").arg(trusted); }
    void startEventTap() override { calls << QStringLiteral("event tap"); }
    void backupIfNeeded() override { calls << QStringLiteral("backup"); }
    void registerSearchHotKey() override { calls << QStringLiteral("hot key Space"); }
    void registerCaptureHotKey() override { calls << QStringLiteral("hot key N"); }
    void registerRewriteHotKey() override { calls << QStringLiteral("hot key R"); }
    SettingsStore& settings() override
    {
        calls << QStringLiteral("launch flags");
        return m_settings;
    }
    void scheduleWindowDecision(bool trusted, bool firstLaunch) override
    {
        calls << QStringLiteral("window decision");
        decidedTrusted = trusted;
        decidedFirstLaunch = firstLaunch;
    }

  private:
    SettingsStore& m_settings;
    bool m_trusted;
};

} // namespace

class tst_Shell : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void launchRunsInOrder();
    void launchFlags_data();
    void launchFlags();
    void windowDecision_data();
    void windowDecision();
    void statusIcon_data();
    void statusIcon();
    void menuRows_data();
    void menuRows();
    void menuActionsRunAfterTheMenuCloses();
    void sidebarStatus_data();
    void sidebarStatus();
    void sidebarCountersAndBadge();
    void onboardingSheetFollowsTheFlag_data();
    void onboardingSheetFollowsTheFlag();
    void tabsKeepTheirPages();
    void sidebarTabsAreAccessiblePageTabs();
    void sidebarSaysWhatTheStoreKept();
    void everySymbolIsDrawn();
    void secondInstanceAsksTheFirst();
};

void tst_Shell::launchRunsInOrder()
{
    TestHome home;
    SettingsStore settings(home.settingsPath());
    RecordingSteps steps(settings, false);
    runLaunchSequence(steps);
    const QStringList expected = {
        QStringLiteral("notifications"), QStringLiteral("trust"),          QStringLiteral("store trust 0"),
        QStringLiteral("event tap"),     QStringLiteral("backup"),         QStringLiteral("hot key Space"),
        QStringLiteral("hot key N"),     QStringLiteral("hot key R"),      QStringLiteral("launch flags"),
        QStringLiteral("window decision"),
    };
    QCOMPARE(steps.calls, expected);
    QCOMPARE(steps.decidedTrusted, false);
    QCOMPARE(steps.decidedFirstLaunch, true);
}

void tst_Shell::launchFlags_data()
{
    // Stored values as JSON text; "-" for absent.
    QTest::addColumn<QString>("launchedBefore");
    QTest::addColumn<QString>("completed");
    QTest::addColumn<bool>("firstLaunch");
    QTest::addColumn<bool>("completedAfter");
    QTest::newRow("very first launch: the tour is not taken as done") << "-" << "-" << true << false;
    QTest::newRow("upgrade from before the tour") << "true" << "-" << false << true;
    QTest::newRow("only presence counts") << "false" << "-" << false << true;
    QTest::newRow("unfinished tour stays unfinished") << "true" << "false" << false << false;
    QTest::newRow("finished tour") << "true" << "true" << false << true;
    QTest::newRow("flag without launch record") << "-" << "true" << true << true;
}

void tst_Shell::launchFlags()
{
    QFETCH(QString, launchedBefore);
    QFETCH(QString, completed);
    QFETCH(bool, firstLaunch);
    QFETCH(bool, completedAfter);
    TestHome home;
    QStringList fields;
    if (launchedBefore != QLatin1String("-"))
        fields << QStringLiteral("\"didLaunchBefore\":") + launchedBefore;
    if (completed != QLatin1String("-"))
        fields << QStringLiteral("\"didCompleteOnboarding\":") + completed;
    QDir().mkpath(QFileInfo(home.settingsPath()).path());
    TestHome::writeFile(home.settingsPath(), QStringLiteral("{%1}").arg(fields.join(QLatin1Char(','))).toUtf8());
    SettingsStore settings(home.settingsPath());
    QCOMPARE(LaunchFlags::apply(settings), firstLaunch);
    QCOMPARE(settings.boolValue(QStringLiteral("didCompleteOnboarding")), completedAfter);
    QVERIFY(settings.contains(QStringLiteral("didCompleteOnboarding")));
    QVERIFY(settings.boolValue(QStringLiteral("didLaunchBefore")));
    // The next launch is never a first one.
    QCOMPARE(LaunchFlags::apply(settings), false);
}

void tst_Shell::windowDecision_data()
{
    QTest::addColumn<bool>("trusted");
    QTest::addColumn<bool>("firstLaunch");
    QTest::addColumn<bool>("tray");
    QTest::addColumn<bool>("shown");
    QTest::newRow("later launch, trusted") << true << false << true << false;
    QTest::newRow("first launch, trusted") << true << true << true << true;
    QTest::newRow("later launch, not trusted") << false << false << true << true;
    QTest::newRow("first launch, not trusted") << false << true << true << true;
    QTest::newRow("no tray: the window stands in") << true << false << false << true;
}

void tst_Shell::windowDecision()
{
    QFETCH(bool, trusted);
    QFETCH(bool, firstLaunch);
    QFETCH(bool, tray);
    QFETCH(bool, shown);
    QCOMPARE(decideWindow(trusted, firstLaunch, tray) == WindowDecision::show, shown);
}

void tst_Shell::statusIcon_data()
{
    QTest::addColumn<bool>("granted");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("paused");
    QTest::addColumn<QString>("symbol");
    QTest::newRow("working") << true << true << false << "text.cursor";
    QTest::newRow("off") << true << false << false << "pause.circle";
    QTest::newRow("paused") << true << true << true << "pause.circle";
    QTest::newRow("off and paused") << true << false << true << "pause.circle";
    QTest::newRow("no permission wins") << false << false << true << "exclamationmark.triangle";
    QTest::newRow("no permission") << false << true << false << "exclamationmark.triangle";
}

void tst_Shell::statusIcon()
{
    QFETCH(bool, granted);
    QFETCH(bool, enabled);
    QFETCH(bool, paused);
    QFETCH(QString, symbol);
    QCOMPARE(StatusIcon::symbol(granted, enabled, paused), symbol);
    QVERIFY(!StatusIcon::icon(symbol).pixmap(22, 22).isNull());
}

namespace {

QString describe(const QList<MenuRow>& rows)
{
    QStringList out;
    for (const MenuRow& r : rows) {
        switch (r.kind) {
        case MenuRow::Kind::divider:
            out << QStringLiteral("---");
            break;
        case MenuRow::Kind::toggle:
            out << QStringLiteral("[%1] ").arg(r.checked ? QLatin1Char('x') : QLatin1Char(' ')) + r.title;
            break;
        case MenuRow::Kind::text:
            out << QStringLiteral("(") + r.title + QStringLiteral(")");
            break;
        case MenuRow::Kind::button:
            out << r.title + (r.shortcut.isEmpty() ? QString() : QStringLiteral(" <") + r.shortcut + QLatin1Char('>')) +
                       (r.enabled ? QString() : QStringLiteral(" {disabled}"));
            break;
        }
    }
    return out.join(QLatin1Char('\n'));
}

} // namespace

void tst_Shell::menuRows_data()
{
    QTest::addColumn<MenuInputs>("in");
    QTest::addColumn<QString>("menu");

    MenuInputs base;
    base.timeSavedLabel = QStringLiteral("0s");
    const QString tail = QStringLiteral("Search snippets\u2026 <Ctrl+Alt+Space>\n"
                                        "New snippet from selection\u2026 <Ctrl+Alt+N>\n"
                                        "---\n"
                                        "Open Quenvil\u2026 <Ctrl+,>\n"
                                        "Check for Updates\u2026 {disabled}\n"
                                        "---\n"
                                        "Quit Quenvil <Ctrl+Q>");
    QTest::newRow("fresh start") << base
                                 << QStringLiteral("[x] Enable Quenvil\nPause for 15 minutes\nPause for 1 hour\n---\n"
                                                   "(0 expansions \u00b7 0 fixes \u00b7 0s saved)\n") +
                                        tail;

    MenuInputs off = base;
    off.masterEnabled = false;
    QTest::newRow("off: no pause rows")
        << off << QStringLiteral("[ ] Enable Quenvil\n---\n(0 expansions \u00b7 0 fixes \u00b7 0s saved)\n") + tail;

    MenuInputs paused = base;
    paused.paused = true;
    paused.pausedUntilLabel = QStringLiteral("15:42");
    paused.masterEnabled = false;
    QTest::newRow("paused: only resume")
        << paused
        << QStringLiteral("[ ] Enable Quenvil\nResume now \u2014 paused until 15:42\n---\n"
                          "(0 expansions \u00b7 0 fixes \u00b7 0s saved)\n") +
               tail;

    MenuInputs busy = base;
    busy.accessibilityGranted = false;
    busy.statExpansions = 1234567;
    busy.statCorrections = 1;
    busy.timeSavedLabel = QStringLiteral("3h");
    busy.suggestionCount = 1;
    busy.hasLastExpansion = true;
    busy.aiWritingOn = true;
    busy.canCheckForUpdates = true;
    QTest::newRow("everything shown")
        << busy
        << QStringLiteral("[x] Enable Quenvil\nFix Accessibility permission\u2026\nPause for 15 minutes\n"
                          "Pause for 1 hour\n---\n(1234567 expansions \u00b7 1 fixes \u00b7 3h saved)\n"
                          "Review 1 suggestion\u2026\nInsert last expansion again\nEdit last expanded snippet\u2026\n"
                          "Search snippets\u2026 <Ctrl+Alt+Space>\nNew snippet from selection\u2026 <Ctrl+Alt+N>\n"
                          "Rewrite selection with AI\u2026 <Ctrl+Alt+R>\n---\nOpen Quenvil\u2026 <Ctrl+,>\n"
                          "Check for Updates\u2026\n---\nQuit Quenvil <Ctrl+Q>");

    MenuInputs plural = base;
    plural.suggestionCount = 2;
    QTest::newRow("plural suggestions")
        << plural
        << QStringLiteral("[x] Enable Quenvil\nPause for 15 minutes\nPause for 1 hour\n---\n"
                          "(0 expansions \u00b7 0 fixes \u00b7 0s saved)\nReview 2 suggestions\u2026\n") +
               tail;
}

void tst_Shell::menuRows()
{
    QFETCH(MenuInputs, in);
    QFETCH(QString, menu);
    QCOMPARE(describe(::menuRows(in)), menu);
}

void tst_Shell::menuActionsRunAfterTheMenuCloses()
{
    QMenu menu;
    MenuInputs in;
    in.hasLastExpansion = true;
    QList<MenuAction> acted;
    fillMenu(menu, ::menuRows(in), [&acted](MenuAction a) { acted << a; });
    QAction* insert = nullptr;
    QAction* stats = nullptr;
    for (QAction* a : menu.actions()) {
        if (a->text() == QLatin1String("Insert last expansion again"))
            insert = a;
        if (a->text().contains(QStringLiteral("expansions \u00b7")))
            stats = a;
    }
    if (!insert || !stats) {
        for (QAction* a : menu.actions())
            qWarning() << a->text();
    }
    QVERIFY(insert && stats);
    QVERIFY(!stats->isEnabled());
    insert->trigger();
    QVERIFY(acted.isEmpty()); // not inside the menu's own event
    QTRY_COMPARE(acted, QList<MenuAction>{MenuAction::insertLastExpansion});

    // A pause label is data: an ampersand stays literal instead of becoming a mnemonic.
    MenuInputs amp;
    amp.paused = true;
    amp.pausedUntilLabel = QStringLiteral("3 & 4");
    fillMenu(menu, ::menuRows(amp), [](MenuAction) {});
    QCOMPARE(menu.actions().at(1)->text(), QStringLiteral("Resume now \u2014 paused until 3 && 4"));
}

void tst_Shell::sidebarStatus_data()
{
    QTest::addColumn<bool>("granted");
    QTest::addColumn<bool>("paused");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QColor>("color");
    QTest::newRow("active") << true << false << true << "Active" << Theme::green();
    QTest::newRow("off") << true << false << false << "Off" << Theme::textTertiary();
    QTest::newRow("permission wins over pause") << false << true << true << "Needs permission" << Theme::amber();
    QTest::newRow("pause wins over off") << true << true << false << "Paused until 9:05" << Theme::amber();
}

void tst_Shell::sidebarStatus()
{
    QFETCH(bool, granted);
    QFETCH(bool, paused);
    QFETCH(bool, enabled);
    QFETCH(QString, text);
    QFETCH(QColor, color);
    const SidebarStatus status = SidebarStatus::from(granted, paused, QStringLiteral("9:05"), enabled);
    QCOMPARE(status.text, text);
    QCOMPARE(status.color, color);
}

void tst_Shell::sidebarCountersAndBadge()
{
    TestHome home;
    AppState state(home.storeOptions());
    state.setAccessibilityGranted(true);
    LearningEngine::Options options;
    options.filePath = home.dataFile(QStringLiteral("learning.json"));
    FakeSpellChecker spelling;
    LearningEngine::Collaborators with;
    with.spellChecker = &spelling;
    LearningEngine learning(state, with, options);
    SettingsRootView root(state, &learning);
    QCOMPARE(root.statusText(), QStringLiteral("Active"));
    state.setStatExpansions(123456789012);
    state.setStatCorrections(7);
    QCOMPARE(root.statLineTexts().first(), QStringLiteral("123456789012 expansions"));
    QCOMPARE(root.statLineTexts().at(1), QStringLiteral("7 typos fixed"));
    QCOMPARE(root.statLineTexts().at(2), QStringLiteral("0 keystrokes saved"));
    QVERIFY(root.statLineTexts().at(3).endsWith(QLatin1String(" time saved")));
    state.pause(15);
    QVERIFY(root.statusText().startsWith(QLatin1String("Paused until ")));
    state.resumeNow();
    state.setMasterEnabled(false);
    QCOMPARE(root.statusText(), QStringLiteral("Off"));

    for (SettingsTab tab : SettingsTabs::allCases())
        QCOMPARE(root.badge(tab), 0);
    // Two hand-fixed typos seen twice make two suggestions; the badge sits on one tab only.
    for (int i = 0; i < 2; ++i) {
        learning.recordCorrection(QStringLiteral("plaen"), QStringLiteral("plane"));
        learning.recordCorrection(QStringLiteral("blorp"), QStringLiteral("blurp"));
    }
    QCOMPARE(learning.suggestionCount(), 2);
    QCOMPARE(root.badge(SettingsTab::suggestions), 2);
    QCOMPARE(root.badge(SettingsTab::snippets), 0);
    QCOMPARE(root.badge(SettingsTab::general), 0);
    learning.dismissCorrection(learning.suggestedCorrections().first());
    QCOMPARE(root.badge(SettingsTab::suggestions), 1);
}

void tst_Shell::onboardingSheetFollowsTheFlag_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("presented");
    QTest::newRow("absent") << "{}" << true;
    QTest::newRow("false") << R"({"didCompleteOnboarding":false})" << true;
    QTest::newRow("true") << R"({"didCompleteOnboarding":true})" << false;
}

void tst_Shell::onboardingSheetFollowsTheFlag()
{
    QFETCH(QString, stored);
    QFETCH(bool, presented);
    TestHome home;
    QDir().mkpath(QFileInfo(home.settingsPath()).path());
    TestHome::writeFile(home.settingsPath(), stored.toUtf8());
    AppState state(home.storeOptions());
    QWidget window;
    auto* root = new SettingsRootView(state, nullptr, &window);
    window.show();
    QCOMPARE(state.showOnboarding(), presented);
    QCOMPARE(root->onboardingSheet() != nullptr, presented);
    if (!presented)
        return;
    // Closed by the user: the request ends, the stored flag is untouched, and the sheet is
    // back the next time the window comes on screen.
    root->onboardingSheet()->reject();
    QVERIFY(!state.showOnboarding());
    QTRY_VERIFY(!root->onboardingSheet());
    QCOMPARE(state.settings().contains(QStringLiteral("didCompleteOnboarding")), stored != QLatin1String("{}"));
    window.hide();
    window.show();
    QVERIFY(state.showOnboarding());
    QVERIFY(root->onboardingSheet());
    // Finishing elsewhere (the tour sets the flag, then clears the request) closes it.
    state.settings().setBool(QStringLiteral("didCompleteOnboarding"), true);
    state.setShowOnboarding(false);
    QTRY_VERIFY(!root->onboardingSheet());
    window.hide();
    window.show();
    QVERIFY(!state.showOnboarding());
}

void tst_Shell::tabsKeepTheirPages()
{
    TestHome home;
    AppState state(home.storeOptions());
    state.settings().setBool(QStringLiteral("didCompleteOnboarding"), true);
    SettingsRootView root(state, nullptr);
    QList<SettingsTab> made;
    root.setPageFactory([&made](SettingsTab tab, QWidget* parent) -> QWidget* {
        made << tab;
        return tab == SettingsTab::general ? new QWidget(parent) : nullptr;
    });
    root.show();
    QCOMPARE(root.tab(), SettingsTab::snippets);
    QCOMPARE(made, QList<SettingsTab>{SettingsTab::snippets});
    // An edit request never switches tabs by itself.
    state.setEditSnippetID(QUuid::createUuid());
    QCOMPARE(root.tab(), SettingsTab::snippets);
    root.setTab(SettingsTab::general);
    QWidget* general = root.page(SettingsTab::general);
    QVERIFY(general);
    root.setTab(SettingsTab::snippets);
    root.setTab(SettingsTab::general);
    QCOMPARE(root.page(SettingsTab::general), general);
    QCOMPARE(made, (QList<SettingsTab>{SettingsTab::snippets, SettingsTab::general}));
    QCOMPARE(SettingsTabs::fromRawValue(QStringLiteral("corrections")), SettingsTab::corrections);
    QVERIFY(!SettingsTabs::fromRawValue(QStringLiteral("Snippets")));
}

void tst_Shell::sidebarTabsAreAccessiblePageTabs()
{
    TestHome home;
    AppState state(home.storeOptions());
    state.settings().setBool(QStringLiteral("didCompleteOnboarding"), true);
    SettingsRootView root(state, nullptr);
    root.show();
    QHash<SettingsTab, QAbstractButton*> items;
    for (QAbstractButton* b : root.sidebar()->findChildren<QAbstractButton*>()) {
        for (SettingsTab tab : SettingsTabs::allCases()) {
            if (b->text() == SettingsTabs::title(tab))
                items.insert(tab, b);
        }
    }
    QCOMPARE(items.size(), SettingsTabs::allCases().size());
    const auto iface = [&](SettingsTab tab) {
        return QAccessible::queryAccessibleInterface(items.value(tab));
    };
    const auto selectedTabs = [&] {
        QList<SettingsTab> selected;
        for (SettingsTab tab : SettingsTabs::allCases()) {
            if (iface(tab)->state().selected)
                selected << tab;
        }
        return selected;
    };
    for (SettingsTab tab : SettingsTabs::allCases()) {
        QAccessibleInterface* a = iface(tab);
        QVERIFY(a);
        QCOMPARE(a->role(), QAccessible::PageTab);
        QCOMPARE(a->text(QAccessible::Name), SettingsTabs::title(tab));
        QVERIFY(a->state().selectable);
        QVERIFY(!a->state().checkable && !a->state().checked);
        QVERIFY(a->actionInterface());
        QCOMPARE(a->actionInterface()->actionNames().value(0), QAccessibleActionInterface::pressAction());
    }
    QCOMPARE(selectedTabs(), QList<SettingsTab>{SettingsTab::snippets});

    // The action switches the page as a click does; on the shown tab it keeps it.
    QVERIFY(AccessibleEdit::doAction(items.value(SettingsTab::suggestions)));
    QCOMPARE(root.tab(), SettingsTab::suggestions);
    QCOMPARE(selectedTabs(), QList<SettingsTab>{SettingsTab::suggestions});
    QVERIFY(root.page(SettingsTab::suggestions)->isVisible());
    QVERIFY(AccessibleEdit::doAction(items.value(SettingsTab::suggestions)));
    QCOMPARE(root.tab(), SettingsTab::suggestions);
    QCOMPARE(selectedTabs(), QList<SettingsTab>{SettingsTab::suggestions});
    // And as the keyboard does.
    items.value(SettingsTab::general)->setFocus();
    QTest::keyClick(items.value(SettingsTab::general), Qt::Key_Space);
    QCOMPARE(root.tab(), SettingsTab::general);
    QCOMPARE(selectedTabs(), QList<SettingsTab>{SettingsTab::general});
}

void tst_Shell::sidebarSaysWhatTheStoreKept()
{
    TestHome home;
    QDir().mkpath(home.dataDir());
    TestHome::writeFile(home.dataFile(QStringLiteral("snippets.json")),
                        R"([{"trigger": ";a", "content": "A"}, {"trigger": 5, "content": "<b>x</b>"}])");
    AppState state(home.storeOptions());
    QCOMPARE(state.notices().size(), 1);
    SettingsRootView root(state, nullptr);
    QCOMPARE(root.noticesText(), state.notices().first().message);
    QVERIFY(root.noticesText().contains(QLatin1String("snippets.json")));
    const QList<QTextEdit*> notices = root.findChildren<QTextEdit*>();
    QCOMPARE(notices.size(), 1);
    QCOMPARE(notices.first()->accessibleName(), root.noticesText());
}

void tst_Shell::everySymbolIsDrawn()
{
    QStringList names;
    for (SettingsTab tab : SettingsTabs::allCases())
        names << SettingsTabs::symbol(tab);
    names << QStringLiteral("text.cursor") << QStringLiteral("pause.circle")
          << QStringLiteral("exclamationmark.triangle");
    for (const QString& name : names)
        QVERIFY2(SymbolImage::isKnown(name), qPrintable(name));
}

void tst_Shell::secondInstanceAsksTheFirst()
{
    QTemporaryDir dir;
    SingleInstance first(dir.path(), QStringLiteral("quenvil-test"));
    QVERIFY(first.acquire());
    QSignalSpy shown(&first, &SingleInstance::showRequested);

    SingleInstance second(dir.path(), QStringLiteral("quenvil-test"));
    QVERIFY(!second.acquire());
    // The second one blocks while it asks; the first answers from its event loop.
    bool confirmed = false;
    std::thread asker([&] { confirmed = second.askRunningToShow(5000); });
    QTRY_COMPARE(shown.count(), 1);
    asker.join();
    QVERIFY(confirmed);

    // Another session's key is another instance.
    SingleInstance other(dir.path(), QStringLiteral("quenvil-other"));
    QVERIFY(other.acquire());
}

QTEST_MAIN(tst_Shell)
#include "tst_Shell.moc"
