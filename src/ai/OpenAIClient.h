#pragma once

#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QUrl>

#include <optional>

class AIReply;
class AppState;
class QNetworkAccessManager;

// The OpenAI chat-completions transport. The key goes only to the configured service
// address, over https (plain http only to this machine, for a local relay or a test
// server), and never further: redirects are answered, not followed.
class OpenAIClient : public QObject
{
    Q_OBJECT

  public:
    static constexpr int defaultTimeoutMs = 60'000;
    // The model of every request.
    static QString model() { return QStringLiteral("gpt-5.4-mini"); }
    // The settings key of the service address; unset or blank: the public service.
    static QString baseURLKey() { return QStringLiteral("openAIBaseURL"); }
    static QString defaultBaseURL() { return QStringLiteral("https://api.openai.com"); }

    explicit OpenAIClient(AppState& state, QObject* parent = nullptr);
    ~OpenAIClient() override;

    // The time one request may take from start to the end of its body.
    void setTimeoutMs(int ms) { m_timeoutMs = ms; }
    int timeoutMs() const { return m_timeoutMs; }

    QString baseURL() const;
    void setBaseURL(const QString& url);

    // Where requests go for a service address: its path with "/v1/chat/completions"
    // appended. None unless the address is https, or http to a loopback host, with a host
    // and without user name, query or fragment.
    static std::optional<QUrl> endpointFor(const QString& baseURL);

    // A key is sent as an HTTP header: only printable ASCII may go there.
    static bool isUsableKey(const QString& key);

    // The system and user prompts with the fixed model; the first choice's content.
    AIReply* complete(const QString& key, const QString& system, const QString& user);
    // Any body (the vetting request adds members); the first choice's content, trimmed.
    AIReply* chatCompletion(const QString& key, const QJsonObject& body);

  private:
    AppState& m_state;
    QNetworkAccessManager* m_network;
    // Loopback requests bypass any proxy: they are meant for this machine.
    QNetworkAccessManager* m_direct;
    int m_timeoutMs = defaultTimeoutMs;
};
