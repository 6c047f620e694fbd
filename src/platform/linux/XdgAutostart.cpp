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
    return entry.toUtf8();
}

QString XdgAutostart::installedEntryPath(const QString& executable, const QString& appId)
{
    return QDir::cleanPath(QFileInfo(executable).absolutePath() + QStringLiteral("/../share/applications/") +
                           appId + QStringLiteral(".desktop"));
}

std::optional<QByteArray> XdgAutostart::copyFor(const QByteArray& installed, const QString& executable)
{
    const std::optional<QString> exec = quotedExecArgument(executable);
    if (!exec)
        return std::nullopt;
    QList<QByteArray> lines = installed.split('\n');
    bool inMain = false;
    bool replaced = false;
    for (QByteArray& line : lines) {
        const QByteArray trimmed = line.trimmed();
        if (trimmed.startsWith('[')) {
            inMain = trimmed == "[Desktop Entry]";
            continue;
        }
        // Actions have an Exec= of their own, in groups of their own.
        const qsizetype equals = trimmed.indexOf('=');
        if (inMain && equals > 0 && trimmed.left(equals).trimmed() == "Exec") {
            line = "Exec=" + exec->toUtf8();
            replaced = true;
        }
    }
    if (!replaced)
        return std::nullopt;
    return lines.join('\n');
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
    // Installed, the entry is the installed one, whatever the install made of it.
    std::optional<QByteArray> entry;
    QFile installed(installedEntryPath(executable, m_options.appId));
    if (installed.open(QIODevice::ReadOnly))
        entry = copyFor(installed.readAll(), executable);
    if (!entry)
        entry = entryFor(executable, m_options.appId);
    if (!entry || !QDir().mkpath(m_options.autostartDir))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(*entry);
    return file.commit();
}
