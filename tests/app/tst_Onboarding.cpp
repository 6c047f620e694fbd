// The first-run tour: its pages and the ways between them, the try-it page's expansion
// count, the first snippet's trigger rules, and how finishing records itself.
#include "app/OnboardingFlow.h"
#include "app/OnboardingView.h"
#include "model/AppState.h"
#include "settings/SettingsRootView.h"
#include "ui/PillButton.h"

#include "AccessibleEdit.h"
#include "TestHome.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>

namespace {

QAbstractButton* button(OnboardingView& view, const QString& name)
{
    if (!view.currentPage())
        return nullptr;
    for (QAbstractButton* b : view.currentPage()->findChildren<QAbstractButton*>()) {
        if (b->accessibleName() == name && b->isVisibleTo(&view))
            return b;
    }
    return nullptr;
}

bool click(OnboardingView& view, const QString& name)
{
    QAbstractButton* b = button(view, name);
    if (!b)
        return false;
    b->click();
    return true;
}

bool visibleText(OnboardingView& view, const QString& text)
{
    for (QLabel* l : view.currentPage()->findChildren<QLabel*>()) {
        if (l->text() == text && l->isVisibleTo(&view))
            return true;
    }
    return false;
}

Snippet snippet(const QString& trigger, bool enabled = true, std::optional<QUuid> group = std::nullopt)
{
    Snippet s;
    s.trigger = trigger;
    s.content = QStringLiteral("x");
    s.enabled = enabled;
    s.groupID = group;
    return s;
}

// A store in a throw-away home; the starter library is there unless replaced.
struct Fixture
{
    TestHome home;
    std::unique_ptr<AppState> state;
    Fixture()
    {
        AppState::Options o = home.storeOptions();
        o.deferSettingsWrites = false;
        state = std::make_unique<AppState>(o);
    }
};

} // namespace

class tst_Onboarding : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void pageFlow_data();
    void pageFlow();
    void expansionBaseline_data();
    void expansionBaseline();
    void permissionPageFollowsTheProbe();
    void firstSnippetTrigger_data();
    void firstSnippetTrigger();
    void lastPageTakesAccessibleEdits();
    void finishRecordsTheFlagFirst_data();
    void finishRecordsTheFlagFirst();
    void practiceEditorIsTheExpandingField();
    void sheetOfTheSettingsWindow();
    void everySymbolIsDrawn();
};

void tst_Onboarding::pageFlow_data()
{
    QTest::addColumn<bool>("granted");
    QTest::addColumn<QStringList>("clicks");
    QTest::addColumn<int>("step");
    QTest::addColumn<bool>("finished");

    QTest::newRow("opens on welcome") << false << QStringList{} << 0 << false;
    QTest::newRow("get started") << false << QStringList{"Get started"} << 1 << false;
    QTest::newRow("continue without the permission does nothing")
        << false << QStringList{"Get started", "Continue", "Continue"} << 1 << false;
    QTest::newRow("continue with the permission") << true << QStringList{"Get started", "Continue"} << 2 << false;
    QTest::newRow("set up later without the permission")
        << false << QStringList{"Get started", "Set up later"} << 1 << true;
    QTest::newRow("set up later with the permission") << true << QStringList{"Get started", "Set up later"} << 1
                                                      << true;
    QTest::newRow("skip the practice") << true << QStringList{"Get started", "Continue", "Skip for now"} << 3 << false;
    QTest::newRow("finish without creating")
        << true << QStringList{"Get started", "Continue", "Skip for now", "Finish without creating"} << 3 << true;
    QTest::newRow("create with the taken preset does nothing")
        << true << QStringList{"Get started", "Continue", "Skip for now", "Create snippet & finish"} << 3 << false;
}

