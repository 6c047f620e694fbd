#include "ai/HttpExchange.h"

#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkRequest>

#include <algorithm>

namespace {

// What Qt may hold of a reply that we have not read yet; keeps the memory of a flood
// near the ceiling instead of whatever the socket delivers.
constexpr qint64 readBufferBytes = 64 * 1024;

} // namespace

HttpExchange* HttpExchange::start(QNetworkAccessManager& network, QNetworkRequest request,
                                  const QByteArray& body, int timeoutMs, QObject* parent)
{
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    // Neither send stored cookies nor keep new ones: the request carries exactly the
    // headers its client set.
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    QNetworkReply* reply = body.isNull() ? network.get(request) : network.post(request, body);
    return new HttpExchange(reply, timeoutMs, parent);
}

HttpExchange::HttpExchange(QNetworkReply* reply, int timeoutMs, QObject* parent)
    : QObject(parent), m_reply(reply)
{
    m_body.reserve(16 * 1024);
    reply->setReadBufferSize(readBufferBytes);
    connect(reply, &QIODevice::readyRead, this, &HttpExchange::drain);
    connect(reply, &QNetworkReply::finished, this, &HttpExchange::onFinished);
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        Result r;
        r.outcome = Outcome::timedOut;
        finish(r);
    });
    m_deadline.start(std::max(0, timeoutMs));
}

HttpExchange::~HttpExchange()
{
    stopReply();
}

void HttpExchange::stopReply()
{
    if (!m_reply)
        return;
    QNetworkReply* reply = m_reply;
    m_reply = nullptr;
    reply->disconnect(this);
    // Deleting a reply stops its transfer. abort() would too, but on a reply whose HTTP
    // error is already on its way it reports a second error.
    reply->deleteLater();
}

void HttpExchange::drain()
{
    while (!m_done && m_reply && m_reply->bytesAvailable() > 0) {
        // Never take in more than one byte past the ceiling: that byte is the proof of
        // "too large", and the rest of the reply is never held.
        const qint64 room = maxBodyBytes - m_body.size() + 1;
        m_body.append(m_reply->read(std::min(m_reply->bytesAvailable(), room)));
        if (m_body.size() > maxBodyBytes) {
            Result r;
            r.outcome = Outcome::tooLarge;
            finish(r);
            return;
        }
    }
}

void HttpExchange::onFinished()
{
    drain();
    if (m_done || !m_reply)
        return;
    Result r;
    const QVariant status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    r.networkError = m_reply->error();
    r.errorString = m_reply->errorString();
    if (status.isValid()) {
        // HTTP errors (401, 500…) and unfollowed redirects are answers too.
        r.outcome = Outcome::answered;
        r.status = status.toInt();
        r.body = m_body;
    } else {
        r.outcome = Outcome::failed;
    }
    finish(r);
}

void HttpExchange::finish(Result result)
{
    if (m_done)
        return;
    m_done = true;
    m_deadline.stop();
    stopReply();
    m_body.clear();
    Q_EMIT finished(result);
    deleteLater();
}

bool HttpExchange::isLoopback(const QUrl& url)
{
    const QString host = url.host();
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    QHostAddress address;
    return address.setAddress(host) && address.isLoopback();
}
