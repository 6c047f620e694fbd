#include "app/InlineSearchController.h"
#include "app/InlineSearchModel.h"
#include "app/InlineSearchPanel.h"
#include "engine/ContentRenderer.h"
#include "engine/DetourProducers.h"
#include "engine/ExpansionFeedback.h"
#include "engine/HotKey.h"
#include "engine/TypingLearner.h"
#include "model/AppState.h"

#include "FakeClipboard.h"
#include "FakeFrontApp.h"
#include "FakeHotKeyBackend.h"
#include "TestHome.h"

#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QScrollBar>
#include <QSet>
#include <QTest>

#include <memory>

namespace {

constexpr quint64 kEditor = 10;
constexpr quint64 kEditorOther = 11; // a second window of the same program
constexpr quint64 kBrowser = 20;
constexpr quint64 kOwn = 30;
constexpr quint64 kGone = 40;

class RecordingFeedback : public ExpansionFeedback
{
  public:
    void showHud(const QString& message) override { hud.append(message); }
    QStringList hud;
};

class CountingLearner : public TypingLearner
{
  public:
    void resetTransientState() override { ++resets; }
    int resets = 0;
};

// Records what goes to the detours; each accepts or declines as the test says.
class RecordingProducers : public DetourProducers
{
  public:
    bool runAIExpansion(const Snippet& snippet, int backspaces, const QString& suffix) override
    {
        ai.append(snippet.trigger + QStringLiteral("/%1/").arg(backspaces) + suffix);
        return acceptAI;
    }
    bool presentFillIn(const QString& plain, const QList<ContentRenderer::LiteralRange>&, int backspaces,
                       const QString& suffix) override
    {
        forms.append(plain + QStringLiteral("/%1/").arg(backspaces) + suffix);
        return acceptForm;
    }
    QStringList ai;
    QStringList forms;
    bool acceptAI = true;
    bool acceptForm = true;
};

// A desktop where windows can close: activating a closed window fails, and the window
// manager puts another in front.
class Desktop : public FakeFrontApp
{
  public:
    bool activate(quint64 window, quint32 time = 0) override
    {
        if (closed.contains(window)) {
            activations << window;
            bringToFront(fallback);
            return false;
        }
        return FakeFrontApp::activate(window, time);
    }
    QSet<quint64> closed;
    quint64 fallback = kBrowser;
};

Snippet snippet(const QString& trigger, const QString& content)
{
    Snippet s;
    s.trigger = trigger;
    s.content = content;
    return s;
}

QStringList triggersOf(const QList<Snippet>& list)
{
    QStringList out;
    for (const Snippet& s : list)
        out << s.trigger;
    return out;
}

QString typedText(const QList<QList<Injector::Segment>>& typed)
{
    QString all;
    for (const auto& segments : typed) {
        for (const Injector::Segment& s : segments)
            all += s.textValue();
    }
    return all;
}

} // namespace

class tst_InlineSearch : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void init();
    void cleanup();

    void filtering_data();
    void filtering();
    void highlightStopsAtTheEnds_data();
    void highlightStopsAtTheEnds();
    void keys_data();
    void keys();
    void placement_data();
    void placement();
    void texts_data();
    void texts();

    void commitPaths_data();
    void commitPaths();
    void emptyTextTypesNothing();
    void detoursGoToTheProducers_data();
    void detoursGoToTheProducers();
    void toggleIgnoresASecondPressRightAfterOpening();
    void escapeAndReturnInThePanel();
    void reopeningKeepsTheTargetAndIgnoresTheOldPanel();
    void openedOverOurOwnWindowHasNoTarget();
    void lostFocusClosesWithoutReactivating();
    void panelShowsResults();

  private:
    void setLibrary(const QList<Snippet>& snippets);
    InlineSearchPanel* open();

    std::unique_ptr<TestHome> m_home;
    std::unique_ptr<AppState> m_state;
    std::unique_ptr<Desktop> m_front;
    std::unique_ptr<ContentRenderer> m_renderer;
    FakeClipboard m_clipboard;
    FakeHotKeyBackend m_hotKeys;
    RecordingFeedback m_feedback;
    CountingLearner m_learner;
    RecordingProducers m_producers;
    QList<QList<Injector::Segment>> m_typed;
    qint64 m_clock = 1000;
    std::unique_ptr<InlineSearchController> m_controller;
};

