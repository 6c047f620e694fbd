#include "ToolkitTarget.h"

#include "UserInput.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QTest>

namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Debian's own interpreter: the toolkits' bindings are Debian packages.
const char* const kPython = "/usr/bin/python3";

} // namespace

ToolkitTarget::~ToolkitTarget()
{
    stop();
}

bool ToolkitTarget::available(Toolkit toolkit)
{
    QProcess probe;
    const QString check = toolkit == Toolkit::Tk
                              ? QStringLiteral("import tkinter")
                              : QStringLiteral("import gi; gi.require_version('Gtk', '3.0'); from gi.repository import Gtk");
    probe.start(QString::fromLatin1(kPython), {QStringLiteral("-c"), check});
    return probe.waitForFinished(20000) && probe.exitStatus() == QProcess::NormalExit && probe.exitCode() == 0;
}

bool ToolkitTarget::start(Toolkit toolkit)
{
    const QString out = m_dir.filePath(QStringLiteral("text"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    // GTK's own input handling (compose included), no input-method daemon, no
    // accessibility bus to wait for.
    env.insert(QStringLiteral("GTK_IM_MODULE"), QStringLiteral("gtk-im-context-simple"));
    env.insert(QStringLiteral("GDK_BACKEND"), QStringLiteral("x11"));
    env.insert(QStringLiteral("NO_AT_BRIDGE"), QStringLiteral("1"));
    m_process.setProcessEnvironment(env);
    m_process.setProcessChannelMode(QProcess::ForwardedChannels);
    m_process.start(QString::fromLatin1(kPython),
                    {QStringLiteral(QUENVIL_TEST_SUPPORT_DIR "/toolkit-target"),
                     toolkit == Toolkit::Tk ? QStringLiteral("tk") : QStringLiteral("gtk"), out});
    if (!m_process.waitForStarted(5000))
        return false;
    QDeadlineTimer deadline(30000);
    while (!deadline.hasExpired() && m_process.state() == QProcess::Running) {
        const QByteArray id = readAll(out + QStringLiteral(".window")).trimmed();
        if (!id.isEmpty()) {
            m_window = id.toULongLong();
            return activate();
        }
        QTest::qWait(20);
    }
    return false;
}

void ToolkitTarget::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
}

QString ToolkitTarget::text() const
{
    return QString::fromUtf8(readAll(m_dir.filePath(QStringLiteral("text"))));
}

bool ToolkitTarget::waitForText(const QString& expected, int timeoutMs) const
{
    QDeadlineTimer deadline(timeoutMs);
    do {
        if (text() == expected)
            return true;
        QTest::qWait(10);
    } while (!deadline.hasExpired());
    return text() == expected;
}

bool ToolkitTarget::clear()
{
    QFile request(m_dir.filePath(QStringLiteral("text.clear")));
    if (!request.open(QIODevice::WriteOnly))
        return false;
    request.close();
    return QTest::qWaitFor([&] { return !request.exists(); }, 5000) && waitForText(QString(), 5000);
}

bool ToolkitTarget::activate() const
{
    const QString focus = m_dir.filePath(QStringLiteral("text.focus"));
    QDeadlineTimer deadline(15000);
    while (!deadline.hasExpired()) {
        UserInput::activateWindow(m_window);
        if (QTest::qWaitFor([&] { return QFile::exists(focus); }, 1500))
            return true;
    }
    return false;
}
