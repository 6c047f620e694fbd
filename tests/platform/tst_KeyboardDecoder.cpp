// Key to text and the reading of the recorded stream, without a server: keymaps
// compiled from layout names, records built byte by byte as the server sends them.
#include "platform/x11/KeyboardDecoder.h"
#include "platform/x11/RecordInterpreter.h"

#include <QTest>

namespace {

// evdev key codes and core state bits, as a server with the evdev rules reports them.
constexpr quint8 kA = 38, kB = 56, kE = 26, kY = 29, k1 = 10, kMinus = 20, kApostrophe = 48;
constexpr quint8 kTab = 23, kBackSpace = 22, kReturn = 36, kShiftL = 50, kSpare = 200;
constexpr quint16 kShift = 0x01, kLock = 0x02, kControl = 0x04, kMod1 = 0x08, kMod2 = 0x10, kMod4 = 0x40,
                  kMod5 = 0x80, kGroup2 = 0x2000;
constexpr int kXTest = 132;
constexpr quint32 kInjector = 0x00600000, kXdotool = 0x00800000, kPrompt = 0x00a00000;

struct Stream
{
    std::vector<std::vector<quint8>> buffers;

    RecordItem item(RecordItem::Kind kind, quint32 idBase, std::vector<quint8> bytes)
    {
        buffers.push_back(std::move(bytes));
        RecordItem item;
        item.kind = kind;
        item.idBase = idBase;
        item.data = buffers.back().data();
        item.length = buffers.back().size();
        return item;
    }
    static void put32(std::vector<quint8>& b, size_t at, quint32 v)
    {
        for (int i = 0; i < 4; ++i)
            b[at + i] = quint8(v >> (8 * i));
    }
    RecordItem fakeInput(quint32 client, quint8 type, quint8 keycode)
    {
        std::vector<quint8> b(36, 0);
        b[0] = kXTest;
        b[1] = 2;
        b[2] = 9;
        b[4] = type;
        b[5] = keycode;
        return item(RecordItem::Kind::FromClient, client, b);
    }
    RecordItem event(quint8 type, quint8 detail, quint16 state = 0, quint32 time = 1)
    {
        std::vector<quint8> b(32, 0);
        b[0] = type;
        b[1] = detail;
        put32(b, 4, time);
        b[28] = quint8(state);
        b[29] = quint8(state >> 8);
        return item(RecordItem::Kind::FromServer, 0, b);
    }
    RecordItem press(quint8 keycode, quint16 state = 0, quint32 time = 1)
    {
        return event(2, keycode, state, time);
    }
    RecordItem release(quint8 keycode, quint16 state = 0, quint32 time = 1)
    {
        return event(3, keycode, state, time);
    }
    RecordItem remap(quint32 client, quint8 keycode, std::vector<quint32> symbols)
    {
        std::vector<quint8> b(8 + symbols.size() * 4, 0);
        b[0] = 100;
        b[1] = 1;
        b[4] = keycode;
        b[5] = quint8(symbols.size());
        for (size_t i = 0; i < symbols.size(); ++i)
            put32(b, 8 + i * 4, symbols[i]);
        return item(RecordItem::Kind::FromClient, client, b);
    }
    RecordItem grab(quint32 client, quint32 window)
    {
        std::vector<quint8> b(16, 0);
        b[0] = 31;
        put32(b, 4, window);
        return item(RecordItem::Kind::FromClient, client, b);
    }
    RecordItem grabReply(quint32 client, quint8 status)
    {
        std::vector<quint8> b(32, 0);
        b[0] = 1;
        b[1] = status;
        return item(RecordItem::Kind::FromServer, client, b);
    }
    RecordItem ungrab(quint32 client)
    {
        std::vector<quint8> b(8, 0);
        b[0] = 32;
        return item(RecordItem::Kind::FromClient, client, b);
    }
    RecordItem died(quint32 client) { return item(RecordItem::Kind::ClientDied, client, {}); }
};

} // namespace

