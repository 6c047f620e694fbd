#include "app/AppcastFetcher.h"

#include "app/Appcast.h"

#include <QCoreApplication>
#include <QNetworkReply>
#include <QNetworkRequest>

#include <algorithm>

namespace {

QString sizeText(qint64 bytes)
{
    if (bytes >= 1024 * 1024 && bytes % (1024 * 1024) == 0)
        return QStringLiteral("%1 MiB").arg(bytes / (1024 * 1024));
    if (bytes >= 1024 && bytes % 1024 == 0)
        return QStringLiteral("%1 KiB").arg(bytes / 1024);
    return QStringLiteral("%1 bytes").arg(bytes);
}

} // namespace

AppcastFetcher::AppcastFetcher(Limits limits, QObject* parent) : QObject(parent), m_limits(limits)
{
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        const int seconds = std::max(1, (m_limits.timeoutMs + 999) / 1000);
        fail(seconds == 1 ? QStringLiteral("The update server did not answer within a second.")
                          : QStringLiteral("The update server did not answer within %1 seconds.").arg(seconds));
    });
}

AppcastFetcher::~AppcastFetcher()
{
    dropReply();
}

void AppcastFetcher::fetch(const QUrl& url)
{
    if (!Appcast::isAllowedFeedAddress(url)) {
        // Reported from the event loop, as every other outcome is.
        QMetaObject::invokeMethod(
            this, [this] { fail(QStringLiteral("The update feed address must be an https address.")); },
            Qt::QueuedConnection);
        return;
    }
    m_deadline.start(std::max(0, m_limits.timeoutMs));
    request(url);
}

void AppcastFetcher::request(const QUrl& url)
{
    m_url = url;
    m_body.clear();
    QNetworkRequest req(url);
    req.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    req.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    req.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    req.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    req.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    const QString version = QCoreApplication::applicationVersion();
    req.setHeader(QNetworkRequest::UserAgentHeader,
                  version.isEmpty() ? QStringLiteral("Quenvil") : QStringLiteral("Quenvil/") + version);
    QNetworkReply* reply = m_network.get(req);
    m_reply = reply;
    // Never let Qt buffer much more than we are willing to keep.
    reply->setReadBufferSize(64 * 1024);
    connect(reply, &QNetworkReply::metaDataChanged, this, &AppcastFetcher::onMetaData);
    connect(reply, &QIODevice::readyRead, this, &AppcastFetcher::drain);
    connect(reply, &QNetworkReply::finished, this, &AppcastFetcher::onFinished);
}

void AppcastFetcher::onMetaData()
{
    if (!m_reply)
        return;
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    // A redirect's own body is never wanted; a declared size over the ceiling ends it early.
    const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
    if (status >= 200 && status < 300 && length.isValid() && length.toLongLong() > m_limits.maxBytes)
        fail(QStringLiteral("The update feed is larger than %1.").arg(sizeText(m_limits.maxBytes)));
}

void AppcastFetcher::drain()
{
    while (!m_done && m_reply && m_reply->bytesAvailable() > 0) {
        const qint64 room = m_limits.maxBytes - m_body.size() + 1;
        m_body.append(m_reply->read(std::min(m_reply->bytesAvailable(), room)));
        if (m_body.size() > m_limits.maxBytes) {
            fail(QStringLiteral("The update feed is larger than %1.").arg(sizeText(m_limits.maxBytes)));
            return;
        }
    }
}

void AppcastFetcher::onFinished()
{
    drain();
    if (m_done || !m_reply)
        return;
    QNetworkReply* reply = m_reply;
    const QVariant statusValue = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!statusValue.isValid()) {
        fail(QStringLiteral("The update server could not be reached (%1).").arg(reply->errorString()));
        return;
    }
    const int status = statusValue.toInt();
    if (status >= 300 && status < 400) {
        const QUrl target = reply->attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl();
        if (target.isEmpty()) {
            fail(QStringLiteral("The update server answered with HTTP status %1.").arg(status));
            return;
        }
        const QUrl next = m_url.resolved(target);
        if (!Appcast::isAllowedRedirect(next)) {
            fail(QStringLiteral("The update feed redirected to an address that is not https."));
            return;
        }
        if (++m_redirects > m_limits.maxRedirects) {
            fail(QStringLiteral("The update feed redirected too many times."));
            return;
        }
        dropReply();
        request(next);
        return;
    }
    if (status < 200 || status >= 300) {
        fail(QStringLiteral("The update server answered with HTTP status %1.").arg(status));
        return;
    }
    if (reply->error() != QNetworkReply::NoError) {
        fail(QStringLiteral("The update server could not be reached (%1).").arg(reply->errorString()));
        return;
    }
    Result r;
    r.ok = true;
    r.body = m_body;
    finish(r);
}

void AppcastFetcher::fail(const QString& message)
{
    Result r;
    r.error = message;
    finish(r);
}

void AppcastFetcher::finish(Result result)
{
    if (m_done)
        return;
    m_done = true;
    m_deadline.stop();
    dropReply();
    m_body.clear();
    Q_EMIT finished(result);
}

void AppcastFetcher::dropReply()
{
    if (!m_reply)
        return;
    QNetworkReply* reply = m_reply;
    m_reply = nullptr;
    reply->disconnect(this);
    // Deleting the reply stops its transfer; abort() would report one more error.
    reply->deleteLater();
}
