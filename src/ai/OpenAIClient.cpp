#include "ai/OpenAIClient.h"

#include "ai/AIReply.h"
#include "ai/ChatCompletion.h"
#include "ai/HttpExchange.h"
#include "model/AppState.h"

#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkRequest>

OpenAIClient::OpenAIClient(AppState& state, QObject* parent)
    : QObject(parent), m_state(state), m_network(new QNetworkAccessManager(this)),
      m_direct(new QNetworkAccessManager(this))
{
    m_direct->setProxy(QNetworkProxy::NoProxy);
}

OpenAIClient::~OpenAIClient() = default;

QString OpenAIClient::baseURL() const
{
    const QString stored = m_state.settings().stringValue(baseURLKey()).value_or(QString()).trimmed();
    return stored.isEmpty() ? defaultBaseURL() : stored;
}

void OpenAIClient::setBaseURL(const QString& url)
{
    m_state.settings().setString(baseURLKey(), url.trimmed());
}

std::optional<QUrl> OpenAIClient::endpointFor(const QString& baseURL)
{
    QUrl url(baseURL.trimmed(), QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() || !url.userInfo().isEmpty() || url.hasQuery() ||
        url.hasFragment())
        return std::nullopt;
    const QString scheme = url.scheme().toLower();
    if (scheme != QLatin1String("https") &&
        !(scheme == QLatin1String("http") && HttpExchange::isLoopback(url)))
        return std::nullopt;
    QString path = url.path();
    while (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    url.setPath(path + QStringLiteral("/v1/chat/completions"));
    return url;
}

bool OpenAIClient::isUsableKey(const QString& key)
{
    if (key.isEmpty())
        return false;
    for (QChar c : key) {
        if (c.unicode() < 0x20 || c.unicode() > 0x7E)
            return false;
    }
    return true;
}

AIReply* OpenAIClient::complete(const QString& key, const QString& system, const QString& user)
{
    return chatCompletion(key, ChatCompletion::requestBody(model(), system, user));
}

AIReply* OpenAIClient::chatCompletion(const QString& key, const QJsonObject& body)
{
    auto* reply = new AIReply(this);
    if (!isUsableKey(key)) {
        reply->finishLater(AIResult::failure(AIServiceError::openAIKeyMissing()));
        return reply;
    }
    const std::optional<QUrl> endpoint = endpointFor(baseURL());
    if (!endpoint) {
        reply->finishLater(AIResult::failure(
            AIServiceError::badResponse(QStringLiteral("the service address must use https"))));
        return reply;
    }

    QNetworkRequest request(*endpoint);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    request.setRawHeader(QByteArrayLiteral("Authorization"), QByteArrayLiteral("Bearer ") + key.toLatin1());
    QNetworkAccessManager& network = HttpExchange::isLoopback(*endpoint) ? *m_direct : *m_network;
    HttpExchange* exchange = HttpExchange::start(
        network, request, QJsonDocument(body).toJson(QJsonDocument::Compact), m_timeoutMs, reply);

    connect(exchange, &HttpExchange::finished, reply, [reply](const HttpExchange::Result& r) {
        switch (r.outcome) {
        case HttpExchange::Outcome::tooLarge:
            reply->finish(AIResult::failure(AIServiceError::responseTooLarge()));
            return;
        case HttpExchange::Outcome::timedOut:
            reply->finish(AIResult::failure(AIServiceError::timedOut()));
            return;
        case HttpExchange::Outcome::failed:
            reply->finish(AIResult::failure(AIServiceError::network(r.errorString)));
            return;
        case HttpExchange::Outcome::answered:
            break;
        }
        if (r.status != 200) {
            reply->finish(AIResult::failure(
                AIServiceError::badResponse(ChatCompletion::httpErrorDetail(r.status, r.body))));
            return;
        }
        const ChatCompletion::Parsed parsed = ChatCompletion::parseReply(r.body);
        if (parsed.jsonError)
            reply->finish(AIResult::failure(AIServiceError::invalidJSON(*parsed.jsonError)));
        else if (!parsed.content)
            reply->finish(
                AIResult::failure(AIServiceError::badResponse(QStringLiteral("unexpected response shape"))));
        else
            reply->finish(AIResult::success(*parsed.content));
    });
    return reply;
}