void tst_InlineSearch::init()
{
    m_home = std::make_unique<TestHome>();
    AppState::Options o = m_home->storeOptions();
    o.deferSettingsWrites = false;
    m_state = std::make_unique<AppState>(o);
    m_front = std::make_unique<Desktop>();
    m_front->addWindow(kEditor, QStringLiteral("Gedit"));
    m_front->addWindow(kEditorOther, QStringLiteral("Gedit"));
    m_front->addWindow(kBrowser, QStringLiteral("firefox"));
    m_front->addWindow(kGone, QStringLiteral("XTerm"));
    m_front->addWindow(kOwn, QStringLiteral("quenvil"), true);
    m_front->bringToFront(kEditor);
    ContentRenderer::Options ro;
    ro.lookup = ContentRenderer::lookupIn(*m_state);
    ro.clipboard = &m_clipboard;
    m_renderer = std::make_unique<ContentRenderer>(ro);
    m_feedback = RecordingFeedback();
    m_learner = CountingLearner();
    m_producers = RecordingProducers();
    m_typed.clear();
    m_clock = 1000;

    InlineSearchController::Collaborators c;
    c.frontApp = m_front.get();
    c.feedback = &m_feedback;
    c.replace = [this](int backspaces, const QList<Injector::Segment>& s, int back) {
        QCOMPARE(backspaces, 0);
        QCOMPARE(back, 0);
        m_typed.append(s);
    };
    c.renderer = m_renderer.get();
    c.producers = &m_producers;
    c.learner = &m_learner;
    c.hotKeys = &m_hotKeys;
    c.uptimeMs = [this] { return m_clock; };
    c.typingDelayMs = 20;
    m_controller = std::make_unique<InlineSearchController>(*m_state, c);
}

void tst_InlineSearch::cleanup()
{
    m_controller.reset();
    m_renderer.reset();
    m_front.reset();
    m_state.reset();
    m_home.reset();
}

void tst_InlineSearch::setLibrary(const QList<Snippet>& snippets)
{
    m_state->setSnippets(snippets);
}

InlineSearchPanel* tst_InlineSearch::open()
{
    m_controller->show();
    InlineSearchPanel* panel = m_controller->panel();
    if (panel && !QTest::qWaitForWindowExposed(panel))
        return nullptr;
    return panel;
}

// Logic ---------------------------------------------------------------------------------

void tst_InlineSearch::filtering_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("empty query: every searchable snippet in library order")
        << QString() << QStringList{";sig", ";addr", ";grp", "", ";Äpfel", ";tab", ";ist"};
    QTest::newRow("capitals find a lower-case trigger") << QStringLiteral(";SIG") << QStringList{";sig"};
    QTest::newRow("a word of the content") << QStringLiteral("NAME") << QStringList{";sig"};
    QTest::newRow("accented capitals, full mapping")
        << QStringLiteral("ÄPFEL") << QStringList{";Äpfel"};
    QTest::newRow("dotted capital I lower-cases to i and a combining dot")
        << QStringLiteral("İSTANBUL") << QStringList{";ist"};
    QTest::newRow("one space: every snippet holding a space")
        << QStringLiteral(" ") << QStringList{";sig", ";addr", ";grp", "", ";Äpfel"};
    QTest::newRow("the query is not trimmed") << QStringLiteral(" ;sig") << QStringList();
    QTest::newRow("a group's prefix is not part of the trigger searched")
        << QStringLiteral("g.;grp") << QStringList();
    QTest::newRow("a snippet of a disabled group is searchable") << QStringLiteral(";grp") << QStringList{";grp"};
    QTest::newRow("an empty trigger is searchable by content")
        << QStringLiteral("no trigger") << QStringList{""};
    QTest::newRow("disabled and shell snippets never") << QStringLiteral("hidden") << QStringList();
    QTest::newRow("tab in content matches a tab") << QStringLiteral("\t") << QStringList{";tab"};
    QTest::newRow("nothing matches") << QStringLiteral("zzz") << QStringList();
}

