// The Snippets tab, its editor and the groups sheet driven as a user would, offscreen against a
// temporary store.
#include "library/GroupFilterChip.h"
#include "library/GroupsManagerSheet.h"
#include "library/LibraryLook.h"
#include "library/SnippetEditor.h"
#include "library/SnippetListModel.h"
#include "library/SnippetListView.h"
#include "library/SnippetRow.h"
#include "library/SnippetsView.h"
#include "model/AppState.h"
#include "ui/AccentToggle.h"
#include "ui/Card.h"
#include "ui/GroupAppChip.h"
#include "ui/PillButton.h"
#include "ui/SettingRow.h"
#include "ui/ThemedTextField.h"

#include "AccessibleEdit.h"
#include "TestHome.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScrollArea>
#include <QSignalSpy>
#include <QTest>

#include <memory>

Q_DECLARE_METATYPE(AccessibleEdit::Path)

namespace {

Snippet snip(const QString& trigger, const QString& content = QStringLiteral("x"),
             std::optional<QUuid> group = std::nullopt)
{
    Snippet s;
    s.trigger = trigger;
    s.content = content;
    s.groupID = group;
    return s;
}

SnippetGroup group(const QString& name, const QString& prefix = {})
{
    SnippetGroup g;
    g.name = name;
    g.triggerPrefix = prefix;
    return g;
}

QStringList listed(const SnippetsView& view)
{
    QStringList out;
    for (int i = 0; i < view.listModel()->rowCount(); ++i)
        out.append(view.listModel()->snippetAt(i).trigger);
    return out;
}

} // namespace

class tst_SnippetsView : public QObject
{
    Q_OBJECT

  private slots:
    void init();
    void cleanup();

    void chipsAndEmptyStates();
    void searchAndGroupFilter();
    void listUpdatesInPlace();
    void rowActionsWriteTheStore();
    void editRequestWhenShown();
    void editRequestWaitsForOpenSheet();
    void statusLineKeepsNewerMessage();
    void editorFillingWritesNothing();
    void editorSaveAndCancel();
    void editorSections();
    void editorTakesAccessibleEdits_data();
    void editorTakesAccessibleEdits();
    void groupsSheetWritesEveryKeystroke();
    void groupsSheetScopeAndApps();
    void groupsSheetDeleteKeepsSnippets();
    void groupsSheetTakesAccessibleEdits();

  private:
    SnippetsView* shownView();

    std::unique_ptr<TestHome> m_home;
    std::unique_ptr<AppState> m_state;
    std::unique_ptr<QWidget> m_window;
};

void tst_SnippetsView::init()
{
    m_home = std::make_unique<TestHome>();
    m_state = std::make_unique<AppState>(m_home->storeOptions());
    m_state->setSnippets({});
    m_window = std::make_unique<QWidget>();
    m_window->resize(900, 700);
}

void tst_SnippetsView::cleanup()
{
    m_window.reset();
    m_state.reset();
    m_home.reset();
}

SnippetsView* tst_SnippetsView::shownView()
{
    auto* view = new SnippetsView(*m_state, m_window.get());
    view->resize(m_window->size());
    m_window->show();
    return view;
}

