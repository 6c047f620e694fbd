#include "app/UpdaterController.h"

#include "model/SettingsStore.h"
#include "ui/PillButton.h"
#include "ui/Theme.h"
#include "ui/ThemedLabel.h"

#include <QDesktopServices>
#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

// Set by the build (see the top-level QUENVIL_UPDATE_FEED_URL option).
#ifndef QUENVIL_UPDATE_FEED_URL
#define QUENVIL_UPDATE_FEED_URL ""
#endif
#ifndef QUENVIL_VERSION
#define QUENVIL_VERSION "0"
#endif

namespace {
QPointer<UpdaterController> g_shared;
}

UpdaterController::UpdaterController(QObject* parent) : UpdaterController(Options{}, parent)
{
}

UpdaterController::UpdaterController(Options options, QObject* parent)
    : QObject(parent), m_options(std::move(options))
{
    m_options.feedAddress = m_options.feedAddress.trimmed();
    refreshCanCheck();
}

UpdaterController::~UpdaterController()
{
    delete m_fetcher;
    if (m_dialog)
        m_dialog->deleteLater();
}

UpdaterController::Options UpdaterController::buildOptions(SettingsStore& settings)
{
    Options o;
    o.feedAddress = configuredFeed(QStringLiteral(QUENVIL_UPDATE_FEED_URL), settings);
    o.currentVersion = QStringLiteral(QUENVIL_VERSION);
    return o;
}

QString UpdaterController::configuredFeed(const QString& builtIn, SettingsStore& settings)
{
    const std::optional<QString> stored = settings.stringValue(feedSettingKey);
    if (stored && !stored->trimmed().isEmpty())
        return stored->trimmed();
    return builtIn.trimmed();
}

UpdaterController* UpdaterController::shared()
{
    return g_shared;
}

void UpdaterController::setShared(UpdaterController* controller)
{
    g_shared = controller;
}

void UpdaterController::setCanCheck(bool can)
{
    if (m_canCheck == can)
        return;
    m_canCheck = can;
    Q_EMIT canCheckForUpdatesChanged(can);
}

void UpdaterController::refreshCanCheck()
{
    setCanCheck(!m_options.feedAddress.isEmpty() && !m_fetcher);
}

void UpdaterController::checkForUpdates()
{
    if (!m_canCheck)
        return;
    auto* fetcher = new AppcastFetcher(m_options.limits, this);
    m_fetcher = fetcher;
    connect(fetcher, &AppcastFetcher::finished, this, &UpdaterController::onFetched);
    refreshCanCheck();
    fetcher->fetch(QUrl(m_options.feedAddress));
}

void UpdaterController::onFetched(const AppcastFetcher::Result& fetched)
{
    if (m_fetcher)
        m_fetcher->deleteLater();
    m_fetcher = nullptr;
    const UpdateCheckResult result = fetched.ok ? Appcast::evaluate(fetched.body, m_options.currentVersion)
                                                : UpdateCheckResult::failure(fetched.error, m_options.currentVersion);
    refreshCanCheck();
    Q_EMIT checkFinished(result);
    present(result);
}

void UpdaterController::present(const UpdateCheckResult& result)
{
    if (m_options.present) {
        m_options.present(result);
        return;
    }
    if (m_dialog)
        m_dialog->close();
    const auto open = m_options.openUrl ? m_options.openUrl : [](const QUrl& url) { QDesktopServices::openUrl(url); };
    m_dialog = makeOutcomeDialog(result, open);
    m_dialog->setAttribute(Qt::WA_DeleteOnClose);
    m_dialog->show();
    m_dialog->raise();
    m_dialog->activateWindow();
}

QDialog* UpdaterController::makeOutcomeDialog(const UpdateCheckResult& result, std::function<void(const QUrl&)> openUrl,
                                              QWidget* parent)
{
    QString title;
    QString body;
    bool offerPage = false;
    switch (result.kind) {
    case UpdateCheckResult::Kind::upToDate:
        title = QStringLiteral("You're up to date");
        body = QStringLiteral("Quenvil %1 is the newest version available.").arg(result.currentVersion);
        break;
    case UpdateCheckResult::Kind::updateAvailable:
        title = QStringLiteral("A new version of Quenvil is available");
        body = QStringLiteral("Quenvil %1 is available — you have %2.").arg(result.latestVersion, result.currentVersion);
        // Only an https page is ever opened; anything else is not offered at all.
        offerPage = result.releasePage.isValid() && result.releasePage.scheme() == QLatin1String("https");
        body += offerPage ? QStringLiteral(" Its release page tells you how to get it.")
                          : QStringLiteral(" The update feed names no secure release page to open.");
        break;
    case UpdateCheckResult::Kind::error:
        title = QStringLiteral("Couldn't check for updates");
        body = result.error;
        break;
    }

    auto* dialog = new QDialog(parent);
    dialog->setWindowTitle(QStringLiteral("Software Update"));
    dialog->setAutoFillBackground(true);
    dialog->setPalette(Theme::darkPalette(Theme::sidebar()));
    dialog->setFixedWidth(420);
    auto* stack = new QVBoxLayout(dialog);
    stack->setContentsMargins(24, 24, 24, 24);
    stack->setSpacing(16);
    QLabel* heading = makeThemedLabel(title, Theme::systemFont(15, QFont::DemiBold), Theme::textPrimary(), dialog);
    heading->setObjectName(QStringLiteral("updateTitle"));
    heading->setWordWrap(true);
    stack->addWidget(heading);
    // Plain text: versions and errors come from the feed.
    QLabel* text = makeThemedLabel(body, Theme::systemFont(12.5), Theme::textSecondary(), dialog);
    text->setObjectName(QStringLiteral("updateText"));
    text->setWordWrap(true);
    stack->addWidget(text);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    if (offerPage) {
        auto* later = new PillButton(QStringLiteral("Not Now"), {}, false, dialog);
        later->setAccessibleName(later->title());
        QObject::connect(later, &QAbstractButton::clicked, dialog, &QDialog::reject);
        buttons->addWidget(later);
        auto* openPage = new PillButton(QStringLiteral("Open Release Page"), {}, true, dialog);
        openPage->setAccessibleName(openPage->title());
        const QUrl page = result.releasePage;
        QObject::connect(openPage, &QAbstractButton::clicked, dialog, [dialog, page, openUrl] {
            if (openUrl)
                openUrl(page);
            dialog->accept();
        });
        buttons->addWidget(openPage);
        openPage->setFocus();
    } else {
        auto* ok = new PillButton(QStringLiteral("OK"), {}, true, dialog);
        ok->setAccessibleName(ok->title());
        QObject::connect(ok, &QAbstractButton::clicked, dialog, &QDialog::accept);
        buttons->addWidget(ok);
        ok->setFocus();
    }
    stack->addLayout(buttons);
    return dialog;
}