void tst_InlineSearch::filtering()
{
    QFETCH(QString, query);
    QFETCH(QStringList, expected);

    SnippetGroup off;
    off.enabled = false;
    off.triggerPrefix = QStringLiteral("g.");
    off.appMode = AppScopeMode::onlyIn;
    off.appList = {QStringLiteral("NoSuchApp")};
    m_state->setGroups({off});
    Snippet disabled = snippet(QStringLiteral(";off"), QStringLiteral("hidden disabled"));
    disabled.enabled = false;
    Snippet shell = snippet(QStringLiteral(";sh"), QStringLiteral("echo hidden shell"));
    shell.kind = SnippetKind::shell;
    Snippet grouped = snippet(QStringLiteral(";grp"), QStringLiteral("in a group"));
    grouped.groupID = off.id;
    const QList<Snippet> library{snippet(QStringLiteral(";sig"), QStringLiteral("Best,\nYour name")),
                                 snippet(QStringLiteral(";addr"), QStringLiteral("1 Main Street")),
                                 disabled,
                                 grouped,
                                 shell,
                                 snippet(QString(), QStringLiteral("no trigger here")),
                                 snippet(QStringLiteral(";Äpfel"), QStringLiteral("Äpfel und Birnen")),
                                 snippet(QStringLiteral(";tab"), QStringLiteral("a\tb")),
                                 snippet(QStringLiteral(";ist"), QStringLiteral("i\u0307stanbul"))};

    InlineSearchModel model;
    model.load(library);
    model.setQuery(query);
    QCOMPARE(triggersOf(model.results()), expected);
    QCOMPARE(model.selectedIndex(), 0);
    QCOMPARE(model.selected().has_value(), !expected.isEmpty());

    // A second load of an unchanged library clears the query and lists everything.
    model.load(library);
    QCOMPARE(model.query(), QString());
    QCOMPARE(model.results().size(), 7);
}

void tst_InlineSearch::highlightStopsAtTheEnds_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<QList<int>>("steps");
    QTest::addColumn<int>("expected");

    QTest::newRow("up on the first row stays") << 3 << QList<int>{-1} << 0;
    QTest::newRow("down twice") << 3 << QList<int>{1, 1} << 2;
    QTest::newRow("down past the last row stays") << 3 << QList<int>{1, 1, 1, 1} << 2;
    QTest::newRow("down then up") << 3 << QList<int>{1, 1, -1} << 1;
    QTest::newRow("no results: nothing moves") << 0 << QList<int>{1, -1, 1} << 0;
}

void tst_InlineSearch::highlightStopsAtTheEnds()
{
    QFETCH(int, count);
    QFETCH(QList<int>, steps);
    QFETCH(int, expected);

    QList<Snippet> library;
    for (int i = 0; i < count; ++i)
        library << snippet(QStringLiteral(";s%1").arg(i), QStringLiteral("text"));
    InlineSearchModel model;
    model.load(library);
    for (int step : steps)
        model.move(step);
    QCOMPARE(model.selectedIndex(), expected);
    QCOMPARE(model.selected().has_value(), count > 0);
}

void tst_InlineSearch::keys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<InlineSearchKey>("action");

    QTest::newRow("Escape") << int(Qt::Key_Escape) << InlineSearchKey::dismiss;
    QTest::newRow("Return") << int(Qt::Key_Return) << InlineSearchKey::commit;
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << InlineSearchKey::commit;
    QTest::newRow("Down") << int(Qt::Key_Down) << InlineSearchKey::down;
    QTest::newRow("Up") << int(Qt::Key_Up) << InlineSearchKey::up;
    QTest::newRow("a letter reaches the field") << int(Qt::Key_A) << InlineSearchKey::pass;
    QTest::newRow("Tab reaches the field") << int(Qt::Key_Tab) << InlineSearchKey::pass;
    QTest::newRow("Left moves the caret") << int(Qt::Key_Left) << InlineSearchKey::pass;
}

