// The suggestion popup: which rows it shows and in what order, its one-line previews,
// where it goes relative to the caret, when it redraws, and the engine driving it.
#include "engine/ContentRenderer.h"
#include "engine/ExpansionEngine.h"
#include "engine/SuggestionPopup.h"
#include "model/AppState.h"
#include "model/PrefixIndex.h"
#include "model/Text.h"

#include "FakeCaretLocator.h"
#include "TestHome.h"

#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

namespace {

using Screens = QList<PopupPlacement::Screen>;

const PopupPlacement::Screen kMain{QRect(0, 0, 1920, 1080), QRect(0, 32, 1920, 1048), 1};
const PopupPlacement::Screen kRight{QRect(1920, 0, 1280, 1024), QRect(1920, 0, 1280, 1024), 1};

// The offscreen platform says so for every opacity, mask and raise of a panel.
QtMessageHandler g_messages = nullptr;
void quietOffscreen(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (!message.startsWith(QLatin1String("This plugin does not support")))
        g_messages(type, context, message);
}

SuggestionEntry entry(const QString& trigger, const QString& content = QStringLiteral("x"))
{
    SuggestionEntry e;
    e.trigger = trigger;
    e.content = content;
    return e;
}

PrefixIndex indexOf(const QStringList& triggers)
{
    QList<SuggestionEntry> entries;
    for (int i = 0; i < triggers.size(); ++i)
        entries.append(entry(triggers.at(i), QString::number(i)));
    return PrefixIndex::build(entries);
}

std::vector<int> rowsOf(const PrefixIndex& index, const QString& prefix)
{
    const auto found = index.lookup(prefix);
    return std::vector<int>(found.begin(), found.end());
}

KeyDown text(const QString& t)
{
    KeyDown k;
    k.text = t;
    return k;
}

Snippet snip(const QString& trigger, const QString& content)
{
    Snippet s;
    s.trigger = trigger;
    s.content = content;
    return s;
}

} // namespace

class tst_SuggestionPopup : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase() { g_messages = qInstallMessageHandler(quietOffscreen); }
    void init();

    void order_data();
    void order();
    void preview_data();
    void preview();
    void placement_data();
    void placement();
    void devicePixels_data();
    void devicePixels();

    void showsAtTheCaretAfterTheKeystroke();
    void sameRowsDoNotRedraw();
    void newRowsRedrawInPlace();
    void rebuiltIndexIsCountedAfresh();
    void hideDropsALateCaret();
    void noCaretSitsNearTheBottom();
    void longContentStaysOneLine();
    void engineDrivesIt();
    void screenshot();

  private:
    std::unique_ptr<SuggestionPopup> make()
    {
        SuggestionPopup::Options o;
        o.caret = &m_caret;
        o.screens = [] { return Screens{kMain}; };
        return std::make_unique<SuggestionPopup>(o);
    }

    FakeCaretLocator m_caret;
};

void tst_SuggestionPopup::init()
{
    m_caret = FakeCaretLocator();
    m_caret.caret = QRect(300, 400, 1, 18);
}

void tst_SuggestionPopup::order_data()
{
    QTest::addColumn<QStringList>("triggers");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("shorter first, then string order")
        << QStringList{";sigx", ";sig", ";sb", ";sigma", ";sa"} << QStringLiteral(";s")
        << QStringList{";sa", ";sb", ";sig", ";sigx", ";sigma"};
    QTest::newRow("the six shortest of many")
        << QStringList{";s9999", ";s1", ";s22", ";s333", ";s4444", ";s55555", ";s6", ";s77", ";s8888888"}
        << QStringLiteral(";s") << QStringList{";s1", ";s6", ";s22", ";s77", ";s333", ";s4444"};
    // Characters, not UTF-16 units: "é" written with a combining accent is one.
    QTest::newRow("length in characters")
        << QStringList{";sab", QStringLiteral(";se\u0301"), QStringLiteral(";s\U0001F600")}
        << QStringLiteral(";s")
        << QStringList{QStringLiteral(";se\u0301"), QStringLiteral(";s\U0001F600"), ";sab"};
    // U+FF01 comes before U+1F600, though its UTF-16 unit is the larger.
    QTest::newRow("code point order")
        << QStringList{QStringLiteral(";s\U0001F600"), QStringLiteral(";s\uFF01"), ";sz"}
        << QStringLiteral(";s")
        << QStringList{";sz", QStringLiteral(";s\uFF01"), QStringLiteral(";s\U0001F600")};
    QTest::newRow("case sorts upper first") << QStringList{";sb", ";sB", ";sA", ";sa"} << QStringLiteral(";s")
                                            << QStringList{";sA", ";sB", ";sa", ";sb"};
}

