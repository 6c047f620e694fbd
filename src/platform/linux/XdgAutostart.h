#pragma once

#include "platform/LaunchAtLogin.h"

#include <QString>

#include <optional>

// Launch at login through the XDG autostart folder: a desktop entry named after the
// application id in $XDG_CONFIG_HOME/autostart, written atomically, whose Exec= runs the
// binary that is running now (its absolute path, quoted). Installed, that is a copy of the
// installed desktop entry; run from the build, the same entry is made afresh. Enabled
// means the entry exists.
class XdgAutostart : public LaunchAtLogin
{
  public:
    struct Options
    {
        // Empty: $XDG_CONFIG_HOME/autostart (~/.config/autostart when unset or relative).
        QString autostartDir;
        // Empty: the running binary.
        QString executable;
        QString appId = QStringLiteral("app.quenvil.Quenvil");
    };

    XdgAutostart();
    explicit XdgAutostart(Options options);

    bool isEnabled() const override;
    bool setEnabled(bool enabled) override;

    QString entryPath() const;

    // The autostart folder the XDG rules give for this environment.
    static QString defaultAutostartDir();
    // `path` as one quoted argument of an Exec= value, escaped for the desktop entry's
    // quoting and string rules; none for a path that cannot be written there (not
    // absolute, or holding a line break or another control character).
    static std::optional<QString> quotedExecArgument(const QString& path);
    // The whole entry for `executable`; none when it cannot be quoted. The install puts
    // this entry into the desktop's menus.
    static std::optional<QByteArray> entryFor(const QString& executable, const QString& appId);
    // Where the install puts that entry for a binary in <prefix>/bin: <prefix>/share/applications.
    static QString installedEntryPath(const QString& executable, const QString& appId);
    // `installed` with the Exec= of its main group naming `executable`, everything else
    // kept; none when it has no such key or the path cannot be quoted.
    static std::optional<QByteArray> copyFor(const QByteArray& installed, const QString& executable);

  private:
    Options m_options;
};
