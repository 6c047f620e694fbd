// The HUD and the suggestion popup on a real X server: showing them leaves the focus
// where the user types, clicks go through them, and the popup finds the caret of a real
// program over the accessibility bus.
#include "engine/ExpansionHUD.h"
#include "engine/PopupPlacement.h"
#include "engine/SuggestionPopup.h"
#include "model/PrefixIndex.h"
#include "platform/linux/AtSpiCaretLocator.h"
#include "platform/linux/AtSpiFocusTracker.h"
#include "platform/linux/X11CompositorProbe.h"

#include "TargetWindow.h"
#include "UserInput.h"
#include "XServerEnvironment.h"

#include <QMouseEvent>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

namespace {

quint64 activeWindow()
{
    QProcess p;
    p.start(QStringLiteral("xdotool"), {QStringLiteral("getactivewindow")});
    if (!p.waitForFinished(10000))
        return 0;
    return p.readAllStandardOutput().trimmed().toULongLong();
}

// Where the window's inside is on the screen (what xwininfo calls absolute).
QRect windowGeometry(quint64 window)
{
    QProcess p;
    p.start(QStringLiteral("xwininfo"), {QStringLiteral("-id"), QString::number(window)});
    if (!p.waitForFinished(10000))
        return {};
    QRect r;
    for (QByteArray line : p.readAllStandardOutput().split('\n')) {
        line = line.trimmed();
        const int v = line.mid(line.indexOf(':') + 1).trimmed().toInt();
        if (line.startsWith("Absolute upper-left X:"))
            r.moveLeft(v);
        else if (line.startsWith("Absolute upper-left Y:"))
            r.moveTop(v);
        else if (line.startsWith("Width:"))
            r.setWidth(v);
        else if (line.startsWith("Height:"))
            r.setHeight(v);
    }
    return r;
}

class ClickTarget : public QWidget
{
  public:
    int presses = 0;

  protected:
    void mousePressEvent(QMouseEvent*) override { ++presses; }
};

SuggestionEntry entry(const QString& trigger, const QString& content)
{
    SuggestionEntry e;
    e.trigger = trigger;
    e.content = content;
    return e;
}

const PrefixIndex& sampleIndex()
{
    static const PrefixIndex index =
        PrefixIndex::build({entry(QStringLiteral(";sig"), QStringLiteral("Best regards")),
                            entry(QStringLiteral(";sigx"), QStringLiteral("x"))});
    return index;
}

void showSample(SuggestionPopup& popup)
{
    const auto rows = sampleIndex().lookup(QStringLiteral(";s"));
    popup.show(QStringLiteral(";s"), sampleIndex(), rows);
}

} // namespace

class tst_FloatingPanels : public QObject
{
    Q_OBJECT

  private slots:
    void panelsTakeNoFocus();
    void clicksGoThrough();
    void popupFindsTheCaret();
};

void tst_FloatingPanels::panelsTakeNoFocus()
{
    TargetWindow target;
    QVERIFY(target.start());
    QTRY_COMPARE(activeWindow(), target.window());

    X11CompositorProbe compositor;
    QVERIFY(!compositor.isCompositing()); // a bare Xvfb and openbox
    ExpansionHUD::Options hudOptions;
    hudOptions.compositing = [&compositor] { return compositor.isCompositing(); };
    ExpansionHUD hud(hudOptions);
    SuggestionPopup popup;
    QSignalSpy placed(&popup, &SuggestionPopup::placed);
    hud.show(QStringLiteral(";sig → Best regards"));
    showSample(popup);
    QTRY_COMPARE(placed.size(), 1);
    QVERIFY(QTest::qWaitForWindowExposed(hud.panel()));
    QVERIFY(QTest::qWaitForWindowExposed(popup.panel()));
    QTest::qWait(300); // time for a focus change, were there one

    QCOMPARE(activeWindow(), target.window());
    QVERIFY(!QGuiApplication::focusWindow());
    QVERIFY(UserInput::type(QStringLiteral("still here")));
    QVERIFY(target.waitForText(QStringLiteral("still here")));
    // And the HUD goes by itself (no compositor: at once, 1.2 s after the show).
    QTRY_VERIFY_WITH_TIMEOUT(!hud.isOnScreen(), 5000);
}

