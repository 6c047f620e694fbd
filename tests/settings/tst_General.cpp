// The General page and its AI card against a temporary store, the real learning engine,
// vetter and tone profile, a scripted AI back end and fakes for the desktop services.
#include "ai/AIVetter.h"
#include "ai/LearningEngine.h"
#include "ai/OnDeviceModel.h"
#include "ai/OpenAIClient.h"
#include "ai/ToneProfile.h"
#include "engine/Notifier.h"
#include "engine/SoundPlayer.h"
#include "model/AppState.h"
#include "model/BackupManager.h"
#include "platform/SoundOutput.h"
#include "settings/AISettingsCard.h"
#include "settings/AISettingsLogic.h"
#include "settings/GeneralLogic.h"
#include "settings/GeneralView.h"
#include "ui/AccentToggle.h"
#include "ui/Card.h"
#include "ui/ExcludedAppChip.h"
#include "ui/PillButton.h"
#include "ui/SettingRow.h"
#include "ui/ThemedSecureField.h"
#include "ui/ThemedTextField.h"

#include "../ai/ScriptedModel.h"
#include "AccessibleEdit.h"
#include "FakeHttpServer.h"
#include "FakeLaunchAtLogin.h"
#include "FakeSecureInput.h"
#include "TestHome.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QJsonValue>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include <cmath>
#include <limits>
#include <memory>

using namespace GeneralLogic;
using namespace AISettingsLogic;

namespace {

const QDateTime kNow = QDateTime(QDate(2025, 3, 1), QTime(9, 30), Qt::UTC);

class RecordingSound : public SoundOutput
{
  public:
    void playEvent(const QString& id) override { played.append(id); }
    QStringList played;
};

Snippet snippet(const QString& trigger)
{
    Snippet s;
    s.trigger = trigger;
    s.content = QStringLiteral("content");
    return s;
}

// Every file under `root` with its bytes, to see that nothing was written.
QMap<QString, QByteArray> snapshot(const QString& root)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::Dirs | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(path, QFileInfo(path).isDir() ? QByteArray("<dir>") : TestHome::readFile(path));
    }
    return files;
}

bool visible(QWidget* w)
{
    return w->isVisibleTo(w->window());
}

} // namespace

class tst_General : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void init();
    void cleanup();

    void togglesWriteAndFollowTheirSetting_data();
    void togglesWriteAndFollowTheirSetting();
    void pickersWriteAndFollowTheirSetting();
    void openingThePageWritesNothing();
    void everySymbolIsDrawn();

    void permissionCard();
    void timingSubtitle_data();
    void timingSubtitle();
    void soundRows();

    void typingSpeed_data();
    void typingSpeed();
    void stepperStaysInRange();
    void topLists();
    void topListsKeepRowsByPosition();

    void excludedApps();
    void backups();
    void backupFailure();
    void launchAtLogin();

    void aiCardVisibility_data();
    void aiCardVisibility();
    void toneBlockStates_data();
    void toneBlockStates();
    void toneBlockOnThePage();
    void keySavedAndRemoved();
    void keyRefused_data();
    void keyRefused();
    void keyFieldSetsSecureInput();
    void onDeviceServer();
    void onDeviceStatusFollowsTheServer();
    void onDeviceFieldsTakeAccessibleEdits();

  private:
    GeneralView& page()
    {
        if (!m_page) {
            GeneralPlatform platform;
            platform.launchAtLogin = &m_launch;
            platform.secureInput = &m_secure;
            platform.revealFolder = [this](const QString& folder) { m_revealed.append(folder); };
            m_page = std::make_unique<GeneralView>(*m_state, *m_engine, *m_vetter, *m_tone, m_model.access(),
                                                   m_onDevice.get(), platform);
            m_page->resize(900, 900);
            m_page->show();
            QApplication::processEvents();
        }
        return *m_page;
    }
    AISettingsCard& card() { return *page().aiCard(); }
    void seedLearning(int samples, std::optional<QString> profile)
    {
        SavedLearning s;
        for (int i = 0; i < samples; ++i)
            s.samples.append(QStringLiteral("sample %1").arg(i));
        s.toneProfile = profile;
        QDir().mkpath(m_home->dataDir());
        TestHome::writeFile(m_home->dataFile("learning.json"), encodeLearning(s));
        m_page.reset();
        m_tone.reset();
        m_engine = std::make_unique<LearningEngine>(*m_state, LearningEngine::Collaborators{});
        m_tone = std::make_unique<ToneProfile>(*m_state, *m_engine, m_model.access());
    }

    std::unique_ptr<TestHome> m_home;
    std::unique_ptr<AppState> m_state;
    std::unique_ptr<OpenAIClient> m_client;
    std::unique_ptr<AIVetter> m_vetter;
    std::unique_ptr<OnDeviceModel> m_onDevice;
    std::unique_ptr<LearningEngine> m_engine;
    std::unique_ptr<ToneProfile> m_tone;
    std::unique_ptr<GeneralView> m_page;
    ScriptedModel m_model;
    FakeLaunchAtLogin m_launch;
    FakeSecureInput m_secure;
    RecordingSound m_sound;
    QStringList m_revealed;
    QList<QUrl> m_opened;
};

