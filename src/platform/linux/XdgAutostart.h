#pragma once

#include "platform/LaunchAtLogin.h"

#include <QString>

#include <optional>

// Launch at login through the XDG autostart folder: a desktop entry named after the
// application id in $XDG_CONFIG_HOME/autostart, written atomically, whose Exec= runs the
// binary that is running now (its absolute path, quoted). Enabled means the entry exists.
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
    // The whole entry for `executable`; none when it cannot be quoted.
    static std::optional<QByteArray> entryFor(const QString& executable, const QString& appId);

  private:
    Options m_options;
};
