#include "model/AtomicFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <cstring>
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

QString resolveLinks(const QString& path)
{
    QString current = path;
    for (int hop = 0; hop < 40; ++hop) {
        struct stat st;
        if (::lstat(QFile::encodeName(current).constData(), &st) != 0 || !S_ISLNK(st.st_mode))
            return current;
        const QString target = QFile::symLinkTarget(current);
        if (target.isEmpty())
            return current;
        current = target; // symLinkTarget gives the absolute path of the link's target
    }
    return current;
}

bool write(const QString& path, const QByteArray& bytes, QString* error)
{
    const auto fail = [error](const char* what) {
        if (error)
            *error = QString::fromLocal8Bit(what) + QStringLiteral(": ") + QString::fromLocal8Bit(::strerror(errno));
        return false;
    };
    const QFileInfo info(resolveLinks(path));
    const QByteArray target = QFile::encodeName(info.absoluteFilePath());
    const QByteArray dir = QFile::encodeName(info.absolutePath());
    for (int attempt = 0; attempt < 16; ++attempt) {
        const QByteArray temp = dir + "/." + QFile::encodeName(info.fileName()) + ".tmp-" +
                                QByteArray::number(QRandomGenerator::global()->generate(), 16);
        const int fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return fail("cannot create a file in its folder");
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
        const int saved = errno;
        ::unlink(temp.constData());
        errno = saved;
        return fail("cannot write it");
    }
    errno = EEXIST;
    return fail("cannot create a temporary file");
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
    // Read in pieces up to one byte past the cap: asking for the cap at once would reserve
    // the whole cap (hundreds of megabytes) for every small file.
    QByteArray bytes;
    bytes.reserve(qsizetype(std::min<qint64>(info.size(), maxBytes) + 1));
    while (bytes.size() <= maxBytes) {
        const qint64 want = bytes.isEmpty() ? info.size() + 1 : 64 * 1024;
        const QByteArray piece = file.read(std::min<qint64>(want, maxBytes + 1 - bytes.size()));
        if (piece.isEmpty())
            break;
        bytes += piece;
    }
    if (file.error() != QFileDevice::NoError || bytes.size() > maxBytes)
        return std::nullopt;
    return bytes;
}

namespace {

QString asideBase(const QString& path)
{
    return path + QStringLiteral(".unreadable-") +
           QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
}

bool sameBytes(const QString& a, const QString& b)
{
    const QFileInfo ia(a), ib(b);
    if (!ia.isFile() || !ib.isFile() || ia.size() != ib.size())
        return false;
    const auto x = read(a), y = read(b);
    return x && y && *x == *y;
}

} // namespace

QString keepCopy(const QString& link)
{
    const QString path = resolveLinks(link);
    const QFileInfo info(path);
    if (!info.exists())
        return {};
    // A file that stays broken across starts is kept once, not once per start.
    const QStringList earlier =
        info.dir().entryList({info.fileName() + QStringLiteral(".unreadable-*")}, QDir::Files | QDir::Hidden);
    for (const QString& name : earlier) {
        const QString candidate = info.dir().filePath(name);
        if (sameBytes(path, candidate))
            return candidate;
    }
    const QString base = asideBase(path);
    const QByteArray from = QFile::encodeName(path);
    for (int n = 0; n < 1000; ++n) {
        const QString candidate = n == 0 ? base : base + QLatin1Char('-') + QString::number(n);
        const QByteArray to = QFile::encodeName(candidate);
        if (::link(from.constData(), to.constData()) == 0)
            return candidate;
        if (errno == EEXIST)
            continue;
        if (errno != EPERM && errno != EOPNOTSUPP && errno != EXDEV && errno != EMLINK)
            return {}; // the name cannot be made (too long, say): nothing is kept
        // Filesystems without hard links: a private byte copy under a name nobody has.
        const auto bytes = read(path);
        if (!bytes)
            return {};
        const int fd = ::open(to.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return {};
        }
        const bool ok = writeAll(fd, *bytes) && ::fsync(fd) == 0;
        if (::close(fd) == 0 && ok)
            return candidate;
        ::unlink(to.constData());
        return {};
    }
    return {};
}

bool isTemporaryName(const QString& name)
{
    // ".<name>.tmp-<hex>", as write() makes them.
    const qsizetype at = name.lastIndexOf(QStringLiteral(".tmp-"));
    if (!name.startsWith(QLatin1Char('.')) || at <= 1 || at + 5 >= name.size())
        return false;
    for (qsizetype i = at + 5; i < name.size(); ++i) {
        const char16_t c = name.at(i).unicode();
        if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f')))
            return false;
    }
    return true;
}

int removeStaleTemporaries(const QString& dir, qint64 minAgeSecs)
{
    int removed = 0;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QFileInfoList entries = QDir(dir).entryInfoList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QFileInfo& e : entries) {
        if (e.isSymLink() || !isTemporaryName(e.fileName()))
            continue;
        // Another process may be between its create and its rename right now.
        if (e.lastModified().toUTC().secsTo(now) < minAgeSecs)
            continue;
        if (QFile::remove(e.absoluteFilePath()))
            ++removed;
    }
    return removed;
}

QString setAside(const QString& link)
{
    const QString path = resolveLinks(link);
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
