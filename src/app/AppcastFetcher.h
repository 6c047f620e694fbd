#pragma once

#include <QByteArray>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>

class QNetworkReply;

// Reads the update feed with the limits a background request to the internet keeps: only
// an https address (plain http to this computer, for tests), redirects followed only to
// https addresses and only a few of them, the body refused once it passes a ceiling, and
// one deadline for the whole exchange. Cookies and the cache are left alone.
class AppcastFetcher : public QObject
{
    Q_OBJECT

  public:
    struct Limits
    {
        qint64 maxBytes = 1024 * 1024;
        int timeoutMs = 15000;
        int maxRedirects = 5;
    };

    struct Result
    {
        bool ok = false;
        QByteArray body;
        QString error; // plain English when !ok
    };

    explicit AppcastFetcher(Limits limits, QObject* parent = nullptr);
    ~AppcastFetcher() override;

    // Starts reading `url`; finished() follows exactly once (possibly before this returns
    // to the event loop when the address is refused: it is queued).
    void fetch(const QUrl& url);

  Q_SIGNALS:
    void finished(const AppcastFetcher::Result& result);

  private:
    void request(const QUrl& url);
    void drain();
    void onMetaData();
    void onFinished();
    void finish(Result result);
    void fail(const QString& message);
    void dropReply();

    Limits m_limits;
    QNetworkAccessManager m_network;
    QPointer<QNetworkReply> m_reply;
    QUrl m_url;
    QByteArray m_body;
    QTimer m_deadline;
    int m_redirects = 0;
    bool m_done = false;
};
