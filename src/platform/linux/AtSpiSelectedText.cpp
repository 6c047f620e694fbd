#include "platform/linux/AtSpiSelectedText.h"

#include "platform/linux/AtSpiFocusTracker.h"
#include "platform/linux/X11PrimarySelection.h"

#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>

namespace {

const QString kTextInterface = QStringLiteral("org.a11y.atspi.Text");

} // namespace

struct AtSpiSelectedText::Request
{
    QPointer<QObject> context;
    Answer done;
    QString service;
    QString path;
    std::optional<quint32> frontPid;
    QElapsedTimer clock;
    bool answered = false;

    void finish(const std::optional<QString>& text)
    {
        if (answered)
            return;
        answered = true;
        if (context && done)
            done(text && !text->isEmpty() ? text : std::nullopt);
    }
};

AtSpiSelectedText::AtSpiSelectedText(AtSpiFocusTracker& tracker, X11PrimarySelection* primary,
                                     QObject* parent)
    : AtSpiSelectedText(tracker, primary, Options{}, parent)
{
}

AtSpiSelectedText::AtSpiSelectedText(AtSpiFocusTracker& tracker, X11PrimarySelection* primary,
                                     Options options, QObject* parent)
    : QObject(parent), m_tracker(tracker), m_primary(primary), m_options(options)
{
}

AtSpiSelectedText::~AtSpiSelectedText() = default;

void AtSpiSelectedText::requestSelectedText(QObject* context, Answer done)
{
    auto request = std::make_shared<Request>();
    request->context = context;
    request->done = std::move(done);
    request->service = m_tracker.focusedService();
    request->path = m_tracker.focusedPath();
    request->clock.start();
    QTimer::singleShot(m_options.timeoutMs, this, [request] { request->finish(std::nullopt); });
    if (m_primary)
        request->frontPid = m_primary->frontWindowPid();
    // Never answered inside the call, whatever path the question takes.
    QTimer::singleShot(0, this, [this, request] {
        if (request->service.isEmpty() || !m_tracker.bus())
            fallBack(request);
        else if (request->frontPid)
            askProcess(request);
        else
            askSelection(request);
    });
}

void AtSpiSelectedText::askProcess(const std::shared_ptr<Request>& request)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetConnectionUnixProcessID"));
    call << request->service;
    auto* watcher = new QDBusPendingCallWatcher(m_tracker.bus()->asyncCall(call, m_options.timeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, request] {
        watcher->deleteLater();
        if (request->answered)
            return;
        const QDBusPendingReply<uint> reply = *watcher;
        // The focus the bus reported is in a program the user has left.
        if (reply.isValid() && reply.value() != *request->frontPid) {
            fallBack(request);
            return;
        }
        askSelection(request);
    });
}

void AtSpiSelectedText::askSelection(const std::shared_ptr<Request>& request)
{
    if (!m_tracker.bus()) {
        fallBack(request);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(request->service, request->path, kTextInterface,
                                                       QStringLiteral("GetSelection"));
    call << 0;
    auto* watcher = new QDBusPendingCallWatcher(m_tracker.bus()->asyncCall(call, m_options.timeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, request] {
        watcher->deleteLater();
        if (request->answered)
            return;
        const QDBusMessage reply = watcher->reply();
        const QList<QVariant> v = reply.arguments();
        if (reply.type() != QDBusMessage::ReplyMessage || v.size() < 2) {
            // Not a text, or no answer: the program may still own PRIMARY.
            fallBack(request);
            return;
        }
        const int start = v.at(0).toInt(), end = v.at(1).toInt();
        if (start < 0 || end <= start) {
            request->finish(std::nullopt);
            return;
        }
        askText(request, start, end);
    });
}

void AtSpiSelectedText::askText(const std::shared_ptr<Request>& request, int start, int end)
{
    QDBusMessage call = QDBusMessage::createMethodCall(request->service, request->path, kTextInterface,
                                                       QStringLiteral("GetText"));
    call << start << end;
    auto* watcher = new QDBusPendingCallWatcher(m_tracker.bus()->asyncCall(call, m_options.timeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, request] {
        watcher->deleteLater();
        if (request->answered)
            return;
        const QDBusPendingReply<QString> reply = *watcher;
        if (!reply.isValid()) {
            fallBack(request);
            return;
        }
        request->finish(reply.value());
    });
}

void AtSpiSelectedText::fallBack(const std::shared_ptr<Request>& request)
{
    if (!m_primary) {
        request->finish(std::nullopt);
        return;
    }
    const int left = std::max(1, m_options.timeoutMs - int(request->clock.elapsed()));
    m_primary->requestText(request->context, left,
                           [request](std::optional<QString> text) { request->finish(text); });
}
