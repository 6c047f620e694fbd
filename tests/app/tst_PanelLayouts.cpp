// The settings window, the onboarding tour and the panels laid out on a real X server, at their
// smallest and their usual size and with the long texts users put in them: nothing may overlap,
// be cut off or leave a field too narrow to use. Each picture goes to the build folder.
#include "ai/AIRewritePanel.h"
#include "ai/AIVetter.h"
#include "ai/CandidateVetting.h"
#include "ai/LearningEngine.h"
#include "ai/OnDeviceModel.h"
#include "ai/OpenAIClient.h"
#include "ai/PhraseTemplates.h"
#include "ai/ToneProfile.h"
#include "app/Appcast.h"
#include "app/InlineSearchPanel.h"
#include "app/OnboardingView.h"
#include "app/QuickCapturePanel.h"
#include "app/SettingsWindow.h"
#include "app/UpdaterController.h"
#include "engine/FillInForm.h"
#include "engine/SuggestionPopup.h"
#include "library/SnippetsView.h"
#include "model/AppState.h"
#include "settings/CorrectionsView.h"
#include "settings/GeneralView.h"
#include "settings/SettingsRootView.h"
#include "settings/SuggestionsView.h"
#include "ui/PillButton.h"
#include "ui/ThemedTextField.h"

#include "../ai/ScriptedModel.h"
#include "FakeLaunchAtLogin.h"
#include "LayoutCheck.h"
#include "TestHome.h"
#include "XServerEnvironment.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QListView>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

const QString kLongTrigger = QStringLiteral(";a-really-long-trigger-that-somebody-typed-without-spaces");
const QString kLongContent =
    QStringLiteral("Dear customer, thank you for writing to us about your order. We are looking into it and "
                   "will get back to you within two working days with an answer.\n")
        .repeated(4);

// Presses the button of `root` whose title is `title`.
bool press(QWidget* root, const QString& title)
{
    for (QAbstractButton* b : root->findChildren<QAbstractButton*>()) {
        const QVariant t = b->property("title");
        if (b->isVisible() && (t.isValid() ? t.toString() : b->text()) == title) {
            b->click();
            QApplication::processEvents();
            return true;
        }
    }
    return false;
}

} // namespace

class tst_PanelLayouts : public QObject
{
    Q_OBJECT

  private slots:
    void init();
    void cleanup();
    void settingsWindow_data();
    void settingsWindow();
    void onboarding_data();
    void onboarding();
    void inlineSearch_data();
    void inlineSearch();
    void quickCapture_data();
    void quickCapture();
    void rewritePanel_data();
    void rewritePanel();
    void fillInForm_data();
    void fillInForm();
    void updateDialog_data();
    void updateDialog();
    void suggestionPopup_data();
    void suggestionPopup();

  private:
    std::unique_ptr<TestHome> m_home;
    std::unique_ptr<AppState> m_state;
};

void tst_PanelLayouts::init()
{
    m_home = std::make_unique<TestHome>();
    m_state = std::make_unique<AppState>(m_home->storeOptions());
}

void tst_PanelLayouts::cleanup()
{
    m_state.reset();
    m_home.reset();
}

void tst_PanelLayouts::settingsWindow_data()
{
    LayoutCheck::addSizeAndTextRows();
}

