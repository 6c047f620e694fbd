// The status pill: its countdown and fades stepped through on a clock of the test's own,
// where it goes on the screen, and the engine's feedback path into it.
#include "engine/DesktopFeedback.h"
#include "engine/ExpansionHUD.h"
#include "engine/SoundPlayer.h"
#include "platform/SoundOutput.h"

#include <QApplication>
#include <QDir>
#include <QFontMetricsF>
#include <QPainter>
#include <QTest>
#include <QWidget>

#include <map>

namespace {

// Time stands still until the test advances it; due tasks then run in order, each seeing
// the clock at its own due time.
class ManualScheduler : public ExpansionHUD::Scheduler
{
  public:
    qint64 nowMs() const override { return m_now; }
    quint64 schedule(int delayMs, std::function<void()> task) override
    {
        const quint64 id = ++m_lastId;
        m_tasks.emplace(std::make_pair(m_now + std::max(0, delayMs), id), std::move(task));
        return id;
    }
    void cancel(quint64 id) override
    {
        for (auto it = m_tasks.begin(); it != m_tasks.end(); ++it)
            if (it->first.second == id) {
                m_tasks.erase(it);
                return;
            }
    }
    void advanceTo(qint64 t)
    {
        while (!m_tasks.empty() && m_tasks.begin()->first.first <= t) {
            auto node = m_tasks.extract(m_tasks.begin());
            m_now = node.key().first;
            node.mapped()();
        }
        m_now = t;
    }
    bool idle() const { return m_tasks.empty(); }

  private:
    qint64 m_now = 0;
    quint64 m_lastId = 0;
    std::map<std::pair<qint64, quint64>, std::function<void()>> m_tasks;
};

struct RecordingOutput : SoundOutput
{
    QStringList played;
    void playEvent(const QString& id) override { played << id; }
};

using Screens = QList<PopupPlacement::Screen>;
using Timeline = QList<QPair<int, qreal>>;

// The offscreen platform says so for every opacity, mask and raise of a panel.
QtMessageHandler g_messages = nullptr;
void quietOffscreen(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (!message.startsWith(QLatin1String("This plugin does not support")))
        g_messages(type, context, message);
}

const QRect kScreen(0, 0, 1920, 1080);
const QRect kAvailable(0, 0, 1920, 1040); // a 40-pixel panel at the bottom

} // namespace

class tst_ExpansionHUD : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase() { g_messages = qInstallMessageHandler(quietOffscreen); }
    void init();

    void fadeTimeline_data();
    void fadeTimeline();
    void secondShowKeepsItUp();
    void showDuringFadeOutComesBack();
    void placement_data();
    void placement();
    void sizedToOneLine();
    void textFitsPill_data();
    void textFitsPill();
    void noScreenOnlyUpdatesText();
    void feedbackQueuesHudAndSound();
    void screenshot();

  private:
    std::unique_ptr<ExpansionHUD> make()
    {
        ExpansionHUD::Options o;
        o.scheduler = &m_clock;
        o.compositing = [this] { return m_compositing; };
        o.screens = [this] { return m_screens; };
        return std::make_unique<ExpansionHUD>(o);
    }

    ManualScheduler m_clock;
    bool m_compositing = true;
    QList<PopupPlacement::Screen> m_screens;
};

void tst_ExpansionHUD::init()
{
    m_clock = ManualScheduler();
    m_compositing = true;
    m_screens = {{kScreen, kAvailable, 1}};
}

void tst_ExpansionHUD::fadeTimeline_data()
{
    QTest::addColumn<bool>("compositing");
    // Pairs of (time in ms after show, opacity expected then; -1: off the screen). The
    // fades step once a frame (16 ms), so the times are on frames.
    QTest::addColumn<Timeline>("timeline");
    QTest::newRow("compositor: fade in, hold, fade out")
        << true << Timeline{{0, 0},    {48, 0.4},     {120, 1},     {1199, 1},
                            {1200, 1}, {1376, 0.497}, {1549, 0.04}, {1550, -1}};
    QTest::newRow("no compositor: at once, and gone at 1.2 s")
        << false << Timeline{{0, 1}, {1199, 1}, {1200, -1}};
}