void tst_SnippetsView::chipsAndEmptyStates()
{
    SnippetsView view(*m_state);
    QVERIFY(view.chipRow()->isHidden());
    QVERIFY(!view.emptyState()->isHidden());
    QCOMPARE(view.emptyTitle()->text(), QStringLiteral("No snippets yet"));
    QVERIFY(!view.emptyHint()->isHidden());

    const SnippetGroup work = group("Work");
    SnippetGroup off = group("Off");
    off.enabled = false;
    m_state->setGroups({work, off});
    QVERIFY(!view.chipRow()->isHidden());
    QCOMPARE(view.chips().size(), 3);
    QCOMPARE(view.chips().at(0)->label(), QStringLiteral("All (0)"));
    QCOMPARE(view.chips().at(1)->label(), QStringLiteral("Work (0)"));
    QVERIFY(view.chips().at(0)->isSelected());
    QVERIFY(view.chips().at(2)->isDimmed());
    QVERIFY(!view.emptyState()->isHidden());

    // Filtering to an empty group: still the invitation, not "No matches".
    m_state->setSnippets({snip(";sig")});
    QTest::mouseClick(view.chips().at(1), Qt::LeftButton);
    QCOMPARE(view.filterGroupID(), std::optional<QUuid>(work.id));
    QCOMPARE(view.emptyTitle()->text(), QStringLiteral("No snippets yet"));
    view.searchField()->setText("zzz");
    QCOMPARE(view.emptyTitle()->text(), QStringLiteral("No matches"));
    QVERIFY(view.emptyHint()->isHidden());

    // Clicking the selected chip again keeps it selected.
    QTest::mouseClick(view.chips().at(1), Qt::LeftButton);
    QVERIFY(view.chips().at(1)->isSelected());

    // No groups: no chip row, even with a filter still set.
    m_state->setGroups({});
    QVERIFY(view.chipRow()->isHidden());
    QCOMPARE(view.filterGroupID(), std::optional<QUuid>(work.id));
}

void tst_SnippetsView::searchAndGroupFilter()
{
    const SnippetGroup a = group("A", ";");
    m_state->setGroups({a});
    m_state->setSnippets({snip(";sig", "Best"), snip("addr", "Main Street", a.id), snip("x", "y", a.id)});
    SnippetsView view(*m_state);
    QCOMPARE(listed(view), (QStringList{";sig", "addr", "x"}));
    view.setFilterGroupID(a.id);
    QCOMPARE(listed(view), (QStringList{"addr", "x"}));
    view.searchField()->setText("STREET");
    QCOMPARE(listed(view), QStringList{"addr"});
    // Deleting the selected group lifts the filter: every snippet matching the search shows.
    view.searchField()->clear();
    m_state->deleteGroup(a.id);
    QCOMPARE(listed(view), (QStringList{";sig", "addr", "x"}));
    for (GroupFilterChip* chip : view.chips())
        QVERIFY(!chip->isSelected());
}

void tst_SnippetsView::listUpdatesInPlace()
{
    const Snippet a = snip(";a"), b = snip(";b"), c = snip(";c");
    m_state->setSnippets({a, b, c});
    SnippetsView* view = shownView();
    SnippetListView* list = view->listView();
    list->setActiveRow(view->listModel()->index(1), true);
    QPointer<SnippetRow> row = list->activeRow();
    QVERIFY(row);
    QCOMPARE(row->data().snippet.id, b.id);

    QSignalSpy removed(view->listModel(), &QAbstractItemModel::rowsRemoved);
    QSignalSpy reset(view->listModel(), &QAbstractItemModel::modelReset);
    // Switching b off, deleting a and adding d keep b's live row and never reset the list.
    QList<Snippet> next = m_state->snippets();
    next[1].enabled = false;
    m_state->setSnippets(next);
    QVERIFY(row);
    QCOMPARE(row->toggle()->isChecked(), false);
    m_state->setSnippets({m_state->snippets().at(1), c, snip(";d")});
    QVERIFY(row);
    QCOMPARE(row->data().snippet.id, b.id);
    QCOMPARE(removed.size(), 1);
    QCOMPARE(reset.size(), 0);
    QCOMPARE(view->listModel()->rowIds(), (QList<QUuid>{b.id, c.id, m_state->snippets().at(2).id}));
}