void tst_Onboarding::pageFlow()
{
    QFETCH(bool, granted);
    QFETCH(QStringList, clicks);
    QFETCH(int, step);
    QFETCH(bool, finished);

    Fixture f;
    AppState& state = *f.state;
    state.setAccessibilityGranted(granted);
    state.setShowOnboarding(true);
    const QList<Snippet> before = state.snippets();
    OnboardingView view(state);
    QCOMPARE(view.size(), QSize(540, 600));
    for (const QString& name : clicks)
        QVERIFY2(click(view, name), qPrintable(name));

    QCOMPARE(view.step(), step);
    QCOMPARE(view.progressCaption(), QStringLiteral("Step %1 of 4").arg(step + 1));
    QCOMPARE(view.filledDots(), step + 1);
    QCOMPARE(state.showOnboarding(), !finished);
    QCOMPARE(state.settings().boolValue(QStringLiteral("didCompleteOnboarding")), finished);
    QCOMPARE(state.snippets(), before);
    // Long texts wrap; the sheet keeps its size on every page.
    QCOMPARE(view.size(), QSize(540, 600));
}

void tst_Onboarding::expansionBaseline_data()
{
    QTest::addColumn<qint64>("beforePage");      // the counter when the tour opens
    QTest::addColumn<qint64>("reachingPage");    // the counter while pages 0 and 1 are shown
    QTest::addColumn<QList<qint64>>("onPage");  // values it takes while page 2 is shown
    QTest::addColumn<bool>("saw");

    QTest::newRow("nothing typed") << qint64(3) << qint64(3) << QList<qint64>{} << false;
    QTest::newRow("expansions before the page do not count") << qint64(3) << qint64(9) << QList<qint64>{} << false;
    QTest::newRow("one on the page") << qint64(3) << qint64(9) << QList<qint64>{10} << true;
    QTest::newRow("counter reset does not count") << qint64(3) << qint64(9) << QList<qint64>{0, 5} << false;
    QTest::newRow("a later fall keeps the success") << qint64(0) << qint64(0) << QList<qint64>{1, 0} << true;
}

void tst_Onboarding::expansionBaseline()
{
    QFETCH(qint64, beforePage);
    QFETCH(qint64, reachingPage);
    QFETCH(QList<qint64>, onPage);
    QFETCH(bool, saw);

    Fixture f;
    AppState& state = *f.state;
    state.setAccessibilityGranted(true);
    state.setStatExpansions(beforePage);
    OnboardingView view(state);
    QVERIFY(click(view, QStringLiteral("Get started")));
    state.setStatExpansions(reachingPage);
    QVERIFY(click(view, QStringLiteral("Continue")));
    QCOMPARE(view.step(), 2);
    QCOMPARE(view.flow().expansionBaseline(), reachingPage);
    QVERIFY(button(view, QStringLiteral("Skip for now")));
    for (qint64 v : onPage)
        state.setStatExpansions(v);

    QCOMPARE(view.flow().sawExpansion(), saw);
    QCOMPARE(visibleText(view, QStringLiteral("Nice — that's the whole trick ✓")), saw);
    QCOMPARE(visibleText(view, QStringLiteral("It works in every app, not just here.")), !saw);
    const QString title = saw ? QStringLiteral("Continue") : QStringLiteral("Skip for now");
    auto* next = qobject_cast<PillButton*>(button(view, title));
    QVERIFY(next);
    QCOMPARE(next->isProminent(), saw);
    next->click();
    QCOMPARE(view.step(), 3);
    // Later pages no longer watch the counter.
    state.setStatExpansions(state.statExpansions() + 1);
    QCOMPARE(view.step(), 3);
}

