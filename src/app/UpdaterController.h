#pragma once

#include "app/Appcast.h"
#include "app/AppcastFetcher.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <functional>

class QDialog;
class SettingsStore;

// Checks for a newer Quenvil by reading the update feed (an appcast) when the user asks,
// and says what it found: up to date, a newer version with its release page to open, or
// why the check failed. Nothing is ever downloaded or run. Without a configured feed,
// checks are unavailable; while one runs, another cannot start.
class UpdaterController : public QObject
{
    Q_OBJECT

  public:
    // The setting that overrides the build's feed address when it holds a non-empty text.
    static inline const QString feedSettingKey = QStringLiteral("updateFeedURL");

    struct Options
    {
        // Empty: no feed, checks unavailable.
        QString feedAddress;
        QString currentVersion;
        AppcastFetcher::Limits limits;
        // Shows the outcome; unset: the outcome dialog.
        std::function<void(const UpdateCheckResult&)> present;
        // Opens the release page from the dialog; unset: the desktop's handler.
        std::function<void(const QUrl&)> openUrl;
    };

    // No feed: checks unavailable.
    explicit UpdaterController(QObject* parent = nullptr);
    explicit UpdaterController(Options options, QObject* parent = nullptr);
    ~UpdaterController() override;

    // The options of this build: its feed address (a build option), unless the settings
    // hold another, and its version.
    static Options buildOptions(SettingsStore& settings);
    // The setting when it holds a non-empty text, else the build's address.
    static QString configuredFeed(const QString& builtIn, SettingsStore& settings);

    static UpdaterController* shared();
    static void setShared(UpdaterController* controller);

    bool canCheckForUpdates() const { return m_canCheck; }
    bool isChecking() const { return m_fetcher != nullptr; }
    QString feedAddress() const { return m_options.feedAddress; }
    // The dialog showing the last outcome while it is open (default presentation only).
    QDialog* outcomeDialog() const { return m_dialog; }

    // Starts a check when one may start; the outcome arrives on the main thread.
    void checkForUpdates();

    // The small dialog that shows an outcome; "Open Release Page" (https pages only)
    // calls `openUrl`.
    static QDialog* makeOutcomeDialog(const UpdateCheckResult& result, std::function<void(const QUrl&)> openUrl,
                                      QWidget* parent = nullptr);

  Q_SIGNALS:
    void canCheckForUpdatesChanged(bool);
    void checkFinished(const UpdateCheckResult& result);

  private:
    void setCanCheck(bool can);
    void refreshCanCheck();
    void onFetched(const AppcastFetcher::Result& fetched);
    void present(const UpdateCheckResult& result);

    Options m_options;
    bool m_canCheck = false;
    QPointer<AppcastFetcher> m_fetcher;
    QPointer<QDialog> m_dialog;
};
