#pragma once

#include <QByteArray>
#include <QProcess>
#include <QSize>
#include <QString>
#include <QStringList>

#include <memory>

struct _XDisplay;

// Typing as the user: the tests' "user" is another program that fakes input with XTest,
// either xdotool or a connection of the test's own. Both are other clients to Quenvil,
// exactly like an on-screen keyboard.
namespace UserInput {

// Runs xdotool with the arguments and waits for it.
bool xdotool(const QStringList& args, int timeoutMs = 30000);
// Starts xdotool and returns at once; the caller waits for the process.
std::unique_ptr<QProcess> xdotoolAsync(const QStringList& args);
// xdotool type, with the given delay between keys in milliseconds (0: as fast as it can).
bool type(const QString& text, int delayMs = 12);
// xdotool key, one or more key specs ("ctrl+a", "Return").
bool key(const QStringList& specs);
bool click(int button);
bool activateWindow(quint64 window);

// What the user sees, asked of the X server with xdotool (on `display`, the fixture's when
// empty): the ids of the visible windows whose title matches the regular expression
// `titlePattern`, the active window's title, and a window's size (empty when unknown).
QStringList visibleWindows(const QString& titlePattern, const QString& display = {});
QString activeWindowName(const QString& display = {});
QSize windowSize(const QString& window, const QString& display = {});
// Visible windows titled exactly "Quenvil" that are larger than a tray icon.
QStringList visibleMainWindows(const QString& display = {});

// The core keyboard mapping, for before/after comparisons.
QByteArray keyboardMapping();

} // namespace UserInput

// Holds and releases keys through XTest on a connection of the test's own.
class XTestKeyboard
{
  public:
    XTestKeyboard();
    ~XTestKeyboard();
    bool isOpen() const { return m_display != nullptr; }
    void press(const char* keysymName);
    void release(const char* keysymName);

  private:
    _XDisplay* m_display = nullptr;
};

// Another client holding the keyboard through XInput 2, as GTK programs (password
// prompts among them) grab it, on a small window of its own.
class XI2KeyboardGrab
{
  public:
    XI2KeyboardGrab();
    ~XI2KeyboardGrab();
    bool grab();
    void release();

  private:
    _XDisplay* m_display = nullptr;
    unsigned long m_window = 0;
    int m_keyboard = 0;
};
