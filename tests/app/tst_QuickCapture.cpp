#include "app/QuickCaptureController.h"
#include "app/QuickCapturePanel.h"
#include "engine/HotKey.h"
#include "model/AppState.h"
#include "ui/PillButton.h"
#include "ui/ThemedTextField.h"

#include "AccessibleEdit.h"
#include "FakeFrontApp.h"
#include "FakeHotKeyBackend.h"
#include "FakeSelectedText.h"
#include "TestHome.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTest>

#include <memory>

namespace {

constexpr quint64 kEditor = 10;
constexpr quint64 kOwn = 30;

Snippet snippet(const QString& trigger, const QString& content)
{
    Snippet s;
    s.trigger = trigger;
    s.content = content;
    return s;
}

} // namespace

class tst_QuickCapture : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void init();
    void cleanup();

    void rules_data();
    void rules();
    void savedSnippetIsAppended();
    void selectionFillsTheContent_data();
    void selectionFillsTheContent();
    void presentWhileOpenOnlyRaises();
    void pressWhileReadingOpensOnce();
    void closingGivesTheFocusBack_data();
    void closingGivesTheFocusBack();
    void titleBarCloseOnlyCloses();
    void openedOverOurOwnWindowGivesNothingBack();
    void formFollowsTheTrigger();
    void formTakesAccessibleEdits();

  private:
    QuickCapturePanel* present(const std::optional<QString>& selection);

    std::unique_ptr<TestHome> m_home;
    std::unique_ptr<AppState> m_state;
    std::unique_ptr<FakeFrontApp> m_front;
    FakeSelectedText m_selected;
    FakeHotKeyBackend m_hotKeys;
    std::unique_ptr<QuickCaptureController> m_controller;
};

void tst_QuickCapture::init()
{
    m_home = std::make_unique<TestHome>();
    AppState::Options o = m_home->storeOptions();
    o.deferSettingsWrites = false;
    m_state = std::make_unique<AppState>(o);
    SnippetGroup group;
    group.triggerPrefix = QStringLiteral("g.");
    m_state->setGroups({group});
    Snippet off = snippet(QStringLiteral(";off"), QStringLiteral("disabled"));
    off.enabled = false;
    Snippet grouped = snippet(QStringLiteral("x"), QStringLiteral("grouped"));
    grouped.groupID = group.id;
    m_state->setSnippets({snippet(QStringLiteral(";sig"), QStringLiteral("Best")), off, grouped});
    m_front = std::make_unique<FakeFrontApp>();
    m_front->addWindow(kEditor, QStringLiteral("Gedit"));
    m_front->addWindow(kOwn, QStringLiteral("quenvil"), true);
    m_front->bringToFront(kEditor);
    m_selected = FakeSelectedText();

    QuickCaptureController::Collaborators c;
    c.frontApp = m_front.get();
    c.selectedText = &m_selected;
    c.hotKeys = &m_hotKeys;
    m_controller = std::make_unique<QuickCaptureController>(*m_state, c);
}

void tst_QuickCapture::cleanup()
{
    m_controller.reset();
    m_front.reset();
    m_state.reset();
    m_home.reset();
}

QuickCapturePanel* tst_QuickCapture::present(const std::optional<QString>& selection)
{
    m_selected.text = selection;
    m_controller->present();
    if (!QTest::qWaitFor([this] {
            return !m_controller->isReadingSelection() && m_controller->panel() && m_controller->panel()->isVisible();
        }))
        return nullptr;
    return m_controller->panel();
}

void tst_QuickCapture::rules_data()
{
    QTest::addColumn<QString>("trigger");
    QTest::addColumn<QString>("content");
    QTest::addColumn<bool>("conflict");
    QTest::addColumn<bool>("canSave");
    QTest::addColumn<QString>("saved");

    QTest::newRow("new trigger") << ";new" << "text" << false << true << ";new";
    QTest::newRow("spaces and tabs around are trimmed; the trimmed trigger is taken")
        << "  ;sig\t" << "again" << true << true << ";sig";
    QTest::newRow("only spaces: nothing to save") << "   " << "text" << false << false << QString();
    QTest::newRow("empty content") << ";x" << "" << false << false << QString();
    QTest::newRow("content of spaces counts") << ";x" << "   " << false << true << ";x";
    QTest::newRow("case matters") << ";SIG" << "text" << false << true << ";SIG";
    QTest::newRow("a disabled snippet's trigger is free") << ";off" << "text" << false << true << ";off";
    QTest::newRow("a group's effective trigger is taken") << "g.x" << "text" << true << true << "g.x";
    QTest::newRow("the bare trigger of a grouped snippet is free") << "x" << "text" << false << true << "x";
    QTest::newRow("a no-break space is not trimmed away from the content")
        << ";nb" << "\u00A0" << false << true << ";nb";
}

