#pragma once

#include "platform/FrontApp.h"

#include <QHash>
#include <QList>

// The application in front, as the test says. bringToFront() changes it and emits the
// change signal; activate() records the request and brings that window back when the
// test registered it.
class FakeFrontApp : public FrontApp
{
    Q_OBJECT
  public:
    using FrontApp::FrontApp;

    QString appKey() const override { return m_appKey; }
    quint64 window() const override { return m_window; }
    bool isOwnProcess() const override { return m_own; }
    bool activate(quint64 window, quint32 time = 0) override;

    // A window of an application; `own`: it belongs to this process.
    void addWindow(quint64 window, const QString& appKey, bool own = false);
    void bringToFront(quint64 window);

    QList<quint64> activations;
    // Like a window manager that takes its time: activate() only records the request.
    bool deferActivation = false;

  private:
    struct Window
    {
        QString appKey;
        bool own = false;
    };
    QHash<quint64, Window> m_windows;
    QString m_appKey;
    quint64 m_window = 0;
    bool m_own = false;
};
