// The named sounds: each maps to a sound of the freedesktop theme, plays on the main
// thread whoever asks, and a name without a sound (or a machine without audio) plays
// nothing and fails nothing.
#include "engine/SoundPlayer.h"
#include "platform/SoundOutput.h"
#include "platform/linux/CanberraSoundOutput.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSet>
#include <QTest>
#include <QThread>

namespace {

struct RecordingOutput : SoundOutput
{
    QStringList played;
    QList<QThread*> threads;
    void playEvent(const QString& id) override
    {
        played << id;
        threads << QThread::currentThread();
    }
};

const QString kTheme = QStringLiteral("/usr/share/sounds/freedesktop/stereo");

} // namespace

class tst_SoundPlayer : public QObject
{
    Q_OBJECT

  private slots:
    void cleanup() { SoundPlayer::setOutput(nullptr); }

    void namesInPickerOrder();
    void everyNameHasAThemeSound_data();
    void everyNameHasAThemeSound();
    void playsLaterOnTheMainThread();
    void unknownNamesAreSilent();
    void canberraWithoutAudioIsSilent();
};

void tst_SoundPlayer::namesInPickerOrder()
{
    QCOMPARE(SoundPlayer::soundNames(),
             (QStringList{"Basso", "Blow", "Bottle", "Frog", "Funk", "Glass", "Hero", "Morse", "Ping", "Pop",
                          "Purr", "Sosumi", "Submarine", "Tink"}));
    QSet<QString> ids;
    for (const QString& name : SoundPlayer::soundNames())
        ids.insert(SoundPlayer::eventId(name));
    QCOMPARE(ids.size(), SoundPlayer::soundNames().size()); // fourteen different sounds
}

void tst_SoundPlayer::everyNameHasAThemeSound_data()
{
    QTest::addColumn<QString>("name");
    for (const QString& name : SoundPlayer::soundNames())
        QTest::newRow(qPrintable(name)) << name;
}

void tst_SoundPlayer::everyNameHasAThemeSound()
{
    QFETCH(QString, name);
    if (!QFileInfo(kTheme).isDir())
        QSKIP("sound-theme-freedesktop is not installed");
    const QString id = SoundPlayer::eventId(name);
    QVERIFY(!id.isEmpty());
    // A misspelt id would play nothing, silently: each must be a file of the theme.
    QVERIFY2(QFileInfo(kTheme + QLatin1Char('/') + id + QStringLiteral(".oga")).exists(), qPrintable(id));
}

void tst_SoundPlayer::playsLaterOnTheMainThread()
{
    RecordingOutput output;
    SoundPlayer::setOutput(&output);
    SoundPlayer::play(QStringLiteral("Pop"));
    QVERIFY(output.played.isEmpty()); // queued, not played inside the call
    QThread* worker = QThread::create([] { SoundPlayer::play(QStringLiteral("Glass")); });
    worker->start();
    QVERIFY(worker->wait(5000));
    delete worker;
    QTRY_COMPARE(output.played, (QStringList{"message", "complete"}));
    for (QThread* t : output.threads)
        QCOMPARE(t, QCoreApplication::instance()->thread());
}

void tst_SoundPlayer::unknownNamesAreSilent()
{
    RecordingOutput output;
    SoundPlayer::setOutput(&output);
    SoundPlayer::play(QStringLiteral("Beep"));
    SoundPlayer::play(QString());
    SoundPlayer::play(QStringLiteral("pop")); // names are exact
    QTest::qWait(50);
    QVERIFY(output.played.isEmpty());
    SoundPlayer::setOutput(nullptr);
    SoundPlayer::play(QStringLiteral("Pop")); // no output installed
    QTest::qWait(20);
}

void tst_SoundPlayer::canberraWithoutAudioIsSilent()
{
    // The test machine has no sound server or card: playing must neither fail loudly nor
    // hold the caller up.
    CanberraSoundOutput output(QStringLiteral("Quenvil tests"), QStringLiteral("org.example.Quenvil"));
    QElapsedTimer timer;
    timer.start();
    output.playEvent(QStringLiteral("message"));
    output.playEvent(QStringLiteral("no-such-sound-event"));
    output.playEvent(QString());
    QVERIFY(timer.elapsed() < 2000);
}

QTEST_GUILESS_MAIN(tst_SoundPlayer)
#include "tst_SoundPlayer.moc"
