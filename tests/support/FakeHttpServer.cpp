#include "FakeHttpServer.h"

#include <QHostAddress>
#include <QPointer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

QByteArray FakeHttpServer::Request::header(const QByteArray& name) const
{
    for (const auto& [key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

bool FakeHttpServer::Request::hasHeader(const QByteArray& name) const
{
    for (const auto& h : headers) {
        if (h.first.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

FakeHttpServer::Reply FakeHttpServer::Reply::json(int status, const QByteArray& body)
{
    Reply r;
    r.status = status;
    r.headers = {{"Content-Type", "application/json"}};
    r.body = body;
    return r;
}

FakeHttpServer::Reply FakeHttpServer::Reply::redirect(int status, const QByteArray& location)
{
    Reply r;
    r.status = status;
    r.headers = {{"Location", location}, {"Content-Type", "text/plain"}};
    r.body = "moved";
    return r;
}

FakeHttpServer::FakeHttpServer(QObject* parent) : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, &FakeHttpServer::onConnection);
    m_server.listen(QHostAddress::LocalHost, 0);
}

FakeHttpServer::~FakeHttpServer()
{
    for (QTcpSocket* s : m_pending.keys())
        s->abort();
}

QString FakeHttpServer::baseURL() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(port());
}

void FakeHttpServer::setReply(const QByteArray& path, const Reply& reply)
{
    m_replies.insert(path, reply);
}

bool FakeHttpServer::waitForRequests(int count, int timeoutMs)
{
    return QTest::qWaitFor([&] { return m_requests.size() >= count; }, timeoutMs);
}

quint16 FakeHttpServer::closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

void FakeHttpServer::onConnection()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        socket->setParent(this);
        m_pending.insert(socket, QByteArray());
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadable(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_pending.remove(socket);
            socket->deleteLater();
        });
    }
}

void FakeHttpServer::onReadable(QTcpSocket* socket)
{
    auto it = m_pending.find(socket);
    if (it == m_pending.end())
        return;
    QByteArray& buffer = it.value();
    buffer.append(socket->readAll());
    const qsizetype headerEnd = buffer.indexOf("\r\n\r\n");
    if (headerEnd < 0)
        return;

    Request request;
    const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
    const QList<QByteArray> start = lines.value(0).trimmed().split(' ');
    request.method = start.value(0);
    request.target = start.value(1);
    qsizetype contentLength = 0;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            continue;
        const QByteArray name = line.left(colon).trimmed();
        const QByteArray value = line.mid(colon + 1).trimmed();
        request.headers.append({name, value});
        if (name.compare("Content-Length", Qt::CaseInsensitive) == 0)
            contentLength = value.toLongLong();
    }
    if (buffer.size() < headerEnd + 4 + contentLength)
        return;
    request.body = buffer.mid(headerEnd + 4, contentLength);
    // The request is complete: nothing more is read from this connection.
    m_pending.remove(socket);
    disconnect(socket, &QTcpSocket::readyRead, this, nullptr);

    QByteArray path = request.target;
    if (const qsizetype q = path.indexOf('?'); q >= 0)
        path.truncate(q);
    m_requests.append(request);
    const Reply reply = m_replies.value(path, Reply::json(404, R"({"error":"not found"})"));
    Q_EMIT requestReceived();

    if (reply.neverAnswer)
        return;
    QPointer<QTcpSocket> guard(socket);
    if (reply.held) {
        m_held.append({guard, reply});
        return;
    }
    QTimer::singleShot(reply.delayMs, this, [this, guard, reply] {
        if (guard)
            respond(guard, reply);
    });
}

int FakeHttpServer::releaseHeld()
{
    const QList<std::pair<QPointer<QTcpSocket>, Reply>> held = std::exchange(m_held, {});
    for (const auto& [guard, reply] : held) {
        QTimer::singleShot(reply.delayMs, this, [this, guard, reply] {
            if (guard)
                respond(guard, reply);
        });
    }
    return int(held.size());
}

void FakeHttpServer::respond(QTcpSocket* socket, const Reply& reply)
{
    QByteArray head = "HTTP/1.1 " + QByteArray::number(reply.status) + " Scripted\r\n";
    for (const auto& [name, value] : reply.headers)
        head += name + ": " + value + "\r\n";
    if (reply.chunked)
        head += "Transfer-Encoding: chunked\r\n";
    else
        head += "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n";
    head += "Connection: close\r\n\r\n";
    socket->write(head);
    sendPieces(socket, reply, 0);
}

void FakeHttpServer::sendPieces(QTcpSocket* socket, const Reply& reply, qsizetype offset)
{
    const qsizetype size = reply.pieceBytes > 0 ? reply.pieceBytes : reply.body.size();
    const QByteArray piece = reply.body.mid(offset, size);
    if (!piece.isEmpty()) {
        if (reply.chunked)
            socket->write(QByteArray::number(piece.size(), 16) + "\r\n" + piece + "\r\n");
        else
            socket->write(piece);
    }
    const qsizetype next = offset + piece.size();
    if (next >= reply.body.size()) {
        if (reply.chunked)
            socket->write("0\r\n\r\n");
        socket->disconnectFromHost();
        return;
    }
    QPointer<QTcpSocket> guard(socket);
    QTimer::singleShot(reply.pieceDelayMs, this, [this, guard, reply, next] {
        if (guard && guard->state() == QAbstractSocket::ConnectedState)
            sendPieces(guard, reply, next);
    });
}