void tst_SnippetsView::rowActionsWriteTheStore()
{
    Snippet a = snip(";a", "first line\nsecond");
    const Snippet b = snip(";b");
    m_state->setSnippets({a, b});
    m_state->recordUsage(a.id, "firefox");
    SnippetsView* view = shownView();
    SnippetListView* list = view->listView();
    list->setActiveRow(view->listModel()->index(0), true);
    SnippetRow* row = list->activeRow();
    QVERIFY(row && row->actionsShown());
    QCOMPARE(row->previewText(), QString::fromUtf8("first line ⏎ second"));
    QCOMPARE(row->useCountLabel()->text(), QStringLiteral("×1"));
    QVERIFY(row->learnedMark()->isHidden());

    // Pointer away: the hover actions go.
    row->setHovering(false);
    QVERIFY(row->editButton()->isHidden());
    row->setHovering(true);

    QTest::mouseClick(row->toggle(), Qt::LeftButton);
    QTRY_COMPARE(m_state->snippets().at(0).enabled, false);
    QTest::mouseClick(row->duplicateButton(), Qt::LeftButton);
    QTRY_COMPARE(m_state->snippets().size(), 3);
    QCOMPARE(m_state->snippets().at(1).trigger, QStringLiteral(";a2"));
    QVERIFY(!view->editor());

    QTest::mouseDClick(row->preview(), Qt::LeftButton);
    QTRY_VERIFY(view->editor());
    QCOMPARE(view->editor()->workingCopy().id, a.id);
    view->editor()->reject();
    QTRY_VERIFY(!view->editor());

    row = list->activeRow();
    QVERIFY(row);
    QTest::mouseClick(row->deleteButton(), Qt::LeftButton);
    QTRY_COMPARE(m_state->snippets().size(), 2);
    QCOMPARE(m_state->snippets().at(0).trigger, QStringLiteral(";a2"));
}

void tst_SnippetsView::editRequestWhenShown()
{
    const Snippet a = snip(";a");
    m_state->setSnippets({a});
    m_state->setEditSnippetID(QUuid::createUuid()); // no such snippet
    SnippetsView* view = shownView();
    QVERIFY(!view->editor());
    QVERIFY(m_state->editSnippetID().has_value());

    // Hidden tab: the request waits for the tab to be shown.
    view->hide();
    m_state->setEditSnippetID(a.id);
    QVERIFY(!view->editor());
    view->show();
    QVERIFY(view->editor());
    QCOMPARE(view->editor()->workingCopy(), a);
    QVERIFY(!view->editor()->isNew());
    QCOMPARE(m_state->editSnippetID(), std::optional<QUuid>());
}

void tst_SnippetsView::editRequestWaitsForOpenSheet()
{
    const Snippet a = snip(";a"), b = snip(";b");
    m_state->setSnippets({a, b});
    SnippetsView* view = shownView();

    view->openNewSnippet();
    QPointer<SnippetEditor> editor = view->editor();
    QVERIFY(editor);
    QTest::keyClicks(editor->triggerField(), ";new");
    m_state->setEditSnippetID(b.id);
    // The working copy with its edits stays, and so does the request.
    QCOMPARE(view->editor(), editor.data());
    QCOMPARE(editor->workingCopy().trigger, QStringLiteral(";new"));
    QCOMPARE(m_state->editSnippetID(), std::optional<QUuid>(b.id));
    editor->reject();
    QTRY_VERIFY(view->editor() && view->editor() != editor.data());
    QCOMPARE(view->editor()->workingCopy(), b);
    QCOMPARE(m_state->editSnippetID(), std::optional<QUuid>());
    view->editor()->reject();
    QTRY_VERIFY(!view->editor());

    view->openGroups();
    QVERIFY(view->groupsSheet());
    m_state->setEditSnippetID(a.id);
    QVERIFY(!view->editor());
    QCOMPARE(m_state->editSnippetID(), std::optional<QUuid>(a.id));
    QTest::mouseClick(view->groupsSheet()->doneButton(), Qt::LeftButton);
    QTRY_VERIFY(view->editor());
    QCOMPARE(view->editor()->workingCopy().id, a.id);
    QCOMPARE(m_state->editSnippetID(), std::optional<QUuid>());
}

