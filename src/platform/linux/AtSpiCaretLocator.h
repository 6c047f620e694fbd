#pragma once

#include "platform/CaretLocator.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>

// The caret over AT-SPI, the desktop's accessibility bus. The bus has no "what has the
// focus now" question, so the locator listens for focus changes
// (object:state-changed:focused) from the moment it connects and keeps the latest
// focused object; asked for the caret, it reads that object's caret offset and the
// screen extents of the character there. Each question is bounded by a short time-out,
// since a busy program answers late or never.
//
// Programs answer only when they expose accessibility: GTK programs do by default; Qt and
// Chromium-based ones only while the desktop's accessibility is on. For the others the
// caret is unknown.
class AtSpiCaretLocator : public QObject, public CaretLocator
{
    Q_OBJECT

  public:
    struct Options
    {
        // For the whole question, all calls together.
        int timeoutMs = 150;
    };

    // Finds the accessibility bus through the session bus; until then (or when there is
    // none) every question is answered with nothing.
    explicit AtSpiCaretLocator(QObject* parent = nullptr);
    AtSpiCaretLocator(Options options, QObject* parent = nullptr);
    // On a known accessibility bus.
    AtSpiCaretLocator(const QString& busAddress, Options options, QObject* parent = nullptr);
    ~AtSpiCaretLocator() override;

    void requestCaretRect(QObject* context, Answer done) override;

    bool isConnected() const { return m_bus.has_value(); }
    // The focused accessible as last reported (bus name and object path); empty when none.
    QString focusedService() const { return m_focusService; }
    QString focusedPath() const { return m_focusPath; }

  signals:
    void connected();
    void focusChanged();

  private slots:
    void onStateChanged(const QDBusMessage& message);

  private:
    struct Request;

    void findBus();
    void connectTo(const QString& address);
    void askCaretOffset(const std::shared_ptr<Request>& request);
    void askExtents(const std::shared_ptr<Request>& request, int offset, bool previous);

    Options m_options;
    std::optional<QDBusConnection> m_bus;
    QString m_connectionName;
    QString m_focusService;
    QString m_focusPath;
};