void tst_QuickCapture::rules()
{
    QFETCH(QString, trigger);
    QFETCH(QString, content);
    QFETCH(bool, conflict);
    QFETCH(bool, canSave);
    QFETCH(QString, saved);

    QCOMPARE(QuickCaptureRules::conflict(trigger, m_state->triggerIndex()), conflict);
    QCOMPARE(QuickCaptureRules::canSave(trigger, content), canSave);
    const std::optional<Snippet> s = QuickCaptureRules::snippetFor(trigger, content);
    QCOMPARE(s.has_value(), canSave);
    if (s) {
        QCOMPARE(s->trigger, saved);
        QCOMPARE(s->content, content);
    }
}

void tst_QuickCapture::savedSnippetIsAppended()
{
    QuickCapturePanel* panel = present(QStringLiteral("Kind regards"));
    QVERIFY(panel);
    const int before = int(m_state->snippets().size());
    // A trigger in use is only reported: the second snippet is still added, at the end.
    m_controller->save(QStringLiteral(" ;sig "), QStringLiteral("Kind regards"));
    QCOMPARE(m_state->snippets().size(), before + 1);
    const Snippet s = m_state->snippets().last();
    QCOMPARE(s.trigger, QStringLiteral(";sig"));
    QCOMPARE(s.content, QStringLiteral("Kind regards"));
    QVERIFY(s.enabled);
    QVERIFY(s.keepDelimiter);
    QVERIFY(!s.ignoreCase && !s.adaptCase && !s.wholeWord && !s.learned);
    QCOMPARE(s.kind, SnippetKind::text);
    QVERIFY(!s.groupID);
    QVERIFY(!m_controller->panel());

    // A save with nothing to save closes without adding.
    QVERIFY(present(QString()));
    m_controller->save(QStringLiteral("  "), QStringLiteral("x"));
    QCOMPARE(m_state->snippets().size(), before + 1);
    QVERIFY(!m_controller->panel());
}

void tst_QuickCapture::selectionFillsTheContent_data()
{
    QTest::addColumn<std::optional<QString>>("selection");
    QTest::addColumn<QString>("content");

    QTest::newRow("nothing selected") << std::optional<QString>() << QString();
    QTest::newRow("several lines, exactly")
        << std::optional<QString>(QStringLiteral("  first\r\nsecond\n\tthird  "))
        << QStringLiteral("  first\r\nsecond\n\tthird  ");
    QTest::newRow("no-break spaces kept") << std::optional<QString>(QStringLiteral("a\u00A0b"))
                                          << QStringLiteral("a\u00A0b");
}

void tst_QuickCapture::selectionFillsTheContent()
{
    QFETCH(std::optional<QString>, selection);
    QFETCH(QString, content);

    QuickCapturePanel* panel = present(selection);
    QVERIFY(panel);
    QCOMPARE(panel->windowTitle(), QStringLiteral("New snippet"));
    QCOMPARE(panel->content(), content);
    QCOMPARE(panel->trigger(), QString());
    QTest::keyClicks(panel->triggerField(), QStringLiteral(";cap"));
    QTest::keyClick(panel->triggerField(), Qt::Key_Return, Qt::ControlModifier);
    if (content.isEmpty()) {
        QVERIFY(m_controller->panel()); // Save is disabled without content
        return;
    }
    QVERIFY(!m_controller->panel());
    QCOMPARE(m_state->snippets().last().content, content);
}

void tst_QuickCapture::presentWhileOpenOnlyRaises()
{
    m_controller->registerHotKey();
    QVERIFY(m_controller->hotKey());
    m_selected.text = QStringLiteral("first selection");
    QVERIFY(m_hotKeys.press(Key::N, Modifier::Control | Modifier::Alt));
    QTRY_VERIFY(m_controller->panel());
    QuickCapturePanel* panel = m_controller->panel();
    QTest::keyClicks(panel->triggerField(), QStringLiteral(";t"));

    m_selected.text = QStringLiteral("second selection");
    QVERIFY(m_hotKeys.press(Key::N, Modifier::Control | Modifier::Alt));
    QTest::qWait(20);
    QCOMPARE(m_controller->panel(), panel);
    QCOMPARE(m_selected.requests, 1);
    QCOMPARE(panel->trigger(), QStringLiteral(";t"));
    QCOMPARE(panel->content(), QStringLiteral("first selection"));
}

void tst_QuickCapture::pressWhileReadingOpensOnce()
{
    m_selected.text = QStringLiteral("text");
    m_controller->present();
    QVERIFY(m_controller->isReadingSelection());
    m_controller->present();
    m_controller->present();
    QCOMPARE(m_selected.requests, 1);
    QTRY_VERIFY(m_controller->panel());
    QVERIFY(!m_controller->isReadingSelection());
    QPointer<QuickCapturePanel> panel = m_controller->panel();
    QTest::qWait(20);
    QCOMPARE(m_controller->panel(), panel.data());
}

void tst_QuickCapture::closingGivesTheFocusBack_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("added");

    QTest::newRow("Save") << "save" << 1;
    QTest::newRow("Ctrl+Return") << "ctrl+return" << 1;
    QTest::newRow("Cancel") << "cancel" << 0;
    QTest::newRow("Escape") << "escape" << 0;
}