void tst_Onboarding::permissionPageFollowsTheProbe()
{
    Fixture f;
    AppState& state = *f.state;
    const QString reason = QStringLiteral("Quenvil needs an X11 session: under Wayland it could only see programs "
                                          "that run on XWayland. Log in with an X11 session to use it.");
    OnboardingView view(state, [reason] { return reason; });
    QVERIFY(click(view, QStringLiteral("Get started")));

    auto* next = qobject_cast<PillButton*>(button(view, QStringLiteral("Continue")));
    QVERIFY(next);
    QCOMPARE(next->opacity(), 0.4);
    QVERIFY(visibleText(view, QStringLiteral("Waiting for permission…")));
    QVERIFY(button(view, QStringLiteral("Open Help")));
    // The probe's sentence says what to do (in a Wayland session: "Set up later" is the way on).
    QVERIFY(visibleText(view, reason));
    next->click();
    QCOMPARE(view.step(), 1);

    // Granted while the page is open: everything switches without a click.
    state.setAccessibilityGranted(true);
    QCOMPARE(next->opacity(), 1.0);
    QVERIFY(visibleText(view, QStringLiteral("Permission verified — Quenvil is live")));
    QVERIFY(!visibleText(view, QStringLiteral("Waiting for permission…")));
    QVERIFY(!button(view, QStringLiteral("Open Help")));
    QVERIFY(!visibleText(view, reason));

    // And back when it is lost again.
    state.setAccessibilityGranted(false);
    QCOMPARE(next->opacity(), 0.4);
    QVERIFY(visibleText(view, QStringLiteral("Waiting for permission…")));
}

void tst_Onboarding::firstSnippetTrigger_data()
{
    QTest::addColumn<QList<Snippet>>("library"); // empty: the starter library
    QTest::addColumn<QString>("trigger");
    QTest::addColumn<QString>("content");
    QTest::addColumn<bool>("conflict");
    QTest::addColumn<QString>("created"); // empty: nothing created

    const QList<Snippet> starter;
    const QList<Snippet> own = {snippet(QStringLiteral(";sig"))};
    QTest::newRow("preset is taken by the starter library") << starter << ";sig" << "Best,\nMe" << true << "";
    QTest::newRow("a new trigger") << starter << ";me" << "Best,\nMe" << false << ";me";
    QTest::newRow("content kept exactly") << starter << ";me" << "  Best,\n\tMe \n" << false << ";me";
    QTest::newRow("empty content") << starter << ";me" << "" << false << "";
    QTest::newRow("empty trigger") << starter << "" << "Best" << false << "";
    QTest::newRow("blank trigger") << starter << " \t " << "Best" << false << "";
    QTest::newRow("trimmed before it is stored") << starter << "  ;me\t" << "Best" << false << ";me";
    QTest::newRow("trimmed before the check") << own << " ;sig " << "Best" << true << "";
    QTest::newRow("letter case differs") << own << ";SIG" << "Best" << false << ";SIG";
    QTest::newRow("inner blank kept") << own << ";s ig" << "Best" << false << ";s ig";
    QTest::newRow("disabled snippet still counts") << QList<Snippet>{snippet(";sig", false)} << ";sig" << "Best" << true
                                                   << "";
}

void tst_Onboarding::firstSnippetTrigger()
{
    QFETCH(QList<Snippet>, library);
    QFETCH(QString, trigger);
    QFETCH(QString, content);
    QFETCH(bool, conflict);
    QFETCH(QString, created);

    Fixture f;
    AppState& state = *f.state;
    if (!library.isEmpty())
        state.setSnippets(library);
    state.setAccessibilityGranted(true);
    state.setShowOnboarding(true);
    OnboardingView view(state);
    for (const char* name : {"Get started", "Continue", "Skip for now"})
        QVERIFY(click(view, QString::fromLatin1(name)));
    QCOMPARE(view.step(), 3);
    auto* triggerField = view.currentPage()->findChild<QLineEdit*>();
    QVERIFY(triggerField);
    QCOMPARE(triggerField->text(), QStringLiteral(";sig"));
    QCOMPARE(triggerField->accessibleName(), QStringLiteral("TRIGGER"));
    QPlainTextEdit* contentField = nullptr;
    for (auto* e : view.currentPage()->findChildren<QPlainTextEdit*>()) {
        if (e->accessibleName() == QLatin1String("EXPANDS TO"))
            contentField = e;
    }
    QVERIFY(contentField);
    triggerField->setText(trigger);
    contentField->setPlainText(content);

    const QString conflictLine = QStringLiteral("Another snippet already uses this trigger — pick a different one.");
    QCOMPARE(view.flow().triggerConflict(), conflict);
    QCOMPARE(visibleText(view, conflictLine), conflict);
    QCOMPARE(visibleText(view, QStringLiteral("Tip: start triggers with “;” so they never fire mid-word.")), !conflict);
    auto* create = qobject_cast<PillButton*>(button(view, QStringLiteral("Create snippet & finish")));
    QVERIFY(create);
    QCOMPARE(create->opacity(), created.isEmpty() ? 0.4 : 1.0);
    QVERIFY(create->isEnabled()); // dimmed, still clickable

    const qsizetype count = state.snippets().size();
    create->click();
    if (created.isEmpty()) {
        QCOMPARE(state.snippets().size(), count);
        QVERIFY(state.showOnboarding());
        return;
    }
    QCOMPARE(state.snippets().size(), count + 1);
    const Snippet& s = state.snippets().last();
    QCOMPARE(s.trigger, created);
    QCOMPARE(s.content, content);
    QVERIFY(s.enabled && s.keepDelimiter);
    QVERIFY(!s.ignoreCase && !s.adaptCase && !s.wholeWord && !s.learned);
    QCOMPARE(s.kind, SnippetKind::text);
    QVERIFY(!s.groupID);
    QVERIFY(state.triggerIndex().contains(created));
    QVERIFY(!state.showOnboarding());
    QVERIFY(state.settings().boolValue(QStringLiteral("didCompleteOnboarding")));
}

