#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTcpServer>

#include <utility>

// A small HTTP/1.1 server on 127.0.0.1 for network tests: it records every request and
// answers each path with a scripted reply, which can be delayed, streamed in pieces,
// chunked, a redirect, or never come. One request per connection ("Connection: close").
class FakeHttpServer : public QObject
{
    Q_OBJECT

  public:
    using Headers = QList<std::pair<QByteArray, QByteArray>>;

    struct Request
    {
        QByteArray method;
        QByteArray target; // path and query as sent
        Headers headers;
        QByteArray body;

        // First value of a header, by case-insensitive name; null when absent.
        QByteArray header(const QByteArray& name) const;
        bool hasHeader(const QByteArray& name) const;
    };

    struct Reply
    {
        int status = 200;
        Headers headers;
        QByteArray body;
        // Wait this long after the request before sending anything.
        int delayMs = 0;
        // Transfer-Encoding: chunked instead of Content-Length.
        bool chunked = false;
        // More than 0: the body goes out in pieces of this many bytes, pieceDelayMs apart.
        int pieceBytes = 0;
        int pieceDelayMs = 0;
        // Read the request and never answer.
        bool neverAnswer = false;
        // Read the request and answer only when the test calls releaseHeld().
        bool held = false;

        static Reply json(int status, const QByteArray& body);
        static Reply redirect(int status, const QByteArray& location);
    };

    explicit FakeHttpServer(QObject* parent = nullptr);
    ~FakeHttpServer() override;

    bool isListening() const { return m_server.isListening(); }
    quint16 port() const { return m_server.serverPort(); }
    // "http://127.0.0.1:<port>"
    QString baseURL() const;

    // The reply for every request to `path` (the target without its query); any other
    // path gets 404.
    void setReply(const QByteArray& path, const Reply& reply);

    const QList<Request>& requests() const { return m_requests; }
    // Answers the held requests now (their delay still applies); how many there were.
    int releaseHeld();
    // Waits (running the event loop) until at least `count` requests have arrived.
    bool waitForRequests(int count, int timeoutMs = 5000);

    // A port on 127.0.0.1 where nothing listens (connections are refused).
    static quint16 closedPort();

  Q_SIGNALS:
    void requestReceived();

  private:
    void onConnection();
    void onReadable(class QTcpSocket* socket);
    void respond(QTcpSocket* socket, const Reply& reply);
    void sendPieces(QTcpSocket* socket, const Reply& reply, qsizetype offset);

    QTcpServer m_server;
    QHash<QByteArray, Reply> m_replies;
    QList<Request> m_requests;
    QHash<QTcpSocket*, QByteArray> m_pending;
    QList<std::pair<QPointer<QTcpSocket>, Reply>> m_held;
};