void tst_InlineSearch::keys()
{
    QFETCH(int, key);
    QFETCH(InlineSearchKey, action);
    QCOMPARE(inlineSearchKeyFor(key), action);
}

void tst_InlineSearch::placement_data()
{
    QTest::addColumn<QList<QRect>>("screens");
    QTest::addColumn<std::optional<QRect>>("window");
    QTest::addColumn<QPoint>("topLeft");

    const QRect left(0, 0, 1920, 1080);
    const QRect right(1920, 0, 2560, 1440);
    // Centre at x = 960, y = 0.38 × 1080 = 410.4: top-left (680, 206.4 → 206).
    QTest::newRow("one screen, no window") << QList<QRect>{left} << std::optional<QRect>() << QPoint(680, 206);
    QTest::newRow("window on the second screen")
        << QList<QRect>{left, right} << std::optional<QRect>(QRect(2200, 300, 800, 600))
        << QPoint(1920 + 1280 - 280, int(std::lround(0.38 * 1440 - 204)));
    QTest::newRow("window straddling: the screen of its centre")
        << QList<QRect>{left, right} << std::optional<QRect>(QRect(1500, 100, 1000, 500)) << QPoint(2920, 343);
    QTest::newRow("window centre off-screen: the screen it overlaps most")
        << QList<QRect>{left, right} << std::optional<QRect>(QRect(3000, 1300, 2000, 500)) << QPoint(2920, 343);
    QTest::newRow("window nowhere: the primary")
        << QList<QRect>{left, right} << std::optional<QRect>(QRect(-5000, -5000, 10, 10)) << QPoint(680, 206);
    QTest::newRow("a panel at the top leaves room for the usable area's offset")
        << QList<QRect>{QRect(0, 32, 1280, 768)} << std::optional<QRect>() << QPoint(360, 120);
}

void tst_InlineSearch::placement()
{
    QFETCH(QList<QRect>, screens);
    QFETCH(std::optional<QRect>, window);
    QFETCH(QPoint, topLeft);
    QCOMPARE(InlineSearchPlacement::topLeft(InlineSearchPlacement::screenFor(screens, window)), topLeft);
}

void tst_InlineSearch::texts_data()
{
    QTest::addColumn<QString>("content");
    QTest::addColumn<QString>("preview");

    const QString mark = QStringLiteral(" \u23CE ");
    QTest::newRow("CR LF, LF and CR") << QStringLiteral("a\r\nb\nc\rd") << (QStringList{"a", "b", "c", "d"}.join(mark));
    QTest::newRow("LF CR is two breaks") << QStringLiteral("a\n\rb") << QStringLiteral("a") + mark + mark + "b";
    QTest::newRow("one line unchanged") << QStringLiteral("plain text") << QStringLiteral("plain text");
}

void tst_InlineSearch::texts()
{
    QFETCH(QString, content);
    QFETCH(QString, preview);
    QCOMPARE(InlineSearchModel::previewText(content), preview);
    QCOMPARE(InlineSearchModel::countText(0), QStringLiteral("0 snippets"));
    QCOMPARE(InlineSearchModel::countText(1), QStringLiteral("1 snippet"));
    QCOMPARE(InlineSearchModel::countText(2), QStringLiteral("2 snippets"));
    QCOMPARE(InlineSearchModel::emptyText(QString()), QStringLiteral("No snippets yet"));
    QCOMPARE(InlineSearchModel::emptyText(QStringLiteral(" ")), QStringLiteral("No matching snippets"));
}

// The controller -------------------------------------------------------------------------

