#include "engine/ContentRenderer.h"
#include "engine/EventTap.h"
#include "engine/ExpansionEngine.h"
#include "model/AppState.h"

#include "FakeAccessibilityProbe.h"
#include "FakeInputMonitor.h"
#include "TestHome.h"

#include <QTest>

#include <memory>

// The tap's life across loss and return of the capability to watch input.
class tst_EventTap : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void startsWhenTrusted();
    void retriesUntilTrusted();
    void watchdogNoticesLossOnce();
    void lostConnectionCountsAsLoss();
    void keysReachTheEngineOnlyWhileInstalled();

private:
    std::unique_ptr<TestHome> m_home;
    std::unique_ptr<AppState> m_state;
    std::unique_ptr<ContentRenderer> m_renderer;
    std::unique_ptr<ExpansionEngine> m_engine;
    std::unique_ptr<FakeInputMonitor> m_monitor;
    FakeAccessibilityProbe m_probe;
    std::unique_ptr<EventTap> m_tap;
    int m_lost = 0;
};

void tst_EventTap::init()
{
    m_home = std::make_unique<TestHome>();
    AppState::Options o = m_home->storeOptions();
    m_state = std::make_unique<AppState>(o);
    m_renderer = std::make_unique<ContentRenderer>();
    m_engine = std::make_unique<ExpansionEngine>(*m_state, [](int, const QList<Injector::Segment>&, int) {},
                                                 *m_renderer);
    m_monitor = std::make_unique<FakeInputMonitor>();
    m_probe = FakeAccessibilityProbe();
    m_lost = 0;
    m_tap = std::make_unique<EventTap>(*m_monitor, m_probe, *m_state, *m_engine, EventTap::Options{20, 30});
    m_tap->setPermissionLostHandler([this] { ++m_lost; });
}

void tst_EventTap::cleanup()
{
    m_tap.reset();
    m_monitor.reset();
    m_engine.reset();
    m_renderer.reset();
    m_state.reset();
    m_home.reset();
}

void tst_EventTap::startsWhenTrusted()
{
    m_tap->start();
    QVERIFY(m_tap->isInstalled());
    QVERIFY(m_tap->isWatching());
    QVERIFY(!m_tap->isRetrying());
    QVERIFY(m_state->accessibilityGranted());
    m_tap->start(); // a second start does nothing
    QCOMPARE(m_monitor->startCalls, 1);
}

void tst_EventTap::retriesUntilTrusted()
{
    m_probe.trusted = false;
    m_tap->start();
    QVERIFY(!m_tap->isInstalled());
    QVERIFY(m_tap->isRetrying());
    QTest::qWait(70);
    QVERIFY(!m_state->accessibilityGranted());
    m_probe.trusted = true;
    QTRY_VERIFY(m_tap->isInstalled());
    QVERIFY(!m_tap->isRetrying());
    QVERIFY(m_state->accessibilityGranted());

    // A monitor that cannot start (no extension) keeps the retry going.
    cleanup();
    init();
    m_monitor->startSucceeds = false;
    m_tap->start();
    QVERIFY(m_tap->isRetrying());
    m_monitor->startSucceeds = true;
    QTRY_VERIFY(m_tap->isInstalled());
}

void tst_EventTap::watchdogNoticesLossOnce()
{
    m_tap->start();
    m_probe.trusted = false;
    QTRY_VERIFY(!m_tap->isInstalled());
    QCOMPARE(m_lost, 1);
    QVERIFY(!m_state->accessibilityGranted());
    QVERIFY(m_tap->isRetrying());
    QVERIFY(!m_tap->isWatching());
    QTest::qWait(100);
    QCOMPARE(m_lost, 1); // once per loss
    m_probe.trusted = true;
    QTRY_VERIFY(m_tap->isInstalled());
    m_probe.trusted = false;
    QTRY_COMPARE(m_lost, 2);
}

void tst_EventTap::lostConnectionCountsAsLoss()
{
    m_tap->start();
    m_monitor->loseConnection();
    QTRY_COMPARE(m_lost, 1);
    QTRY_VERIFY(m_tap->isInstalled()); // the display is still there: it comes back
}

void tst_EventTap::keysReachTheEngineOnlyWhileInstalled()
{
    m_state->setSpellFixEnabled(false);
    m_tap->start();
    KeyDown k;
    k.text = QStringLiteral("a");
    m_monitor->press(k);
    QCOMPARE(m_engine->buffer().text(), QStringLiteral("a"));
    m_monitor->click();
    QVERIFY(m_engine->buffer().isEmpty());
    m_tap->stop();
    m_monitor->press(k);
    QVERIFY(m_engine->buffer().isEmpty());
}

QTEST_GUILESS_MAIN(tst_EventTap)
#include "tst_EventTap.moc"