void tst_SnippetsView::statusLineKeepsNewerMessage()
{
    SnippetsView view(*m_state);
    view.setStatusDuration(300);
    QVERIFY(view.statusLabel()->isHidden());
    view.showStatus("Imported 3 snippets");
    QCOMPARE(view.statusLabel()->text(), QStringLiteral("Imported 3 snippets"));
    QVERIFY(!view.statusLabel()->isHidden());
    QTest::qWait(200);
    view.showStatus("Imported 3 snippets");
    QTest::qWait(180); // the first message's time is up, the second's is not
    QCOMPARE(view.transferStatus(), std::optional<QString>("Imported 3 snippets"));
    QTRY_VERIFY_WITH_TIMEOUT(!view.transferStatus(), 2000);
    QVERIFY(view.statusLabel()->isHidden());
}

void tst_SnippetsView::editorFillingWritesNothing()
{
    const SnippetGroup a = group("A", ";");
    const QUuid deleted = QUuid::createUuid();
    m_state->setGroups({a});
    const Snippet orphan = snip("sig", "Best", deleted);
    m_state->setSnippets({orphan});
    QSignalSpy writes(m_state.get(), &AppState::snippetsChanged);
    SnippetEditor editor(*m_state, orphan, false);
    QCOMPARE(editor.groupPicker()->count(), 2);
    QCOMPARE(editor.groupPicker()->currentIndex(), -1);
    QCOMPARE(editor.workingCopy().groupID, std::optional<QUuid>(deleted));
    // Groups changing under the open editor refill the chooser, still writing nothing.
    m_state->setGroups({a, group("B")});
    QCOMPARE(editor.groupPicker()->count(), 3);
    QCOMPARE(editor.workingCopy().groupID, std::optional<QUuid>(deleted));
    QCOMPARE(writes.size(), 0);

    // Picking a group changes the effective trigger at once.
    m_state->setSnippets({orphan, snip(";sig")});
    QCOMPARE(editor.triggerLineKind(), SnippetEditorLogic::TriggerLineKind::tip);
    editor.groupPicker()->setCurrentIndex(1);
    emit editor.groupPicker()->activated(1);
    QCOMPARE(editor.workingCopy().groupID, std::optional<QUuid>(a.id));
    QCOMPARE(editor.triggerLineKind(), SnippetEditorLogic::TriggerLineKind::conflict);
    QCOMPARE(editor.triggerLine()->text(), QStringLiteral("Another snippet already uses this trigger."));
    QCOMPARE(editor.groupPrefixLine()->text(), QStringLiteral("Group prefix “;” — you'll type ;sig"));
}

void tst_SnippetsView::editorSaveAndCancel()
{
    const Snippet a = snip(";a", "one");
    m_state->setSnippets({a});
    {
        SnippetEditor editor(*m_state, SnippetEditorLogic::blankSnippet(), true);
        QCOMPARE(editor.saveButton()->title(), QStringLiteral("Create"));
        QCOMPARE(editor.saveButton()->opacity(), 0.4);
        QVERIFY(editor.saveButton()->isEnabled());
        editor.show();
        QTest::mouseClick(editor.saveButton(), Qt::LeftButton);
        QVERIFY(editor.isVisible()); // dimmed click: nothing happens
        QTest::keyClicks(editor.triggerField(), ";a");
        editor.contentEditor()->setPlainText("two");
        QCOMPARE(editor.triggerLineKind(), SnippetEditorLogic::TriggerLineKind::conflict);
        QCOMPARE(editor.saveButton()->opacity(), 0.4);
        QTest::keyClicks(editor.triggerField(), "b");
        QCOMPARE(editor.saveButton()->opacity(), 1.0);
        QTest::mouseClick(editor.saveButton(), Qt::LeftButton);
        QVERIFY(!editor.isVisible());
        QCOMPARE(editor.result(), int(QDialog::Accepted));
        QCOMPARE(m_state->snippets().size(), 2);
        QCOMPARE(m_state->snippets().last().trigger, QStringLiteral(";ab"));
    }
    {
        const QList<Snippet> before = m_state->snippets();
        SnippetEditor editor(*m_state, a, false);
        QCOMPARE(editor.saveButton()->title(), QStringLiteral("Save"));
        editor.show();
        QTest::keyClicks(editor.triggerField(), "zz");
        QTest::mouseClick(editor.cancelButton(), Qt::LeftButton);
        QVERIFY(!editor.isVisible());
        QCOMPARE(m_state->snippets(), before);
    }
}

