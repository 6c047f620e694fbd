#pragma once

#include <QDBusConnection>
#include <QList>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <optional>

// An accessible object on the accessibility bus: the bus name of its program and its path.
struct AtSpiObject
{
    QString service;
    QString path;

    bool isNull() const
    {
        return service.isEmpty() || path.isEmpty() || path == QLatin1String("/org/a11y/atspi/null");
    }
    bool operator==(const AtSpiObject&) const = default;
};

// The states of AT-SPI's state set that tests ask about (numbered as the protocol does).
enum class AtSpiState
{
    active = 1,
    checked = 4,
    editable = 7,
    enabled = 8,
    focusable = 11,
    focused = 12,
    selectable = 22,
    selected = 23,
    sensitive = 24,
    showing = 25,
    visible = 30,
    checkable = 41,
};

// A client of the accessibility bus that drives another program as a screen reader or a
// voice-control tool does: it finds the program's objects by role and name, reads their
// names, states and places, sets texts and performs actions. The bus is the one the
// session bus's org.a11y.Bus names (the fixture's private session bus in tests). Every call
// is synchronous with a timeout, so a program that stops answering fails the test instead
// of hanging it.
class AtSpiDriver
{
  public:
    AtSpiDriver();
    ~AtSpiDriver();
    AtSpiDriver(const AtSpiDriver&) = delete;
    AtSpiDriver& operator=(const AtSpiDriver&) = delete;

    // Finds and connects to the accessibility bus (starting it may take a moment).
    bool connectToBus(int timeoutMs = 20000);
    bool isConnected() const { return m_bus.has_value(); }

    // The application object of the process `pid`, once its toolkit registered it with the
    // desktop's registry; a null object when it did not within the time.
    AtSpiObject application(qint64 pid, int timeoutMs = 20000) const;

    QList<AtSpiObject> children(const AtSpiObject& object) const;
    QString name(const AtSpiObject& object) const;
    QString description(const AtSpiObject& object) const;
    // The role as AT-SPI names it ("push button", "page tab", "text", "label", ...).
    QString roleName(const AtSpiObject& object) const;
    bool hasState(const AtSpiObject& object, AtSpiState state) const;
    // In screen coordinates; empty when the object has no Component interface.
    QRect extents(const AtSpiObject& object) const;

    // Text.GetText over the whole text.
    QString text(const AtSpiObject& object) const;
    // EditableText.SetTextContents, which toolkits carry out as a programmatic edit.
    bool setTextContents(const AtSpiObject& object, const QString& text) const;
    // The names of the object's actions, in the order DoAction numbers them.
    QStringList actionNames(const AtSpiObject& object) const;
    bool doAction(const AtSpiObject& object, int index) const;
    // Performs the action of that name; false when the object has none of that name.
    bool doAction(const AtSpiObject& object, const QString& actionName) const;

    using Match = std::function<bool(const AtSpiDriver&, const AtSpiObject&)>;
    // Depth first below `root` (itself included). Objects that are not showing, and what
    // is below them, are skipped unless `showingOnly` is false.
    AtSpiObject find(const AtSpiObject& root, const Match& match, bool showingOnly = true) const;
    QList<AtSpiObject> findAll(const AtSpiObject& root, const Match& match, bool showingOnly = true) const;
    // The first showing object of one of `roles` named exactly `name`.
    AtSpiObject find(const AtSpiObject& root, const QStringList& roles, const QString& name) const;
    // Polls find() until it finds the object or the time is up (the event loop runs between).
    AtSpiObject waitFor(const AtSpiObject& root, const QStringList& roles, const QString& name,
                        int timeoutMs = 10000) const;

    // The showing tree below `root`, one object a line, for failure messages.
    QString dump(const AtSpiObject& root, int maxDepth = 12) const;

  private:
    std::optional<QVariant> call(const AtSpiObject& object, const QString& interface, const QString& method,
                                 const QVariantList& args = {}) const;
    QVariant property(const AtSpiObject& object, const QString& interface, const QString& name) const;
    void collect(const AtSpiObject& object, const Match& match, bool showingOnly, bool firstOnly,
                 QList<AtSpiObject>& into, int depth) const;
    void dumpInto(const AtSpiObject& object, int depth, int maxDepth, QString& out) const;

    std::optional<QDBusConnection> m_bus;
    QString m_connectionName;
};
