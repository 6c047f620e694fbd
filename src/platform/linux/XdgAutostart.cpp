#include "platform/linux/XdgAutostart.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

XdgAutostart::XdgAutostart() : XdgAutostart(Options()) {}

XdgAutostart::XdgAutostart(Options options) : m_options(std::move(options))
{
    if (m_options.autostartDir.isEmpty())
        m_options.autostartDir = defaultAutostartDir();
}

QString XdgAutostart::defaultAutostartDir()
{
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    // The XDG rules ignore a relative path.
    if (config.isEmpty() || !QDir::isAbsolutePath(config))
        config = QDir::homePath() + QStringLiteral("/.config");
    return QDir::cleanPath(config) + QStringLiteral("/autostart");
}

QString XdgAutostart::entryPath() const
{
    return m_options.autostartDir + QLatin1Char('/') + m_options.appId + QStringLiteral(".desktop");
}

bool XdgAutostart::isEnabled() const
{
    return QFileInfo::exists(entryPath());
}

std::optional<QString> XdgAutostart::quotedExecArgument(const QString& path)
{
    if (!QDir::isAbsolutePath(path))
        return std::nullopt;
    QString out = QStringLiteral("\"");
    for (const QChar c : path) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return std::nullopt;
        // Inside a quoted argument these four take a backslash; the value as a whole is a
        // desktop-entry string, where every backslash is doubled once more.
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$'))
            out += QStringLiteral("\\\\");
        else if (c == QLatin1Char('\\'))
            out += QStringLiteral("\\\\\\");
        // A field code is a percent sign followed by a letter; a literal one is doubled.
        if (c == QLatin1Char('%'))
            out += QLatin1Char('%');
        out += c;
    }
    out += QLatin1Char('"');
    return out;
}

std::optional<QByteArray> XdgAutostart::entryFor(const QString& executable, const QString& appId)
{
    const std::optional<QString> exec = quotedExecArgument(executable);
    if (!exec)
        return std::nullopt;
    QString entry;
    entry += QStringLiteral("[Desktop Entry]\n");
    entry += QStringLiteral("Type=Application\n");
    entry += QStringLiteral("Name=Quenvil\n");
    entry += QStringLiteral("Comment=Expand snippets and fix typos as you type\n");
    entry += QStringLiteral("Exec=") + *exec + QLatin1Char('\n');
    entry += QStringLiteral("Icon=") + appId + QLatin1Char('\n');
    entry += QStringLiteral("Terminal=false\n");
    entry += QStringLiteral("Categories=Utility;\n");
    entry += QStringLiteral("NoDisplay=false\n");
    entry += QStringLiteral("X-GNOME-Autostart-enabled=true\n");
    return entry.toUtf8();
}

bool XdgAutostart::setEnabled(bool enabled)
{
    const QString path = entryPath();
    if (!enabled) {
        if (QFileInfo(path).isDir())
            return false;
        QFile::remove(path);
        return !QFileInfo::exists(path);
    }
    const QString executable =
        m_options.executable.isEmpty() ? QCoreApplication::applicationFilePath() : m_options.executable;
    const std::optional<QByteArray> entry = entryFor(executable, m_options.appId);
    if (!entry || !QDir().mkpath(m_options.autostartDir))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(*entry);
    return file.commit();
}
