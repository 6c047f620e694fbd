#pragma once

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <utility>

// The real application binary as an end-to-end test runs it: a throw-away home of its own
// (data, settings, the single-instance lock and HOME all inside it, so it never meets the
// user's files or another test's instance), on the test's X server, with its output on the
// test's own.
class AppUnderTest
{
  public:
    struct Options
    {
        // As with a screen reader running: Qt joins the accessibility bus only with the
        // desktop's accessibility on, or this.
        bool accessibility = false;
        // Set on top of the test's own environment (DISPLAY for another X server).
        QList<std::pair<QString, QString>> environment;
        QStringList arguments;
        // A program (and its arguments) to run the binary under, such as a debugger.
        QStringList wrapper;
    };

    // settings.json of a returning user who has seen the tour, with instant expansion and no
    // sound or HUD to wait for: the launch opens no window that would take the focus.
    static QByteArray returningUserSettings()
    {
        return R"({"soundEnabled":false,"hudEnabled":false,"expansionMode":"instant",)"
               R"("didLaunchBefore":true,"didCompleteOnboarding":true})";
    }

    AppUnderTest();
    ~AppUnderTest();
    AppUnderTest(const AppUnderTest&) = delete;
    AppUnderTest& operator=(const AppUnderTest&) = delete;

    bool isValid() const { return m_home.isValid(); }
    QString home() const { return m_home.path(); }
    // `relative` inside the home ("config/Quenvil/settings.json").
    QString path(const QString& relative) const { return m_home.filePath(relative); }
    // Writes a fixture file, making its folders; false when it could not be written.
    [[nodiscard]] bool writeFile(const QString& relative, const QByteArray& bytes) const;
    // The file's bytes, empty when it is missing.
    QByteArray readFile(const QString& relative) const;

    // Starts the instance that process() then holds (stopping one still running) and waits
    // for it to start; false when it did not.
    bool start(const Options& options);
    bool start();
    // Starts one more instance in the same home, as the user starting it again does; the
    // caller owns it.
    std::unique_ptr<QProcess> launch(const Options& options) const;
    std::unique_ptr<QProcess> launch() const;
    // Ends process()'s instance as the session does (terminate), killing it when it takes
    // longer than 5 s.
    void stop();
    QProcess* process() const { return m_process.get(); }

  private:
    QTemporaryDir m_home;
    std::unique_ptr<QProcess> m_process;
};