void tst_QuickCapture::closingGivesTheFocusBack()
{
    QFETCH(QString, how);
    QFETCH(int, added);

    QuickCapturePanel* panel = present(QStringLiteral("captured"));
    QVERIFY(panel);
    QCOMPARE(m_controller->previousWindow(), kEditor);
    m_front->bringToFront(kOwn);
    QTest::keyClicks(panel->triggerField(), QStringLiteral(";cap"));
    const int before = int(m_state->snippets().size());
    m_front->activations.clear();
    if (how == QLatin1String("save"))
        panel->saveButton()->click();
    else if (how == QLatin1String("ctrl+return"))
        QTest::keyClick(panel->contentEditor(), Qt::Key_Return, Qt::ControlModifier);
    else if (how == QLatin1String("cancel"))
        panel->cancelButton()->click();
    else
        QTest::keyClick(panel->triggerField(), Qt::Key_Escape);
    QVERIFY(!m_controller->panel());
    QCOMPARE(m_front->activations, QList<quint64>{kEditor});
    QCOMPARE(m_state->snippets().size(), before + added);
    QCOMPARE(m_controller->previousWindow(), quint64(0));
}

void tst_QuickCapture::titleBarCloseOnlyCloses()
{
    QPointer<QuickCapturePanel> panel = present(QStringLiteral("captured"));
    QVERIFY(panel);
    m_front->activations.clear();
    panel->close();
    QVERIFY(!panel->isVisible());
    QVERIFY(m_front->activations.isEmpty());
    QCOMPARE(m_controller->previousWindow(), quint64(0));

    // The next opening builds a fresh form.
    QuickCapturePanel* next = present(QStringLiteral("again"));
    QVERIFY(next);
    QTRY_VERIFY(!panel); // the closed one was replaced
    QCOMPARE(next->content(), QStringLiteral("again"));
    QCOMPARE(m_selected.requests, 2);
}

void tst_QuickCapture::openedOverOurOwnWindowGivesNothingBack()
{
    m_front->bringToFront(kOwn);
    QuickCapturePanel* panel = present(QStringLiteral("x"));
    QVERIFY(panel);
    QCOMPARE(m_controller->previousWindow(), quint64(0));
    m_front->activations.clear();
    panel->cancelButton()->click();
    QVERIFY(m_front->activations.isEmpty());
}

void tst_QuickCapture::formFollowsTheTrigger()
{
    QuickCapturePanel* panel = present(QStringLiteral("content"));
    QVERIFY(panel);
    QCOMPARE(panel->triggerField()->placeholderText(), QStringLiteral(";trigger"));
    QVERIFY(panel->triggerField()->isMono());
    QCOMPARE(panel->saveButton()->title(), QStringLiteral("Save"));
    QCOMPARE(panel->cancelButton()->title(), QStringLiteral("Cancel"));

    auto check = [&](const QString& trigger, bool conflict, bool enabled) {
        panel->triggerField()->setText(trigger);
        QCOMPARE(panel->conflictLabel()->isVisibleTo(panel), conflict);
        QCOMPARE(panel->saveButton()->isEnabled(), enabled);
        QCOMPARE(panel->saveButton()->opacity(), enabled ? 1.0 : 0.4);
    };
    check(QString(), false, false);
    check(QStringLiteral("   "), false, false);
    check(QStringLiteral(";sig"), true, true);
    QCOMPARE(panel->conflictLabel()->text(), QStringLiteral("A snippet already uses this trigger."));
    check(QStringLiteral(";sig2"), false, true);

    // Emptying the content disables Save again.
    panel->contentEditor()->clear();
    QVERIFY(!panel->saveButton()->isEnabled());
    QCOMPARE(panel->content(), QString());
    panel->contentEditor()->setPlainText(QStringLiteral("a\nb"));
    QCOMPARE(panel->content(), QStringLiteral("a\nb"));
    QVERIFY(panel->saveButton()->isEnabled());
}

void tst_QuickCapture::formTakesAccessibleEdits()
{
    // A dictation tool fills the form without a key event, then presses Save for the user.
    QuickCapturePanel* panel = present(QStringLiteral("read from the selection"));
    QVERIFY(panel);
    const qsizetype before = m_state->snippets().size();
    QVERIFY(AccessibleEdit::setText(panel->triggerField(), QStringLiteral(";sig")));
    QVERIFY(panel->conflictLabel()->isVisibleTo(panel));
    QVERIFY(AccessibleEdit::setText(panel->triggerField(), QStringLiteral(";said")));
    QVERIFY(!panel->conflictLabel()->isVisibleTo(panel));
    QVERIFY(AccessibleEdit::setText(panel->contentEditor(), QStringLiteral("dictated text")));
    QCOMPARE(panel->content(), QStringLiteral("dictated text"));
    QCOMPARE(panel->saveButton()->opacity(), 1.0);
    QVERIFY(AccessibleEdit::doAction(panel->saveButton()));
    QTRY_COMPARE(m_state->snippets().size(), before + 1);
    QCOMPARE(m_state->snippets().last().trigger, QStringLiteral(";said"));
    QCOMPARE(m_state->snippets().last().content, QStringLiteral("dictated text"));
}

QTEST_MAIN(tst_QuickCapture)
#include "tst_QuickCapture.moc"
