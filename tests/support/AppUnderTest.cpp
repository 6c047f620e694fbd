#include "AppUnderTest.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>

AppUnderTest::AppUnderTest() = default;

AppUnderTest::~AppUnderTest()
{
    stop();
}

bool AppUnderTest::writeFile(const QString& relative, const QByteArray& bytes) const
{
    const QString file = path(relative);
    QDir().mkpath(QFileInfo(file).absolutePath());
    QFile f(file);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QByteArray AppUnderTest::readFile(const QString& relative) const
{
    QFile f(path(relative));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool AppUnderTest::start(const Options& options)
{
    stop();
    m_process = launch(options);
    return m_process->state() == QProcess::Running;
}

bool AppUnderTest::start()
{
    return start(Options{});
}

std::unique_ptr<QProcess> AppUnderTest::launch() const
{
    return launch(Options{});
}

std::unique_ptr<QProcess> AppUnderTest::launch(const Options& options) const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), path(QStringLiteral("data")));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), path(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home());
    env.insert(QStringLiteral("HOME"), home());
    if (options.accessibility)
        env.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
    for (const auto& [name, value] : options.environment)
        env.insert(name, value);
    // Whatever platform the test itself was given, the application takes the X server's.
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));

    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(env);
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    const QString binary = QStringLiteral(QUENVIL_APP);
    if (options.wrapper.isEmpty())
        process->start(binary, options.arguments);
    else
        process->start(options.wrapper.first(),
                       options.wrapper.mid(1) + QStringList{binary} + options.arguments);
    process->waitForStarted(5000);
    return process;
}

void AppUnderTest::stop()
{
    if (!m_process)
        return;
    m_process->terminate();
    if (!m_process->waitForFinished(5000))
        m_process->kill();
    m_process.reset();
}
