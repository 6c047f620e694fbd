#pragma once

#include "platform/AccessibilityProbe.h"
#include "platform/x11/X11Connection.h"

#include <QByteArray>

#include <functional>
#include <memory>

// The trust check on X11. Keeps one connection; each check is one round trip on it, or
// a reconnection when the connection was lost.
class X11AccessibilityProbe : public AccessibilityProbe
{
  public:
    // `environment` reads an environment variable (tests pass their own).
    explicit X11AccessibilityProbe(QByteArray displayName,
                                   std::function<QByteArray(const char*)> environment = {});
    ~X11AccessibilityProbe() override;

    bool isTrusted() override;
    QString reason() const override { return m_reason; }

  private:
    bool isWaylandSession() const;
    bool checkExtensions();

    QByteArray m_displayName;
    std::function<QByteArray(const char*)> m_environment;
    std::unique_ptr<X11Connection> m_connection;
    QString m_reason;
};
