#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// Our own target window, run as a separate X client: the tests type into it and read its
// text back. Separate on purpose: it gets keyboard mapping changes, focus and input the
// way any other program on the desktop does.
class TargetWindow
{
  public:
    TargetWindow();
    ~TargetWindow();

    // Starts it with the given WM_CLASS class and waits until it has the focus.
    bool start(const QString& appClass = QStringLiteral("QuenvilTarget"), bool grabKeyboard = false);
    void stop();
    // The window's X id.
    quint64 window() const { return m_window; }
    qint64 pid() const { return m_process.processId(); }
    QString text() const;
    // True once text() equals `expected`; false after `timeoutMs` with anything else.
    bool waitForText(const QString& expected, int timeoutMs = 10000) const;
    // Makes it the active window again, and waits for that.
    bool activate() const;

  private:
    QTemporaryDir m_dir;
    QProcess m_process;
    quint64 m_window = 0;
};

// A real X client no one here wrote: xterm running `cat` with the terminal raw and
// silent, so every key it gets arrives byte for byte in a file.
class XTermTarget
{
  public:
    ~XTermTarget();
    bool start();
    void stop();
    QByteArray bytes() const;
    bool waitForBytes(const QByteArray& expected, int timeoutMs = 10000) const;
    quint64 window() const { return m_window; }
    bool activate() const;

  private:
    QTemporaryDir m_dir;
    QProcess m_process;
    quint64 m_window = 0;
};
