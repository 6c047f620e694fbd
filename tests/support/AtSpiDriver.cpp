#include "AtSpiDriver.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QTest>

#include <atomic>

namespace {

constexpr int kCallTimeoutMs = 5000;
const QString kAccessible = QStringLiteral("org.a11y.atspi.Accessible");
const QString kRegistry = QStringLiteral("org.a11y.atspi.Registry");
const QString kRootPath = QStringLiteral("/org/a11y/atspi/accessible/root");

// A reply's value as QtDBus hands it over: plain, inside a variant, or still marshalled.
QDBusArgument marshalled(const QVariant& value)
{
    if (value.canConvert<QDBusVariant>())
        return marshalled(value.value<QDBusVariant>().variant());
    return value.value<QDBusArgument>();
}

QList<AtSpiObject> objectsOf(const QVariant& value)
{
    QList<AtSpiObject> objects;
    const QDBusArgument arg = marshalled(value);
    if (arg.currentType() != QDBusArgument::ArrayType)
        return objects;
    arg.beginArray();
    while (!arg.atEnd()) {
        QString service;
        QDBusObjectPath path;
        arg.beginStructure();
        arg >> service >> path;
        arg.endStructure();
        objects.append({service, path.path()});
    }
    arg.endArray();
    return objects;
}

} // namespace

AtSpiDriver::AtSpiDriver() = default;

AtSpiDriver::~AtSpiDriver()
{
    if (m_bus) {
        m_bus.reset();
        QDBusConnection::disconnectFromBus(m_connectionName);
    }
}

bool AtSpiDriver::connectToBus(int timeoutMs)
{
    if (m_bus)
        return true;
    QDBusConnection session = QDBusConnection::sessionBus();
    if (!session.isConnected())
        return false;
    QString address;
    const QDeadlineTimer deadline(timeoutMs);
    while (address.isEmpty() && !deadline.hasExpired()) {
        // The first question may start the bus (D-Bus activation) and time out meanwhile.
        const QDBusMessage reply = session.call(
            QDBusMessage::createMethodCall(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                                           QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress")),
            QDBus::Block, int(qMin<qint64>(deadline.remainingTime(), 10000)));
        if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty())
            address = reply.arguments().constFirst().toString();
        if (address.isEmpty())
            QTest::qWait(200);
    }
    if (address.isEmpty())
        return false;
    static std::atomic<int> counter{0};
    m_connectionName = QStringLiteral("quenvil-atspi-driver-%1").arg(++counter);
    QDBusConnection bus = QDBusConnection::connectToBus(address, m_connectionName);
    if (!bus.isConnected()) {
        QDBusConnection::disconnectFromBus(m_connectionName);
        return false;
    }
    m_bus = bus;
    return true;
}

std::optional<QVariant> AtSpiDriver::call(const AtSpiObject& object, const QString& interface,
                                          const QString& method, const QVariantList& args) const
{
    if (!m_bus || object.isNull())
        return std::nullopt;
    QDBusMessage message = QDBusMessage::createMethodCall(object.service, object.path, interface, method);
    message.setArguments(args);
    const QDBusMessage reply = m_bus->call(message, QDBus::Block, kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage)
        return std::nullopt;
    return reply.arguments().isEmpty() ? QVariant() : reply.arguments().constFirst();
}

QVariant AtSpiDriver::property(const AtSpiObject& object, const QString& interface, const QString& name) const
{
    const std::optional<QVariant> value = call(object, QStringLiteral("org.freedesktop.DBus.Properties"),
                                               QStringLiteral("Get"), {interface, name});
    if (!value)
        return {};
    return value->canConvert<QDBusVariant>() ? value->value<QDBusVariant>().variant() : *value;
}

AtSpiObject AtSpiDriver::application(qint64 pid, int timeoutMs) const
{
    if (!m_bus)
        return {};
    const QDeadlineTimer deadline(timeoutMs);
    do {
        // The registry's root is the desktop; its children are the programs.
        for (const AtSpiObject& app : children({kRegistry, kRootPath})) {
            const QDBusMessage reply =
                m_bus->call(QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                                           QStringLiteral("/org/freedesktop/DBus"),
                                                           QStringLiteral("org.freedesktop.DBus"),
                                                           QStringLiteral("GetConnectionUnixProcessID"))
                                << app.service,
                            QDBus::Block, kCallTimeoutMs);
            if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
                reply.arguments().constFirst().toLongLong() == pid)
                return app;
        }
        QTest::qWait(200);
    } while (!deadline.hasExpired());
    return {};
}

QList<AtSpiObject> AtSpiDriver::children(const AtSpiObject& object) const
{
    const std::optional<QVariant> value = call(object, kAccessible, QStringLiteral("GetChildren"));
    return value ? objectsOf(*value) : QList<AtSpiObject>{};
}

QString AtSpiDriver::name(const AtSpiObject& object) const
{
    return property(object, kAccessible, QStringLiteral("Name")).toString();
}

QString AtSpiDriver::description(const AtSpiObject& object) const
{
    return property(object, kAccessible, QStringLiteral("Description")).toString();
}

QString AtSpiDriver::roleName(const AtSpiObject& object) const
{
    const std::optional<QVariant> value = call(object, kAccessible, QStringLiteral("GetRoleName"));
    return value ? value->toString() : QString();
}

