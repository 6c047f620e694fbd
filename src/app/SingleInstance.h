#pragma once

#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;
class QLockFile;

// One Quenvil per user session and display: two would expand everything twice. The first
// process holds a lock file and listens on a local socket beside it; a later one finds the
// lock taken, asks the first to show its window, and leaves.
class SingleInstance : public QObject
{
    Q_OBJECT

  public:
    // `key` names the session (see defaultKey()); `dir` holds the lock and the socket.
    SingleInstance(const QString& dir, const QString& key, QObject* parent = nullptr);
    ~SingleInstance() override;

    // The folder for the lock: $XDG_RUNTIME_DIR (private to the user), else the temporary folder.
    static QString defaultDir();
    // The user and the X display: another display is another session.
    static QString defaultKey();

    // True when this process is the one instance (the lock is taken and the socket listens).
    bool acquire();
    // Asks the running instance to show its window; true when it confirmed in time. The
    // wait covers a first instance that is still starting (loading a large library).
    bool askRunningToShow(int timeoutMs = 10000);

    QString lockPath() const;
    QString socketPath() const;

  Q_SIGNALS:
    void showRequested();

  private:
    QString m_dir;
    QString m_key;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer* m_server = nullptr;
};
