#include "model/SettingsStore.h"

#include "model/AtomicFile.h"
#include "model/Models.h"
#include "model/Paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

#include <cmath>
#include <limits>
#include <sys/stat.h>

SettingsStore::SettingsStore(const QString& path, qint64 staleTemporaryAgeSecs)
    : m_path(path.isEmpty() ? defaultPath() : path)
{
    m_flushTimer.setSingleShot(true);
    m_flushTimer.setInterval(0);
    QObject::connect(&m_flushTimer, &QTimer::timeout, &m_flushTimer, [this] { flush(); });
    load(staleTemporaryAgeSecs);
}

SettingsStore::~SettingsStore() { flush(); }

void SettingsStore::flush()
{
    m_flushTimer.stop();
    if (!m_dirty)
        return;
    m_dirty = false;
    save();
}

QString SettingsStore::defaultPath()
{
    return Paths::configDir() + QStringLiteral("/settings.json");
}

void SettingsStore::load(qint64 staleTemporaryAgeSecs)
{
    // Whatever others could read or change in an existing folder or file is closed before
    // anything is read from it.
    const QString dir = QFileInfo(m_path).absolutePath();
    if (QFileInfo(dir).isDir()) {
        ::chmod(QFile::encodeName(dir).constData(), 0700);
        AtomicFile::removeStaleTemporaries(dir, staleTemporaryAgeSecs);
    }
    if (!QFileInfo::exists(m_path))
        return;
    AtomicFile::makePrivate(m_path);
    const auto bytes = AtomicFile::read(m_path, 16 * 1024 * 1024);
    QJsonParseError error;
    const QJsonDocument doc = bytes ? QJsonDocument::fromJson(*bytes, &error) : QJsonDocument();
    if (bytes && error.error == QJsonParseError::NoError && doc.isObject()) {
        m_values = doc.object();
        return;
    }
    // Keep what the user had; the next write starts a fresh file. Without a copy, the
    // file is never replaced.
    m_loadFailed = true;
    m_keptAs = AtomicFile::keepCopy(m_path);
    m_writesHeld = m_keptAs.isEmpty();
}

void SettingsStore::save()
{
    if (m_writesHeld)
        return;
    AtomicFile::ensurePrivateDir(QFileInfo(m_path).absolutePath());
    QString error;
    m_lastWriteOk = AtomicFile::write(m_path, jsonBytes(QJsonDocument(m_values)), &error);
    AtomicFile::makePrivate(m_path);
    if (!m_lastWriteOk && !m_toldWriteFailure && m_onWriteFailure) {
        m_toldWriteFailure = true;
        m_onWriteFailure(error);
    }
}

void SettingsStore::registerDefaults(const QJsonObject& defaults)
{
    for (auto it = defaults.begin(); it != defaults.end(); ++it)
        m_defaults.insert(it.key(), it.value());
}

QJsonValue SettingsStore::value(const QString& key) const
{
    const auto it = m_values.constFind(key);
    if (it != m_values.constEnd())
        return *it;
    return m_defaults.value(key);
}

template <typename Pred>
QJsonValue SettingsStore::typed(const QString& key, Pred ok) const
{
    const QJsonValue stored = m_values.value(key);
    if (ok(stored))
        return stored;
    const QJsonValue registered = m_defaults.value(key);
    if (ok(registered))
        return registered;
    return QJsonValue(QJsonValue::Undefined);
}

bool SettingsStore::boolValue(const QString& key) const
{
    const QJsonValue v = typed(key, [](const QJsonValue& x) { return x.isBool() || x.isDouble(); });
    return v.isBool() ? v.toBool() : (v.isDouble() && v.toDouble() != 0.0);
}

std::optional<QString> SettingsStore::stringValue(const QString& key) const
{
    const QJsonValue v = typed(key, [](const QJsonValue& x) { return x.isString(); });
    if (!v.isString())
        return std::nullopt;
    return v.toString();
}

std::optional<QStringList> SettingsStore::stringListValue(const QString& key) const
{
    const auto isStringList = [](const QJsonValue& x) {
        if (!x.isArray())
            return false;
        for (const QJsonValue& item : x.toArray())
            if (!item.isString())
                return false;
        return true;
    };
    const QJsonValue v = typed(key, isStringList);
    if (!v.isArray())
        return std::nullopt;
    QStringList out;
    for (const QJsonValue& item : v.toArray())
        out.append(item.toString());
    return out;
}

qint64 SettingsStore::integerValue(const QString& key) const
{
    const QJsonValue v = typed(key, [](const QJsonValue& x) { return x.isDouble() && std::isfinite(x.toDouble()); });
    if (!v.isDouble())
        return 0;
    // Converting a double outside the 64-bit range is undefined; such a value reads as the
    // nearest end of it.
    const double d = v.toDouble();
    if (d >= 9.2e18)
        return std::numeric_limits<qint64>::max();
    if (d <= -9.2e18)
        return std::numeric_limits<qint64>::min();
    return qint64(d);
}

double SettingsStore::doubleValue(const QString& key) const
{
    const QJsonValue v = typed(key, [](const QJsonValue& x) { return x.isDouble() && std::isfinite(x.toDouble()); });
    return v.isDouble() ? v.toDouble() : 0.0;
}

void SettingsStore::setValue(const QString& key, const QJsonValue& value)
{
    m_values.insert(key, value);
    m_dirty = true;
    if (m_deferred)
        m_flushTimer.start();
    else
        flush();
}

void SettingsStore::setStringList(const QString& key, const QStringList& v)
{
    setValue(key, QJsonArray::fromStringList(v));
}

void SettingsStore::setDouble(const QString& key, double v)
{
    // JSON has no NaN or infinity; such a value would turn the file unreadable.
    if (!std::isfinite(v))
        return;
    setValue(key, v);
}
