#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

// The accessible objects of some program on a test's own accessibility bus. Subclasses
// answer the questions; this announces focus changes the way toolkits do.
class FakeAccessibleProgram : public QDBusVirtualObject
{
  public:
    explicit FakeAccessibleProgram(QDBusConnection bus) : m_bus(bus) {}

    QString introspect(const QString&) const override { return {}; }

    // object:state-changed:focused for the object at `path`.
    void focus(const QString& path, bool gained)
    {
        QDBusMessage signal = QDBusMessage::createSignal(path, QStringLiteral("org.a11y.atspi.Event.Object"),
                                                         QStringLiteral("StateChanged"));
        signal << QStringLiteral("focused") << int(gained) << 0 << QVariant::fromValue(QDBusVariant(0))
               << QVariantMap();
        m_bus.send(signal);
    }

  protected:
    QDBusConnection m_bus;
};

// Collects the answers of an asynchronous question, in order; the recorder object is the
// context whose lifetime the asker checks.
template <typename T>
struct AnswerRecorder : QObject
{
    QList<std::optional<T>> got;
    std::function<void(std::optional<T>)> recorder()
    {
        return [this](std::optional<T> answer) { got.append(answer); };
    }
};
