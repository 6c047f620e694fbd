#include "ai/OnDeviceModel.h"

#include "ai/AIReply.h"
#include "ai/ChatCompletion.h"
#include "model/AppState.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkRequest>

namespace {

OnDeviceModel* g_shared = nullptr;

bool listsModel(const QByteArray& body, const QString& model, bool* wellFormed)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(body, &error);
    const QJsonValue data = doc.object().value(QLatin1String("data"));
    *wellFormed = error.error == QJsonParseError::NoError && doc.isObject() && data.isArray();
    if (!*wellFormed)
        return false;
    for (const QJsonValue& entry : data.toArray()) {
        if (entry.toObject().value(QLatin1String("id")).toString() == model)
            return true;
    }
    return false;
}

} // namespace

OnDeviceModel::OnDeviceModel(AppState& state, QObject* parent) : OnDeviceModel(state, Options(), parent) {}

OnDeviceModel::OnDeviceModel(AppState& state, const Options& options, QObject* parent)
    : QObject(parent), m_state(state), m_options(options), m_network(new QNetworkAccessManager(this))
{
    // The server is on this machine: no proxy may see the prompts.
    m_network->setProxy(QNetworkProxy::NoProxy);
    refresh();
}

OnDeviceModel::~OnDeviceModel()
{
    if (g_shared == this)
        g_shared = nullptr;
}

OnDeviceModel* OnDeviceModel::shared()
{
    return g_shared;
}

void OnDeviceModel::setShared(OnDeviceModel* model)
{
    g_shared = model;
}

QString OnDeviceModel::serverURL() const
{
    return m_state.settings().stringValue(serverURLKey()).value_or(QString()).trimmed();
}

void OnDeviceModel::setServerURL(const QString& url)
{
    m_state.settings().setString(serverURLKey(), url.trimmed());
    refresh();
}

QString OnDeviceModel::modelName() const
{
    return m_state.settings().stringValue(modelKey()).value_or(QString()).trimmed();
}

void OnDeviceModel::setModelName(const QString& name)
{
    m_state.settings().setString(modelKey(), name.trimmed());
    refresh();
}

QString OnDeviceModel::statusText(Status status)
{
    switch (status) {
    case Status::checking:
        return QStringLiteral("Checking the on-device model…");
    case Status::notConfigured:
        return QStringLiteral("Set up an on-device model server in Settings");
    case Status::addressRefused:
        return QStringLiteral("The on-device model server must run on this computer");
    case Status::notRunning:
        return QStringLiteral("The on-device model server is not running");
    case Status::notReady:
        return QStringLiteral("The on-device model is still downloading");
    case Status::ready:
        return QStringLiteral("On-device model ready");
    case Status::unavailable:
        break;
    }
    return QStringLiteral("The on-device model is unavailable");
}

std::optional<QUrl> OnDeviceModel::endpointFor(const QString& serverURL, const QString& path)
{
    QUrl url(serverURL.trimmed(), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")) ||
        url.host().isEmpty() || !url.userInfo().isEmpty() || url.hasQuery() || url.hasFragment() ||
        !HttpExchange::isLoopback(url))
        return std::nullopt;
    QString base = url.path();
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    url.setPath(base + path);
    return url;
}

OnDeviceModel::Config OnDeviceModel::config() const
{
    return Config{serverURL(), modelName()};
}

std::optional<OnDeviceModel::Status> OnDeviceModel::configStatus(const Config& c) const
{
    if (c.url.isEmpty() || c.model.isEmpty())
        return Status::notConfigured;
    if (!endpointFor(c.url, QString()))
        return Status::addressRefused;
    return std::nullopt;
}

void OnDeviceModel::setStatus(Status s)
{
    if (m_status == s)
        return;
    m_status = s;
    Q_EMIT statusChanged(s);
}

OnDeviceModel::Status OnDeviceModel::status()
{
    const Config c = config();
    if (const std::optional<Status> s = configStatus(c)) {
        if (m_checkedConfig != c) {
            delete m_check.data();
            noteChecked(c, *s);
        }
        return m_status;
    }
    if (m_checkedConfig != c) {
        refresh();
    } else if (!m_check && m_checkedAt.isValid() &&
               m_checkedAt.elapsed() >
                   (m_status == Status::ready ? m_options.maxReadyAgeMs : m_options.maxNotReadyAgeMs)) {
        refresh();
    }
    return m_status;
}

void OnDeviceModel::noteChecked(const Config& c, Status s)
{
    m_checkedConfig = c;
    m_checkedAt.start();
    setStatus(s);
    Q_EMIT checked();
}