void tst_General::init()
{
    m_home = std::make_unique<TestHome>();
    AppState::Options o = m_home->storeOptions();
    o.deferSettingsWrites = false;
    o.clock = [] { return kNow; };
    m_state = std::make_unique<AppState>(o);
    m_state->setSnippets({});
    BackupManager::setClock([] { return kNow; });
    m_client = std::make_unique<OpenAIClient>(*m_state);
    m_vetter = std::make_unique<AIVetter>(*m_client);
    m_onDevice = std::make_unique<OnDeviceModel>(*m_state);
    m_model = ScriptedModel();
    m_launch = FakeLaunchAtLogin();
    m_revealed.clear();
    m_opened.clear();
    m_sound.played.clear();
    SoundPlayer::setOutput(&m_sound);
    Notifier::setUrlOpener([this](const QUrl& url) { m_opened.append(url); });
    seedLearning(0, std::nullopt);
}

void tst_General::cleanup()
{
    m_page.reset();
    m_tone.reset();
    m_engine.reset();
    m_onDevice.reset();
    m_vetter.reset();
    m_client.reset();
    m_state.reset();
    m_home.reset();
    SoundPlayer::setOutput(nullptr);
    Notifier::setUrlOpener({});
    BackupManager::setClock({});
}

// Controls and settings ----------------------------------------------------------------------

