#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QVariant>

#include <functional>
#include <optional>

// Typed key-value settings with registered defaults, standing in for the user defaults.
// One JSON object in $XDG_CONFIG_HOME/Quenvil/settings.json, keyed by each setting's own
// name. Registered defaults are an overlay that is never written; every assignment is
// written through at once, atomically, 0600. A file that is not a JSON object is kept as
// "settings.json.unreadable-<stamp>" and everything reads as the defaults; when no copy
// can be kept, the file is never written in this process (the settings live in memory).
// The folder and the file are made private (0700, 0600) as soon as the store opens them,
// not only at the first write.
//
// Deferred mode (the application's): an assignment changes the value at once and the file
// is written when the current event has been handled, so a burst of assignments inside one
// keystroke costs one write, and none of it happens on the keystroke's own path.
class SettingsStore
{
public:
    // Temporary files older than this that an interrupted write left beside the file are
    // removed when the store opens (seconds).
    static constexpr qint64 kStaleTemporaryAge = 60;

    // `path` empty: the standard location under XDG_CONFIG_HOME.
    explicit SettingsStore(const QString& path = {}, qint64 staleTemporaryAgeSecs = kStaleTemporaryAge);
    // Writes what a deferred write still holds.
    ~SettingsStore();

    void setDeferredWrites(bool deferred) { m_deferred = deferred; }
    // Writes now if anything is waiting.
    void flush();
    bool hasPendingWrite() const { return m_dirty; }

    static QString defaultPath();
    QString path() const { return m_path; }

    void registerDefaults(const QJsonObject& defaults);

    // The stored value, else the registered default; undefined when neither exists.
    QJsonValue value(const QString& key) const;
    bool contains(const QString& key) const { return m_values.contains(key); }

    // Reads in the manner of the platform defaults: a value of another type reads as the
    // registered default, and when that is missing or of the wrong type too, as the fallback.
    bool boolValue(const QString& key) const;
    std::optional<QString> stringValue(const QString& key) const;
    std::optional<QStringList> stringListValue(const QString& key) const;
    qint64 integerValue(const QString& key) const;
    double doubleValue(const QString& key) const;

    void setValue(const QString& key, const QJsonValue& value);
    void setBool(const QString& key, bool v) { setValue(key, v); }
    void setString(const QString& key, const QString& v) { setValue(key, v); }
    void setStringList(const QString& key, const QStringList& v);
    void setInteger(const QString& key, qint64 v) { setValue(key, double(v)); }
    void setDouble(const QString& key, double v);

    // Whether the last write reached the disk (for tests and diagnostics; writes are best effort).
    bool lastWriteSucceeded() const { return m_lastWriteOk; }

    // What opening the file found: it could not be read, where its bytes were kept (empty
    // when no copy could be made), and whether writes are held because of that.
    bool loadFailed() const { return m_loadFailed; }
    QString keptAs() const { return m_keptAs; }
    bool writesHeld() const { return m_writesHeld; }
    // Called once, on the first write that fails, with the reason.
    void setWriteFailureHandler(std::function<void(const QString&)> handler) { m_onWriteFailure = std::move(handler); }

private:
    void load(qint64 staleTemporaryAgeSecs);
    void save();
    template <typename Pred>
    QJsonValue typed(const QString& key, Pred ok) const;

    QString m_path;
    QJsonObject m_values;
    QJsonObject m_defaults;
    bool m_lastWriteOk = true;
    bool m_loadFailed = false;
    bool m_writesHeld = false;
    bool m_toldWriteFailure = false;
    QString m_keptAs;
    std::function<void(const QString&)> m_onWriteFailure;
    bool m_deferred = false;
    bool m_dirty = false;
    QTimer m_flushTimer;
};
