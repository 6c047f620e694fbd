#include "engine/Notifier.h"

#include "model/AtomicFile.h"
#include "platform/NotificationService.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QPointer>

namespace {

QPointer<NotificationService> g_service;
QMetaObject::Connection g_clicks;
std::function<void(const QUrl&)> g_opener;

const char kSuffix[] = ".permission-lost";

// $XDG_CACHE_HOME, like every other folder of ours following the XDG variables.
QString cacheHome()
{
    const QString env = QFile::decodeName(qgetenv("XDG_CACHE_HOME"));
    if (!env.isEmpty() && QDir::isAbsolutePath(env))
        return env;
    return QDir::homePath() + QStringLiteral("/.cache");
}

QByteArray helpPage()
{
    QFile page(QStringLiteral(":/help/x11-requirement.html"));
    return page.open(QIODevice::ReadOnly) ? page.readAll() : QByteArray();
}

} // namespace

namespace Notifier {

QString permissionLostIdentifier()
{
    const QString id = QGuiApplication::desktopFileName();
    return id.isEmpty() ? QString() : id + QLatin1String(kSuffix);
}

QUrl accessibilitySettingsURL()
{
    // A browser cannot open a page inside our resources, so it goes to the cache folder;
    // rewritten when the shipped page changed, so an update never shows old advice.
    const QString dir = cacheHome() + QStringLiteral("/Quenvil/help");
    const QString path = dir + QStringLiteral("/x11-requirement.html");
    const QByteArray page = helpPage();
    if (page.isEmpty())
        return {};
    if (AtomicFile::read(path, 1024 * 1024) != page) {
        if (!AtomicFile::ensurePrivateDir(dir) || !AtomicFile::write(path, page))
            return {};
    }
    return QUrl::fromLocalFile(path);
}

void setService(NotificationService* service)
{
    QObject::disconnect(g_clicks);
    g_service = service;
    if (!service)
        return;
    g_clicks =
        QObject::connect(service, &NotificationService::activated, service, [](const QString& identifier) {
            if (!identifier.isEmpty() && identifier == permissionLostIdentifier())
                openAccessibilitySettings();
        });
}

void setUrlOpener(std::function<void(const QUrl&)> opener)
{
    g_opener = std::move(opener);
}

void openAccessibilitySettings()
{
    const QUrl url = accessibilitySettingsURL();
    if (url.isEmpty())
        return;
    if (g_opener)
        g_opener(url);
    else
        QDesktopServices::openUrl(url);
}

void permissionLost()
{
    const QString identifier = permissionLostIdentifier();
    if (identifier.isEmpty() || !g_service)
        return;
    NotificationService::Notification n;
    n.identifier = identifier;
    n.title = QStringLiteral("Quenvil lost Accessibility access");
    n.body =
        QStringLiteral("Expansions are paused. Click for help \u2014 Quenvil needs an X11 display it can "
                       "watch; it resumes by itself once the display is back.");
    n.sound = true;
    g_service->post(n);
}

} // namespace Notifier