void tst_InlineSearch::commitPaths_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("typed");

    QTest::newRow("same window in front") << QString() << true;
    QTest::newRow("the window closed meanwhile") << QStringLiteral("close") << false;
    QTest::newRow("another window of the same program in front") << QStringLiteral("sibling") << false;
    QTest::newRow("another program in front") << QStringLiteral("browser") << false;
    QTest::newRow("our own window in front") << QStringLiteral("own") << false;
}

void tst_InlineSearch::commitPaths()
{
    QFETCH(QString, change);
    QFETCH(bool, typed);

    setLibrary({snippet(QStringLiteral(";sig"), QStringLiteral("Best,{key:tab}{cursor}\nMe"))});
    if (change == QLatin1String("close"))
        m_front->fallback = kEditorOther;
    QVERIFY(open());
    QCOMPARE(m_controller->target().window, kEditor);
    m_front->bringToFront(kOwn); // the panel has the focus
    if (change == QLatin1String("close"))
        m_front->closed.insert(kEditor);

    m_controller->commit(*m_controller->model().selected());
    QVERIFY(!m_controller->panel());
    QVERIFY(!m_controller->target().isSet());
    QCOMPARE(m_front->activations.last(), kEditor);
    if (change == QLatin1String("sibling"))
        m_front->bringToFront(kEditorOther);
    else if (change == QLatin1String("browser"))
        m_front->bringToFront(kBrowser);
    else if (change == QLatin1String("own"))
        m_front->bringToFront(kOwn);

    if (typed) {
        // Key placeholders and the cursor mark are dropped: plain text only.
        QTRY_COMPARE(typedText(m_typed), QStringLiteral("Best,\nMe"));
        QCOMPARE(m_typed.size(), 1);
        QCOMPARE(m_learner.resets, 1);
        QVERIFY(m_feedback.hud.isEmpty());
    } else {
        QTRY_COMPARE(m_feedback.hud, QStringList{InlineSearchController::focusChangedMessage()});
        QVERIFY(m_typed.isEmpty());
        QCOMPARE(m_learner.resets, 0);
    }
    // Nothing is counted as an expansion.
    QCOMPARE(m_state->statExpansions(), 0);
    QVERIFY(!m_state->lastExpansion());
}

void tst_InlineSearch::emptyTextTypesNothing()
{
    setLibrary({snippet(QStringLiteral(";keys"), QStringLiteral("{key:tab}{cursor}"))});
    QVERIFY(open());
    m_controller->commit(m_controller->model().results().first());
    QVERIFY(!m_controller->panel());
    QCOMPARE(m_front->activations.last(), kEditor);
    QTest::qWait(60);
    QVERIFY(m_typed.isEmpty());
    QVERIFY(m_feedback.hud.isEmpty());
}

void tst_InlineSearch::detoursGoToTheProducers_data()
{
    QTest::addColumn<QString>("content");
    QTest::addColumn<bool>("accept");
    QTest::addColumn<QStringList>("ai");
    QTest::addColumn<QStringList>("forms");
    QTest::addColumn<QString>("typed");

    QTest::newRow("AI request") << QStringLiteral("{ai:say hi}") << true << QStringList{";d/0/"} << QStringList()
                                << QString();
    QTest::newRow("AI declined: typed as rendered")
        << QStringLiteral("{ai:say hi}") << false << QStringList{";d/0/"} << QStringList()
        << QStringLiteral("{ai:say hi}");
    QTest::newRow("fill-in form") << QStringLiteral("Dear {field:name},") << true << QStringList()
                                  << QStringList{QStringLiteral("Dear {field:name},/0/")} << QString();
    QTest::newRow("form declined: typed as rendered")
        << QStringLiteral("Dear {field:name},") << false << QStringList()
        << QStringList{QStringLiteral("Dear {field:name},/0/")} << QStringLiteral("Dear {field:name},");
    QTest::newRow("plain text takes no detour")
        << QStringLiteral("hello") << true << QStringList() << QStringList() << QStringLiteral("hello");
}

