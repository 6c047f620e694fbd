#include "XServerEnvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdlib>
#include <memory>
#include <optional>

namespace {

struct Environment
{
    QByteArray display;
    QByteArray bus;
};

std::optional<Environment> readEnvironment(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    Environment environment;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.startsWith("DISPLAY="))
            environment.display = line.mid(8);
        else if (line.startsWith("DBUS_SESSION_BUS_ADDRESS="))
            environment.bus = line.mid(25);
    }
    if (environment.display.isEmpty())
        return std::nullopt;
    return environment;
}

QString script(const char* name)
{
    return QStringLiteral(QUENVIL_TEST_SUPPORT_DIR "/") + QString::fromLatin1(name);
}

std::unique_ptr<PrivateXServer>& ownServer()
{
    static std::unique_ptr<PrivateXServer> server;
    return server;
}

} // namespace

namespace XServerEnvironment {

bool adopt()
{
    qunsetenv("QT_QPA_PLATFORM");
    qunsetenv("WAYLAND_DISPLAY");
    const bool fixture = qEnvironmentVariableIsSet("QUENVIL_NEEDS_X");
    if (const auto environment = readEnvironment(QStringLiteral(QUENVIL_XSERVER_ENV))) {
        qputenv("DISPLAY", environment->display);
        qputenv("DBUS_SESSION_BUS_ADDRESS", environment->bus);
        return true;
    }
    if (fixture)
        return false;
    if (!qEnvironmentVariableIsEmpty("DISPLAY"))
        return true;
    ownServer() = std::make_unique<PrivateXServer>();
    if (!ownServer()->start())
        return false;
    qputenv("DISPLAY", ownServer()->display());
    qputenv("DBUS_SESSION_BUS_ADDRESS", ownServer()->busAddress());
    std::atexit([] { ownServer().reset(); });
    return true;
}

QByteArray display()
{
    return qgetenv("DISPLAY");
}

} // namespace XServerEnvironment

PrivateXServer::PrivateXServer() = default;

PrivateXServer::~PrivateXServer()
{
    stop();
}

bool PrivateXServer::start()
{
    if (isRunning())
        return true;
    static int counter = 0;
    m_envFile = QDir::tempPath() + QStringLiteral("/quenvil-xserver-%1-%2/xserver.env")
                                       .arg(QCoreApplication::applicationPid())
                                       .arg(++counter);
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QStringLiteral("bash"), {script("xserver-start"), m_envFile});
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return false;
    const auto environment = readEnvironment(m_envFile);
    if (!environment)
        return false;
    m_display = environment->display;
    m_bus = environment->bus;
    return true;
}

void PrivateXServer::stop()
{
    if (m_envFile.isEmpty())
        return;
    QProcess::execute(QStringLiteral("bash"), {script("xserver-stop"), m_envFile});
    QDir(QFileInfo(m_envFile).path()).removeRecursively();
    m_envFile.clear();
    m_display.clear();
    m_bus.clear();
}
