// The Snippets tab, the snippet editor and the groups sheet laid out on a real X server, at
// their smallest and their usual size and with the long texts users put in them: nothing may
// overlap, be cut off or leave a field too narrow to use. Each picture goes to the build folder.
#include "app/SettingsWindow.h"
#include "library/GroupsManagerSheet.h"
#include "library/SnippetEditor.h"
#include "library/SnippetImport.h"
#include "library/SnippetListModel.h"
#include "library/SnippetListView.h"
#include "library/SnippetsView.h"
#include "model/AppState.h"
#include "settings/SettingsRootView.h"
#include "ui/Theme.h"
#include "ui/ThemedTextField.h"

#include "LayoutCheck.h"
#include "TestHome.h"
#include "XServerEnvironment.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QScrollArea>
#include <QTest>
#include <QVBoxLayout>

namespace {

// The Snippets tab's share of the settings window: the window less the sidebar and its rule.
QSize pageSize(int windowWidth, int windowHeight)
{
    return {windowWidth - SettingsRootView::sidebarWidth - 1, windowHeight};
}

const QString kLongGroup = QStringLiteral("Customer support replies for the spring campaign");
const QString kLongApp =
    QStringLiteral("org.example.a-very-long-window-class-for-testing.Editor-with-a-plugin");

} // namespace

class tst_LibraryScreens : public QObject
{
    Q_OBJECT

  private slots:
    void init();
    void cleanup();
    void snippetsTab_data();
    void snippetsTab();
    void editor_data();
    void editor();
    void groupsSheet_data();
    void groupsSheet();

  private:
    std::unique_ptr<TestHome> m_home;
    std::unique_ptr<AppState> m_state;
    QList<SnippetGroup> m_groups;
};

void tst_LibraryScreens::init()
{
    m_home = std::make_unique<TestHome>();
    m_state = std::make_unique<AppState>(m_home->storeOptions());
    SnippetGroup work;
    work.name = "Work";
    work.triggerPrefix = ";w";
    work.appMode = AppScopeMode::allExcept;
    work.appList = {"Gnome-terminal", "firefox", kLongApp, "code", "thunderbird", "libreoffice-writer"};
    SnippetGroup personal;
    personal.name = "Personal";
    SnippetGroup old;
    old.name = "Archive";
    old.enabled = false;
    old.appMode = AppScopeMode::onlyIn;
    SnippetGroup support;
    support.name = kLongGroup;
    support.triggerPrefix = ";support-spring-";
    support.appMode = AppScopeMode::onlyIn;
    support.appList = {kLongApp};
    m_groups = {work, personal, old, support};
    m_state->setGroups(m_groups);

    QList<Snippet> snippets;
    const auto add = [&](const QString& t, const QString& c, std::optional<QUuid> g = std::nullopt) {
        Snippet s;
        s.trigger = t;
        s.content = c;
        s.groupID = g;
        snippets.append(s);
        return s.id;
    };
    add(";sig", "Best,\nYour name");
    add(";a", "Alice Example");
    const QUuid addr = add(";addr", "1 Main Street\nSpringfield\nUSA");
    add("mtg", "Let's meet on {date+1d} at {time}.", work.id);
    add("brb", "be right back", personal.id);
    snippets.last().learned = true;
    add(";shrug", QString::fromUtf8("¯\\_(ツ)_/¯"));
    snippets.last().enabled = false;
    add(";a-really-long-trigger-that-somebody-typed-without-spaces", QString(400, QLatin1Char('w')),
        support.id);
    for (int i = 0; i < 200; ++i)
        add(QStringLiteral(";n%1").arg(i),
            QStringLiteral(
                "Note %1: a longer line of text that goes on well past what one row can show, so the "
                "preview has to stop somewhere sensible")
                .arg(i),
            i % 3 == 0 ? std::optional<QUuid>(personal.id) : std::nullopt);
    m_state->setSnippets(snippets);
    for (int i = 0; i < 12; ++i)
        m_state->recordUsage(addr, "firefox");
}

void tst_LibraryScreens::cleanup()
{
    m_state.reset();
    m_home.reset();
}