void tst_ExpansionHUD::fadeTimeline()
{
    QFETCH(bool, compositing);
    QFETCH(Timeline, timeline);
    m_compositing = compositing;
    auto hud = make();
    hud->show(QStringLiteral(";sig → Best regards"));
    for (const auto& [t, expected] : timeline) {
        m_clock.advanceTo(t);
        if (expected < 0) {
            QVERIFY2(!hud->isOnScreen(), qPrintable(QStringLiteral("still up at %1 ms").arg(t)));
            continue;
        }
        QVERIFY2(hud->isOnScreen(), qPrintable(QStringLiteral("gone at %1 ms").arg(t)));
        QVERIFY2(qAbs(hud->opacity() - expected) < 0.01,
                 qPrintable(QStringLiteral("opacity %1 at %2 ms").arg(hud->opacity()).arg(t)));
    }
    QVERIFY(m_clock.idle());
}

void tst_ExpansionHUD::secondShowKeepsItUp()
{
    auto hud = make();
    hud->show(QStringLiteral("teh → the"));
    m_clock.advanceTo(1000);
    const QRect first = hud->panel()->geometry();
    hud->show(QStringLiteral("AI snippet cancelled — the front app changed"));
    // The latest text, re-centred for its width, and no second fade from nothing.
    QCOMPARE(hud->text(), QStringLiteral("AI snippet cancelled — the front app changed"));
    QCOMPARE(hud->opacity(), 1.0);
    const QRect second = hud->panel()->geometry();
    QVERIFY(second.width() > first.width());
    QVERIFY(qAbs(second.center().x() - kAvailable.center().x()) <= 1);
    QCOMPARE(second.bottom(), first.bottom());
    m_clock.advanceTo(1000 + 1199);
    QVERIFY(hud->isOnScreen());
    QCOMPARE(hud->opacity(), 1.0);
    m_clock.advanceTo(1000 + 1200 + 176);
    QVERIFY(qAbs(hud->opacity() - 0.497) < 0.01);
    m_clock.advanceTo(1000 + 1550);
    QVERIFY(!hud->isOnScreen());
}

void tst_ExpansionHUD::showDuringFadeOutComesBack()
{
    auto hud = make();
    hud->show(QStringLiteral("one"));
    m_clock.advanceTo(1376); // half way out
    QVERIFY(qAbs(hud->opacity() - 0.497) < 0.01);
    hud->show(QStringLiteral("two"));
    QVERIFY(qAbs(hud->opacity() - 0.497) < 0.01); // from where it was, not from 0
    m_clock.advanceTo(1376 + 48);
    QVERIFY(qAbs(hud->opacity() - 0.698) < 0.01);
    // The interrupted fade-out would have ended at 1550: the pill stays.
    m_clock.advanceTo(1600);
    QVERIFY(hud->isOnScreen());
    QCOMPARE(hud->opacity(), 1.0);
    m_clock.advanceTo(1376 + 1549);
    QVERIFY(hud->isOnScreen());
    m_clock.advanceTo(1376 + 1550);
    QVERIFY(!hud->isOnScreen());
}

void tst_ExpansionHUD::placement_data()
{
    QTest::addColumn<Screens>("screens");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QPoint>("expected");
    QTest::newRow("centred, 70 above the bottom of the free area")
        << Screens{{kScreen, kAvailable, 1}} << QSize(200, 40) << QPoint(860, 1040 - 70 - 40);
    QTest::newRow("a dock on the left shifts the centre")
        << Screens{{kScreen, QRect(64, 0, 1856, 1080), 1}} << QSize(100, 40) << QPoint(942, 970);
    // The primary screen comes first, whatever its position among the others.
    QTest::newRow("the primary screen, not the leftmost")
        << Screens{{QRect(1920, 0, 1280, 1024), QRect(1920, 0, 1280, 1024), 1}, {kScreen, kAvailable, 1}}
        << QSize(200, 40) << QPoint(1920 + 540, 1024 - 110);
    QTest::newRow("wider than the screen: still centred")
        << Screens{{QRect(0, 0, 800, 600), QRect(0, 0, 800, 600), 1}} << QSize(1000, 40) << QPoint(-100, 490);
}

void tst_ExpansionHUD::placement()
{
    QFETCH(Screens, screens);
    QFETCH(QSize, size);
    QFETCH(QPoint, expected);
    QCOMPARE(PopupPlacement::hudTopLeft(size, screens), std::optional<QPoint>(expected));
}