bool AtSpiDriver::hasState(const AtSpiObject& object, AtSpiState state) const
{
    const std::optional<QVariant> value = call(object, kAccessible, QStringLiteral("GetState"));
    if (!value)
        return false;
    // Two 32-bit words, the low word first.
    const QList<uint> words = qdbus_cast<QList<uint>>(marshalled(*value));
    const int bit = int(state);
    return words.size() > bit / 32 && (words.at(bit / 32) & (1u << (bit % 32))) != 0;
}

QRect AtSpiDriver::extents(const AtSpiObject& object) const
{
    // Coordinate type 0: the screen's.
    const std::optional<QVariant> value =
        call(object, QStringLiteral("org.a11y.atspi.Component"), QStringLiteral("GetExtents"), {0u});
    if (!value)
        return {};
    const QDBusArgument arg = marshalled(*value);
    if (arg.currentType() != QDBusArgument::StructureType)
        return {};
    int x = 0, y = 0, w = 0, h = 0;
    arg.beginStructure();
    arg >> x >> y >> w >> h;
    arg.endStructure();
    return {x, y, w, h};
}

QString AtSpiDriver::text(const AtSpiObject& object) const
{
    const std::optional<QVariant> value =
        call(object, QStringLiteral("org.a11y.atspi.Text"), QStringLiteral("GetText"), {0, -1});
    return value ? value->toString() : QString();
}

bool AtSpiDriver::setTextContents(const AtSpiObject& object, const QString& text) const
{
    const std::optional<QVariant> value = call(object, QStringLiteral("org.a11y.atspi.EditableText"),
                                               QStringLiteral("SetTextContents"), {text});
    return value && value->toBool();
}

QStringList AtSpiDriver::actionNames(const AtSpiObject& object) const
{
    QStringList names;
    const std::optional<QVariant> value =
        call(object, QStringLiteral("org.a11y.atspi.Action"), QStringLiteral("GetActions"));
    if (!value)
        return names;
    const QDBusArgument arg = marshalled(*value);
    if (arg.currentType() != QDBusArgument::ArrayType)
        return names;
    arg.beginArray();
    while (!arg.atEnd()) {
        QString name, description, keyBinding;
        arg.beginStructure();
        arg >> name >> description >> keyBinding;
        arg.endStructure();
        names.append(name);
    }
    arg.endArray();
    return names;
}

bool AtSpiDriver::doAction(const AtSpiObject& object, int index) const
{
    const std::optional<QVariant> value =
        call(object, QStringLiteral("org.a11y.atspi.Action"), QStringLiteral("DoAction"), {index});
    return value && value->toBool();
}

bool AtSpiDriver::doAction(const AtSpiObject& object, const QString& actionName) const
{
    const qsizetype index = actionNames(object).indexOf(actionName);
    return index >= 0 && doAction(object, int(index));
}

void AtSpiDriver::collect(const AtSpiObject& object, const Match& match, bool showingOnly, bool firstOnly,
                          QList<AtSpiObject>& into, int depth) const
{
    // Deep enough for any window of ours; a cycle in a broken tree ends here too.
    if (depth > 64 || (firstOnly && !into.isEmpty()))
        return;
    // The application object itself has no showing state; windows and what they hold do.
    if (showingOnly && depth > 0 && !hasState(object, AtSpiState::showing))
        return;
    if (match(*this, object)) {
        into.append(object);
        if (firstOnly)
            return;
    }
    for (const AtSpiObject& child : children(object))
        collect(child, match, showingOnly, firstOnly, into, depth + 1);
}

AtSpiObject AtSpiDriver::find(const AtSpiObject& root, const Match& match, bool showingOnly) const
{
    QList<AtSpiObject> found;
    collect(root, match, showingOnly, true, found, 0);
    return found.isEmpty() ? AtSpiObject{} : found.constFirst();
}

QList<AtSpiObject> AtSpiDriver::findAll(const AtSpiObject& root, const Match& match, bool showingOnly) const
{
    QList<AtSpiObject> found;
    collect(root, match, showingOnly, false, found, 0);
    return found;
}

AtSpiObject AtSpiDriver::find(const AtSpiObject& root, const QStringList& roles, const QString& name) const
{
    return find(root, [&](const AtSpiDriver& d, const AtSpiObject& o) {
        return d.name(o) == name && roles.contains(d.roleName(o));
    });
}

AtSpiObject AtSpiDriver::waitFor(const AtSpiObject& root, const QStringList& roles, const QString& name,
                                 int timeoutMs) const
{
    const QDeadlineTimer deadline(timeoutMs);
    do {
        const AtSpiObject found = find(root, roles, name);
        if (!found.isNull())
            return found;
        QTest::qWait(200);
    } while (!deadline.hasExpired());
    return {};
}

void AtSpiDriver::dumpInto(const AtSpiObject& object, int depth, int maxDepth, QString& out) const
{
    if (depth > maxDepth || (depth > 0 && !hasState(object, AtSpiState::showing)))
        return;
    out += QString(depth * 2, QLatin1Char(' ')) + roleName(object) + QStringLiteral(" \"") + name(object) +
           QStringLiteral("\"\n");
    for (const AtSpiObject& child : children(object))
        dumpInto(child, depth + 1, maxDepth, out);
}

QString AtSpiDriver::dump(const AtSpiObject& root, int maxDepth) const
{
    QString out;
    dumpInto(root, 0, maxDepth, out);
    return out;
}
