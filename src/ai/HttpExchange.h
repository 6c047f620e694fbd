#pragma once

#include <QByteArray>
#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkRequest;

// One HTTP request with the limits every AI request keeps: redirects are never followed
// (a 3xx comes back as the answer, so a key or a prompt never reaches a host it was not
// meant for), the body is read as it arrives and refused once it passes a ceiling, for any
// status, and the whole exchange has a deadline.
class HttpExchange : public QObject
{
    Q_OBJECT

  public:
    static constexpr qint64 maxBodyBytes = 2 * 1024 * 1024;

    enum class Outcome
    {
        // A status line and the whole body arrived (any status).
        answered,
        // The body passed maxBodyBytes; reading stopped there.
        tooLarge,
        timedOut,
        // No HTTP answer: refused, reset, name not found, TLS failure…
        failed,
    };

    struct Result
    {
        Outcome outcome = Outcome::failed;
        int status = -1;
        QByteArray body;
        QNetworkReply::NetworkError networkError = QNetworkReply::NoError;
        QString errorString;
    };

    // Starts the request at once; `body` null means GET, otherwise POST. The exchange is
    // a child of `parent`: deleting the parent stops it.
    static HttpExchange* start(QNetworkAccessManager& network, QNetworkRequest request,
                               const QByteArray& body, int timeoutMs, QObject* parent);
    ~HttpExchange() override;

    // A loopback address (127.0.0.0/8, ::1 or the name "localhost"): the only hosts that
    // may be reached without TLS or through the "on-device" back end.
    static bool isLoopback(const QUrl& url);

  Q_SIGNALS:
    // Emitted once; the exchange deletes itself afterwards.
    void finished(const HttpExchange::Result& result);

  private:
    HttpExchange(QNetworkReply* reply, int timeoutMs, QObject* parent);
    void drain();
    void onFinished();
    void finish(Result result);
    void stopReply();

    QPointer<QNetworkReply> m_reply;
    QByteArray m_body;
    QTimer m_deadline;
    bool m_done = false;
};