void tst_SuggestionPopup::order()
{
    QFETCH(QStringList, triggers);
    QFETCH(QString, typed);
    QFETCH(QStringList, expected);
    const PrefixIndex index = indexOf(triggers);
    const std::vector<int> rows = rowsOf(index, typed);
    QStringList got;
    for (int r : SuggestionPopup::topRows(index, rows))
        got << index.entry(r).trigger;
    QCOMPARE(got, expected);
}

void tst_SuggestionPopup::preview_data()
{
    QTest::addColumn<QString>("content");
    QTest::addColumn<QString>("expected");
    const QString mark = QStringLiteral(" \u23CE ");
    QTest::newRow("plain") << QStringLiteral("Best regards") << QStringLiteral("Best regards");
    QTest::newRow("CR LF is one break")
        << QStringLiteral("Best\r\nAda") << QStringLiteral("Best") + mark + "Ada";
    QTest::newRow("LF and CR each") << QStringLiteral("a\nb\rc") << "a" + mark + "b" + mark + "c";
    QTest::newRow("LF CR is two") << QStringLiteral("a\n\rb") << "a" + mark + mark + "b";
    QTest::newRow("blank lines") << QStringLiteral("\r\n\r\n") << mark + mark;
}

void tst_SuggestionPopup::preview()
{
    QFETCH(QString, content);
    QFETCH(QString, expected);
    QCOMPARE(SuggestionPopup::previewText(content), expected);
}

void tst_SuggestionPopup::placement_data()
{
    QTest::addColumn<Screens>("screens");
    QTest::addColumn<std::optional<QRect>>("caret");
    QTest::addColumn<std::optional<QPoint>>("expected");
    const QSize size(200, 100); // every row places a 200 × 100 panel
    QTest::newRow("6 below the caret")
        << Screens{kMain} << std::optional(QRect(300, 400, 1, 18)) << std::optional(QPoint(300, 424));
    QTest::newRow("no room below: above the caret") << Screens{kMain} << std::optional(QRect(300, 990, 1, 18))
                                                    << std::optional(QPoint(300, 990 - 6 - 100));
    QTest::newRow("just room below") << Screens{kMain} << std::optional(QRect(300, 946, 1, 18))
                                     << std::optional(QPoint(300, 970));
    QTest::newRow("right edge: pushed left, 4 inside")
        << Screens{kMain} << std::optional(QRect(1850, 400, 1, 18))
        << std::optional(QPoint(1920 - 200 - 4, 424));
    QTest::newRow("left edge: 4 inside")
        << Screens{kMain} << std::optional(QRect(0, 400, 1, 18)) << std::optional(QPoint(4, 424));
    QTest::newRow("above would leave the screen: 4 below its top")
        << Screens{{QRect(0, 0, 800, 150), QRect(0, 0, 800, 150), 1}} << std::optional(QRect(10, 40, 1, 18))
        << std::optional(QPoint(10, 4));
    QTest::newRow("the caret's screen") << Screens{kMain, kRight} << std::optional(QRect(3150, 1000, 1, 18))
                                        << std::optional(QPoint(1920 + 1280 - 204, 1000 - 106));
    QTest::newRow("caret off every screen: kept inside the primary")
        << Screens{kMain, kRight} << std::optional(QRect(-500, 400, 1, 18)) << std::optional(QPoint(4, 424));
    QTest::newRow("no caret: centred, 110 above the bottom")
        << Screens{kMain, kRight} << std::optional<QRect>() << std::optional(QPoint(860, 1080 - 110 - 100));
    QTest::newRow("caret but no screen: as it falls")
        << Screens{} << std::optional(QRect(300, 400, 1, 18)) << std::optional(QPoint(300, 424));
    QTest::newRow("neither: nothing") << Screens{} << std::optional<QRect>() << std::optional<QPoint>();
}