void tst_ExpansionHUD::sizedToOneLine()
{
    auto hud = make();
    hud->show(QStringLiteral("ok"));
    const QSize small = hud->panel()->size();
    const QString longText = QString(300, QLatin1Char('x'));
    hud->show(longText + QStringLiteral("\nsecond line"));
    const QSize wide = hud->panel()->size();
    QCOMPARE(wide.height(), small.height()); // one line, whatever the text
    QVERIFY(wide.width() > 2000);
    QVERIFY(qAbs(hud->panel()->geometry().center().x() - kAvailable.center().x()) <= 1);
    // An empty text still shows the capsule: its padding and outline.
    hud->show(QString());
    QVERIFY(hud->isOnScreen());
    QCOMPARE(hud->panel()->width(), 2 * (14 + 6));
    QCOMPARE(hud->panel()->height(), small.height());
}

void tst_ExpansionHUD::textFitsPill_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    QTest::newRow("expansion") << QStringLiteral("✓ ;sig") << QStringLiteral("✓ ;sig");
    QTest::newRow("spelling fix") << QStringLiteral("teh → the") << QStringLiteral("teh → the");
    QTest::newRow("narrow letters") << QStringLiteral("iiiiiiiiiiil1|") << QStringLiteral("iiiiiiiiiiil1|");
    QTest::newRow("line breaks") << QStringLiteral("Fill-in cancelled\r\n— focus changed")
                                 << QStringLiteral("Fill-in cancelled  — focus changed");
    QTest::newRow("wide characters") << QStringLiteral("✦ writing… 日本語のテキスト 👍")
                                     << QStringLiteral("✦ writing… 日本語のテキスト 👍");
}

// The pill is as wide as its text on one line: the whole text fits inside the padding, on
// one line, whatever the characters.
void tst_ExpansionHUD::textFitsPill()
{
    QFETCH(QString, text);
    QFETCH(QString, shown);
    auto hud = make();
    hud->show(text);
    QWidget* pill = hud->panel();
    const QFontMetricsF metrics(pill->font());
    const qreal room = pill->width() - 2 * (14 + 6);
    QVERIFY2(metrics.horizontalAdvance(shown) <= room + 0.5,
             qPrintable(QStringLiteral("needs %1, has %2").arg(metrics.horizontalAdvance(shown)).arg(room)));
    QVERIFY(pill->height() - 2 * (7 + 6) >= metrics.height() - 0.5);
    QVERIFY(metrics.boundingRect(QRectF(0, 0, room + 0.5, 1e6), Qt::TextWordWrap, shown).height() <=
            metrics.lineSpacing() + 0.5);
}

void tst_ExpansionHUD::noScreenOnlyUpdatesText()
{
    m_screens.clear();
    auto hud = make();
    hud->show(QStringLiteral("nowhere"));
    QCOMPARE(hud->text(), QStringLiteral("nowhere"));
    QVERIFY(!hud->isOnScreen());
    QVERIFY(m_clock.idle()); // no countdown either
}

void tst_ExpansionHUD::feedbackQueuesHudAndSound()
{
    RecordingOutput output;
    SoundPlayer::setOutput(&output);
    auto hud = make();
    DesktopFeedback feedback(*hud);
    feedback.showHud(QStringLiteral(";sig → Best regards"));
    feedback.playSound(QStringLiteral("Pop"));
    // Inside the keystroke nothing happens yet.
    QVERIFY(!hud->isOnScreen());
    QVERIFY(output.played.isEmpty());
    QTRY_VERIFY(hud->isOnScreen());
    QCOMPARE(hud->text(), QStringLiteral(";sig → Best regards"));
    QTRY_COMPARE(output.played, QStringList{QStringLiteral("message")});
    SoundPlayer::setOutput(nullptr);
}

void tst_ExpansionHUD::screenshot()
{
    auto hud = make();
    hud->show(QStringLiteral(";sig → Best regards, Ada"));
    m_clock.advanceTo(200);
    QWidget backdrop;
    backdrop.setFixedSize(hud->panel()->size() + QSize(40, 40));
    QPalette palette = backdrop.palette();
    palette.setColor(QPalette::Window, QColor(0x3a, 0x3f, 0x4b));
    backdrop.setPalette(palette);
    backdrop.setAutoFillBackground(true);
    QImage image = backdrop.grab().toImage();
    QPainter painter(&image);
    hud->panel()->render(&painter, QPoint(20, 20), QRegion(), QWidget::DrawChildren);
    painter.end();
    const QString path = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("hud.png"));
    QVERIFY(image.save(path));
    qInfo("HUD screenshot: %s", qPrintable(path));
}

QTEST_MAIN(tst_ExpansionHUD)
#include "tst_ExpansionHUD.moc"