class tst_KeyboardDecoder : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase() { qputenv("LC_ALL", "C.UTF-8"); }

    void textAndModifiers_data()
    {
        QTest::addColumn<QByteArray>("layout");
        QTest::addColumn<QByteArray>("variant");
        QTest::addColumn<int>("keycode");
        QTest::addColumn<int>("state");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<bool>("shortcut");

        const int shift = int(Modifier::Shift), caps = int(Modifier::CapsLock);
        QTest::newRow("lower") << QByteArray("us") << QByteArray() << int(kA) << 0 << int(Key::A) << "a" << 0
                               << false;
        QTest::newRow("shift") << QByteArray("us") << QByteArray() << int(kA) << int(kShift) << int(Key::A)
                               << "A" << shift << false;
        QTest::newRow("caps lock") << QByteArray("us") << QByteArray() << int(kA) << int(kLock) << int(Key::A)
                                   << "A" << caps << false;
        QTest::newRow("caps lock and shift")
            << QByteArray("us") << QByteArray() << int(kA) << int(kShift | kLock) << int(Key::A) << "a"
            << (shift | caps) << false;
        QTest::newRow("caps lock leaves digits") << QByteArray("us") << QByteArray() << int(k1) << int(kLock)
                                                 << int(Key::Digit1) << "1" << caps << false;
        QTest::newRow("shifted digit") << QByteArray("us") << QByteArray() << int(k1) << int(kShift)
                                       << int(Key::Other) << "!" << shift << false;
        QTest::newRow("num lock is no shortcut") << QByteArray("us") << QByteArray() << int(kB) << int(kMod2)
                                                 << int(Key::B) << "b" << int(Modifier::NumLock) << false;
        QTest::newRow("shift tab is tab") << QByteArray("us") << QByteArray() << int(kTab) << int(kShift)
                                          << int(Key::Tab) << "" << shift << false;
        QTest::newRow("tab") << QByteArray("us") << QByteArray() << int(kTab) << 0 << int(Key::Tab) << "\t"
                             << 0 << false;
        QTest::newRow("return") << QByteArray("us") << QByteArray() << int(kReturn) << 0 << int(Key::Return)
                                << "\r" << 0 << false;
        QTest::newRow("ctrl backspace")
            << QByteArray("us") << QByteArray() << int(kBackSpace) << int(kControl) << int(Key::Backspace)
            << "\b" << int(Modifier::Control) << true;
        QTest::newRow("alt backspace") << QByteArray("us") << QByteArray() << int(kBackSpace) << int(kMod1)
                                       << int(Key::Backspace) << "\b" << int(Modifier::Alt) << true;
        QTest::newRow("ctrl letter") << QByteArray("us") << QByteArray() << int(kA) << int(kControl)
                                     << int(Key::A) << "\x01" << int(Modifier::Control) << true;
        QTest::newRow("super letter") << QByteArray("us") << QByteArray() << int(kA) << int(kMod4)
                                      << int(Key::A) << "a" << int(Modifier::Super) << true;
        QTest::newRow("altgr is text") << QByteArray("us") << QByteArray("intl") << int(kE) << int(kMod5)
                                       << int(Key::Other) << "é" << int(Modifier::AltGr) << false;
        QTest::newRow("german sharp s")
            << QByteArray("de") << QByteArray() << int(kMinus) << 0 << int(Key::Other) << "ß" << 0 << false;
        QTest::newRow("german euro") << QByteArray("de") << QByteArray() << int(kE) << int(kMod5)
                                     << int(Key::Other) << "€" << int(Modifier::AltGr) << false;
        QTest::newRow("second group") << QByteArray("us,de") << QByteArray() << int(kY) << int(kGroup2)
                                      << int(Key::Z) << "z" << 0 << false;
        QTest::newRow("first group") << QByteArray("us,de") << QByteArray() << int(kY) << 0 << int(Key::Y)
                                     << "y" << 0 << false;
    }

    void textAndModifiers()
    {
        QFETCH(QByteArray, layout);
        QFETCH(QByteArray, variant);
        QFETCH(int, keycode);
        QFETCH(int, state);
        KeyboardDecoder decoder;
        QVERIFY(decoder.setKeymapFromNames(layout, variant));
        const std::optional<KeyDown> down =
            decoder.decode(RecordedKey{true, quint8(keycode), quint16(state), 5});
        QVERIFY(down);
        QTEST(int(down->key), "key");
        QTEST(down->text, "text");
        QTEST(int(down->modifiers), "modifiers");
        QTEST(down->isShortcut(), "shortcut");
        QCOMPARE(down->time, 5u);
    }

    void modifierKeysAreNoKeyDowns()
    {
        KeyboardDecoder decoder;
        QVERIFY(decoder.setKeymapFromNames("us"));
        QVERIFY(!decoder.decode(RecordedKey{true, kShiftL, 0, 1}));
        QVERIFY(!decoder.decode(RecordedKey{true, 37, 0, 1}));  // Control_L
        QVERIFY(!decoder.decode(RecordedKey{true, 66, 0, 1}));  // Caps_Lock
        QVERIFY(!decoder.decode(RecordedKey{false, kA, 0, 1})); // a release
    }

    void deadKeyComposes()
    {
        KeyboardDecoder decoder;
        QVERIFY(decoder.setKeymapFromNames("us", "intl"));
        const auto dead = decoder.decode(RecordedKey{true, kApostrophe, 0, 1});
        QVERIFY(dead);
        QCOMPARE(dead->text, QString());
        decoder.decode(RecordedKey{false, kApostrophe, 0, 2});
        const auto composed = decoder.decode(RecordedKey{true, kE, 0, 3});
        QVERIFY(composed);
        QCOMPARE(composed->text, QStringLiteral("é"));
        // The sequence is over: the next e is an e.
        decoder.decode(RecordedKey{false, kE, 0, 4});
        QCOMPARE(decoder.decode(RecordedKey{true, kE, 0, 5})->text, QStringLiteral("e"));
    }

    void ownEventsByAdjacency()
    {
        KeyboardDecoder decoder;
        QVERIFY(decoder.setKeymapFromNames("us"));
        RecordInterpreter interpreter(decoder, {kXTest, -1});
        interpreter.setOwnInjectorIdBase(kInjector);
        Stream s;
        QString seen;
        auto feed = [&](const RecordItem& item) {
            const RecordOutcome o = interpreter.feed(item);
            if (o.key)
                seen += o.key->text;
        };
        // Ours: skipped, press and release.
        feed(s.fakeInput(kInjector, 2, kA));
        feed(s.press(kA));
        feed(s.fakeInput(kInjector, 3, kA));
        feed(s.release(kA));
        // xdotool's, interleaved with ours.
        feed(s.fakeInput(kXdotool, 2, kB));
        feed(s.press(kB));
        feed(s.fakeInput(kInjector, 2, kE));
        feed(s.press(kE));
        feed(s.fakeInput(kXdotool, 3, kB));
        feed(s.release(kB));
        feed(s.fakeInput(kInjector, 3, kE));
        feed(s.release(kE));
        // A FakeInput of ours that produced nothing, then the user's own key of another code.
        feed(s.fakeInput(kInjector, 3, kA));
        feed(s.press(kB, 0, 7));
        feed(s.release(kB, 0, 8));
        // Ours for one key, then a user's event for another right after: not ours.
        feed(s.fakeInput(kInjector, 2, kA));
        feed(s.press(k1, 0, 9));
        feed(s.release(k1, 0, 9));
        // Adjacency only: another record in between breaks the link.
        feed(s.fakeInput(kInjector, 2, kE));
        feed(s.fakeInput(kXdotool, 2, kE));
        feed(s.press(kE, 0, 11));
        QCOMPARE(seen, QStringLiteral("bb1e"));
        QCOMPARE(interpreter.ownEventsSkipped(), 4u);
    }

    void noInjectorNoSkipping()
    {
        KeyboardDecoder decoder;
        QVERIFY(decoder.setKeymapFromNames("us"));
        RecordInterpreter interpreter(decoder, {kXTest, -1});
        Stream s;
        // id base 0 (no connection yet) never matches a client.
        interpreter.feed(s.fakeInput(0, 2, kA));
        QVERIFY(interpreter.feed(s.press(kA)).key);
    }

    void remappedKeycodesInStreamOrder()
    {
        KeyboardDecoder decoder;
        QVERIFY(decoder.setKeymapFromNames("us"));
        RecordInterpreter interpreter(decoder, {kXTest, -1});
        Stream s;
        QStringList seen;
        auto feed = [&](const RecordItem& item) {
            const RecordOutcome o = interpreter.feed(item);
            if (o.key)
                seen << o.key->text;
        };
        // The tool binds é, types it, binds €, types it, and unbinds: all before the
        // monitor reads any of it, as happens at full speed.
        feed(s.remap(kXdotool, kSpare, {0xe9, 0xe9}));
        feed(s.fakeInput(kXdotool, 2, kSpare));
        feed(s.press(kSpare, 0, 1));
        feed(s.release(kSpare, 0, 2));
        feed(s.remap(kXdotool, kSpare, {0x20ac}));
        feed(s.press(kSpare, 0, 3));
        feed(s.release(kSpare, 0, 4));
        feed(s.remap(kXdotool, kSpare, {0x1000001 + 0x1F600 - 1}));
        feed(s.press(kSpare, 0, 5));
        feed(s.release(kSpare, 0, 6));
        // A single lower-case letter bound alone: Shift gives its capital.
        feed(s.remap(kXdotool, kSpare, {0x7f9})); // Greek_omega
        feed(s.press(kSpare, kShift, 7));
        feed(s.release(kSpare, 0, 8));
        feed(s.remap(kXdotool, kSpare, {0, 0}));
        feed(s.press(kSpare, 0, 9));
        QCOMPARE(seen, (QStringList{QStringLiteral("é"), QStringLiteral("€"), QStringLiteral("😀"),
                                    QStringLiteral("Ω")}));
    }

    void keyboardGrabSilencesKeys()
    {
        KeyboardDecoder decoder;
        QVERIFY(decoder.setKeymapFromNames("us"));
        RecordInterpreter interpreter(decoder, {kXTest, -1});
        interpreter.setOwnClients({kInjector});
        Stream s;
        QString seen;
        QList<bool> grabs;
        auto feed = [&](const RecordItem& item) {
            const RecordOutcome o = interpreter.feed(item);
            if (o.key)
                seen += o.key->text;
            if (o.foreignGrab)
                grabs << *o.foreignGrab;
            return o;
        };
        auto tap = [&](quint8 keycode, quint32 time) {
            feed(s.press(keycode, 0, time));
            feed(s.release(keycode, 0, time + 1));
        };
        tap(kA, 1);
        // A refused grab changes nothing.
        feed(s.grab(kPrompt, 0x1200001));
        feed(s.grabReply(kPrompt, 1));
        tap(kB, 3);
        // A granted one: nothing typed meanwhile is reported.
        feed(s.grab(kPrompt, 0x1200001));
        QCOMPARE(feed(s.grabReply(kPrompt, 0)).grabWindow, 0x1200001u);
        tap(kE, 5);
        tap(kA, 7);
        feed(s.ungrab(kPrompt));
        tap(k1, 9);
        // Ended by the client dying, and by its window going away.
        feed(s.grab(kPrompt, 0x1200001));
        feed(s.grabReply(kPrompt, 0));
        tap(kE, 11);
        feed(s.died(kPrompt));
        tap(kB, 13);
        feed(s.grab(kPrompt, 0x1200002));
        feed(s.grabReply(kPrompt, 0));
        tap(kA, 15);
        QCOMPARE(interpreter.noteWindowGone(0x1200002).foreignGrab, std::optional<bool>(false));
        tap(kA, 17);
        // Quenvil's own grabs are no secure input.
        feed(s.grab(kInjector, 0x600001));
        feed(s.grabReply(kInjector, 0));
        tap(kB, 19);
        QCOMPARE(seen, QStringLiteral("ab1bab"));
        QCOMPARE(grabs, (QList<bool>{true, false, true, false, true}));
    }

    void scrollIsNoClick_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<bool>("click");
        for (int b : {1, 2, 3, 8, 9})
            QTest::addRow("button %d", b) << b << true;
        for (int b : {4, 5, 6, 7})
            QTest::addRow("wheel %d", b) << b << false;
    }

    void scrollIsNoClick()
    {
        QFETCH(int, button);
        KeyboardDecoder decoder;
        QVERIFY(decoder.setKeymapFromNames("us"));
        RecordInterpreter interpreter(decoder, {kXTest, -1});
        Stream s;
        QTEST(interpreter.feed(s.event(4, quint8(button))).mouseDown, "click");
    }
};

QTEST_GUILESS_MAIN(tst_KeyboardDecoder)
#include "tst_KeyboardDecoder.moc"