void tst_General::togglesWriteAndFollowTheirSetting_data()
{
    QTest::addColumn<QString>("name");
    for (const char* name : {"Enable Quenvil", "Suggest snippets as I type", "Allow script snippets",
                             "Show on-screen confirmation", "Play sound on expansion", "Also play on spell fixes",
                             "Learn from my typing", "Use my writing style"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void tst_General::togglesWriteAndFollowTheirSetting()
{
    QFETCH(QString, name);
    struct Binding
    {
        bool (AppState::*get)() const;
        void (AppState::*set)(bool);
        QString key;
    };
    const QHash<QString, Binding> bindings{
        {"Enable Quenvil", {&AppState::masterEnabled, &AppState::setMasterEnabled, "masterEnabled"}},
        {"Suggest snippets as I type",
         {&AppState::inlineSuggestionsEnabled, &AppState::setInlineSuggestionsEnabled, "inlineSuggestionsEnabled"}},
        {"Allow script snippets",
         {&AppState::scriptSnippetsEnabled, &AppState::setScriptSnippetsEnabled, "scriptSnippetsEnabled"}},
        {"Show on-screen confirmation", {&AppState::hudEnabled, &AppState::setHudEnabled, "hudEnabled"}},
        {"Play sound on expansion", {&AppState::soundEnabled, &AppState::setSoundEnabled, "soundEnabled"}},
        {"Also play on spell fixes",
         {&AppState::correctionSoundEnabled, &AppState::setCorrectionSoundEnabled, "correctionSoundEnabled"}},
        {"Learn from my typing", {&AppState::learningEnabled, &AppState::setLearningEnabled, "learningEnabled"}},
        {"Use my writing style", {&AppState::useToneProfile, &AppState::setUseToneProfile, "useToneProfile"}},
    };
    const Binding b = bindings.value(name);
    AppState& s = *m_state;
    m_state->setSoundEnabled(true); // so its sub-rows are on screen
    (s.*b.set)(false);
    AccentToggle* t = nullptr;
    for (AccentToggle* candidate : page().findChildren<AccentToggle*>()) {
        if (candidate->accessibleName() == name)
            t = candidate;
    }
    QVERIFY(t);
    QVERIFY(!t->isOn());
    // Shows the stored value when it changes elsewhere, and writes what the user clicks.
    (s.*b.set)(true);
    QVERIFY(t->isOn());
    QTest::mouseClick(t, Qt::LeftButton);
    QVERIFY(!(s.*b.get)());
    QCOMPARE(m_state->settings().value(b.key), QJsonValue(false));
    QTest::mouseClick(t, Qt::LeftButton);
    QVERIFY((s.*b.get)());
}

void tst_General::pickersWriteAndFollowTheirSetting()
{
    GeneralView& p = page();
    // Expansion timing.
    QCOMPARE(p.timingPicker()->current(), 0);
    p.timingPicker()->segment(1)->click();
    QCOMPARE(m_state->expansionMode(), ExpansionMode::delimiter);
    QCOMPARE(m_state->settings().stringValue("expansionMode").value_or(QString()), QStringLiteral("delimiter"));
    m_state->setExpansionMode(ExpansionMode::instant);
    QCOMPARE(p.timingPicker()->current(), 0);

    // The three back ends, each to each of its values.
    struct Picker
    {
        SegmentedPicker* picker;
        AIBackend (AppState::*get)() const;
        const char* key;
    };
    const QList<Picker> pickers{{card().writingPicker(), &AppState::aiWritingBackend, "aiWritingBackend"},
                                {card().vettingPicker(), &AppState::aiVettingBackend, "aiVettingBackend"},
                                {card().learningPicker(), &AppState::aiLearningBackend, "aiLearningBackend"}};
    for (const Picker& pk : pickers) {
        QCOMPARE(pk.picker->count(), 3);
        for (int i : {2, 1, 0}) {
            QCOMPARE(pk.picker->segment(i)->text(), backendLabel(backends().at(i)));
            pk.picker->segment(i)->click();
            QCOMPARE(((*m_state).*pk.get)(), backends().at(i));
            QCOMPARE(m_state->settings().stringValue(pk.key).value_or(QString()), toRaw(backends().at(i)));
        }
    }
    m_state->setAiVettingBackend(AIBackend::openAI);
    QCOMPARE(card().vettingPicker()->current(), 2);

    // The sound: the fourteen names, in order.
    QComboBox* sound = p.soundPicker();
    QCOMPARE(sound->count(), 14);
    QCOMPARE(sound->itemText(0), QStringLiteral("Basso"));
    QCOMPARE(sound->itemText(13), QStringLiteral("Tink"));
    QCOMPARE(sound->currentText(), QStringLiteral("Pop"));
    sound->setCurrentIndex(5);
    Q_EMIT sound->activated(5);
    QCOMPARE(m_state->soundName(), QStringLiteral("Glass"));
    m_state->setSoundName(QStringLiteral("Tink"));
    QCOMPARE(sound->currentText(), QStringLiteral("Tink"));
    // A name of our own is shown as it is, and left alone.
    m_state->setSoundName(QStringLiteral("Custom"));
    QCOMPARE(sound->currentText(), QStringLiteral("Custom"));
    QCOMPARE(m_state->soundName(), QStringLiteral("Custom"));
}

void tst_General::openingThePageWritesNothing()
{
    // Values the controls cannot all show: a sound outside the list, a speed out of range.
    m_state->setSoundName(QStringLiteral("Custom"));
    m_state->setTypingWPM(std::numeric_limits<double>::quiet_NaN());
    m_state->setAiVettingBackend(AIBackend::openAI);
    m_state->setExpansionMode(ExpansionMode::delimiter);
    m_state->setSpellFixExcludedApps({"Code", "Code"});
    QApplication::processEvents();
    const auto before = snapshot(m_home->root());
    QList<std::shared_ptr<QSignalSpy>> spies;
    const auto spy = [&](auto signal) { spies.append(std::make_shared<QSignalSpy>(m_state.get(), signal)); };
    spy(&AppState::masterEnabledChanged);
    spy(&AppState::expansionModeChanged);
    spy(&AppState::soundNameChanged);
    spy(&AppState::soundEnabledChanged);
    spy(&AppState::typingWPMChanged);
    spy(&AppState::spellFixExcludedAppsChanged);
    spy(&AppState::aiVettingBackendChanged);
    spy(&AppState::aiWritingBackendChanged);
    spy(&AppState::useToneProfileChanged);
    spy(&AppState::showOnboardingChanged);
    spy(&AppState::learningEnabledChanged);

    GeneralView& p = page();
    QTest::qWait(20);
    // Clicking what is already chosen writes nothing either.
    p.timingPicker()->segment(1)->click();
    card().vettingPicker()->segment(2)->click();
    for (const auto& spy : spies)
        QCOMPARE(spy->count(), 0);
    QCOMPARE(snapshot(m_home->root()), before);
    QVERIFY(m_launch.requests.isEmpty());
    QCOMPARE(p.wpmLabel()->text(), QStringLiteral("40 WPM"));
}

void tst_General::everySymbolIsDrawn()
{
    for (const char* name :
         {"exclamationmark.shield", "play.fill", "terminal", "plus", "arrow.down.doc", "folder", "sparkles",
          "checkmark.circle.fill", "exclamationmark.circle", "trash", "key.fill"})
        QVERIFY2(GeneralSymbols::canDraw(QString::fromLatin1(name)), name);
    QVERIFY(!GeneralSymbols::canDraw(QStringLiteral("no.such.symbol")));
}

// Blocks ------------------------------------------------------------------------------------

void tst_General::permissionCard()
{
    m_state->setAccessibilityGranted(false);
    GeneralView& p = page();
    QVERIFY(visible(p.permissionCard()));
    QCOMPARE(p.openHelpButton()->title(), QStringLiteral("Open Help"));
    p.openHelpButton()->click();
    QCOMPARE(m_opened.size(), 1);
    QCOMPARE(m_opened.first(), Notifier::accessibilitySettingsURL());
    m_state->setAccessibilityGranted(true);
    QVERIFY(!visible(p.permissionCard()));
    m_state->setAccessibilityGranted(false);
    QVERIFY(visible(p.permissionCard()));
}

void tst_General::timingSubtitle_data()
{
    QTest::addColumn<ExpansionMode>("mode");
    QTest::addColumn<QString>("subtitle");
    QTest::newRow("instant") << ExpansionMode::instant
                             << "Expands the moment the last character of a trigger is typed.";
    QTest::newRow("delimiter") << ExpansionMode::delimiter
                               << "Expands after a space, tab, or punctuation follows the trigger.";
}

void tst_General::timingSubtitle()
{
    QFETCH(ExpansionMode, mode);
    QFETCH(QString, subtitle);
    m_state->setExpansionMode(mode == ExpansionMode::instant ? ExpansionMode::delimiter : ExpansionMode::instant);
    GeneralView& p = page();
    m_state->setExpansionMode(mode);
    QCOMPARE(p.timingRow()->subtitle(), subtitle);
}

void tst_General::soundRows()
{
    m_state->setCorrectionSoundEnabled(true);
    m_state->setSoundName(QStringLiteral("Glass"));
    GeneralView& p = page();
    QVERIFY(visible(p.soundRows()));
    p.previewButton()->click();
    QTRY_COMPARE(m_sound.played, QStringList{SoundPlayer::eventId(QStringLiteral("Glass"))});

    QTest::mouseClick(p.soundToggle(), Qt::LeftButton);
    QVERIFY(!m_state->soundEnabled());
    QVERIFY(!visible(p.soundRows()));
    QVERIFY(m_state->correctionSoundEnabled());
    m_state->setSoundEnabled(true);
    QVERIFY(visible(p.soundRows()));
    QVERIFY(p.correctionSoundToggle()->isOn());
}

// Statistics ---------------------------------------------------------------------------------

void tst_General::typingSpeed_data()
{
    QTest::addColumn<double>("stored");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("canSlow");
    QTest::addColumn<bool>("canSpeed");
    const double inf = std::numeric_limits<double>::infinity();
    QTest::newRow("default") << 40.0 << "40 WPM" << true << true;
    QTest::newRow("fraction dropped") << 42.9 << "42 WPM" << true << true;
    QTest::newRow("lowest") << 10.0 << "10 WPM" << false << true;
    QTest::newRow("highest") << 200.0 << "200 WPM" << true << false;
    QTest::newRow("huge") << 1e300 << "200 WPM" << true << false;
    QTest::newRow("negative") << -5.0 << "10 WPM" << false << true;
    QTest::newRow("infinite") << inf << "200 WPM" << true << false;
    QTest::newRow("minus infinite") << -inf << "10 WPM" << false << true;
    QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN() << "40 WPM" << true << true;
}

void tst_General::typingSpeed()
{
    QFETCH(double, stored);
    QFETCH(QString, text);
    QFETCH(bool, canSlow);
    QFETCH(bool, canSpeed);
    m_state->setTypingWPM(stored);
    GeneralView& p = page();
    QCOMPARE(p.wpmLabel()->text(), text);
    QCOMPARE(p.wpmStepper()->downButton()->isEnabled(), canSlow);
    QCOMPARE(p.wpmStepper()->upButton()->isEnabled(), canSpeed);
    // The stored value is left as it is until the user steps.
    QVERIFY(std::isnan(stored) ? std::isnan(m_state->typingWPM()) : m_state->typingWPM() == stored);
}

void tst_General::stepperStaysInRange()
{
    m_state->setTypingWPM(40);
    m_state->setStatCharsSaved(6000);
    GeneralView& p = page();
    QCOMPARE(p.speedRow()->subtitle(), QStringLiteral("Used for the time-saved estimate (30m so far)."));
    p.wpmStepper()->upButton()->click();
    QCOMPARE(m_state->typingWPM(), 45.0);
    QCOMPARE(p.wpmLabel()->text(), QStringLiteral("45 WPM"));
    QCOMPARE(p.speedRow()->subtitle(), QStringLiteral("Used for the time-saved estimate (26m so far)."));
    p.wpmStepper()->downButton()->click();
    p.wpmStepper()->downButton()->click();
    QCOMPARE(m_state->typingWPM(), 35.0);
    m_state->setTypingWPM(12);
    p.wpmStepper()->downButton()->click();
    QCOMPARE(m_state->typingWPM(), 10.0);
    QVERIFY(!p.wpmStepper()->downButton()->isEnabled());
    m_state->setTypingWPM(1e300);
    p.wpmStepper()->downButton()->click();
    QCOMPARE(m_state->typingWPM(), 195.0);
    QCOMPARE(steppedWPM(198, +1), 200.0);
    QCOMPARE(steppedWPM(42.5, +1), 47.5);
    QCOMPARE(steppedWPM(-1e9, -1), 10.0);
}

void tst_General::topLists()
{
    GeneralView& p = page();
    // Nothing recorded: the sentence instead of the columns.
    QVERIFY(visible(p.noUsageLabel()));
    QVERIFY(!visible(p.topLists()));

    QList<Snippet> list;
    const QList<int> counts{9, 7, 7, 5, 3, 1};
    for (int i = 0; i < counts.size(); ++i)
        list.append(snippet(QStringLiteral(";s%1").arg(i)));
    m_state->setSnippets(list);
    for (int i = 0; i < counts.size(); ++i) {
        for (int n = 0; n < counts.at(i); ++n)
            m_state->recordUsage(list.at(i).id, QString());
    }
    QVERIFY(!visible(p.noUsageLabel()));
    QVERIFY(visible(p.topLists()));
    const QStringList labels = p.topSnippetsColumn()->labels();
    QCOMPARE(labels.size(), 5);
    QCOMPARE(labels.at(0), QStringLiteral(";s0"));
    QCOMPARE(QSet<QString>(labels.begin() + 1, labels.begin() + 3), (QSet<QString>{";s1", ";s2"}));
    QCOMPARE(labels.mid(3), (QStringList{";s3", ";s4"}));
    QCOMPARE(p.topSnippetsColumn()->counts(), (QStringList{"\u00D79", "\u00D77", "\u00D77", "\u00D75", "\u00D73"}));
    // Only one list has entries: both columns show, the empty one a dash.
    QVERIFY(!p.topSnippetsColumn()->showsDash());
    QVERIFY(p.topAppsColumn()->showsDash());

    // A deleted snippet keeps its count under "(deleted)".
    list.removeFirst();
    m_state->setSnippets(list);
    QCOMPARE(p.topSnippetsColumn()->labels().first(), QStringLiteral("(deleted)"));
    QCOMPARE(p.topSnippetsColumn()->counts().first(), QStringLiteral("\u00D79"));

    m_state->recordUsage(list.first().id, QStringLiteral("firefox"));
    QCOMPARE(p.topAppsColumn()->labels(), QStringList{QStringLiteral("firefox")});
    QVERIFY(!p.topAppsColumn()->showsDash());
}

void tst_General::topListsKeepRowsByPosition()
{
    // Two deleted snippets are two rows, and a raw trigger is shown without its group's prefix.
    SnippetGroup g;
    g.name = QStringLiteral("G");
    g.triggerPrefix = QStringLiteral("x");
    m_state->setGroups({g});
    Snippet member = snippet(QStringLiteral("mail"));
    member.groupID = g.id;
    m_state->setSnippets({member});
    const QUuid goneA = QUuid::createUuid(), goneB = QUuid::createUuid();
    for (int n = 0; n < 3; ++n)
        m_state->recordUsage(goneA, QString());
    for (int n = 0; n < 2; ++n)
        m_state->recordUsage(goneB, QString());
    m_state->recordUsage(member.id, QString());
    const QList<TopRow> rows = topSnippets(m_state->usageBySnippet(), m_state->snippets());
    QCOMPARE(rows, (QList<TopRow>{{"(deleted)", 3}, {"(deleted)", 2}, {"mail", 1}}));
    QCOMPARE(page().topSnippetsColumn()->labels(), (QStringList{"(deleted)", "(deleted)", "mail"}));
    QCOMPARE(page().topSnippetsColumn()->counts(), (QStringList{"\u00D73", "\u00D72", "\u00D71"}));
}

// App behaviour, backups, launch at login -----------------------------------------------------

void tst_General::excludedApps()
{
    m_state->setSpellFixExcludedApps({"Code", "kitty", "Code"});
    GeneralView& p = page();
    QCOMPARE(p.chips().size(), 3);
    ExcludedAppChip* kitty = p.chips().at(1);

    p.excludedField()->setText(QStringLiteral(" \tfirefox  "));
    p.addExcludedButton()->click();
    QCOMPARE(m_state->spellFixExcludedApps(), (QStringList{"Code", "kitty", "Code", "firefox"}));
    QCOMPARE(m_state->settings().stringListValue("spellFixExcludedApps").value_or(QStringList()),
             m_state->spellFixExcludedApps());
    QCOMPARE(p.excludedField()->text(), QString());
    QCOMPARE(p.chips().size(), 4);
    QCOMPARE(p.chips().at(1), kitty); // kept, not rebuilt

    // Already listed, or blank: nothing happens and the field keeps its text.
    for (const QString& typed : {QStringLiteral("firefox "), QStringLiteral(" \t ")}) {
        p.excludedField()->setText(typed);
        p.addExcludedButton()->click();
        QCOMPARE(p.excludedField()->text(), typed);
        QCOMPARE(m_state->spellFixExcludedApps().size(), 4);
    }
    // Another letter case is another entry.
    p.excludedField()->setText(QStringLiteral("Firefox"));
    p.addExcludedButton()->click();
    QCOMPARE(m_state->spellFixExcludedApps().last(), QStringLiteral("Firefox"));

    // A chip's cross removes every equal entry.
    p.chips().at(0)->removeButton()->click();
    QApplication::processEvents();
    QCOMPARE(m_state->spellFixExcludedApps(), (QStringList{"kitty", "firefox", "Firefox"}));
    QCOMPARE(p.chips().size(), 3);
    QCOMPARE(p.chips().at(0), kitty);
}

void tst_General::backups()
{
    GeneralView& p = page();
    const QString folder = m_home->dataDir() + QStringLiteral("/Backups");
    const QString shown = homeRelative(folder);
    QCOMPARE(*p.backupRow()->subtitle(),
             QStringLiteral("Snippets, corrections, and learning data are copied once a day into ") + shown +
                 QStringLiteral(" (newest 14 kept). Last backup: never."));
    QVERIFY(p.backupRow()->subtitle()->endsWith(QStringLiteral(" kept). Last backup: never.")));

    p.backUpNowButton()->click();
    QVERIFY(QFileInfo(folder + QStringLiteral("/2025-03-01")).isDir());
    QVERIFY(!visible(p.backupProblem()));
    QVERIFY(p.backupRow()->subtitle()->endsWith(QStringLiteral("Last backup: ") +
                                                QLocale().toString(QDate(2025, 3, 1), QLocale::ShortFormat) +
                                                QStringLiteral(".")));
    p.showBackupsButton()->click();
    QCOMPARE(m_revealed, QStringList{folder});

    QCOMPARE(homeRelative(QDir::homePath() + QStringLiteral("/.local/share/Quenvil/Backups")),
             QStringLiteral("~/.local/share/Quenvil/Backups"));
    QCOMPARE(homeRelative(QStringLiteral("/srv/data")), QStringLiteral("/srv/data"));
}

void tst_General::backupFailure()
{
    // An older backup, and today's copy cannot be made: the page says so instead of
    // showing the old date as if it were new.
    const QString backups = m_home->dataDir() + QStringLiteral("/Backups");
    QVERIFY(QDir().mkpath(backups + QStringLiteral("/2025-02-20")));
    GeneralView& p = page();
    const QString before = *p.backupRow()->subtitle();
    BackupManager::setClock([] { return QDateTime(); }); // no usable date: no backup is made
    p.backUpNowButton()->click();
    QVERIFY(visible(p.backupProblem()));
    QCOMPARE(p.backupProblem()->text(), QStringLiteral("Backup failed"));
    QCOMPARE(*p.backupRow()->subtitle(), before);
    QVERIFY(!backupSucceeded(QDate(2025, 2, 20), QDate(2025, 3, 1)));
    QVERIFY(!backupSucceeded(std::nullopt, QDate(2025, 3, 1)));
    QVERIFY(backupSucceeded(QDate(2025, 3, 1), QDate(2025, 3, 1)));
}

void tst_General::launchAtLogin()
{
    m_launch.enabled = true;
    GeneralView& p = page();
    QVERIFY(p.launchToggle()->isOn());
    QTest::mouseClick(p.launchToggle(), Qt::LeftButton);
    QCOMPARE(m_launch.requests, QList<bool>{false});
    QVERIFY(!p.launchToggle()->isOn());

    // A refused request: the switch shows the real state again.
    m_launch.refuse = true;
    QTest::mouseClick(p.launchToggle(), Qt::LeftButton);
    QCOMPARE(m_launch.requests, (QList<bool>{false, true}));
    QVERIFY(!p.launchToggle()->isOn());
}

// The AI card ---------------------------------------------------------------------------------

void tst_General::aiCardVisibility_data()
{
    QTest::addColumn<AIBackend>("writing");
    QTest::addColumn<AIBackend>("vetting");
    QTest::addColumn<AIBackend>("learning");
    QTest::addColumn<bool>("useTone");
    QTest::addColumn<bool>("toneShown");
    QTest::addColumn<bool>("keyShown");
    const auto off = AIBackend::off, local = AIBackend::onDevice, openAI = AIBackend::openAI;
    QTest::newRow("all off") << off << off << off << true << false << false;
    QTest::newRow("only vetting OpenAI") << off << openAI << off << true << false << true;
    QTest::newRow("only templates OpenAI") << off << off << openAI << true << false << true;
    QTest::newRow("writing on-device") << local << off << off << true << true << false;
    QTest::newRow("writing OpenAI") << openAI << local << local << true << true << true;
    QTest::newRow("writing style off") << openAI << off << off << false << false << true;
}

void tst_General::aiCardVisibility()
{
    QFETCH(AIBackend, writing);
    QFETCH(AIBackend, vetting);
    QFETCH(AIBackend, learning);
    QFETCH(bool, useTone);
    QFETCH(bool, toneShown);
    QFETCH(bool, keyShown);
    seedLearning(2, QStringLiteral("You write briefly.")); // a profile exists in every row
    AISettingsCard& c = card();
    m_state->setAiWritingBackend(writing);
    m_state->setAiVettingBackend(vetting);
    m_state->setAiLearningBackend(learning);
    m_state->setUseToneProfile(useTone);
    QCOMPARE(visible(c.toneBlock()), toneShown);
    QCOMPARE(visible(c.keyBlock()), keyShown);
    if (keyShown) {
        // No key stored: the secure field and a dimmed, clickable "Save key".
        QVERIFY(visible(c.keyEntry()));
        QVERIFY(!visible(c.keySaved()));
        QCOMPARE(c.saveKeyButton()->opacity(), 0.4);
        QVERIFY(c.saveKeyButton()->isEnabled());
    }
}

void tst_General::toneBlockStates_data()
{
    QTest::addColumn<int>("samples");
    QTest::addColumn<bool>("hasProfile");
    QTest::addColumn<bool>("ready");
    QTest::addColumn<bool>("building");
    QTest::addColumn<QString>("title");
    QTest::addColumn<bool>("prominent");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QString>("text");

    const QString build = QStringLiteral("Build profile"), refresh = QStringLiteral("Refresh profile"),
                  busy = QStringLiteral("Building\u2026");
    const auto none = [](int n) {
        return QStringLiteral("No profile yet \u2014 keep typing. %1/5 writing samples gathered (all on-device).")
            .arg(n);
    };
    QTest::newRow("few samples, not ready") << 3 << false << false << false << build << true << false << none(3);
    QTest::newRow("few samples, ready") << 4 << false << true << false << build << true << false << none(4);
    QTest::newRow("enough, not ready") << 5 << false << false << false << build << true << false << none(5);
    QTest::newRow("enough and ready") << 5 << false << true << false << build << true << true << none(5);
    QTest::newRow("building") << 6 << false << true << true << busy << true << false << none(6);
    QTest::newRow("profile") << 7 << true << true << false << refresh << false << true << "from 7 samples";
    QTest::newRow("profile, rebuilding") << 7 << true << true << true << busy << false << false << "from 7 samples";
    QTest::newRow("profile, not ready") << 9 << true << false << false << refresh << false << false
                                        << "from 9 samples";
}

void tst_General::toneBlockStates()
{
    QFETCH(int, samples);
    QFETCH(bool, hasProfile);
    QFETCH(bool, ready);
    QFETCH(bool, building);
    QFETCH(QString, title);
    QFETCH(bool, prominent);
    QFETCH(bool, enabled);
    QFETCH(QString, text);
    const ToneBlock b = toneBlock({true, AIBackend::onDevice, samples, hasProfile, ready, building});
    QVERIFY(b.shown);
    QCOMPARE(b.buttonTitle, title);
    QCOMPARE(b.prominent, prominent);
    QCOMPARE(b.enabled, enabled);
    QCOMPARE(b.opacity, enabled ? 1.0 : 0.4);
    QCOMPARE(hasProfile ? b.sampleCount : b.emptyText, text);
}

void tst_General::toneBlockOnThePage()
{
    // On-device writing with the model unavailable: shown, "Build profile", dimmed, disabled.
    seedLearning(3, std::nullopt);
    m_model.ready[AIBackend::onDevice] = false;
    m_state->setAiWritingBackend(AIBackend::onDevice);
    AISettingsCard& c = card();
    QVERIFY(visible(c.toneBlock()));
    QCOMPARE(c.toneButton()->title(), QStringLiteral("Build profile"));
    QVERIFY(c.toneButton()->isProminent());
    QVERIFY(!c.toneButton()->isEnabled());
    QCOMPARE(c.toneButton()->opacity(), 0.4);
    QCOMPARE(c.noProfileLabel()->text(),
             QStringLiteral("No profile yet \u2014 keep typing. 3/5 writing samples gathered (all on-device)."));

    // Enough samples and a ready back end: building, then the profile box.
    seedLearning(6, std::nullopt);
    m_model.ready[AIBackend::onDevice] = true;
    m_model.hold = true;
    m_model.fallback = QStringLiteral("You write <b>short</b>, friendly notes.");
    AISettingsCard& d = card();
    QVERIFY(d.toneButton()->isEnabled());
    d.toneButton()->click();
    QCOMPARE(d.toneButton()->title(), QStringLiteral("Building\u2026"));
    QVERIFY(!d.toneButton()->isEnabled());
    QVERIFY(m_model.releaseOne());
    QTRY_VERIFY(visible(d.profileLabel()));
    QCOMPARE(d.profileLabel()->text(), QStringLiteral("You write <b>short</b>, friendly notes."));
    QCOMPARE(d.profileLabel()->textFormat(), Qt::PlainText);
    QCOMPARE(d.toneButton()->title(), QStringLiteral("Refresh profile"));
    QVERIFY(!d.toneButton()->isProminent());
    QCOMPARE(d.sampleCountLabel()->text(), QStringLiteral("from 6 samples"));
    QVERIFY(!visible(d.noProfileLabel()));
}

void tst_General::keySavedAndRemoved()
{
    m_state->setAiVettingBackend(AIBackend::openAI);
    AISettingsCard& c = card();
    QCOMPARE(c.saveKeyButton()->opacity(), 0.4);
    QTest::keyClicks(c.keyField(), QStringLiteral("  sk-test-123  "));
    QCOMPARE(c.saveKeyButton()->opacity(), 1.0);
    c.saveKeyButton()->click();
    QVERIFY(m_vetter->hasKey());
    QCOMPARE(AIVetter::loadKey(), QStringLiteral("sk-test-123"));
    QCOMPARE(c.keyField()->text(), QString());
    QVERIFY(visible(c.keySaved()));
    QVERIFY(!visible(c.keyEntry()));
    QVERIFY(!visible(c.keyProblem()));

    // Switching every back end away from OpenAI hides the row and keeps the key.
    m_state->setAiVettingBackend(AIBackend::off);
    QVERIFY(!visible(c.keyBlock()));
    QVERIFY(m_vetter->hasKey());
    m_state->setAiWritingBackend(AIBackend::openAI);
    c.removeKeyButton()->click();
    QVERIFY(!m_vetter->hasKey());
    QVERIFY(!QFile::exists(AIVetter::keyFilePath()));
    QVERIFY(visible(c.keyEntry()));

    // Blanks: the field is emptied, nothing is stored, no message.
    c.keyField()->setText(QStringLiteral("   "));
    c.saveKey();
    QCOMPARE(c.keyField()->text(), QString());
    QVERIFY(!m_vetter->hasKey());
    QVERIFY(!visible(c.keyProblem()));
}

void tst_General::keyRefused_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("fileBlocked");
    QTest::addColumn<QString>("reason");
    QTest::newRow("control character") << QStringLiteral("sk-ab\u0007cd") << false << "ASCII";
    QTest::newRow("non-ASCII") << QStringLiteral("sk-\u00E9t\u00E9") << false << "ASCII";
    QTest::newRow("write error") << QStringLiteral("sk-good") << true << "could not be written";
}

void tst_General::keyRefused()
{
    QFETCH(QString, key);
    QFETCH(bool, fileBlocked);
    QFETCH(QString, reason);
    if (fileBlocked)
        QVERIFY(QDir().mkpath(AIVetter::keyFilePath())); // a folder where the key file goes
    m_state->setAiWritingBackend(AIBackend::openAI);
    AISettingsCard& c = card();
    c.keyField()->setText(key);
    c.saveKeyButton()->click();
    QVERIFY(!m_vetter->hasKey());
    QCOMPARE(c.keyField()->text(), key);
    QVERIFY(visible(c.keyEntry()));
    QVERIFY(visible(c.keyProblem()));
    QVERIFY2(c.keyProblem()->text().contains(reason), qPrintable(c.keyProblem()->text()));
    QVERIFY(!c.keyProblem()->text().contains(key));
}

void tst_General::keyFieldSetsSecureInput()
{
    m_state->setAiWritingBackend(AIBackend::openAI);
    GeneralView& p = page();
    QApplication::setActiveWindow(&p);
    QVERIFY(QTest::qWaitForWindowActive(&p));
    card().keyField()->setFocus();
    QTRY_VERIFY(m_secure.isActive());
    p.excludedField()->setFocus();
    QTRY_VERIFY(!m_secure.isActive());
    // Focused when the page goes away: secure input does not stay on.
    card().keyField()->setFocus();
    QTRY_VERIFY(m_secure.isActive());
    m_page.reset();
    QVERIFY(!m_secure.isActive());
}

void tst_General::onDeviceServer()
{
    AISettingsCard& c = card();
    QCOMPARE(c.statusLabel()->text(), QStringLiteral("Unavailable"));
    QCOMPARE(*c.onDeviceRow()->subtitle(),
             onDeviceSubtitle(OnDeviceModel::statusText(OnDeviceModel::Status::notConfigured)));
    QVERIFY(c.onDeviceRow()->subtitle()->endsWith(QStringLiteral("Set up an on-device model server in Settings.")));

    // An address off this computer is refused with a line, and not stored.
    c.serverField()->setText(QStringLiteral("http://192.168.1.5:8080"));
    Q_EMIT c.serverField()->editingFinished();
    QVERIFY(visible(c.addressProblem()));
    QCOMPARE(m_onDevice->serverURL(), QString());
    QVERIFY(m_state->settings().value(OnDeviceModel::serverURLKey()).isUndefined());
    QCOMPARE(c.serverField()->text(), QStringLiteral("http://192.168.1.5:8080"));

    c.serverField()->setText(QStringLiteral(" http://127.0.0.1:11434 "));
    Q_EMIT c.serverField()->editingFinished();
    QVERIFY(!visible(c.addressProblem()));
    QCOMPARE(m_state->settings().stringValue(OnDeviceModel::serverURLKey()).value_or(QString()),
             QStringLiteral("http://127.0.0.1:11434"));
    c.modelField()->setText(QStringLiteral("llama3.2"));
    Q_EMIT c.modelField()->editingFinished();
    QCOMPARE(m_state->settings().stringValue(OnDeviceModel::modelKey()).value_or(QString()), QStringLiteral("llama3.2"));

    QVERIFY(!addressProblem(QStringLiteral("http://localhost:8080")));
    QVERIFY(!addressProblem(QString()));
    QVERIFY(addressProblem(QStringLiteral("http://localhost.example.com")));
    QVERIFY(addressProblem(QStringLiteral("file:///tmp/socket")));
}

void tst_General::onDeviceFieldsTakeAccessibleEdits()
{
    AISettingsCard& c = card();
    page().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&page()));
    // Keys are taken when the user is done with the field, not at every stroke.
    c.serverField()->setFocus();
    QTRY_VERIFY(c.serverField()->hasFocus());
    QTest::keyClicks(c.serverField(), QStringLiteral("http://127.0.0.1:8080"));
    QCOMPARE(m_onDevice->serverURL(), QString());
    QTest::keyClick(c.serverField(), Qt::Key_Return);
    QCOMPARE(m_onDevice->serverURL(), QStringLiteral("http://127.0.0.1:8080"));
    c.serverField()->clearFocus();

    // An assistive tool sets the whole text without the keyboard: a finished edit at once.
    QVERIFY(AccessibleEdit::setText(c.serverField(), QStringLiteral("http://10.0.0.1:8080")));
    QVERIFY(visible(c.addressProblem()));
    QCOMPARE(m_onDevice->serverURL(), QStringLiteral("http://127.0.0.1:8080"));
    QVERIFY(AccessibleEdit::setText(c.serverField(), QStringLiteral("http://127.0.0.1:9090")));
    QVERIFY(!visible(c.addressProblem()));
    QCOMPARE(m_onDevice->serverURL(), QStringLiteral("http://127.0.0.1:9090"));
    QVERIFY(AccessibleEdit::setText(c.modelField(), QStringLiteral("qwen2.5")));
    QCOMPARE(m_onDevice->modelName(), QStringLiteral("qwen2.5"));
}

void tst_General::onDeviceStatusFollowsTheServer()
{
    FakeHttpServer server;
    server.setReply("/v1/models", FakeHttpServer::Reply::json(200, R"({"data":[{"id":"llama3.2"}]})"));
    AISettingsCard& c = card();
    QCOMPARE(c.statusLabel()->text(), QStringLiteral("Unavailable"));
    m_onDevice->setServerURL(server.baseURL());
    m_onDevice->setModelName(QStringLiteral("llama3.2"));
    QTRY_COMPARE(c.statusLabel()->text(), QStringLiteral("Ready"));
    QCOMPARE(c.statusSymbol()->symbol(), QStringLiteral("checkmark.circle.fill"));
    QCOMPARE(*c.onDeviceRow()->subtitle(), onDeviceSubtitle(QStringLiteral("On-device model ready")));
}

QTEST_MAIN(tst_General)
#include "tst_General.moc"
