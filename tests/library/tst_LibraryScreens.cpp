// Screenshots of the Snippets tab, the snippet editor and the groups sheet on a real X server,
// written as PNGs into the build folder for a person to look at. They assert only that each
// window could be laid out and drawn.
#include "library/GroupsManagerSheet.h"
#include "library/SnippetEditor.h"
#include "library/SnippetListModel.h"
#include "library/SnippetListView.h"
#include "library/SnippetsView.h"
#include "model/AppState.h"
#include "ui/Theme.h"
#include "ui/ThemedTextField.h"

#include "TestHome.h"
#include "XServerEnvironment.h"

#include <QApplication>
#include <QDir>
#include <QTest>

class tst_LibraryScreens : public QObject
{
    Q_OBJECT

  private slots:
    void init();
    void cleanup();
    void snippetsTab();
    void editorWithConflict();
    void groupsSheet();

  private:
    void save(QWidget& widget, const QString& name);

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
    work.appList = {
        "Gnome-terminal", "firefox",     "org.example.a-very-long-window-class-for-testing.Editor",
        "code",           "thunderbird", "libreoffice-writer"};
    SnippetGroup personal;
    personal.name = "Personal";
    SnippetGroup old;
    old.name = "Archive";
    old.enabled = false;
    old.appMode = AppScopeMode::onlyIn;
    m_groups = {work, personal, old};
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

void tst_LibraryScreens::save(QWidget& widget, const QString& name)
{
    QApplication::processEvents();
    const QPixmap shot = widget.grab();
    QVERIFY(!shot.isNull());
    const QString path = QDir(QCoreApplication::applicationDirPath()).filePath(name);
    QVERIFY(shot.save(path));
    qInfo("Screenshot written to %s", qPrintable(path));
}

void tst_LibraryScreens::snippetsTab()
{
    QWidget window;
    window.setAutoFillBackground(true);
    QPalette p = window.palette();
    p.setColor(QPalette::Window, Theme::bg());
    window.setPalette(p);
    window.resize(900, 720);
    auto* view = new SnippetsView(*m_state, &window);
    view->resize(window.size());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    view->showStatus("Imported 3 snippets");
    view->listView()->setActiveRow(view->listModel()->index(2), true);
    save(window, "library-snippets-tab.png");

    view->searchField()->setText("zzz-nothing");
    save(window, "library-snippets-no-matches.png");
}

void tst_LibraryScreens::editorWithConflict()
{
    QWidget window;
    window.resize(900, 720);
    window.show();
    Snippet working = SnippetEditorLogic::blankSnippet();
    working.trigger = ";sig";
    working.content = "Kind regards,\nAda";
    working.groupID = m_groups.first().id;
    // With the "Work" prefix ";w" the effective trigger is ";w;sig": make it meet a stored one.
    QList<Snippet> list = m_state->snippets();
    Snippet clash;
    clash.trigger = ";w;sig";
    clash.content = "x";
    list.append(clash);
    m_state->setSnippets(list);
    SnippetEditor editor(*m_state, working, true, &window);
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    QCOMPARE(editor.triggerLineKind(), SnippetEditorLogic::TriggerLineKind::conflict);
    save(editor, "library-snippet-editor.png");
}

void tst_LibraryScreens::groupsSheet()
{
    QWidget window;
    window.resize(900, 720);
    window.show();
    GroupsManagerSheet sheet(*m_state, &window);
    sheet.show();
    QVERIFY(QTest::qWaitForWindowExposed(&sheet));
    save(sheet, "library-groups-sheet.png");
}

QUENVIL_X11_TEST_MAIN(tst_LibraryScreens)
#include "tst_LibraryScreens.moc"
