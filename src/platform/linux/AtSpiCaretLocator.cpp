#include "platform/linux/AtSpiCaretLocator.h"

#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QPointer>
#include <QTimer>

#include <atomic>

namespace {

const QString kTextInterface = QStringLiteral("org.a11y.atspi.Text");
const QString kFocusEvent = QStringLiteral("object:state-changed:focused");
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

AtSpiCaretLocator::AtSpiCaretLocator(QObject* parent) : AtSpiCaretLocator(Options{}, parent) {}

AtSpiCaretLocator::AtSpiCaretLocator(Options options, QObject* parent) : QObject(parent), m_options(options)
{
    findBus();
}

AtSpiCaretLocator::AtSpiCaretLocator(const QString& busAddress, Options options, QObject* parent)
    : QObject(parent), m_options(options)
{
    connectTo(busAddress);
}

AtSpiCaretLocator::~AtSpiCaretLocator()
{
    if (m_bus) {
        m_bus.reset();
        QDBusConnection::disconnectFromBus(m_connectionName);
    }
}

void AtSpiCaretLocator::findBus()
{
    QDBusConnection session = QDBusConnection::sessionBus();
    if (!session.isConnected())
        return;
    // Asking may start the accessibility bus (D-Bus activation), which takes a moment:
    // never wait for it.
    QDBusMessage call =
        QDBusMessage::createMethodCall(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                                       QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress"));
    auto* watcher = new QDBusPendingCallWatcher(session.asyncCall(call, 10000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher] {
        watcher->deleteLater();
        const QDBusPendingReply<QString> reply = *watcher;
        if (reply.isValid() && !reply.value().isEmpty())
            connectTo(reply.value());
    });
}

void AtSpiCaretLocator::connectTo(const QString& address)
{
    static std::atomic<int> counter{0};
    m_connectionName = QStringLiteral("quenvil-atspi-%1").arg(++counter);
    QDBusConnection bus = QDBusConnection::connectToBus(address, m_connectionName);
    if (!bus.isConnected()) {
        QDBusConnection::disconnectFromBus(m_connectionName);
        return;
    }
    m_bus = bus;
    m_bus->connect(QString(), QString(), QStringLiteral("org.a11y.atspi.Event.Object"),
                   QStringLiteral("StateChanged"), {QStringLiteral("focused")}, QString(), this,
                   SLOT(onStateChanged(QDBusMessage)));
    // Programs send only the events some listener registered for.
    QDBusMessage reg = QDBusMessage::createMethodCall(
        QStringLiteral("org.a11y.atspi.Registry"), QStringLiteral("/org/a11y/atspi/registry"),
        QStringLiteral("org.a11y.atspi.Registry"), QStringLiteral("RegisterEvent"));
    reg << kFocusEvent << QStringList() << QString();
    m_bus->asyncCall(reg);
    emit connected();
}

void AtSpiCaretLocator::onStateChanged(const QDBusMessage& message)
{
    const QList<QVariant> args = message.arguments();
    if (args.size() < 2 || args.at(0).toString() != QLatin1String("focused"))
        return;
    if (args.at(1).toInt() != 0) {
        m_focusService = message.service();
        m_focusPath = message.path();
    } else if (message.service() == m_focusService && message.path() == m_focusPath) {
        m_focusService.clear();
        m_focusPath.clear();
    } else {
        return;
    }
    emit focusChanged();
}

void AtSpiCaretLocator::requestCaretRect(QObject* context, Answer done)
{
    auto request = std::make_shared<Request>();
    request->context = context;
    request->done = std::move(done);
    if (!m_bus || m_focusService.isEmpty()) {
        QTimer::singleShot(0, this, [request] { request->finish(std::nullopt); });
        return;
    }
    QTimer::singleShot(m_options.timeoutMs, this, [request] { request->finish(std::nullopt); });
    askCaretOffset(request);
}

void AtSpiCaretLocator::askCaretOffset(const std::shared_ptr<Request>& request)
{
    QDBusMessage call = QDBusMessage::createMethodCall(m_focusService, m_focusPath,
                                                       QStringLiteral("org.freedesktop.DBus.Properties"),
                                                       QStringLiteral("Get"));
    call << kTextInterface << QStringLiteral("CaretOffset");
    auto* watcher = new QDBusPendingCallWatcher(m_bus->asyncCall(call, m_options.timeoutMs), this);
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
    if (!m_bus || m_focusService.isEmpty()) {
        request->finish(std::nullopt);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(m_focusService, m_focusPath, kTextInterface,
                                                       QStringLiteral("GetCharacterExtents"));
    call << offset << kScreenCoordinates;
    auto* watcher = new QDBusPendingCallWatcher(m_bus->asyncCall(call, m_options.timeoutMs), this);
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
