#include "model/AtomicFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace AtomicFile {

namespace {

bool writeAll(int fd, const QByteArray& bytes)
{
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, size_t(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        left -= n;
    }
    return true;
}

} // namespace

bool write(const QString& path, const QByteArray& bytes)
{
    const QFileInfo info(path);
    const QByteArray target = QFile::encodeName(info.absoluteFilePath());
    const QByteArray dir = QFile::encodeName(info.absolutePath());
    for (int attempt = 0; attempt < 16; ++attempt) {
        const QByteArray temp = dir + "/." + QFile::encodeName(info.fileName()) + ".tmp-" +
                                QByteArray::number(QRandomGenerator::global()->generate(), 16);
        const int fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return false;
        }
        bool ok = writeAll(fd, bytes) && ::fsync(fd) == 0;
        ok = (::close(fd) == 0) && ok;
        if (ok && ::rename(temp.constData(), target.constData()) == 0) {
            // Make the rename itself durable.
            const int dfd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (dfd >= 0) {
                ::fsync(dfd);
                ::close(dfd);
            }
            return true;
        }
        ::unlink(temp.constData());
        return false;
    }
    return false;
}

bool ensurePrivateDir(const QString& path)
{
    QDir().mkpath(path);
    return ::chmod(QFile::encodeName(path).constData(), 0700) == 0;
}

bool makePrivate(const QString& path)
{
    return ::chmod(QFile::encodeName(path).constData(), 0600) == 0;
}

std::optional<QByteArray> read(const QString& path, qint64 maxBytes)
{
    QFile file(path);
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile() || info.size() > maxBytes)
        return std::nullopt;
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray bytes = file.read(maxBytes + 1);
    if (file.error() != QFileDevice::NoError || bytes.size() > maxBytes)
        return std::nullopt;
    return bytes;
}

QString setAside(const QString& path)
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const QString base = path + QStringLiteral(".unreadable-") + stamp;
    const QByteArray from = QFile::encodeName(path);
    for (int n = 0; n < 1000; ++n) {
        const QString candidate = n == 0 ? base : base + QLatin1Char('-') + QString::number(n);
        // link + unlink instead of rename: rename would silently replace an earlier copy.
        const QByteArray to = QFile::encodeName(candidate);
        if (::link(from.constData(), to.constData()) == 0) {
            ::unlink(from.constData());
            return candidate;
        }
        if (errno != EEXIST) {
            // Filesystems without hard links: fall back to a checked rename.
            if (!QFileInfo::exists(candidate) && ::rename(from.constData(), to.constData()) == 0)
                return candidate;
            return {};
        }
    }
    return {};
}

} // namespace AtomicFile