void tst_SnippetsView::editorSections()
{
    m_state->setScriptSnippetsEnabled(false);
    SnippetEditor editor(*m_state, snip(";a", "echo hi"), false);
    editor.show();
    QVERIFY(editor.groupSection()->isHidden()); // no groups
    QCOMPARE(editor.contentCaption()->text(), QStringLiteral("EXPANDS TO"));
    QVERIFY(!editor.placeholderHelp()->isHidden());
    QVERIFY(editor.scriptNote()->isHidden());

    QTest::mouseClick(editor.shellKindButton(), Qt::LeftButton);
    QCOMPARE(editor.workingCopy().kind, SnippetKind::shell);
    QCOMPARE(editor.contentCaption()->text(), QStringLiteral("SCRIPT"));
    QVERIFY(editor.placeholderHelp()->isHidden());
    QCOMPARE(editor.scriptNote()->text(),
             QStringLiteral("Script snippets are disabled — enable them in General first."));
    m_state->setScriptSnippetsEnabled(true);
    QVERIFY(editor.scriptNote()->text().startsWith(QStringLiteral("Runs with /bin/")));
    QVERIFY(editor.contentEditor()->font().styleHint() == QFont::Monospace ||
            editor.contentEditor()->font().fixedPitch());
    QTest::mouseClick(editor.textKindButton(), Qt::LeftButton);
    QCOMPARE(editor.contentCaption()->text(), QStringLiteral("EXPANDS TO"));
    QCOMPARE(editor.workingCopy().content, QStringLiteral("echo hi"));

    // Adapt case cannot change while Ignore case is off, and keeps its value.
    QVERIFY(!editor.adaptCaseRow()->isEnabled());
    QTest::mouseClick(editor.adaptCaseToggle(), Qt::LeftButton);
    QCOMPARE(editor.workingCopy().adaptCase, false);
    QTest::mouseClick(editor.ignoreCaseToggle(), Qt::LeftButton);
    QVERIFY(editor.adaptCaseRow()->isEnabled());
    QTest::mouseClick(editor.adaptCaseToggle(), Qt::LeftButton);
    QCOMPARE(editor.workingCopy().adaptCase, true);
}

void tst_SnippetsView::editorTakesAccessibleEdits_data()
{
    QTest::addColumn<AccessibleEdit::Path>("path");
    QTest::newRow("editable text") << AccessibleEdit::Path::editableText;
    QTest::newRow("value") << AccessibleEdit::Path::valueText;
}

void tst_SnippetsView::editorTakesAccessibleEdits()
{
    // A dictation tool or a screen reader's edit command sets the whole text at once, with
    // no key events: the sheet must follow it as it follows typing.
    QFETCH(AccessibleEdit::Path, path);
    m_state->setSnippets({snip(";a", "one")});
    SnippetEditor editor(*m_state, SnippetEditorLogic::blankSnippet(), true);
    editor.show();
    QVERIFY(AccessibleEdit::setText(editor.triggerField(), QStringLiteral(";a"), path));
    QVERIFY(AccessibleEdit::setText(editor.contentEditor(), QStringLiteral("said aloud"), path));
    QCOMPARE(editor.workingCopy().trigger, QStringLiteral(";a"));
    QCOMPARE(editor.workingCopy().content, QStringLiteral("said aloud"));
    QCOMPARE(editor.triggerLineKind(), SnippetEditorLogic::TriggerLineKind::conflict);
    QCOMPARE(editor.saveButton()->opacity(), 0.4);

    QVERIFY(AccessibleEdit::setText(editor.triggerField(), QStringLiteral(";said"), path));
    QCOMPARE(editor.triggerLineKind(), SnippetEditorLogic::TriggerLineKind::tip);
    QCOMPARE(editor.saveButton()->opacity(), 1.0);
    // Pressed through its accessible action, as the tool would.
    QVERIFY(AccessibleEdit::doAction(editor.saveButton()));
    QTRY_VERIFY(!editor.isVisible());
    QCOMPARE(editor.result(), int(QDialog::Accepted));
    QCOMPARE(m_state->snippets().size(), 2);
    QCOMPARE(m_state->snippets().last().trigger, QStringLiteral(";said"));
    QCOMPARE(m_state->snippets().last().content, QStringLiteral("said aloud"));
}

