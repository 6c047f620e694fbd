#include "model/Paths.h"

#include <QDir>

namespace Paths {

namespace {

QString xdg(const char* var, const char* fallback)
{
    const QString v = qEnvironmentVariable(var);
    // The XDG rules ignore relative paths.
    if (!v.isEmpty() && QDir::isAbsolutePath(v))
        return QDir::cleanPath(v);
    return QDir::homePath() + QLatin1Char('/') + QLatin1String(fallback);
}

} // namespace

QString dataHome() { return xdg("XDG_DATA_HOME", ".local/share"); }
QString configHome() { return xdg("XDG_CONFIG_HOME", ".config"); }
QString configDir() { return configHome() + QStringLiteral("/Quenvil"); }

} // namespace Paths