void tst_LibraryScreens::snippetsTab_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("search");
    const QSize smallest = pageSize(SettingsWindow::minimumWidth, SettingsWindow::minimumHeight);
    const QSize usual = pageSize(SettingsWindow::defaultWidth, SettingsWindow::defaultHeight);
    // What an import of a file that is no snippet file says: the longest message there is.
    const QString notSnippets = SnippetImport::description(SnippetImport::ImportError::unrecognized);
    QTest::newRow("smallest, not a snippet file") << smallest << notSnippets << QString();
    QTest::newRow("usual, not a snippet file") << usual << notSnippets << QString();
    QTest::newRow("smallest, imported") << smallest << QStringLiteral("Imported 3 snippets.") << QString();
    QTest::newRow("smallest, imported with groups")
        << smallest << QStringLiteral("Imported 12 snippets, 2 new groups, skipped 3 duplicates.")
        << QString();
    QTest::newRow("usual, no message") << usual << QString() << QString();
    QTest::newRow("smallest, no matches") << smallest << QString() << QStringLiteral("zzz-nothing");
}

void tst_LibraryScreens::snippetsTab()
{
    QFETCH(QSize, size);
    QFETCH(QString, status);
    QFETCH(QString, search);
    QWidget window;
    window.setAutoFillBackground(true);
    QPalette p = window.palette();
    p.setColor(QPalette::Window, Theme::bg());
    window.setPalette(p);
    auto* stack = new QVBoxLayout(&window);
    stack->setContentsMargins(0, 0, 0, 0);
    auto* view = new SnippetsView(*m_state, &window);
    stack->addWidget(view);
    window.resize(size);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.size(), size);
    if (!status.isEmpty())
        view->showStatus(status);
    view->searchField()->setText(search);
    view->listView()->setActiveRow(view->listModel()->index(2), true);
    QUENVIL_VERIFY_LAYOUT(&window, QStringLiteral("library-snippets-%1").arg(QTest::currentDataTag()));
    if (!status.isEmpty()) {
        // The message is there to be read: all of it, on screen.
        QVERIFY(view->statusLabel()->isVisible());
        QCOMPARE(view->statusLabel()->text(), status);
        QCOMPARE(view->searchField()->width(), SnippetsView::searchMaximumWidth);
    }
}

void tst_LibraryScreens::editor_data()
{
    LayoutCheck::addSizeAndTextRows();
}

void tst_LibraryScreens::editor()
{
    QFETCH(bool, smallest);
    QFETCH(bool, longTexts);
    QWidget window;
    window.resize(900, 720);
    window.show();
    Snippet working = SnippetEditorLogic::blankSnippet();
    working.trigger = longTexts ? QStringLiteral(";a-really-long-trigger-that-somebody-typed-without-spaces")
                                : QStringLiteral(";sig");
    working.content = longTexts ? QString(600, QLatin1Char('w')) + QStringLiteral("\nand more lines\n") +
                                      QStringLiteral("Kind regards,\nAda\n").repeated(8)
                                : QStringLiteral("Kind regards,\nAda");
    working.groupID = (longTexts ? m_groups.last() : m_groups.first()).id;
    // With the group's prefix the effective trigger meets a stored one: the conflict line shows.
    QList<Snippet> list = m_state->snippets();
    Snippet clash;
    clash.trigger = m_groups.at(longTexts ? 3 : 0).triggerPrefix + working.trigger;
    clash.content = "x";
    list.append(clash);
    m_state->setSnippets(list);
    SnippetEditor editor(*m_state, working, true, &window);
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    if (smallest)
        editor.resize(editor.minimumSize().expandedTo(editor.minimumSizeHint()));
    QCOMPARE(editor.triggerLineKind(), SnippetEditorLogic::TriggerLineKind::conflict);
    QUENVIL_VERIFY_LAYOUT(&editor, QStringLiteral("library-snippet-editor-%1").arg(QTest::currentDataTag()));
}

void tst_LibraryScreens::groupsSheet_data()
{
    QTest::addColumn<bool>("smallest");
    QTest::newRow("usual") << false;
    QTest::newRow("smallest") << true;
}

void tst_LibraryScreens::groupsSheet()
{
    QFETCH(bool, smallest);
    QWidget window;
    window.resize(900, 720);
    window.show();
    GroupsManagerSheet sheet(*m_state, &window);
    sheet.show();
    QVERIFY(QTest::qWaitForWindowExposed(&sheet));
    if (smallest)
        sheet.resize(sheet.minimumSize().expandedTo(sheet.minimumSizeHint()));
    // The long name and the long window class are in the last group: bring it into view.
    GroupEditorRow* last = sheet.rows().last();
    sheet.list()->ensureWidgetVisible(last->appField());
    QUENVIL_VERIFY_LAYOUT(&sheet, QStringLiteral("library-groups-sheet-%1").arg(QTest::currentDataTag()));
}

QUENVIL_X11_TEST_MAIN(tst_LibraryScreens)
#include "tst_LibraryScreens.moc"