void tst_PanelLayouts::settingsWindow()
{
    QFETCH(bool, smallest);
    QFETCH(bool, longTexts);
    if (longTexts) {
        // Files that could not be read: the sidebar lists what the store did with them, the
        // kept copy's whole path included.
        QDir().mkpath(m_home->dataDir());
        QDir().mkpath(QFileInfo(m_home->settingsPath()).path());
        TestHome::writeFile(m_home->settingsPath(), "{");
        TestHome::writeFile(m_home->dataFile("groups.json"), "[{");
        m_state = std::make_unique<AppState>(m_home->storeOptions());
        m_state->setGroups({});
        QVERIFY(m_state->notices().size() >= 2);
        m_state->setAccessibilityGranted(true);
        m_state->pause(24 * 60 - 1);
        m_state->setStatExpansions(9'876'543'210);
        m_state->setStatCorrections(1'234'567'890);
        m_state->setStatCharsSaved(987'654'321'098);
        m_state->setTypingWPM(40);
    }
    m_state->settings().setBool(QStringLiteral("didCompleteOnboarding"), true);
    Snippet sig;
    sig.trigger = longTexts ? kLongTrigger : QStringLiteral(";sig");
    sig.content = longTexts ? kLongContent : QStringLiteral("Best");
    m_state->setSnippets({sig});

    OpenAIClient client(*m_state);
    AIVetter vetter(client);
    OnDeviceModel onDevice(*m_state);
    LearningEngine learning(*m_state, LearningEngine::Collaborators{});
    ScriptedModel model;
    CandidateVetting vetting(*m_state, learning, vetter, model.access());
    PhraseTemplates templates(*m_state, learning, model.access());
    ToneProfile tone(*m_state, learning, model.access());
    FakeLaunchAtLogin launch;
    GeneralPlatform platform;
    platform.launchAtLogin = &launch;

    auto* root = new SettingsRootView(*m_state, &learning);
    root->setPageFactory([&](SettingsTab tab, QWidget* parent) -> QWidget* {
        switch (tab) {
        case SettingsTab::snippets:
            return new SnippetsView(*m_state, parent);
        case SettingsTab::corrections:
            return new CorrectionsView(*m_state, parent);
        case SettingsTab::suggestions:
            return new SuggestionsView(*m_state, learning, vetter, vetting, templates, model.access(),
                                       &onDevice, parent);
        case SettingsTab::general:
            return new GeneralView(*m_state, learning, vetter, tone, model.access(), &onDevice, platform,
                                   parent);
        }
        return nullptr;
    });
    SettingsWindow window(root);
    if (smallest)
        window.resize(window.minimumSize());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.size(), smallest ? QSize(SettingsWindow::minimumWidth, SettingsWindow::minimumHeight)
                                     : QSize(SettingsWindow::defaultWidth, SettingsWindow::defaultHeight));
    QVERIFY(!root->onboardingSheet());
    if (longTexts) {
        QVERIFY(root->statusText().startsWith(QStringLiteral("Paused until ")));
        QVERIFY(!root->noticesText().isEmpty());
    }
    for (SettingsTab tab : SettingsTabs::allCases()) {
        root->setTab(tab);
        QUENVIL_VERIFY_LAYOUT(&window, QStringLiteral("main-%1-%2")
                                           .arg(SettingsTabs::title(tab).toLower().replace(' ', '-'))
                                           .arg(QTest::currentDataTag()));
    }
}

void tst_PanelLayouts::onboarding_data()
{
    QTest::addColumn<int>("step");
    QTest::addColumn<bool>("variant");
    // The sheet has one size: its smallest is its usual one.
    QTest::newRow("welcome") << int(OnboardingFlow::welcome) << false;
    QTest::newRow("permission, waiting with the probe's reason") << int(OnboardingFlow::permission) << false;
    QTest::newRow("permission, granted") << int(OnboardingFlow::permission) << true;
    QTest::newRow("try it") << int(OnboardingFlow::tryIt) << false;
    QTest::newRow("try it, expanded") << int(OnboardingFlow::tryIt) << true;
    QTest::newRow("make it yours") << int(OnboardingFlow::makeItYours) << false;
    QTest::newRow("make it yours, long trigger taken") << int(OnboardingFlow::makeItYours) << true;
}

void tst_PanelLayouts::onboarding()
{
    QFETCH(int, step);
    QFETCH(bool, variant);
    Snippet taken;
    taken.trigger = kLongTrigger;
    taken.content = QStringLiteral("x");
    m_state->setSnippets({taken});
    m_state->setAccessibilityGranted(step != OnboardingFlow::permission || variant);
    const QString reason = QStringLiteral(
        "No X display could be reached: Quenvil needs an X11 session, or applications running on XWayland, "
        "with the RECORD, XTEST and XKB extensions the display at :0 does not offer.");
    OnboardingView sheet(*m_state, [reason] { return reason; });
    sheet.show();
    QVERIFY(QTest::qWaitForWindowExposed(&sheet));
    if (step >= OnboardingFlow::permission)
        QVERIFY(press(&sheet, QStringLiteral("Get started")));
    if (step >= OnboardingFlow::tryIt)
        QVERIFY(press(&sheet, QStringLiteral("Continue")));
    if (step == OnboardingFlow::tryIt && variant)
        m_state->setStatExpansions(m_state->statExpansions() + 1);
    if (step >= OnboardingFlow::makeItYours) {
        QVERIFY(press(&sheet, QStringLiteral("Skip for now")));
        if (variant) {
            auto* field = sheet.findChild<ThemedTextField*>();
            QVERIFY(field);
            field->setText(kLongTrigger);
            sheet.findChildren<QPlainTextEdit*>().first()->setPlainText(kLongContent);
        }
    }
    QCOMPARE(sheet.step(), step);
    QCOMPARE(sheet.size(), QSize(OnboardingView::sheetWidth, OnboardingView::sheetHeight));
    QUENVIL_VERIFY_LAYOUT(&sheet, QStringLiteral("onboarding-%1").arg(QTest::currentDataTag()));
}

void tst_PanelLayouts::inlineSearch_data()
{
    QTest::addColumn<QString>("query");
    QTest::newRow("many results") << QString();
    QTest::newRow("long trigger and content") << QStringLiteral("customer");
    QTest::newRow("no results") << QStringLiteral(
        "zzz-nothing-matches-this-query-at-all-anywhere-in-the-list");
}

void tst_PanelLayouts::inlineSearch()
{
    QFETCH(QString, query);
    QList<Snippet> library;
    Snippet long_;
    long_.trigger = kLongTrigger;
    long_.content = kLongContent;
    library.append(long_);
    for (int i = 0; i < 40; ++i) {
        Snippet s;
        s.trigger = QStringLiteral(";n%1").arg(i);
        s.content = QStringLiteral("Note %1: a line\nand another").arg(i);
        library.append(s);
    }
    InlineSearchModel model;
    model.load(library);
    InlineSearchPanel panel(model);
    panel.showAt(QPoint(40, 40));
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    panel.searchField()->setText(query);
    model.setQuery(query);
    QCOMPARE(panel.showsEmptyState(), model.results().isEmpty());
    QUENVIL_VERIFY_LAYOUT(&panel, QStringLiteral("inline-search-%1").arg(QTest::currentDataTag()));
}

void tst_PanelLayouts::quickCapture_data()
{
    QTest::addColumn<QString>("selection");
    QTest::addColumn<QString>("trigger");
    QTest::newRow("short") << QStringLiteral("Best,\nAda") << QStringLiteral(";sig");
    QTest::newRow("long selection, long trigger, conflict") << kLongContent << kLongTrigger;
}

void tst_PanelLayouts::quickCapture()
{
    QFETCH(QString, selection);
    QFETCH(QString, trigger);
    Snippet taken;
    taken.trigger = trigger;
    taken.content = QStringLiteral("x");
    m_state->setSnippets({taken});
    QuickCapturePanel panel(selection, m_state->triggerIndex());
    panel.showCenteredIn({});
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    panel.triggerField()->setText(trigger);
    QVERIFY(panel.conflictLabel()->isVisible());
    QUENVIL_VERIFY_LAYOUT(&panel, QStringLiteral("quick-capture-%1").arg(QTest::currentDataTag()));
}

void tst_PanelLayouts::rewritePanel_data()
{
    QTest::addColumn<QString>("selection");
    QTest::addColumn<QString>("instruction");
    QTest::newRow("short") << QStringLiteral("teh quick brown fox") << QString();
    QTest::newRow("long selection and instruction")
        << kLongContent
        << QStringLiteral(
               "Translate this into Spanish and keep the tone friendly but professional throughout");
    QTest::newRow("one long word") << QString(200, QLatin1Char('w')) << QString();
}

void tst_PanelLayouts::rewritePanel()
{
    QFETCH(QString, selection);
    QFETCH(QString, instruction);
    QStringList presets{QStringLiteral("Improve the writing"),   QStringLiteral("Fix spelling and grammar"),
                        QStringLiteral("Make it more concise"),  QStringLiteral("Make it more formal"),
                        QStringLiteral("Make it more friendly"), QStringLiteral("Summarize it"),
                        QStringLiteral("Rewrite in my voice")};
    AIRewritePanel panel(selection, presets);
    panel.showCentered();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    panel.customField()->setText(instruction);
    // The preview shows at most three lines by design; the rest of it is the selection's.
    LayoutCheck::Options options;
    options.mayElide = {QStringLiteral("selectionPreview")};
    QUENVIL_VERIFY_LAYOUT(&panel, QStringLiteral("rewrite-%1").arg(QTest::currentDataTag()), options);
}

void tst_PanelLayouts::fillInForm_data()
{
    QTest::addColumn<bool>("longTexts");
    QTest::newRow("short") << false;
    QTest::newRow("long labels, defaults and choices") << true;
}

void tst_PanelLayouts::fillInForm()
{
    QFETCH(bool, longTexts);
    const auto field = [](const QString& label, const QString& value, const QStringList& options = {}) {
        FillInController::Field f;
        f.id = QUuid::createUuid();
        f.label = label;
        f.defaultValue = value;
        f.options = options;
        return f;
    };
    QList<FillInController::Field> fields;
    if (longTexts) {
        fields = {field(QStringLiteral("Name of the customer who wrote to us about the delayed order"),
                        QStringLiteral("Ada Lovelace of the Analytical Engine Company, Ltd., London")),
                  field(QStringLiteral("Order"), QString(120, QLatin1Char('9'))),
                  field(QStringLiteral("How we will make it up to the customer"), {},
                        {QStringLiteral("A full refund of the order and of its shipping costs"),
                         QStringLiteral("A replacement"), QStringLiteral("Nothing")}),
                  field(QStringLiteral("Tone"), {}, {QStringLiteral("Friendly"), QStringLiteral("Formal")})};
    } else {
        fields = {field(QStringLiteral("name"), QStringLiteral("Ada")), field(QStringLiteral("date"), {}),
                  field(QStringLiteral("tone"), {}, {QStringLiteral("Friendly"), QStringLiteral("Formal")})};
    }
    FillInForm form(fields);
    form.showCentered();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(form.width(), FillInForm::formWidth);
    // A menu is at most 240 wide: a longer choice is cut with an ellipsis, whole in its tooltip.
    LayoutCheck::Options options;
    options.mayElide = {QStringLiteral("fillInMenu")};
    QUENVIL_VERIFY_LAYOUT(&form, QStringLiteral("fill-in-%1").arg(QTest::currentDataTag()), options);
}

void tst_PanelLayouts::updateDialog_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("detail");
    QTest::newRow("up to date") << int(UpdateCheckResult::Kind::upToDate) << QString();
    QTest::newRow("update available") << int(UpdateCheckResult::Kind::updateAvailable)
                                      << QStringLiteral("https://example.org/quenvil/releases/2.0");
    QTest::newRow("update without a page") << int(UpdateCheckResult::Kind::updateAvailable) << QString();
    QTest::newRow("long error")
        << int(UpdateCheckResult::Kind::error)
        << QStringLiteral(
               "The update feed at https://updates.example.org/quenvil/appcast-for-linux-x86_64.xml "
               "could not be read: the server closed the connection before it answered.");
}

void tst_PanelLayouts::updateDialog()
{
    QFETCH(int, kind);
    QFETCH(QString, detail);
    UpdateCheckResult result;
    result.kind = UpdateCheckResult::Kind(kind);
    result.currentVersion = QStringLiteral("1.0.0-beta.12+build.3456");
    result.latestVersion = QStringLiteral("2.10.100-rc.1");
    if (result.kind == UpdateCheckResult::Kind::error)
        result.error = detail;
    else
        result.releasePage = QUrl(detail);
    std::unique_ptr<QDialog> dialog(UpdaterController::makeOutcomeDialog(result, {}));
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
    QUENVIL_VERIFY_LAYOUT(dialog.get(), QStringLiteral("update-%1").arg(QTest::currentDataTag()));
}

void tst_PanelLayouts::suggestionPopup_data()
{
    QTest::addColumn<QStringList>("triggers");
    QTest::newRow("short") << QStringList{QStringLiteral(";s"), QStringLiteral(";sig"),
                                          QStringLiteral(";sign")};
    QTest::newRow("long triggers") << QStringList{QStringLiteral(";s"), QStringLiteral(";s") + kLongTrigger,
                                                  QStringLiteral(";s") + kLongTrigger +
                                                      QStringLiteral("-and-more")};
}

void tst_PanelLayouts::suggestionPopup()
{
    QFETCH(QStringList, triggers);
    QList<Snippet> library;
    for (const QString& t : triggers) {
        Snippet s;
        s.trigger = t;
        s.content = kLongContent;
        library.append(s);
    }
    m_state->setSnippets(library);
    SuggestionPopup popup;
    const PrefixIndex& index = m_state->triggerPrefixIndex();
    QSignalSpy placed(&popup, &SuggestionPopup::placed);
    popup.show(QStringLiteral(";s"), index, index.lookup(u";s"));
    QVERIFY(placed.wait());
    QCOMPARE(popup.entries().size(), triggers.size());
    QWidget* panel = popup.panel();
    QVERIFY(QTest::qWaitForWindowExposed(panel));
    QVERIFY(panel->width() <= SuggestionPopup::maxListWidth + 12);
    QUENVIL_VERIFY_LAYOUT(panel, QStringLiteral("suggestion-popup-%1").arg(QTest::currentDataTag()));
}

QUENVIL_X11_TEST_MAIN(tst_PanelLayouts)
#include "tst_PanelLayouts.moc"
