#pragma once

#include "model/AppState.h"

#include <QString>
#include <QTemporaryDir>

// A throw-away home for one test: XDG_DATA_HOME, XDG_CONFIG_HOME, XDG_CACHE_HOME and
// XDG_STATE_HOME point into a fresh temporary folder for the object's lifetime, so nothing
// a test does can reach the user's real files.
class TestHome
{
public:
    TestHome();
    ~TestHome();

    QString root() const { return m_dir.path(); }
    QString dataHome() const { return m_dir.path() + QStringLiteral("/data"); }
    QString configHome() const { return m_dir.path() + QStringLiteral("/config"); }
    QString dataDir() const { return dataHome() + QStringLiteral("/Quenvil"); }
    QString dataFile(const QString& name) const { return dataDir() + QLatin1Char('/') + name; }
    QString settingsPath() const { return configHome() + QStringLiteral("/Quenvil/settings.json"); }
    // Options for a store that keeps its settings in this home.
    AppState::Options storeOptions() const
    {
        AppState::Options o;
        o.settingsPath = settingsPath();
        return o;
    }

    // Small file helpers for fixtures.
    static void writeFile(const QString& path, const QByteArray& bytes);
    static QByteArray readFile(const QString& path);
    static int permissions(const QString& path); // st_mode & 0777, -1 when missing

private:
    QTemporaryDir m_dir;
};