void tst_FloatingPanels::clicksGoThrough()
{
    ExpansionHUD hud;
    hud.show(QStringLiteral("a click on me lands below"));
    const QRect pill = hud.panel()->geometry();
    ClickTarget below;
    below.setWindowTitle(QStringLiteral("below"));
    below.setGeometry(pill.adjusted(-40, -40, 40, 40));
    below.show();
    QVERIFY(QTest::qWaitForWindowExposed(&below));
    if (!below.geometry().contains(pill.center()))
        QSKIP("the window manager put the window elsewhere");
    hud.show(QStringLiteral("a click on me lands below")); // on top again
    QVERIFY(QTest::qWaitForWindowExposed(hud.panel()));
    const QPoint c = pill.center();
    QVERIFY(UserInput::xdotool({QStringLiteral("mousemove"), QStringLiteral("--sync"), QString::number(c.x()),
                                QString::number(c.y()), QStringLiteral("click"), QStringLiteral("1")}));
    QTRY_COMPARE(below.presses, 1);
}

void tst_FloatingPanels::popupFindsTheCaret()
{
    AtSpiFocusTracker tracker;
    AtSpiCaretLocator locator(tracker);
    QTRY_VERIFY_WITH_TIMEOUT(locator.isConnected(), 20000);
    QTest::qWait(500); // the registry takes our listener before the program starts

    // Qt programs expose themselves only with the desktop's accessibility on, or this.
    qputenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
    TargetWindow target;
    const bool started = target.start(QStringLiteral("QuenvilCaret"));
    qunsetenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON");
    QVERIFY(started);
    // The program's bridge may come up after its first focus-in: move the focus away and
    // back until the focus event arrives.
    QWidget other;
    other.setWindowTitle(QStringLiteral("other"));
    other.resize(200, 100);
    for (int attempt = 0; attempt < 10 && locator.focusedService().isEmpty(); ++attempt) {
        QTest::qWait(500);
        if (!locator.focusedService().isEmpty())
            break;
        other.show();
        UserInput::activateWindow(other.winId());
        QTest::qWait(300);
        target.activate();
    }
    QVERIFY2(!locator.focusedService().isEmpty(), "no focus event from the target over AT-SPI");
    QTRY_COMPARE(activeWindow(), target.window());

    auto caretNow = [&locator] {
        QObject context;
        std::optional<QRect> got;
        bool answered = false;
        locator.requestCaretRect(&context, [&](std::optional<QRect> r) {
            got = r;
            answered = true;
        });
        [[maybe_unused]] const bool done = QTest::qWaitFor([&] { return answered; }, 5000);
        return got;
    };
    QVERIFY(UserInput::type(QStringLiteral("hello")));
    QVERIFY(target.waitForText(QStringLiteral("hello")));
    const std::optional<QRect> first = caretNow();
    QVERIFY(first);
    const QRect window = windowGeometry(target.window());
    QVERIFY2(window.contains(first->topLeft()), qPrintable(QStringLiteral("caret %1,%2 outside %3,%4 %5x%6")
                                                               .arg(first->x())
                                                               .arg(first->y())
                                                               .arg(window.x())
                                                               .arg(window.y())
                                                               .arg(window.width())
                                                               .arg(window.height())));
    QVERIFY(UserInput::type(QStringLiteral(" world")));
    QVERIFY(target.waitForText(QStringLiteral("hello world")));
    const std::optional<QRect> second = caretNow();
    QVERIFY(second);
    QCOMPARE(second->y(), first->y());
    QVERIFY(second->x() > first->x());

    // The popup goes just below it, and the target keeps the focus.
    SuggestionPopup::Options options;
    options.caret = &locator;
    SuggestionPopup popup(options);
    QSignalSpy placed(&popup, &SuggestionPopup::placed);
    showSample(popup);
    QTRY_COMPARE(placed.size(), 1);
    const QList<PopupPlacement::Screen> screens = PopupPlacement::currentScreens();
    const auto expected = PopupPlacement::suggestionTopLeft(
        popup.panel()->size(), PopupPlacement::fromDevicePixels(*second, screens), screens);
    QCOMPARE(popup.panel()->pos(), *expected);
    QTest::qWait(200);
    QCOMPARE(activeWindow(), target.window());
}

QUENVIL_X11_TEST_MAIN(tst_FloatingPanels)
#include "tst_FloatingPanels.moc"
