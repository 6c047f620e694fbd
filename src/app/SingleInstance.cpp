#include "app/SingleInstance.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QThread>

#include <unistd.h>

namespace {

const QByteArray kShow = "show\n";
const QByteArray kShown = "ok\n";

} // namespace

SingleInstance::SingleInstance(const QString& dir, const QString& key, QObject* parent)
    : QObject(parent), m_dir(dir), m_key(key)
{
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultDir()
{
    const QString runtime = QFile::decodeName(qgetenv("XDG_RUNTIME_DIR"));
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir() && QFileInfo(runtime).isWritable())
        return runtime;
    return QDir::tempPath();
}

QString SingleInstance::defaultKey()
{
    QString display = QString::fromLocal8Bit(qgetenv("DISPLAY"));
    // ":0.0" and ":0" are the same session.
    const qsizetype dot = display.lastIndexOf(QLatin1Char('.'));
    if (dot > display.lastIndexOf(QLatin1Char(':')))
        display.truncate(dot);
    QString safe;
    for (QChar c : display)
        safe += (c.isLetterOrNumber() || c == QLatin1Char('-')) ? c : QLatin1Char('_');
    return QStringLiteral("quenvil-%1-%2").arg(::getuid()).arg(safe);
}

QString SingleInstance::lockPath() const
{
    return m_dir + QLatin1Char('/') + m_key + QStringLiteral(".lock");
}

QString SingleInstance::socketPath() const
{
    return m_dir + QLatin1Char('/') + m_key + QStringLiteral(".socket");
}

bool SingleInstance::acquire()
{
    m_lock = std::make_unique<QLockFile>(lockPath());
    // A lock left by a process that died is taken over (QLockFile checks its pid).
    m_lock->setStaleLockTime(0);
    if (!m_lock->tryLock(0)) {
        m_lock.reset();
        return false;
    }
    // Holding the lock, any socket file left beside it is a dead instance's.
    QLocalServer::removeServer(socketPath());
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(socketPath())) {
        // Still the one instance; later starts just cannot reach it to raise the window.
        return true;
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            const auto answer = [this, socket] {
                if (!socket->canReadLine())
                    return;
                const QByteArray line = socket->readLine(64);
                if (line == kShow) {
                    socket->write(kShown);
                    socket->flush();
                    Q_EMIT showRequested();
                }
                socket->disconnectFromServer();
            };
            connect(socket, &QLocalSocket::readyRead, this, answer);
            // A request sent while this instance was still starting is already waiting.
            answer();
        }
    });
    return true;
}

bool SingleInstance::askRunningToShow(int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    // The first instance may still be starting (lock taken, socket not yet listening).
    while (clock.elapsed() < timeoutMs) {
        QLocalSocket socket;
        socket.connectToServer(socketPath());
        if (socket.waitForConnected(qMax<qint64>(1, timeoutMs - clock.elapsed()))) {
            socket.write(kShow);
            socket.flush();
            while (!socket.canReadLine() && clock.elapsed() < timeoutMs) {
                if (!socket.waitForReadyRead(qMax<qint64>(1, timeoutMs - clock.elapsed())))
                    break;
            }
            return socket.canReadLine() && socket.readLine(64) == kShown;
        }
        QThread::msleep(100);
    }
    return false;
}
