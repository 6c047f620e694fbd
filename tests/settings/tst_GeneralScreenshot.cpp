// The General page laid out on a real X server, sounds on, an OpenAI back end chosen, usage
// recorded and a long excluded window class, at the settings window's smallest and usual size:
// nothing may overlap, be cut off or leave a field too narrow to use, scrolled from top to end.
// Each picture goes to the build folder for review.
#include "ai/AIVetter.h"
#include "ai/LearningEngine.h"
#include "ai/OnDeviceModel.h"
#include "ai/OpenAIClient.h"
#include "ai/ToneProfile.h"
#include "app/SettingsWindow.h"
#include "model/AppState.h"
#include "model/BackupManager.h"
#include "settings/AISettingsCard.h"
#include "settings/GeneralView.h"
#include "settings/SettingsRootView.h"
#include "ui/ThemedSecureField.h"

#include "../ai/ScriptedModel.h"
#include "FakeLaunchAtLogin.h"
#include "LayoutCheck.h"
#include "TestHome.h"
#include "XServerEnvironment.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include <memory>

namespace {

const QDateTime kNow = QDateTime(QDate(2025, 3, 1), QTime(9, 30), Qt::UTC);

} // namespace

class tst_GeneralScreenshot : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void generalPage_data();
    void generalPage();
};

void tst_GeneralScreenshot::generalPage_data()
{
    QTest::addColumn<QSize>("size");
    // The page's share of the settings window: the window less the sidebar and its rule.
    const int sidebar = SettingsRootView::sidebarWidth + 1;
    QTest::newRow("usual") << QSize(SettingsWindow::defaultWidth - sidebar, SettingsWindow::defaultHeight);
    QTest::newRow("smallest") << QSize(SettingsWindow::minimumWidth - sidebar, SettingsWindow::minimumHeight);
}

void tst_GeneralScreenshot::generalPage()
{
    QFETCH(QSize, size);
    TestHome home;
    AppState::Options o = home.storeOptions();
    o.deferSettingsWrites = false;
    o.clock = [] { return kNow; };
    AppState state(o);
    BackupManager::setClock([] { return kNow; });
    Snippet sig;
    sig.trigger = QStringLiteral(";sig");
    sig.content = QStringLiteral("Best");
    Snippet addr;
    addr.trigger = QStringLiteral(";addr");
    addr.content = QStringLiteral("1 Main St");
    state.setSnippets({sig, addr});
    for (int i = 0; i < 12; ++i)
        state.recordUsage(sig.id, QStringLiteral("firefox"));
    for (int i = 0; i < 5; ++i)
        state.recordUsage(addr.id, QStringLiteral("Gnome-terminal"));
    state.recordUsage(QUuid::createUuid(), QStringLiteral("thunderbird"));
    state.setStatCharsSaved(4200);
    state.setSoundEnabled(true);
    state.setAccessibilityGranted(false);
    state.setAiWritingBackend(AIBackend::openAI);
    state.setAiVettingBackend(AIBackend::onDevice);
    state.setSpellFixExcludedApps(
        {QStringLiteral("Gnome-terminal"),
         QStringLiteral("org.example.a-very-long-window-class-for-testing.Editor-with-a-plugin"),
         QStringLiteral("firefox")});
    BackupManager::backupNow();

    SavedLearning learned;
    for (int i = 0; i < 7; ++i)
        learned.samples.append(QStringLiteral("sample %1").arg(i));
    learned.toneProfile =
        QStringLiteral("You write short, friendly sentences and sign off with a first name.");
    QDir().mkpath(home.dataDir());
    TestHome::writeFile(home.dataFile("learning.json"), encodeLearning(learned));

    OpenAIClient client(state);
    AIVetter vetter(client);
    OnDeviceModel onDevice(state);
    LearningEngine engine(state, LearningEngine::Collaborators{});
    ScriptedModel model;
    ToneProfile tone(state, engine, model.access());
    FakeLaunchAtLogin launch;
    launch.enabled = true;
    GeneralPlatform platform;
    platform.launchAtLogin = &launch;
    GeneralView page(state, engine, vetter, tone, model.access(), &onDevice, platform);
    page.resize(size);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    page.aiCard()->keyField()->setText(QStringLiteral("sk-typed"));
    page.excludedField()->setText(QStringLiteral("org.example.another-long-window-class-being-typed"));
    const QString name = QStringLiteral("settings-general-%1").arg(QTest::currentDataTag());
    QUENVIL_VERIFY_LAYOUT(&page, name);
    QScrollBar* bar = page.scrollArea()->verticalScrollBar();
    for (int step = 1; bar->value() < bar->maximum(); ++step) {
        bar->setValue(bar->value() + page.scrollArea()->viewport()->height());
        QUENVIL_VERIFY_LAYOUT(&page, name + QStringLiteral("-%1").arg(step));
    }
    BackupManager::setClock({});
}

QUENVIL_X11_TEST_MAIN(tst_GeneralScreenshot)
#include "tst_GeneralScreenshot.moc"
