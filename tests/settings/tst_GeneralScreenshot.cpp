// The General page on a real X server, saved as PNGs in the build tree for a person to
// look at: sounds on, an OpenAI back end chosen, usage recorded. Only drawing is asserted.
#include "ai/AIVetter.h"
#include "ai/LearningEngine.h"
#include "ai/OnDeviceModel.h"
#include "ai/OpenAIClient.h"
#include "ai/ToneProfile.h"
#include "model/AppState.h"
#include "model/BackupManager.h"
#include "settings/AISettingsCard.h"
#include "settings/GeneralView.h"
#include "ui/ThemedSecureField.h"

#include "../ai/ScriptedModel.h"
#include "FakeLaunchAtLogin.h"
#include "TestHome.h"
#include "XServerEnvironment.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QScrollArea>
#include <QTest>

#include <memory>

namespace {

const QDateTime kNow = QDateTime(QDate(2025, 3, 1), QTime(9, 30), Qt::UTC);

bool save(QWidget& widget, const QString& name)
{
    QApplication::processEvents();
    const QPixmap shot = widget.grab();
    const QString path = QDir(QCoreApplication::applicationDirPath()).filePath(name);
    if (shot.isNull() || !shot.save(path))
        return false;
    qInfo("Page written to %s", qPrintable(path));
    return true;
}

} // namespace

class tst_GeneralScreenshot : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void generalPage();
};

void tst_GeneralScreenshot::generalPage()
{
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
    BackupManager::backupNow();

    SavedLearning learned;
    for (int i = 0; i < 7; ++i)
        learned.samples.append(QStringLiteral("sample %1").arg(i));
    learned.toneProfile = QStringLiteral("You write short, friendly sentences and sign off with a first name.");
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
    page.resize(900, 800);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    page.aiCard()->keyField()->setText(QStringLiteral("sk-typed"));
    QVERIFY(save(page, QStringLiteral("settings-general.png")));

    // The whole page, top to bottom, in one picture.
    QWidget* content = page.scrollArea()->widget();
    content->resize(content->width(), content->sizeHint().height());
    QVERIFY(save(*content, QStringLiteral("settings-general-full.png")));
    BackupManager::setClock({});
}

QUENVIL_X11_TEST_MAIN(tst_GeneralScreenshot)
#include "tst_GeneralScreenshot.moc"
