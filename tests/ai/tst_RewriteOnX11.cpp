// The rewrite hot key on the fixture's X server, as the user meets it: text selected in
// another program, Control-Alt-R, the panel with that text, a preset, and the reply
// handed to the typing back in that program.
#include "ai/AIReply.h"
#include "ai/AIRewriteController.h"
#include "ai/AIRewritePanel.h"
#include "engine/ExpansionFeedback.h"
#include "model/AppState.h"
#include "platform/linux/AtSpiFocusTracker.h"
#include "platform/linux/AtSpiSelectedText.h"
#include "platform/linux/X11PrimarySelection.h"
#include "platform/x11/X11FrontApp.h"
#include "platform/x11/X11HotKeyBackend.h"

#include "TargetWindow.h"
#include "TestHome.h"
#include "UserInput.h"
#include "XServerEnvironment.h"

#include <QAbstractButton>
#include <QPointer>
#include <QTest>
#include <QWidget>

namespace {

class RecordingFeedback : public ExpansionFeedback
{
  public:
    void showHud(const QString& message) override { hud.append(message); }
    QStringList hud;
};

} // namespace

class tst_RewriteOnX11 : public QObject
{
    Q_OBJECT

  private slots:
    void hotKeyOpensThePanelOnTheSelection();
    void accessibleProgramAnswersOverAtSpi();
};

void tst_RewriteOnX11::hotKeyOpensThePanelOnTheSelection()
{
    TestHome home;
    AppState::Options o = home.storeOptions();
    o.deferSettingsWrites = false;
    AppState state(o);
    state.setAiWritingBackend(AIBackend::openAI);
    state.setSoundEnabled(false);

    const QByteArray display = XServerEnvironment::display();
    X11FrontApp front(display);
    X11HotKeyBackend hotKeys(display);
    AtSpiFocusTracker tracker;
    X11PrimarySelection primary(display);
    QVERIFY(primary.isConnected());
    AtSpiSelectedText selected(tracker, &primary);
    RecordingFeedback feedback;
    QList<QPointer<AIReply>> replies;
    QStringList users;
    QStringList typed;

    AIRewriteController::Collaborators c;
    c.frontApp = &front;
    c.selectedText = &selected;
    c.feedback = &feedback;
    c.replace = [&](int, const QList<Injector::Segment>& segments, int) {
        for (const Injector::Segment& s : segments)
            typed.append(s.textValue());
    };
    c.complete = [&](AIBackend, const QString&, const QString& user) {
        users.append(user);
        auto* reply = new AIReply;
        replies.append(reply);
        return reply;
    };
    c.isReady = [](AIBackend) { return true; };
    AIRewriteController controller(state, c);
    QVERIFY(controller.installHotKey(hotKeys));

    TargetWindow target;
    QVERIFY(target.start(QStringLiteral("QuenvilRewriteTarget")));
    QVERIFY(UserInput::type(QStringLiteral("Hello rewrite world")));
    QVERIFY(target.waitForText(QStringLiteral("Hello rewrite world")));
    QVERIFY(UserInput::key({QStringLiteral("ctrl+a")}));
    QTRY_VERIFY(primary.ownedByFrontProcess());

    QVERIFY(UserInput::key({QStringLiteral("ctrl+alt+r")}));
    QTRY_VERIFY_WITH_TIMEOUT(controller.panel(), 5000);
    AIRewritePanel* panel = controller.panel();
    QCOMPARE(panel->selection(), QStringLiteral("Hello rewrite world"));
    QVERIFY(QTest::qWaitForWindowExposed(panel));
    QCOMPARE(controller.previousWindow(), target.window());

    panel->presetButtons().at(1)->click();
    QCOMPARE(users, QStringList{QStringLiteral("Fix spelling and grammar:\n\nHello rewrite world")});
    // The target is given the focus back and the reply goes to it.
    QTRY_COMPARE_WITH_TIMEOUT(front.window(), target.window(), 5000);
    replies.first()->finish(AIResult::success(QStringLiteral("Hello, rewritten world.")));
    QTRY_COMPARE(typed, QStringList{QStringLiteral("Hello, rewritten world.")});
    QVERIFY(!feedback.hud.contains(AIRewriteController::focusChangedMessage()));

    // With nothing selected any more, the hot key says so and opens nothing.
    QVERIFY(UserInput::key({QStringLiteral("End")}));
    feedback.hud.clear();
    target.stop();
    QTest::qWait(200);
    QVERIFY(UserInput::key({QStringLiteral("ctrl+alt+r")}));
    QTRY_COMPARE_WITH_TIMEOUT(feedback.hud, QStringList{AIRewriteController::noSelectionMessage()}, 5000);
    QVERIFY(!controller.panel());
}

void tst_RewriteOnX11::accessibleProgramAnswersOverAtSpi()
{
    const QByteArray display = XServerEnvironment::display();
    AtSpiFocusTracker tracker;
    QTRY_VERIFY_WITH_TIMEOUT(tracker.isConnected(), 20000);
    QTest::qWait(500); // the registry takes our listener before the program starts
    // No PRIMARY fallback here: what comes back came over the accessibility bus.
    X11PrimarySelection primary(display);
    AtSpiSelectedText reader(tracker, nullptr);

    qputenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
    TargetWindow target;
    const bool started = target.start(QStringLiteral("QuenvilRewriteAccessible"));
    qunsetenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON");
    QVERIFY(started);
    // The program's bridge may come up after its first focus-in: move the focus away and
    // back until the focus event arrives.
    QWidget other;
    other.setWindowTitle(QStringLiteral("other"));
    other.resize(200, 100);
    for (int attempt = 0; attempt < 10 && tracker.focusedService().isEmpty(); ++attempt) {
        QTest::qWait(500);
        if (!tracker.focusedService().isEmpty())
            break;
        other.show();
        UserInput::activateWindow(other.winId());
        QTest::qWait(300);
        target.activate();
    }
    if (tracker.focusedService().isEmpty())
        QSKIP("no focus event from the target over AT-SPI");
    other.hide();
    QVERIFY(target.activate());

    auto selectionNow = [](AtSpiSelectedText& r) {
        QObject context;
        std::optional<QString> got;
        bool answered = false;
        r.requestSelectedText(&context, [&](std::optional<QString> t) {
            got = t;
            answered = true;
        });
        [[maybe_unused]] const bool done = QTest::qWaitFor([&] { return answered; }, 5000);
        return got;
    };
    QVERIFY(UserInput::type(QStringLiteral("selected words")));
    QVERIFY(target.waitForText(QStringLiteral("selected words")));
    QCOMPARE(selectionNow(reader), std::optional<QString>());
    QVERIFY(UserInput::key({QStringLiteral("ctrl+a")}));
    QTRY_COMPARE(selectionNow(reader), std::optional<QString>(QStringLiteral("selected words")));

    // The front window's process is the focused object's: the check lets it through.
    AtSpiSelectedText checked(tracker, &primary);
    QCOMPARE(primary.frontWindowPid(), std::optional<quint32>(quint32(target.pid())));
    QCOMPARE(selectionNow(checked), std::optional<QString>(QStringLiteral("selected words")));
}

QUENVIL_X11_TEST_MAIN(tst_RewriteOnX11)
#include "tst_RewriteOnX11.moc"
