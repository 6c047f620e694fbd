#pragma once

#include <QApplication>
#include <QByteArray>
#include <QString>
#include <QTest>

// The X server an X11 test talks to. Under CTest that is the shared private server of
// the "xserver" fixture, whose DISPLAY and session bus address the fixture wrote to a
// file; a test binary run by hand without a display starts a private server of its own
// (stopped at exit). Nothing ever talks to a real desktop session's display unless the
// caller asks for it with DISPLAY set and QUENVIL_NEEDS_X unset.
namespace XServerEnvironment {

// Sets DISPLAY and DBUS_SESSION_BUS_ADDRESS. Call before the QApplication exists.
bool adopt();
QByteArray display();

} // namespace XServerEnvironment

// A server of one's own, for benchmarks and for tests that kill their server.
class PrivateXServer
{
  public:
    PrivateXServer();
    ~PrivateXServer();
    PrivateXServer(const PrivateXServer&) = delete;
    PrivateXServer& operator=(const PrivateXServer&) = delete;

    bool start();
    void stop();
    bool isRunning() const { return !m_display.isEmpty(); }
    QByteArray display() const { return m_display; }
    QByteArray busAddress() const { return m_bus; }

  private:
    QString m_envFile;
    QByteArray m_display;
    QByteArray m_bus;
};

// main() of an X11 test: the display first, then the application.
#define QUENVIL_X11_TEST_MAIN(TestObject)                                                                    \
    int main(int argc, char** argv)                                                                          \
    {                                                                                                        \
        if (!XServerEnvironment::adopt()) {                                                                  \
            qCritical("no X server for the test");                                                           \
            return 1;                                                                                        \
        }                                                                                                    \
        QApplication app(argc, argv);                                                                        \
        TestObject tc;                                                                                       \
        return QTest::qExec(&tc, argc, argv);                                                                \
    }
