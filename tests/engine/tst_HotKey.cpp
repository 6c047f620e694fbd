#include "engine/HotKey.h"

#include "FakeHotKeyBackend.h"

#include <QCoreApplication>
#include <QTest>
#include <QThread>

class tst_HotKey : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void idsCountFromOneAndFailuresConsumeTheirs();
    void pressRunsTheHandlerLaterOnTheMainThread();
    void releaseUnregistersAndSilencesAPressInFlight();
    void rewriteCombinationIsControlAltR();
};

void tst_HotKey::idsCountFromOneAndFailuresConsumeTheirs()
{
    FakeHotKeyBackend backend;
    backend.taken.insert({Key::N, Modifier::Control | Modifier::Alt});
    auto first = HotKey::create(backend, Key::Space, Modifier::Control | Modifier::Alt, [] {});
    auto refused = HotKey::create(backend, Key::N, Modifier::Control | Modifier::Alt, [] {});
    auto third = HotKey::create(backend, Key::R, Modifier::Control | Modifier::Alt, [] {});
    QVERIFY(first);
    QVERIFY(!refused);
    QVERIFY(third);
    QCOMPARE(first->id(), 1);
    QCOMPARE(third->id(), 3);
    QCOMPARE(backend.registeredCount(), 2);

    // A combination this process already holds is refused as well.
    QVERIFY(!HotKey::create(backend, Key::R, Modifier::Control | Modifier::Alt, [] {}));
    // No handler, no hot key.
    QVERIFY(!HotKey::create(backend, Key::Q, Modifier::Control, {}));
    QCOMPARE(backend.registeredCount(), 2);
}

void tst_HotKey::pressRunsTheHandlerLaterOnTheMainThread()
{
    FakeHotKeyBackend backend;
    int runs = 0;
    QThread* ranOn = nullptr;
    auto key = HotKey::create(backend, Key::R, Modifier::Control | Modifier::Alt, [&] {
        ++runs;
        ranOn = QThread::currentThread();
    });
    QVERIFY(key);
    QVERIFY(backend.press(Key::R, Modifier::Control | Modifier::Alt));
    QCOMPARE(runs, 0);
    QTRY_COMPARE(runs, 1);
    QCOMPARE(ranOn, qApp->thread());
    // Another combination is not this one.
    QVERIFY(!backend.press(Key::R, Modifier::Control));
}

void tst_HotKey::releaseUnregistersAndSilencesAPressInFlight()
{
    FakeHotKeyBackend backend;
    int runs = 0;
    auto key = HotKey::create(backend, Key::R, Modifier::Control | Modifier::Alt, [&] { ++runs; });
    const int id = key->id();
    QVERIFY(backend.press(Key::R, Modifier::Control | Modifier::Alt));
    key.reset();
    QVERIFY(!backend.isRegistered(id));
    QTest::qWait(20);
    QCOMPARE(runs, 0);
    // The combination is free again, under a new id.
    auto again = HotKey::create(backend, Key::R, Modifier::Control | Modifier::Alt, [] {});
    QVERIFY(again);
    QCOMPARE(again->id(), id + 1);
}

void tst_HotKey::rewriteCombinationIsControlAltR()
{
    QCOMPARE(HotKey::rewriteKey, Key::R);
    QCOMPARE(HotKey::rewriteModifiers(), Modifier::Control | Modifier::Alt);
}

QTEST_GUILESS_MAIN(tst_HotKey)
#include "tst_HotKey.moc"