void tst_SnippetsView::groupsSheetWritesEveryKeystroke()
{
    GroupsManagerSheet sheet(*m_state);
    sheet.show();
    QVERIFY(!sheet.emptyState()->isHidden());
    QVERIFY(sheet.rows().isEmpty());
    QTest::mouseClick(sheet.addGroupButton(), Qt::LeftButton);
    QVERIFY(sheet.emptyState()->isHidden());
    QCOMPARE(sheet.rows().size(), 1);
    GroupEditorRow* row = sheet.rows().first();
    QCOMPARE(row->nameField()->text(), QStringLiteral("New group"));
    QVERIFY(row->enabledToggle()->isChecked());
    QCOMPARE(row->scopePicker()->currentText(), QStringLiteral("Everywhere"));
    QVERIFY(row->appSection()->isHidden());
    QVERIFY(row->prefixSentence()->isHidden());
    QCOMPARE(row->countLabel()->text(), QStringLiteral("0 snippets"));

    QSignalSpy writes(m_state.get(), &AppState::groupsChanged);
    row->nameField()->setFocus();
    row->nameField()->selectAll();
    QTest::keyClicks(row->nameField(), "Work");
    QCOMPARE(writes.size(), 4);
    QCOMPARE(m_state->groups().first().name, QStringLiteral("Work"));
    QCOMPARE(sheet.rows().first(), row); // the same row, still being typed in
    QCOMPARE(row->nameField()->text(), QStringLiteral("Work"));
    QCOMPARE(row->nameField()->cursorPosition(), 4);
    // What was typed is on disk already.
    AppState reread(m_home->storeOptions());
    QCOMPARE(reread.groups().first().name, QStringLiteral("Work"));

    QTest::keyClicks(row->prefixField(), ";");
    QCOMPARE(m_state->groups().first().triggerPrefix, QStringLiteral(";"));
    QVERIFY(!row->prefixSentence()->isHidden());
    QCOMPARE(row->prefixSentence()->text(),
             QStringLiteral("Members expand on ;trigger — the prefix is typed before each trigger."));
    QTest::keyClick(row->prefixField(), Qt::Key_Backspace);
    QVERIFY(row->prefixSentence()->isHidden());

    m_state->setSnippets({snip("a", "x", m_state->groups().first().id)});
    QCOMPARE(row->countLabel()->text(), QStringLiteral("1 snippets"));
    QTest::mouseClick(row->enabledToggle(), Qt::LeftButton);
    QCOMPARE(m_state->groups().first().enabled, false);
}

