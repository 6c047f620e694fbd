#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A text window of a toolkit no one here wrote, run as a separate X client: a Tk text
// widget (python3-tk) or a GTK 3 text view (python3-gi), both from tests/support/
// toolkit-target. The tests type into it and read its text back, as with TargetWindow.
class ToolkitTarget
{
  public:
    enum class Toolkit
    {
        Tk,
        Gtk
    };

    ~ToolkitTarget();
    // False when the toolkit's Python bindings are missing, or the window never got the
    // focus.
    bool start(Toolkit toolkit);
    void stop();
    // Whether the toolkit's bindings are installed.
    static bool available(Toolkit toolkit);

    quint64 window() const { return m_window; }
    QString text() const;
    bool waitForText(const QString& expected, int timeoutMs = 10000) const;
    // Empties the text without any key press, and waits for that.
    bool clear();
    // Makes it the active window again and waits until it has the focus.
    bool activate() const;

  private:
    QTemporaryDir m_dir;
    QProcess m_process;
    quint64 m_window = 0;
};
