#include "PrivateSessionBus.h"

#include <QFile>
#include <QProcess>
#include <QThread>

#include <csignal>
#include <sys/types.h>

PrivateSessionBus::PrivateSessionBus() = default;

PrivateSessionBus::~PrivateSessionBus()
{
    stop();
}

bool PrivateSessionBus::start()
{
    if (m_pid)
        return true;
    if (!m_dir.isValid())
        return false;
    const QString config = m_dir.filePath(QStringLiteral("bus.conf"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(
        QStringLiteral("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                       " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                       "<busconfig>\n"
                       "  <type>session</type>\n"
                       "  <listen>unix:dir=%1</listen>\n"
                       "  <auth>EXTERNAL</auth>\n"
                       "  <policy context=\"default\">\n"
                       "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
                       "    <allow eavesdrop=\"true\"/>\n"
                       "    <allow own=\"*\"/>\n"
                       "  </policy>\n"
                       "</busconfig>\n")
            .arg(m_dir.path())
            .toUtf8());
    file.close();
    QProcess daemon;
    daemon.start(QStringLiteral("dbus-daemon"),
                 {QStringLiteral("--config-file=") + config, QStringLiteral("--fork"),
                  QStringLiteral("--nopidfile"), QStringLiteral("--print-address=1"),
                  QStringLiteral("--print-pid=1")});
    if (!daemon.waitForFinished(10000) || daemon.exitCode() != 0)
        return false;
    const QList<QByteArray> lines = daemon.readAllStandardOutput().trimmed().split('\n');
    if (lines.size() < 2)
        return false;
    m_address = QString::fromUtf8(lines.at(0).trimmed());
    m_pid = lines.at(1).trimmed().toLongLong();
    return !m_address.isEmpty() && m_pid > 0;
}

void PrivateSessionBus::stop()
{
    if (!m_pid)
        return;
    ::kill(pid_t(m_pid), SIGTERM);
    // The daemon is not our child (it forked away): wait for it to be gone.
    for (int i = 0; i < 200 && ::kill(pid_t(m_pid), 0) == 0; ++i)
        QThread::msleep(10);
    m_pid = 0;
    m_address.clear();
}