void tst_SuggestionPopup::placement()
{
    QFETCH(Screens, screens);
    QFETCH(std::optional<QRect>, caret);
    QFETCH(std::optional<QPoint>, expected);
    QCOMPARE(PopupPlacement::suggestionTopLeft(QSize(200, 100), caret, screens), expected);
}

void tst_SuggestionPopup::devicePixels_data()
{
    QTest::addColumn<Screens>("screens");
    QTest::addColumn<QRect>("device");
    QTest::addColumn<QRect>("logical");
    QTest::newRow("unscaled") << Screens{kMain} << QRect(300, 400, 1, 18) << QRect(300, 400, 1, 18);
    QTest::newRow("twice") << Screens{{QRect(0, 0, 1280, 800), QRect(0, 0, 1280, 800), 2}}
                           << QRect(600, 800, 2, 36) << QRect(300, 400, 1, 18);
    // A screen keeps its corner; what lies on it is scaled from there.
    QTest::newRow("second screen, twice")
        << Screens{kMain, {QRect(1920, 0, 1280, 800), QRect(1920, 0, 1280, 800), 2}}
        << QRect(1920 + 600, 800, 2, 36) << QRect(1920 + 300, 400, 1, 18);
}

void tst_SuggestionPopup::devicePixels()
{
    QFETCH(Screens, screens);
    QFETCH(QRect, device);
    QFETCH(QRect, logical);
    QCOMPARE(PopupPlacement::fromDevicePixels(device, screens), logical);
}

void tst_SuggestionPopup::showsAtTheCaretAfterTheKeystroke()
{
    auto popup = make();
    QSignalSpy placed(popup.get(), &SuggestionPopup::placed);
    const PrefixIndex index =
        indexOf({";sig", ";sigma", ";sa", ";sb", ";sc", ";sd", ";se", ";sf", ";sxxxxxx"});
    const auto rows = rowsOf(index, QStringLiteral(";s"));
    popup->show(QStringLiteral(";s"), index, rows);
    // Inside the keystroke: decided, not drawn, the caret not yet asked for.
    QVERIFY(popup->isShowing());
    QVERIFY(!popup->panel() || !popup->panel()->isVisible());
    QCOMPARE(m_caret.requests, 0);
    QStringList triggers;
    for (const SuggestionEntry& e : popup->entries())
        triggers << e.trigger;
    QCOMPARE(triggers, (QStringList{";sa", ";sb", ";sc", ";sd", ";se", ";sf"}));
    QTRY_COMPARE(placed.size(), 1);
    QCOMPARE(m_caret.requests, 1);
    QWidget* panel = popup->panel();
    QVERIFY(panel->isVisible());
    QCOMPARE(panel->pos(), QPoint(300, 400 + 18 + 6));
    QVERIFY(panel->width() <= SuggestionPopup::maxListWidth + 12);
}

void tst_SuggestionPopup::sameRowsDoNotRedraw()
{
    auto popup = make();
    QSignalSpy placed(popup.get(), &SuggestionPopup::placed);
    const PrefixIndex index = indexOf({";sig", ";sigma", ";sign"});
    popup->show(QStringLiteral(";si"), index, rowsOf(index, QStringLiteral(";si")));
    QTRY_COMPARE(placed.size(), 1);
    const QPoint at = popup->panel()->pos();
    // The caret moved, but the same prefix and the same triggers leave the panel alone.
    m_caret.caret = QRect(900, 100, 1, 18);
    popup->show(QStringLiteral(";si"), index, rowsOf(index, QStringLiteral(";si")));
    QTest::qWait(20);
    QCOMPARE(placed.size(), 1);
    QCOMPARE(m_caret.requests, 1);
    QCOMPARE(popup->panel()->pos(), at);
    // A rebuilt index with the same triggers is the same list too.
    const PrefixIndex rebuilt = indexOf({";sig", ";sigma", ";sign"});
    popup->show(QStringLiteral(";si"), rebuilt, rowsOf(rebuilt, QStringLiteral(";si")));
    QTest::qWait(20);
    QCOMPARE(placed.size(), 1);
}

