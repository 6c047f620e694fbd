#pragma once

#include "ai/HttpExchange.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <optional>

class AIReply;
class AppState;
class QNetworkAccessManager;

// The on-device back end: a model served on this machine by a local OpenAI-compatible
// server (its address and model name are settings). Only loopback addresses are used, so
// a prompt never leaves the computer through it. Whether the model can answer is a cached
// status, refreshed by asking the server for its models. Main thread only.
class OnDeviceModel : public QObject
{
    Q_OBJECT

  public:
    enum class Status
    {
        // Not asked yet, or the answer is on its way.
        checking,
        // No server address or no model name set.
        notConfigured,
        // The address is not on this machine (or not an http(s) address).
        addressRefused,
        // Nothing listens at the address.
        notRunning,
        // The server answers but the model is not (yet) among those it serves, or it says
        // it is busy loading (503).
        notReady,
        // Any other failure of the check.
        unavailable,
        ready,
    };

    struct Options
    {
        // One completion, from start to the end of its body.
        int requestTimeoutMs = 60'000;
        // One check of the server's models.
        int checkTimeoutMs = 5'000;
        // A status older than this is checked again when someone reads it: a ready model
        // rarely goes away, one that is not ready may be a moment from starting.
        int maxReadyAgeMs = 30'000;
        int maxNotReadyAgeMs = 3'000;
    };

    static QString serverURLKey() { return QStringLiteral("onDeviceServerURL"); }
    static QString modelKey() { return QStringLiteral("onDeviceModel"); }

    // Starts the first check at once, so the first AI request after start-up finds the
    // model's status known.
    explicit OnDeviceModel(AppState& state, QObject* parent = nullptr);
    OnDeviceModel(AppState& state, const Options& options, QObject* parent = nullptr);
    ~OnDeviceModel() override;

    static OnDeviceModel* shared();
    static void setShared(OnDeviceModel* model);

    QString serverURL() const;
    void setServerURL(const QString& url);
    QString modelName() const;
    void setModelName(const QString& name);

    // The cached status. Reading it when the settings changed since the last check, or
    // when that check is older than its maximum age, starts a new check; the value
    // returned is the one known now.
    Status status();
    QString statusText() { return statusText(status()); }
    bool isReady() { return status() == Status::ready; }
    static QString statusText(Status status);

    // Asks the server for its models now (unless a check of the same settings is already
    // on its way); statusChanged follows when the answer differs.
    void refresh();

    // The server's URL for `path` under a configured loopback address; none otherwise.
    static std::optional<QUrl> endpointFor(const QString& serverURL, const QString& path);

    // A reply from the model to `prompt` under `instructions`, trimmed at both ends. When
    // the cached status is not ready the server is checked first; a model that cannot
    // answer fails with onDeviceUnavailable and its status text.
    AIReply* complete(const QString& instructions, const QString& prompt);

  Q_SIGNALS:
    void statusChanged(OnDeviceModel::Status status);
    // Each check's end, whatever its outcome.
    void checked();

  private:
    struct Config
    {
        QString url;
        QString model;
        bool operator==(const Config&) const = default;
    };
    Config config() const;
    // The status that follows from the settings alone, before any network.
    std::optional<Status> configStatus(const Config& c) const;
    void setStatus(Status s);
    void onModels(const Config& c, const HttpExchange::Result& r);
    void noteChecked(const Config& c, Status s);
    void send(AIReply* reply, const Config& c, const QString& instructions, const QString& prompt);

    AppState& m_state;
    Options m_options;
    QNetworkAccessManager* m_network;
    Status m_status = Status::checking;
    std::optional<Config> m_checkedConfig;
    QElapsedTimer m_checkedAt;
    QPointer<HttpExchange> m_check;
    Config m_checkConfig;
};
