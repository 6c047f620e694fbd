#include "TargetWindow.h"

#include "UserInput.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QTest>

namespace {

// Ends a helper program: politely first, then for sure.
void stopProcess(QProcess& process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(3000)) {
        process.kill();
        process.waitForFinished(3000);
    }
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

TargetWindow::TargetWindow() = default;

TargetWindow::~TargetWindow()
{
    stop();
}

bool TargetWindow::start(const QString& appClass, bool grabKeyboard)
{
    const QString out = m_dir.filePath(QStringLiteral("text"));
    QStringList args{QStringLiteral("--class"), appClass, QStringLiteral("--out"), out};
    if (grabKeyboard)
        args << QStringLiteral("--grab");
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QStringLiteral(QUENVIL_TARGET_WINDOW), args);
    if (!m_process.waitForStarted(5000))
        return false;
    // A window manager may keep a new window from taking the focus from the one the
    // user is typing in; then the "user" clicks it to the front.
    QDeadlineTimer deadline(30000);
    QDeadlineTimer nudge(1500);
    while (!deadline.hasExpired()) {
        const QByteArray ready = readAll(out + QStringLiteral(".ready"));
        if (!ready.isEmpty()) {
            m_window = ready.toULongLong();
            return true;
        }
        const QByteArray shown = readAll(out + QStringLiteral(".window"));
        if (!shown.isEmpty() && nudge.hasExpired()) {
            UserInput::activateWindow(shown.toULongLong());
            nudge.setRemainingTime(1500);
        }
        QTest::qWait(20);
    }
    return false;
}

void TargetWindow::stop()
{
    stopProcess(m_process);
}

QString TargetWindow::text() const
{
    return QString::fromUtf8(readAll(m_dir.filePath(QStringLiteral("text"))));
}

bool TargetWindow::waitForText(const QString& expected, int timeoutMs) const
{
    QDeadlineTimer deadline(timeoutMs);
    do {
        if (text() == expected)
            return true;
        QTest::qWait(10);
    } while (!deadline.hasExpired());
    return text() == expected;
}

bool TargetWindow::activate() const
{
    return UserInput::activateWindow(m_window);
}

XTermTarget::~XTermTarget()
{
    stop();
}

bool XTermTarget::start()
{
    const QString out = m_dir.filePath(QStringLiteral("bytes"));
    const QString ready = m_dir.filePath(QStringLiteral("ready"));
    const QString command =
        QStringLiteral("stty raw -echo; : > '%1'; echo $WINDOWID > '%2'; exec cat > '%1'").arg(out, ready);
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    m_process.setProcessEnvironment(environment);
    m_process.start(QStringLiteral("xterm"), {QStringLiteral("-u8"), QStringLiteral("-e"),
                                              QStringLiteral("sh"), QStringLiteral("-c"), command});
    if (!m_process.waitForStarted(5000))
        return false;
    QDeadlineTimer deadline(15000);
    while (!deadline.hasExpired()) {
        const QByteArray id = readAll(ready).trimmed();
        if (!id.isEmpty()) {
            m_window = id.toULongLong();
            return UserInput::activateWindow(m_window);
        }
        QTest::qWait(20);
    }
    return false;
}

bool XTermTarget::activate() const
{
    return UserInput::activateWindow(m_window);
}

void XTermTarget::stop()
{
    stopProcess(m_process);
}

QByteArray XTermTarget::bytes() const
{
    return readAll(m_dir.filePath(QStringLiteral("bytes")));
}

bool XTermTarget::waitForBytes(const QByteArray& expected, int timeoutMs) const
{
    QDeadlineTimer deadline(timeoutMs);
    do {
        if (bytes() == expected)
            return true;
        QTest::qWait(10);
    } while (!deadline.hasExpired());
    return bytes() == expected;
}