void tst_SuggestionPopup::newRowsRedrawInPlace()
{
    auto popup = make();
    QSignalSpy placed(popup.get(), &SuggestionPopup::placed);
    const PrefixIndex index = indexOf({";sig", ";sigma", ";sign", ";sa"});
    popup->show(QStringLiteral(";s"), index, rowsOf(index, QStringLiteral(";s")));
    QTRY_COMPARE(placed.size(), 1);
    const QRect before = popup->panel()->geometry();
    m_caret.caret = QRect(900, 100, 1, 18);
    popup->show(QStringLiteral(";sig"), index, rowsOf(index, QStringLiteral(";sig")));
    QCOMPARE(popup->entries().size(), 3);
    QTRY_VERIFY(popup->panel()->height() < before.height());
    QCOMPARE(popup->panel()->pos(), before.topLeft()); // the top-left corner stays
    QCOMPARE(m_caret.requests, 1);
    QCOMPARE(placed.size(), 1);
}

void tst_SuggestionPopup::rebuiltIndexIsCountedAfresh()
{
    auto popup = make();
    auto before = std::make_unique<PrefixIndex>(indexOf({";saaaa", ";sb"}));
    popup->show(QStringLiteral(";s"), *before, rowsOf(*before, QStringLiteral(";s")));
    QCOMPARE(popup->entries().first().trigger, QStringLiteral(";sb"));
    before.reset();
    // The same entry numbers with other triggers: what was counted for the old index
    // must not order the new one.
    const PrefixIndex after = indexOf({";sa", ";sbbbb"});
    popup->show(QStringLiteral(";s"), after, rowsOf(after, QStringLiteral(";s")));
    QCOMPARE(popup->entries().first().trigger, QStringLiteral(";sa"));
    QCOMPARE(popup->entries().last().trigger, QStringLiteral(";sbbbb"));
}

void tst_SuggestionPopup::hideDropsALateCaret()
{
    auto popup = make();
    QSignalSpy placed(popup.get(), &SuggestionPopup::placed);
    m_caret.holdAnswers = true;
    const PrefixIndex index = indexOf({";sig", ";sigma"});
    popup->show(QStringLiteral(";si"), index, rowsOf(index, QStringLiteral(";si")));
    QTRY_COMPARE(m_caret.requests, 1);
    popup->hide();
    QVERIFY(!popup->isShowing());
    m_caret.release(); // the program answers after the user moved on
    QTest::qWait(20);
    QCOMPARE(placed.size(), 0);
    QVERIFY(!popup->panel()->isVisible());

    // Shown again: a new question; only its answer places the panel.
    popup->show(QStringLiteral(";si"), index, rowsOf(index, QStringLiteral(";si")));
    QTRY_COMPARE(m_caret.requests, 2);
    m_caret.caret = QRect(500, 500, 1, 18);
    m_caret.release();
    QTRY_COMPARE(placed.size(), 1);
    QCOMPARE(popup->panel()->pos(), QPoint(500, 524));
    popup->hide();
    QVERIFY(!popup->panel()->isVisible());
}

void tst_SuggestionPopup::noCaretSitsNearTheBottom()
{
    m_caret.caret.reset();
    auto popup = make();
    QSignalSpy placed(popup.get(), &SuggestionPopup::placed);
    const PrefixIndex index = indexOf({";sig"});
    popup->show(QStringLiteral(";s"), index, rowsOf(index, QStringLiteral(";s")));
    QTRY_COMPARE(placed.size(), 1);
    const QRect g = popup->panel()->geometry();
    QVERIFY(qAbs(g.center().x() - kMain.available.center().x()) <= 1);
    QCOMPARE(g.y() + g.height(), 1080 - 110);
}

void tst_SuggestionPopup::longContentStaysOneLine()
{
    auto popup = make();
    QSignalSpy placed(popup.get(), &SuggestionPopup::placed);
    QList<SuggestionEntry> entries{entry(QStringLiteral(";short"), QStringLiteral("ok")),
                                   entry(QStringLiteral(";long"), QString(5000, QLatin1Char('w')) + "\nend")};
    const PrefixIndex index = PrefixIndex::build(entries);
    popup->show(QStringLiteral(";s"), index, rowsOf(index, QStringLiteral(";s")));
    QTRY_COMPARE(placed.size(), 1);
    const int oneRow = popup->panel()->height();
    popup->show(QStringLiteral(";"), index, std::vector<int>{0, 1});
    QTRY_COMPARE(popup->entries().size(), 2);
    QTRY_VERIFY(popup->panel()->height() > oneRow);
    QVERIFY(popup->panel()->width() <= SuggestionPopup::maxListWidth + 12);
    // Two rows are twice one row and the spacing: nothing wrapped.
    QVERIFY(popup->panel()->height() - oneRow < oneRow);
}