void tst_Onboarding::lastPageTakesAccessibleEdits()
{
    Fixture f;
    AppState& state = *f.state;
    state.setAccessibilityGranted(true);
    state.setShowOnboarding(true);
    OnboardingView view(state);
    for (const char* name : {"Get started", "Continue", "Skip for now"})
        QVERIFY(click(view, QString::fromLatin1(name)));
    auto* triggerField = view.currentPage()->findChild<QLineEdit*>();
    QPlainTextEdit* contentField = nullptr;
    for (auto* e : view.currentPage()->findChildren<QPlainTextEdit*>()) {
        if (e->accessibleName() == QLatin1String("EXPANDS TO"))
            contentField = e;
    }
    QVERIFY(triggerField && contentField);
    auto* create = qobject_cast<PillButton*>(button(view, QStringLiteral("Create snippet & finish")));
    QVERIFY(create);
    QCOMPARE(create->opacity(), 0.4); // ";sig" is the starter library's

    QVERIFY(AccessibleEdit::setText(triggerField, QStringLiteral(";me")));
    QVERIFY(AccessibleEdit::setText(contentField, QStringLiteral("Said, not typed")));
    QCOMPARE(create->opacity(), 1.0);
    const qsizetype count = state.snippets().size();
    QVERIFY(AccessibleEdit::doAction(create));
    QTRY_COMPARE(state.snippets().size(), count + 1);
    QCOMPARE(state.snippets().last().trigger, QStringLiteral(";me"));
    QCOMPARE(state.snippets().last().content, QStringLiteral("Said, not typed"));
}

void tst_Onboarding::finishRecordsTheFlagFirst_data()
{
    QTest::addColumn<QStringList>("clicks");
    QTest::addColumn<QString>("newTrigger");
    QTest::newRow("set up later") << QStringList{"Get started", "Set up later"} << "";
    QTest::newRow("finish without creating")
        << QStringList{"Get started", "Continue", "Skip for now", "Finish without creating"} << "";
    QTest::newRow("create snippet & finish")
        << QStringList{"Get started", "Continue", "Skip for now", "Create snippet & finish"} << ";mine";
}