void tst_InlineSearch::detoursGoToTheProducers()
{
    QFETCH(QString, content);
    QFETCH(bool, accept);
    QFETCH(QStringList, ai);
    QFETCH(QStringList, forms);
    QFETCH(QString, typed);

    m_producers.acceptAI = accept;
    m_producers.acceptForm = accept;
    setLibrary({snippet(QStringLiteral(";d"), content)});
    QVERIFY(open());
    m_controller->commit(m_controller->model().results().first());
    QTest::qWait(80);
    QCOMPARE(m_producers.ai, ai);
    QCOMPARE(m_producers.forms, forms);
    QCOMPARE(typedText(m_typed), typed);
    QVERIFY(m_feedback.hud.isEmpty());
}

void tst_InlineSearch::toggleIgnoresASecondPressRightAfterOpening()
{
    setLibrary({snippet(QStringLiteral(";sig"), QStringLiteral("S"))});
    m_controller->registerHotKey();
    QVERIFY(m_controller->hotKey());
    QVERIFY(m_hotKeys.press(Key::Space, Modifier::Control | Modifier::Alt));
    QTRY_VERIFY(m_controller->panel());
    QPointer<InlineSearchPanel> first = m_controller->panel();

    m_clock += 299;
    m_controller->toggle();
    QCOMPARE(m_controller->panel(), first.data());
    QVERIFY(first->isVisible());
    QVERIFY(m_front->activations.isEmpty() || m_front->activations.last() != kEditor);

    m_clock += 1;
    m_controller->toggle();
    QVERIFY(!m_controller->panel());
    QCOMPARE(m_front->activations.last(), kEditor);

    // Closed, the hot key opens it again.
    m_controller->toggle();
    QVERIFY(m_controller->panel());
}

