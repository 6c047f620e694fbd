#include "platform/linux/AtSpiCaretLocator.h"

#include "platform/linux/AtSpiFocusTracker.h"

#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QPointer>
#include <QTimer>


namespace {

const QString kTextInterface = QStringLiteral("org.a11y.atspi.Text");
// ATSPI_COORD_TYPE_SCREEN
constexpr uint kScreenCoordinates = 0;

} // namespace

struct AtSpiCaretLocator::Request
{
    QPointer<QObject> context;
    Answer done;
    bool answered = false;

    void finish(const std::optional<QRect>& caret)
    {
        if (answered)
            return;
        answered = true;
        if (context && done)
            done(caret);
    }
};

AtSpiCaretLocator::AtSpiCaretLocator(AtSpiFocusTracker& tracker, QObject* parent)
    : AtSpiCaretLocator(tracker, Options{}, parent)
{
}

AtSpiCaretLocator::AtSpiCaretLocator(AtSpiFocusTracker& tracker, Options options, QObject* parent)
    : QObject(parent), m_tracker(tracker), m_options(options)
{
    connect(&m_tracker, &AtSpiFocusTracker::connected, this, &AtSpiCaretLocator::connected);
    connect(&m_tracker, &AtSpiFocusTracker::focusChanged, this, &AtSpiCaretLocator::focusChanged);
}

AtSpiCaretLocator::~AtSpiCaretLocator() = default;

bool AtSpiCaretLocator::isConnected() const { return m_tracker.isConnected(); }
QString AtSpiCaretLocator::focusedService() const { return m_tracker.focusedService(); }
QString AtSpiCaretLocator::focusedPath() const { return m_tracker.focusedPath(); }

void AtSpiCaretLocator::requestCaretRect(QObject* context, Answer done)
{
    auto request = std::make_shared<Request>();
    request->context = context;
    request->done = std::move(done);
    if (!m_tracker.isConnected() || m_tracker.focusedService().isEmpty()) {
        QTimer::singleShot(0, this, [request] { request->finish(std::nullopt); });
        return;
    }
    QTimer::singleShot(m_options.timeoutMs, this, [request] { request->finish(std::nullopt); });
    askCaretOffset(request);
}

void AtSpiCaretLocator::askCaretOffset(const std::shared_ptr<Request>& request)
{
    QDBusMessage call = QDBusMessage::createMethodCall(m_tracker.focusedService(), m_tracker.focusedPath(),
                                                       QStringLiteral("org.freedesktop.DBus.Properties"),
                                                       QStringLiteral("Get"));
    call << kTextInterface << QStringLiteral("CaretOffset");
    auto* watcher = new QDBusPendingCallWatcher(m_tracker.bus()->asyncCall(call, m_options.timeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, request] {
        watcher->deleteLater();
        if (request->answered)
            return;
        const QDBusPendingReply<QDBusVariant> reply = *watcher;
        if (!reply.isValid()) {
            request->finish(std::nullopt);
            return;
        }
        bool ok = false;
        const int offset = reply.value().variant().toInt(&ok);
        if (!ok || offset < 0) {
            request->finish(std::nullopt);
            return;
        }
        askExtents(request, offset, false);
    });
}

void AtSpiCaretLocator::askExtents(const std::shared_ptr<Request>& request, int offset, bool previous)
{
    if (!m_tracker.isConnected() || m_tracker.focusedService().isEmpty()) {
        request->finish(std::nullopt);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(m_tracker.focusedService(), m_tracker.focusedPath(), kTextInterface,
                                                       QStringLiteral("GetCharacterExtents"));
    call << offset << kScreenCoordinates;
    auto* watcher = new QDBusPendingCallWatcher(m_tracker.bus()->asyncCall(call, m_options.timeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, request, offset, previous] {
        watcher->deleteLater();
        if (request->answered)
            return;
        const QDBusMessage reply = watcher->reply();
        const QList<QVariant> v = reply.arguments();
        if (reply.type() != QDBusMessage::ReplyMessage || v.size() < 4) {
            request->finish(std::nullopt);
            return;
        }
        const int x = v.at(0).toInt(), y = v.at(1).toInt(), w = v.at(2).toInt(), h = v.at(3).toInt();
        if (h > 0) {
            // A thin bar where the caret stands: before the character at the caret, or
            // after the one before it.
            request->finish(QRect(previous ? x + w : x, y, 1, h));
            return;
        }
        // At the end of a text there is no character at the caret: take the one before.
        if (!previous && offset > 0) {
            askExtents(request, offset - 1, true);
            return;
        }
        request->finish(std::nullopt);
    });
}