void tst_Onboarding::finishRecordsTheFlagFirst()
{
    QFETCH(QStringList, clicks);
    QFETCH(QString, newTrigger);

    Fixture f;
    AppState& state = *f.state;
    state.setAccessibilityGranted(true);
    state.setShowOnboarding(true);
    OnboardingView view(state);
    // Whoever closes the sheet on the cleared request finds the tour already recorded.
    QList<bool> flagWhenCleared;
    connect(&state, &AppState::showOnboardingChanged, &view, [&](bool shown) {
        if (!shown)
            flagWhenCleared << state.settings().boolValue(QStringLiteral("didCompleteOnboarding"));
    });
    for (int i = 0; i < clicks.size(); ++i) {
        if (i == clicks.size() - 1 && !newTrigger.isEmpty()) {
            view.currentPage()->findChild<QLineEdit*>()->setText(newTrigger);
            view.currentPage()->findChildren<QPlainTextEdit*>().last()->setPlainText(QStringLiteral("Me"));
        }
        QVERIFY(click(view, clicks[i]));
    }
    QCOMPARE(flagWhenCleared, QList<bool>{true});
    // Written through to the file, so the next start does not offer the tour again.
    f.state->settings().flush();
    SettingsStore reread(f.home.settingsPath());
    QVERIFY(reread.boolValue(QStringLiteral("didCompleteOnboarding")));
}

void tst_Onboarding::practiceEditorIsTheExpandingField()
{
    Fixture f;
    AppState& state = *f.state;
    state.setAccessibilityGranted(true);
    auto view = std::make_unique<OnboardingView>(state);
    view->show();
    QVERIFY(QTest::qWaitForWindowActive(view.get()));
    QVERIFY(!OnboardingView::practiceEditorHasFocus());
    QVERIFY(click(*view, QStringLiteral("Get started")));
    QVERIFY(click(*view, QStringLiteral("Continue")));
    QPlainTextEdit* editor = view->practiceEditor();
    QVERIFY(editor);
    // The page hands the keyboard to the editor, so typing there is expanded at once.
    QTRY_VERIFY(editor->hasFocus());
    QVERIFY(OnboardingView::practiceEditorHasFocus());
    QCOMPARE(editor->placeholderText(), QStringLiteral("Type ;date here…"));

    // Any other field of ours: not expanded.
    button(*view, QStringLiteral("Skip for now"))->setFocus();
    QVERIFY(!OnboardingView::practiceEditorHasFocus());
    editor->setFocus();
    QVERIFY(OnboardingView::practiceEditorHasFocus());
    QVERIFY(click(*view, QStringLiteral("Skip for now")));
    QVERIFY(!OnboardingView::practiceEditorHasFocus());
    view.reset();
    QVERIFY(!OnboardingView::practiceEditorHasFocus());
}

void tst_Onboarding::sheetOfTheSettingsWindow()
{
    Fixture f;
    AppState& state = *f.state;
    QWidget window;
    auto* root = new SettingsRootView(state, nullptr, &window);
    root->setOnboardingFactory([&state](QWidget* parent) -> QDialog* { return new OnboardingView(state, {}, parent); });
    window.show();
    auto* sheet = qobject_cast<OnboardingView*>(root->onboardingSheet());
    QVERIFY(sheet);
    QCOMPARE(sheet->step(), 0);
    QVERIFY(click(*sheet, QStringLiteral("Get started")));
    QCOMPARE(sheet->step(), 1);

    // Closed another way: the flag stays unset, and the next showing starts over at page 0.
    sheet->reject();
    QTRY_VERIFY(!root->onboardingSheet());
    QVERIFY(!state.settings().boolValue(QStringLiteral("didCompleteOnboarding")));
    window.hide();
    window.show();
    sheet = qobject_cast<OnboardingView*>(root->onboardingSheet());
    QVERIFY(sheet);
    QCOMPARE(sheet->step(), 0);

    // Finished: the window closes the sheet and does not offer it again.
    QVERIFY(click(*sheet, QStringLiteral("Get started")));
    QVERIFY(click(*sheet, QStringLiteral("Set up later")));
    QTRY_VERIFY(!root->onboardingSheet());
    window.hide();
    window.show();
    QVERIFY(!root->onboardingSheet());
    QVERIFY(!state.showOnboarding());
}

void tst_Onboarding::everySymbolIsDrawn()
{
    for (const QString& name : OnboardingView::symbolNames())
        QVERIFY2(OnboardingView::canDraw(name), qPrintable(name));
    QVERIFY(!OnboardingView::canDraw(QStringLiteral("no.such.symbol")));
}

QTEST_MAIN(tst_Onboarding)
#include "tst_Onboarding.moc"