void tst_InlineSearch::escapeAndReturnInThePanel()
{
    setLibrary({}); // not even the starter snippets
    QVERIFY(open());
    InlineSearchPanel* panel = m_controller->panel();
    QVERIFY(panel->showsEmptyState());
    QCOMPARE(panel->emptyLabel()->text(), QStringLiteral("No snippets yet"));
    QCOMPARE(panel->countLabel()->text(), QStringLiteral("0 snippets"));

    // Return with nothing listed does nothing: the panel stays.
    QTest::keyClick(panel->searchField(), Qt::Key_Return);
    QTest::keyClick(panel->searchField(), Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(m_controller->panel(), panel);
    QVERIFY(panel->isVisible());

    // Escape closes it and gives the focus back.
    m_front->activations.clear();
    QTest::keyClick(panel->searchField(), Qt::Key_Escape);
    QVERIFY(!m_controller->panel());
    QCOMPARE(m_front->activations, QList<quint64>{kEditor});
    QTest::qWait(60);
    QVERIFY(m_typed.isEmpty());
    QVERIFY(m_feedback.hud.isEmpty());
}

void tst_InlineSearch::reopeningKeepsTheTargetAndIgnoresTheOldPanel()
{
    setLibrary({snippet(QStringLiteral(";a"), QStringLiteral("alpha")), snippet(QStringLiteral(";b"), QStringLiteral("beta"))});
    QVERIFY(open());
    QPointer<InlineSearchPanel> old = m_controller->panel();
    QTest::keyClicks(old->searchField(), QStringLiteral("bet"));
    QCOMPARE(m_controller->model().results().size(), 1);
    m_front->bringToFront(kOwn); // the panel took the focus

    // The menu item while open: rebuilt, empty query, first row, same target.
    m_controller->show();
    InlineSearchPanel* fresh = m_controller->panel();
    QVERIFY(fresh != old.data());
    QCOMPARE(fresh->searchField()->text(), QString());
    QCOMPARE(m_controller->model().results().size(), 2);
    QCOMPARE(m_controller->model().selectedIndex(), 0);
    QCOMPARE(m_controller->target().window, kEditor);

    // The replaced panel's late focus-out closes nothing.
    if (old)
        emit old->deactivated();
    QTest::qWait(20);
    QCOMPARE(m_controller->panel(), fresh);

    QTest::keyClick(fresh->searchField(), Qt::Key_Down);
    QTest::keyClick(fresh->searchField(), Qt::Key_Return);
    QTRY_COMPARE(typedText(m_typed), QStringLiteral("beta"));
}

void tst_InlineSearch::openedOverOurOwnWindowHasNoTarget()
{
    setLibrary({snippet(QStringLiteral(";a"), QStringLiteral("alpha"))});
    // An earlier opening over the editor, dismissed.
    QVERIFY(open());
    QTest::keyClick(m_controller->panel()->searchField(), Qt::Key_Escape);
    // Now over our own settings window: no target, not the editor of the earlier opening.
    m_front->bringToFront(kOwn);
    QVERIFY(open());
    QVERIFY(!m_controller->target().isSet());
    m_front->bringToFront(kEditor);
    m_controller->commit(m_controller->model().results().first());
    QTRY_COMPARE(m_feedback.hud, QStringList{InlineSearchController::focusChangedMessage()});
    QVERIFY(m_typed.isEmpty());
}

void tst_InlineSearch::lostFocusClosesWithoutReactivating()
{
    setLibrary({snippet(QStringLiteral(";a"), QStringLiteral("alpha"))});
    QVERIFY(open());
    InlineSearchPanel* panel = m_controller->panel();
    m_front->activations.clear();
    emit panel->deactivated();
    QTRY_VERIFY(!m_controller->panel());
    QVERIFY(m_front->activations.isEmpty());
    QVERIFY(!m_controller->target().isSet());
}

void tst_InlineSearch::panelShowsResults()
{
    QList<Snippet> library;
    for (int i = 0; i < 40; ++i)
        library << snippet(QStringLiteral(";s%1").arg(i, 2, 10, QLatin1Char('0')), QStringLiteral("line\r\nnext %1").arg(i));
    setLibrary(library);
    InlineSearchPanel* panel = open();
    QVERIFY(panel);
    QCOMPARE(panel->size(), QSize(560, 408));
    QVERIFY(!panel->showsEmptyState());
    QCOMPARE(panel->countLabel()->text(), QStringLiteral("40 snippets"));

    // Typing filters; no match says so; clearing brings the list back on the first row.
    QTest::keyClicks(panel->searchField(), QStringLiteral("next 3"));
    QCOMPARE(panel->countLabel()->text(), QStringLiteral("11 snippets"));
    QTest::keyClicks(panel->searchField(), QStringLiteral("x"));
    QVERIFY(panel->showsEmptyState());
    QCOMPARE(panel->emptyLabel()->text(), QStringLiteral("No matching snippets"));
    panel->searchField()->clear();
    QTest::keyClick(panel->searchField(), Qt::Key_A);
    QTest::keyClick(panel->searchField(), Qt::Key_Backspace);
    QVERIFY(!panel->showsEmptyState());
    QCOMPARE(m_controller->model().selectedIndex(), 0);
    QCOMPARE(panel->countLabel()->text(), QStringLiteral("40 snippets"));

    // Down past the visible rows scrolls the highlight into view.
    QListView* list = panel->listView();
    for (int i = 0; i < 30; ++i)
        QTest::keyClick(panel->searchField(), Qt::Key_Down);
    QCOMPARE(m_controller->model().selectedIndex(), 30);
    const QRect row = list->visualRect(list->model()->index(30, 0));
    QVERIFY2(list->viewport()->rect().contains(row), "the highlighted row is visible");
    QVERIFY(list->verticalScrollBar()->value() > 0);

    // A click on a row inserts that row, highlighted or not.
    const QModelIndex third = list->model()->index(list->indexAt(list->viewport()->rect().topLeft() + QPoint(20, 20)).row() + 2, 0);
    const QString expected = m_controller->model().results().at(third.row()).content;
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(third).center());
    QVERIFY(!m_controller->panel());
    QTRY_COMPARE(typedText(m_typed), expected);
}

QTEST_MAIN(tst_InlineSearch)
#include "tst_InlineSearch.moc"