void OnDeviceModel::refresh()
{
    const Config c = config();
    if (const std::optional<Status> s = configStatus(c)) {
        delete m_check.data();
        noteChecked(c, *s);
        return;
    }
    if (m_check && m_checkConfig == c)
        return;
    delete m_check.data();
    if (m_checkedConfig != c)
        setStatus(Status::checking);
    m_checkConfig = c;
    QNetworkRequest request(*endpointFor(c.url, QStringLiteral("/v1/models")));
    m_check = HttpExchange::start(*m_network, request, QByteArray(), m_options.checkTimeoutMs, this);
    connect(m_check, &HttpExchange::finished, this,
            [this, c](const HttpExchange::Result& r) { onModels(c, r); });
}

void OnDeviceModel::onModels(const Config& c, const HttpExchange::Result& r)
{
    m_check = nullptr;
    Status s = Status::unavailable;
    if (r.outcome == HttpExchange::Outcome::answered) {
        if (r.status == 200) {
            bool wellFormed = false;
            const bool listed = listsModel(r.body, c.model, &wellFormed);
            s = listed ? Status::ready : wellFormed ? Status::notReady : Status::unavailable;
        } else if (r.status == 503) {
            s = Status::notReady;
        }
    } else if (r.outcome == HttpExchange::Outcome::failed &&
               r.networkError == QNetworkReply::ConnectionRefusedError) {
        s = Status::notRunning;
    }
    noteChecked(c, s);
}

AIReply* OnDeviceModel::complete(const QString& instructions, const QString& prompt)
{
    auto* reply = new AIReply(this);
    const Config c = config();
    if (const std::optional<Status> s = configStatus(c)) {
        refresh();
        reply->finishLater(AIResult::failure(AIServiceError::onDeviceUnavailable(statusText(*s))));
        return reply;
    }
    if (m_checkedConfig == c && m_status == Status::ready) {
        send(reply, c, instructions, prompt);
        return reply;
    }
    // Not known to be ready: ask the server first, so that a server started a moment ago
    // is used at once.
    connect(
        this, &OnDeviceModel::checked, reply,
        [this, reply, c, instructions, prompt] {
            if (m_checkedConfig == c && m_status == Status::ready)
                send(reply, c, instructions, prompt);
            else
                reply->finish(AIResult::failure(AIServiceError::onDeviceUnavailable(statusText(m_status))));
        },
        Qt::SingleShotConnection);
    refresh();
    return reply;
}

void OnDeviceModel::send(AIReply* reply, const Config& c, const QString& instructions, const QString& prompt)
{
    QNetworkRequest request(*endpointFor(c.url, QStringLiteral("/v1/chat/completions")));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    const QJsonObject body = ChatCompletion::requestBody(c.model, instructions, prompt);
    HttpExchange* exchange =
        HttpExchange::start(*m_network, request, QJsonDocument(body).toJson(QJsonDocument::Compact),
                            m_options.requestTimeoutMs, reply);
    connect(exchange, &HttpExchange::finished, reply, [this, reply, c](const HttpExchange::Result& r) {
        switch (r.outcome) {
        case HttpExchange::Outcome::tooLarge:
            reply->finish(AIResult::failure(
                AIServiceError::onDeviceFailed(QStringLiteral("response exceeded the 2 MB safety limit"))));
            return;
        case HttpExchange::Outcome::timedOut:
            reply->finish(AIResult::failure(AIServiceError::timedOut()));
            return;
        case HttpExchange::Outcome::failed:
            if (r.networkError == QNetworkReply::ConnectionRefusedError) {
                // The server went away since the last check.
                if (config() == c)
                    noteChecked(c, Status::notRunning);
                reply->finish(
                    AIResult::failure(AIServiceError::onDeviceUnavailable(statusText(Status::notRunning))));
            } else {
                reply->finish(AIResult::failure(AIServiceError::network(r.errorString)));
            }
            return;
        case HttpExchange::Outcome::answered:
            break;
        }
        if (r.status == 503) {
            if (config() == c)
                noteChecked(c, Status::notReady);
            reply->finish(
                AIResult::failure(AIServiceError::onDeviceUnavailable(statusText(Status::notReady))));
            return;
        }
        if (r.status != 200) {
            reply->finish(AIResult::failure(
                AIServiceError::onDeviceFailed(ChatCompletion::httpErrorDetail(r.status, r.body))));
            return;
        }
        const ChatCompletion::Parsed parsed = ChatCompletion::parseReply(r.body);
        if (parsed.jsonError)
            reply->finish(AIResult::failure(AIServiceError::invalidJSON(*parsed.jsonError)));
        else if (!parsed.content)
            reply->finish(AIResult::failure(
                AIServiceError::onDeviceFailed(QStringLiteral("unexpected response shape"))));
        else
            reply->finish(AIResult::success(*parsed.content));
    });
}