void tst_SnippetsView::groupsSheetTakesAccessibleEdits()
{
    m_state->setGroups({group("Work")});
    GroupsManagerSheet sheet(*m_state);
    sheet.show();
    GroupEditorRow* row = sheet.rows().first();
    QSignalSpy writes(m_state.get(), &AppState::groupsChanged);
    QVERIFY(AccessibleEdit::setText(row->nameField(), QStringLiteral("Home")));
    QVERIFY(AccessibleEdit::setText(row->prefixField(), QStringLiteral("//")));
    QCOMPARE(m_state->groups().first().name, QStringLiteral("Home"));
    QCOMPARE(m_state->groups().first().triggerPrefix, QStringLiteral("//"));
    QCOMPARE(writes.size(), 2);
    QVERIFY(!row->prefixSentence()->isHidden());

    // The store changing elsewhere refills the fields and writes nothing back.
    SnippetGroup renamed = m_state->groups().first();
    renamed.name = QStringLiteral("Elsewhere");
    m_state->setGroups({renamed});
    QCOMPARE(row->nameField()->text(), QStringLiteral("Elsewhere"));
    QCOMPARE(writes.size(), 3);
    QCOMPARE(m_state->groups().first().name, QStringLiteral("Elsewhere"));
}

void tst_SnippetsView::groupsSheetScopeAndApps()
{
    m_state->setGroups({group("Work")});
    GroupsManagerSheet sheet(*m_state);
    sheet.show();
    GroupEditorRow* row = sheet.rows().first();
    row->scopePicker()->setCurrentIndex(1);
    emit row->scopePicker()->activated(1);
    QCOMPARE(m_state->groups().first().appMode, AppScopeMode::allExcept);
    QVERIFY(!row->appSection()->isHidden());
    QCOMPARE(row->scopeSentence()->text(),
             QStringLiteral("Snippets in this group expand everywhere except these apps (window classes):"));
    QVERIFY(row->chips().isEmpty());

    QTest::keyClicks(row->appField(), "  firefox\t");
    QTest::mouseClick(row->addAppButton(), Qt::LeftButton);
    QCOMPARE(m_state->groups().first().appList, QStringList{"firefox"});
    QVERIFY(row->appField()->text().isEmpty());
    QTest::keyClicks(row->appField(), "firefox");
    QTest::mouseClick(row->addAppButton(), Qt::LeftButton);
    QCOMPARE(m_state->groups().first().appList, QStringList{"firefox"});
    QCOMPARE(row->appField()->text(), QStringLiteral("firefox"));
    QCOMPARE(row->chips().size(), 1);

    // Back to everywhere: hidden, not cleared; "Only in…" shows the same chips again.
    emit row->scopePicker()->activated(0);
    QVERIFY(row->appSection()->isHidden());
    QCOMPARE(m_state->groups().first().appList, QStringList{"firefox"});
    emit row->scopePicker()->activated(2);
    QCOMPARE(row->scopeSentence()->text(),
             QStringLiteral("Snippets in this group expand only in these apps (window classes):"));
    QCOMPARE(row->chips().size(), 1);

    QTest::mouseClick(row->chips().first()->removeButton(), Qt::LeftButton);
    QVERIFY(m_state->groups().first().appList.isEmpty());
    QTRY_VERIFY(row->chips().isEmpty());
}

void tst_SnippetsView::groupsSheetDeleteKeepsSnippets()
{
    const SnippetGroup a = group("A", ";"), b = group("B");
    m_state->setGroups({a, b});
    m_state->setSnippets({snip("sig", "x", a.id), snip("b", "y", b.id)});
    GroupsManagerSheet sheet(*m_state);
    sheet.show();
    QCOMPARE(sheet.rows().size(), 2);
    QPointer<GroupEditorRow> other = sheet.rowFor(b.id);
    QTest::mouseClick(sheet.rowFor(a.id)->deleteButton(), Qt::LeftButton);
    QTRY_COMPARE(m_state->groups().size(), 1);
    QCOMPARE(m_state->snippets().size(), 2);
    QCOMPARE(m_state->snippets().first().groupID, std::optional<QUuid>());
    QVERIFY(m_state->triggerIndex().contains(QStringLiteral("sig")));
    QCOMPARE(sheet.rows().size(), 1);
    QCOMPARE(sheet.rows().first(), other.data());
}

QTEST_MAIN(tst_SnippetsView)
#include "tst_SnippetsView.moc"