void tst_SuggestionPopup::engineDrivesIt()
{
    TestHome home;
    AppState::Options o = home.storeOptions();
    AppState state(o);
    state.setSoundEnabled(false);
    state.setHudEnabled(false);
    state.setSpellFixEnabled(false);
    state.setExpansionMode(ExpansionMode::delimiter);
    state.setSnippets({snip(QStringLiteral(";sig"), QStringLiteral("Best regards\nAda")),
                       snip(QStringLiteral(";sigx"), QStringLiteral("b")),
                       snip(QStringLiteral("sigma"), QStringLiteral("σ"))});
    ContentRenderer::Options renderOptions;
    renderOptions.lookup = ContentRenderer::lookupIn(state);
    ContentRenderer renderer(renderOptions);
    ExpansionEngine engine(
        state, [](int, const QList<Injector::Segment>&, int) {}, renderer);
    auto popup = make();
    engine.setCollaborators({nullptr, popup.get(), nullptr, nullptr});
    QSignalSpy placed(popup.get(), &SuggestionPopup::placed);

    engine.handleKeyDown(text(QStringLiteral(";")));
    QVERIFY(!popup->isShowing()); // one character never shows it
    engine.handleKeyDown(text(QStringLiteral("s")));
    QVERIFY(popup->isShowing());
    QCOMPARE(popup->typed(), QStringLiteral(";s"));
    QCOMPARE(popup->entries().size(), 2);
    QTRY_COMPARE(placed.size(), 1);
    engine.handleKeyDown(text(QStringLiteral("i")));
    engine.handleKeyDown(text(QStringLiteral("g")));
    QCOMPARE(popup->typed(), QStringLiteral(";sig"));
    QCOMPARE(popup->entries().first().content, QStringLiteral("Best regards\nAda"));
    // The middle of a word shows nothing; a reset hides it.
    engine.handleKeyDown(text(QStringLiteral("q")));
    QVERIFY(!popup->isShowing());
    QVERIFY(!popup->panel()->isVisible());
    engine.handleKeyDown(text(QStringLiteral(" ")));
    engine.handleKeyDown(text(QStringLiteral("s")));
    engine.handleKeyDown(text(QStringLiteral("i")));
    QVERIFY(popup->isShowing());
    engine.resetBuffer();
    QVERIFY(!popup->isShowing());
}

void tst_SuggestionPopup::screenshot()
{
    auto popup = make();
    QSignalSpy placed(popup.get(), &SuggestionPopup::placed);
    QList<SuggestionEntry> entries{
        entry(QStringLiteral(";sig"), QStringLiteral("Best regards,\nAda Lovelace")),
        entry(QStringLiteral(";sigw"), QStringLiteral("Cheers,\r\nAda — Analytical Engines Ltd.")),
        entry(QStringLiteral(";sday"), QStringLiteral("{date:EEEE}")),
        entry(QStringLiteral(";shrug"), QStringLiteral("¯\\_(ツ)_/¯")),
        entry(
            QStringLiteral(";sorry"),
            QStringLiteral("Sorry for the late reply — the last weeks were busier than I expected, and your "
                           "message slipped through.")),
        entry(QStringLiteral(";ssh"), QStringLiteral("ssh -i ~/.ssh/id_ed25519 ada@engine.example")),
        entry(QStringLiteral(";sunset"), QStringLiteral("never shown: the seventh")),
    };
    const PrefixIndex index = PrefixIndex::build(entries);
    popup->show(QStringLiteral(";s"), index, rowsOf(index, QStringLiteral(";s")));
    QTRY_COMPARE(placed.size(), 1);
    QCOMPARE(popup->entries().size(), 6);
    QWidget* panel = popup->panel();
    QImage image(panel->size() + QSize(40, 40), QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(0x3a, 0x3f, 0x4b));
    QPainter painter(&image);
    panel->render(&painter, QPoint(20, 20), QRegion(), QWidget::DrawChildren);
    painter.end();
    const QString path =
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("suggestion-popup.png"));
    QVERIFY(image.save(path));
    qInfo("Popup screenshot: %s", qPrintable(path));
}

QTEST_MAIN(tst_SuggestionPopup)
#include "tst_SuggestionPopup.moc"
