#pragma once

#include <QObject>
#include <QString>

// The application in front: the one whose window is active and receives the typing.
//
// An application is named by its application key, the class part of its window's
// WM_CLASS ("XTerm", "firefox", "Code"); the terminal and editor lists hold these
// names. window() is the active window itself (an opaque handle), which a panel keeps
// to give focus back to when it closes.
class FrontApp : public QObject
{
    Q_OBJECT
  public:
    using QObject::QObject;
    ~FrontApp() override = default;

    // Empty when no window is active or it has no class.
    virtual QString appKey() const = 0;
    // 0 when no window is active.
    virtual quint64 window() const = 0;
    // The active window belongs to this very process.
    virtual bool isOwnProcess() const = 0;
    // Gives the focus back to a remembered window; `time` is the timestamp of the user
    // action that asked for it, when known. False when the window is gone.
    virtual bool activate(quint64 window, quint32 time = 0) = 0;

  signals:
    // Every change of the active window, also between two windows of one application.
    void frontChanged(const QString& appKey);
};
