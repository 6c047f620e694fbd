#include "TestHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <sys/stat.h>

TestHome::TestHome()
{
    QStandardPaths::setTestModeEnabled(true);
    QDir().mkpath(dataHome());
    QDir().mkpath(configHome());
    qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome()));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(root() + QStringLiteral("/cache")));
    qputenv("XDG_STATE_HOME", QFile::encodeName(root() + QStringLiteral("/state")));
}

TestHome::~TestHome()
{
    qunsetenv("XDG_DATA_HOME");
    qunsetenv("XDG_CONFIG_HOME");
    qunsetenv("XDG_CACHE_HOME");
    qunsetenv("XDG_STATE_HOME");
}

void TestHome::writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
}

QByteArray TestHome::readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

int TestHome::permissions(const QString& path)
{
    struct stat st;
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return -1;
    return int(st.st_mode & 0777);
}
