// The snippet library's rules as tables: search and group filter, the filter chips, the status
// line's timing, the editor's trigger line and saving, duplicate naming and the row preview.
#include "library/GroupEdits.h"
#include "library/LibraryLook.h"
#include "library/SnippetEditorLogic.h"
#include "library/SnippetFilter.h"
#include "library/SnippetRowLogic.h"
#include "library/TransientStatus.h"
#include "model/AppState.h"
#include "ui/SymbolImage.h"

#include "TestHome.h"

#include <QSignalSpy>
#include <QTest>

#include <memory>

using namespace SnippetEditorLogic;

namespace {

const QUuid groupA = QUuid::fromString(QStringLiteral("{00000000-0000-0000-0000-0000000000a1}"));
const QUuid groupB = QUuid::fromString(QStringLiteral("{00000000-0000-0000-0000-0000000000b2}"));
const QUuid gone = QUuid::fromString(QStringLiteral("{00000000-0000-0000-0000-0000000000ff}"));

Snippet snip(const QString& trigger, const QString& content = QStringLiteral("x"), bool enabled = true,
             std::optional<QUuid> group = std::nullopt)
{
    Snippet s;
    s.trigger = trigger;
    s.content = content;
    s.enabled = enabled;
    s.groupID = group;
    return s;
}

SnippetGroup group(const QUuid& id, const QString& name, const QString& prefix = {}, bool enabled = true)
{
    SnippetGroup g;
    g.id = id;
    g.name = name;
    g.triggerPrefix = prefix;
    g.enabled = enabled;
    return g;
}

QStringList triggersOf(const QList<Snippet>& list, const QList<int>& rows)
{
    QStringList out;
    for (int i : rows)
        out.append(list.at(i).trigger);
    return out;
}

} // namespace

class tst_LibraryLogic : public QObject
{
    Q_OBJECT

  private slots:
    void filter_data();
    void filter();
    void filterChips();
    void statusLine_data();
    void statusLine();
    void statusLineClearsAfterItsTime();
    void triggerLine_data();
    void triggerLine();
    void validity_data();
    void validity();
    void groupPrefixAndScriptNote();
    void saveByIdAndVanished();
    void duplicateNaming_data();
    void duplicateNaming();
    void duplicateInsertsCopyAfterSource();
    void rowWritesById();
    void preview_data();
    void preview();
    void shadowMarkAndUseCount();
    void groupEditsOneWriteEach();
    void everyLibrarySymbolIsDrawn();
};

void tst_LibraryLogic::filter_data()
{
    QTest::addColumn<std::optional<QUuid>>("filterGroup");
    QTest::addColumn<QString>("search");
    QTest::addColumn<QStringList>("expected");

    using G = std::optional<QUuid>;
    QTest::newRow("nothing: store order")
        << G() << QString() << QStringList{";sig", "addr", "ÄRGER", "sp", "grp"};
    QTest::newRow("capitals find lower case") << G() << "SIG" << QStringList{";sig"};
    QTest::newRow("content searched too") << G() << "street" << QStringList{"addr"};
    QTest::newRow("unicode lower-casing") << G() << "ärg" << QStringList{"ÄRGER"};
    QTest::newRow("unicode upper search of lower content") << G() << "GRÜN" << QStringList{"sp"};
    QTest::newRow("one space is not trimmed") << G() << " " << QStringList{";sig", "addr", "sp"};
    QTest::newRow("own trigger, not the prefix") << G() << ";;g" << QStringList{};
    QTest::newRow("group filter") << G(groupA) << QString() << QStringList{"grp"};
    QTest::newRow("group filter and search") << G(groupA) << "zzz" << QStringList{};
    QTest::newRow("deleted group filters nothing")
        << G(gone) << QString() << QStringList{";sig", "addr", "ÄRGER", "sp", "grp"};
    QTest::newRow("deleted group, search still applies") << G(gone) << "SIG" << QStringList{";sig"};
}

void tst_LibraryLogic::filter()
{
    QFETCH(std::optional<QUuid>, filterGroup);
    QFETCH(QString, search);
    QFETCH(QStringList, expected);
    const QList<SnippetGroup> groups{group(groupA, "A", ";;")};
    const QList<Snippet> snippets{snip(";sig", "Best,\nYour name"), snip("addr", "1 Main street"),
                                  snip("ÄRGER", "trouble"), snip("sp", "grün und blau"),
                                  snip("grp", "member", true, groupA)};
    QList<LoweredSnippetText> lowered;
    for (const Snippet& s : snippets)
        lowered.append(LoweredSnippetText::of(s));
    const QList<int> rows =
        filterSnippets(snippets, lowered, effectiveGroupFilter(filterGroup, groups), search);
    QCOMPARE(triggersOf(snippets, rows), expected);
}

void tst_LibraryLogic::filterChips()
{
    const QList<SnippetGroup> groups{group(groupA, "Work"), group(groupB, "Off", {}, false)};
    const QList<Snippet> snippets{snip("a", "x", true, groupA), snip("b", "x", true, groupA),
                                  snip("c", "x", true, gone), snip("d")};
    QList<GroupChipInfo> chips = groupFilterChips(snippets, groups, std::nullopt);
    QCOMPARE(chips.size(), 3);
    QCOMPARE(chips.at(0), (GroupChipInfo{std::nullopt, "All (4)", true, false}));
    QCOMPARE(chips.at(1), (GroupChipInfo{groupA, "Work (2)", false, false}));
    // A snippet of a deleted group counts under All only; a disabled group's chip is dimmed.
    QCOMPARE(chips.at(2), (GroupChipInfo{groupB, "Off (0)", false, true}));

    chips = groupFilterChips(snippets, groups, groupB);
    QVERIFY(!chips.at(0).selected);
    QVERIFY(chips.at(2).selected);
    // A filter naming a deleted group selects no chip at all.
    chips = groupFilterChips(snippets, groups, gone);
    for (const GroupChipInfo& c : chips)
        QVERIFY(!c.selected);

    chips = groupFilterChips({}, groups, std::nullopt);
    QCOMPARE(chips.at(0).label, QStringLiteral("All (0)"));
    QCOMPARE(chips.at(1).label, QStringLiteral("Work (0)"));
}

void tst_LibraryLogic::statusLine_data()
{
    // Steps: "post:<text>" shows a message; "expire:<n>" runs the clearing task of the n-th post.
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("shown"); // empty: nothing shown

    QTest::newRow("own task clears") << QStringList{"post:Imported 3", "expire:1"} << QString();
    QTest::newRow("older task spares a newer message")
        << QStringList{"post:Imported 3", "post:Exported 5", "expire:1"} << "Exported 5";
    QTest::newRow("older task spares a newer identical message")
        << QStringList{"post:Imported 3", "post:Imported 3", "expire:1"} << "Imported 3";
    QTest::newRow("newer message cleared by its own task")
        << QStringList{"post:A", "post:B", "expire:1", "expire:2"} << QString();
    QTest::newRow("late task after clearing does nothing")
        << QStringList{"post:A", "expire:1", "post:B", "expire:1"} << "B";
}

void tst_LibraryLogic::statusLine()
{
    QFETCH(QStringList, steps);
    QFETCH(QString, shown);
    StatusLineState state;
    QList<quint64> generations;
    for (const QString& step : steps) {
        if (step.startsWith("post:"))
            generations.append(state.post(step.mid(5)));
        else
            state.expire(generations.at(step.mid(7).toInt() - 1));
    }
    QCOMPARE(state.text().value_or(QString()), shown);
}

void tst_LibraryLogic::statusLineClearsAfterItsTime()
{
    TransientStatus status(200);
    status.show("first");
    QTest::qWait(120);
    status.show("first");
    QTest::qWait(120); // the first task is due: the newer identical message stays
    QCOMPARE(status.text(), std::optional<QString>("first"));
    QTRY_COMPARE_WITH_TIMEOUT(status.text(), std::optional<QString>(), 2000);
}

void tst_LibraryLogic::triggerLine_data()
{
    QTest::addColumn<QList<Snippet>>("others");
    QTest::addColumn<QList<SnippetGroup>>("groups");
    QTest::addColumn<Snippet>("working");
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("text");

    const int instant = int(ExpansionMode::instant);
    const int delimiter = int(ExpansionMode::delimiter);
    const int conflict = int(TriggerLineKind::conflict);
    const int shadow = int(TriggerLineKind::shadow);
    const int tip = int(TriggerLineKind::tip);
    const QString never = "This will never expand in instant mode — “;a” fires first.";
    const QString shadows = "This will shadow “;addr” in instant mode — that snippet will never expand.";
    const QList<SnippetGroup> prefixed{group(groupA, "A", ";"), group(groupB, "B", "!", false)};
    const QList<SnippetGroup> none;

    QTest::newRow("no others: tip") << QList<Snippet>{} << none << snip(";x") << instant << tip << tipText;
    QTest::newRow("same trigger: conflict")
        << QList<Snippet>{snip(";x")} << none << snip(";x") << instant << conflict << conflictText;
    QTest::newRow("disabled snippet still conflicts") << QList<Snippet>{snip(";x", "y", false)} << none
                                                      << snip(";x") << delimiter << conflict << conflictText;
    QTest::newRow("snippet in a disabled group still conflicts")
        << QList<Snippet>{snip("x", "y", true, groupB)} << prefixed << snip("!x") << delimiter << conflict
        << conflictText;
    QTest::newRow("prefix makes triggers meet") << QList<Snippet>{snip("ab", "y", true, groupA)} << prefixed
                                                << snip(";ab") << delimiter << conflict << conflictText;
    QTest::newRow("different prefixes do not conflict")
        << QList<Snippet>{snip("ab", "y", true, groupA)} << prefixed << snip("ab", "x", true, groupB)
        << delimiter << tip << tipText;
    QTest::newRow("working copy's group choice counts")
        << QList<Snippet>{snip(";ab")} << prefixed << snip("ab", "x", true, groupA) << delimiter << conflict
        << conflictText;
    QTest::newRow("group that is gone: bare trigger")
        << QList<Snippet>{snip("ab")} << prefixed << snip("ab", "x", true, gone) << delimiter << conflict
        << conflictText;
    QTest::newRow("longer working trigger never expands")
        << QList<Snippet>{snip(";a")} << none << snip(";addr") << instant << shadow << never;
    QTest::newRow("shorter working trigger shadows")
        << QList<Snippet>{snip(";addr")} << none << snip(";a") << instant << shadow << shadows;
    QTest::newRow("first pass wins") << QList<Snippet>{snip(";addrx"), snip(";a")} << none << snip(";addr")
                                     << instant << shadow << never;
    QTest::newRow("letter-led triggers compared")
        << QList<Snippet>{snip("brb")} << none << snip("br") << instant << shadow
        << "This will shadow “brb” in instant mode — that snippet will never expand.";
    QTest::newRow("disabled other: no warning")
        << QList<Snippet>{snip(";a", "y", false)} << none << snip(";addr") << instant << tip << tipText;
    QTest::newRow("delimiter mode: no warning")
        << QList<Snippet>{snip(";a")} << none << snip(";addr") << delimiter << tip << tipText;
    QTest::newRow("own triggers, prefixes play no part")
        << QList<Snippet>{snip("a", "y", true, groupA)} << prefixed << snip("ab") << instant << shadow
        << "This will never expand in instant mode — “a” fires first.";
    QTest::newRow("conflict before shadow") << QList<Snippet>{snip(";a"), snip(";addr")} << none
                                            << snip(";addr") << instant << conflict << conflictText;
}

void tst_LibraryLogic::triggerLine()
{
    QFETCH(QList<Snippet>, others);
    QFETCH(QList<SnippetGroup>, groups);
    QFETCH(Snippet, working);
    QFETCH(int, mode);
    QFETCH(int, kind);
    QFETCH(QString, text);
    // The working copy is itself stored (an edit): its own id never conflicts.
    QList<Snippet> stored = others;
    stored.append(working);
    const TriggerLine line = SnippetEditorLogic::triggerLine(working, stored, groups, ExpansionMode(mode));
    QCOMPARE(int(line.kind), kind);
    QCOMPARE(line.text, text);
}

void tst_LibraryLogic::validity_data()
{
    QTest::addColumn<QString>("trigger");
    QTest::addColumn<QString>("content");
    QTest::addColumn<bool>("valid");
    QTest::newRow("both set") << ";x"
                              << "y" << true;
    QTest::newRow("blanks count as text") << " "
                                          << " " << true;
    QTest::newRow("empty trigger") << ""
                                   << "y" << false;
    QTest::newRow("empty content") << ";x"
                                   << "" << false;
    QTest::newRow("conflict") << ";taken"
                              << "y" << false;
}

void tst_LibraryLogic::validity()
{
    QFETCH(QString, trigger);
    QFETCH(QString, content);
    QFETCH(bool, valid);
    QCOMPARE(isValid(snip(trigger, content), {snip(";taken")}, {}), valid);
}

void tst_LibraryLogic::groupPrefixAndScriptNote()
{
    const QList<SnippetGroup> groups{group(groupA, "A", ";"), group(groupB, "B")};
    QCOMPARE(groupPrefixLine(snip("sig", "x", true, groupA), groups),
             std::optional<QString>("Group prefix “;” — you'll type ;sig"));
    QCOMPARE(groupPrefixLine(snip("sig", "x", true, groupB), groups), std::optional<QString>());
    QCOMPARE(groupPrefixLine(snip("sig", "x", true, gone), groups), std::optional<QString>());
    QCOMPARE(groupPrefixLine(snip("sig"), groups), std::optional<QString>());
    QCOMPARE(scriptNote(true, "/bin/sh"),
             QStringLiteral("Runs with /bin/sh -c; stdout is inserted (3s timeout)."));
    QCOMPARE(scriptNote(false, "/bin/sh"),
             QStringLiteral("Script snippets are disabled — enable them in General first."));
}

void tst_LibraryLogic::saveByIdAndVanished()
{
    TestHome home;
    AppState state(home.storeOptions());
    const Snippet a = snip(";a", "one"), b = snip(";b", "two");
    state.setSnippets({a, b});
    QSignalSpy writes(&state, &AppState::snippetsChanged);

    // Unchanged edit: allowed, same list.
    QCOMPARE(save(state, a, false), SaveOutcome::replaced);
    QCOMPARE(state.snippets(), (QList<Snippet>{a, b}));

    Snippet edited = a;
    edited.trigger = ";aa";
    edited.kind = SnippetKind::shell;
    edited.groupID = gone;
    QCOMPARE(save(state, edited, false), SaveOutcome::replaced);
    QCOMPARE(state.snippets(), (QList<Snippet>{edited, b}));
    QCOMPARE(writes.size(), 2);

    Snippet conflicting = edited;
    conflicting.trigger = ";b";
    QCOMPARE(save(state, conflicting, false), SaveOutcome::invalid);
    QCOMPARE(writes.size(), 2);

    // Removed elsewhere while the sheet was open: nothing written, nothing re-added.
    state.setSnippets({b});
    writes.clear();
    QCOMPARE(save(state, edited, false), SaveOutcome::vanished);
    QCOMPARE(state.snippets(), QList<Snippet>{b});
    QCOMPARE(writes.size(), 0);

    // New snippets go to the end, whatever their group.
    Snippet fresh = blankSnippet();
    fresh.trigger = ";new";
    fresh.content = "n";
    QCOMPARE(save(state, fresh, true), SaveOutcome::added);
    QCOMPARE(state.snippets().last(), fresh);
    QCOMPARE(writes.size(), 1);

    const Snippet blank = blankSnippet();
    QVERIFY(blank.enabled && blank.keepDelimiter);
    QVERIFY(!blank.ignoreCase && !blank.adaptCase && !blank.wholeWord && !blank.learned);
    QVERIFY(blank.trigger.isEmpty() && blank.content.isEmpty() && !blank.groupID);
    QVERIFY(blankSnippet().id != blank.id);
}

void tst_LibraryLogic::duplicateNaming_data()
{
    QTest::addColumn<QStringList>("stored");
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("expected");
    QTest::newRow("free") << QStringList{";sig"} << ";sig"
                          << ";sig2";
    QTest::newRow("2 taken") << QStringList{";sig", ";sig2"} << ";sig"
                             << ";sig3";
    QTest::newRow("gap is used") << QStringList{";sig", ";sig3"} << ";sig"
                                 << ";sig2";
    QTest::newRow("case-sensitive") << QStringList{";sig", ";SIG2"} << ";sig"
                                    << ";sig2";
    QTest::newRow("past ten") << QStringList{"x", "x2", "x3", "x4", "x5", "x6", "x7", "x8", "x9", "x10"}
                              << "x"
                              << "x11";
    QTest::newRow("empty trigger") << QStringList{""} << ""
                                   << "2";
}

void tst_LibraryLogic::duplicateNaming()
{
    QFETCH(QStringList, stored);
    QFETCH(QString, base);
    QFETCH(QString, expected);
    QList<Snippet> snippets;
    for (const QString& t : stored)
        snippets.append(snip(t));
    QCOMPARE(SnippetRowLogic::duplicateTrigger(base, snippets), expected);
}

void tst_LibraryLogic::duplicateInsertsCopyAfterSource()
{
    TestHome home;
    AppState state(home.storeOptions());
    state.setGroups({group(groupA, "A", ";"), group(groupB, "B")});
    Snippet source = snip("sig", "Best", false, groupA);
    source.kind = SnippetKind::shell;
    source.ignoreCase = source.adaptCase = source.wholeWord = source.learned = true;
    source.keepDelimiter = false;
    // sig2 in another group still counts: the copy takes sig3.
    state.setSnippets({source, snip("other"), snip("sig2", "x", true, groupB)});

    const Snippet copy = SnippetRowLogic::duplicate(state, source);
    QCOMPARE(state.snippets().size(), 4);
    QCOMPARE(state.snippets().at(1), copy);
    QCOMPARE(copy.trigger, QStringLiteral("sig3"));
    QCOMPARE(copy.content, QStringLiteral("Best"));
    QCOMPARE(copy.enabled, false);
    QCOMPARE(copy.kind, SnippetKind::text);
    QVERIFY(!copy.groupID && !copy.ignoreCase && !copy.adaptCase && !copy.wholeWord && !copy.learned);
    QVERIFY(copy.keepDelimiter);
    QVERIFY(copy.id != source.id);

    // A source no longer stored: the copy goes to the end.
    const Snippet vanished = snip("zz");
    SnippetRowLogic::duplicate(state, vanished);
    QCOMPARE(state.snippets().last().trigger, QStringLiteral("zz2"));
}

void tst_LibraryLogic::rowWritesById()
{
    TestHome home;
    AppState state(home.storeOptions());
    const Snippet a = snip(";a", "one", false), b = snip(";b");
    state.setSnippets({a, b});
    QSignalSpy writes(&state, &AppState::snippetsChanged);

    QCOMPARE(SnippetRowLogic::isEnabled(state, a.id), false);
    SnippetRowLogic::setEnabled(state, a.id, true);
    QCOMPARE(writes.size(), 1);
    QVERIFY(state.triggerIndex().contains(QStringLiteral(";a")));

    SnippetRowLogic::remove(state, a.id);
    QCOMPARE(state.snippets(), QList<Snippet>{b});
    QCOMPARE(writes.size(), 2);

    // Gone: the switch reads off and nothing is written.
    QCOMPARE(SnippetRowLogic::isEnabled(state, a.id), false);
    SnippetRowLogic::setEnabled(state, a.id, true);
    SnippetRowLogic::remove(state, a.id);
    QCOMPARE(writes.size(), 2);
}

void tst_LibraryLogic::preview_data()
{
    QTest::addColumn<QString>("content");
    QTest::addColumn<QString>("expected");
    const QString longText = QString(100, QLatin1Char('a'));
    QTest::newRow("short") << "Best"
                           << "Best";
    QTest::newRow("three lines") << "a\nb\nc" << QString::fromUtf8("a ⏎ b ⏎ c");
    QTest::newRow("cut at 80") << longText << QString(80, QLatin1Char('a'));
    QTest::newRow("line feeds count after replacing")
        << QString(77, QLatin1Char('a')) + "\nzzz"
        << QString(77, QLatin1Char('a')) + QString::fromUtf8(" ⏎ ");
    const QString family = QString::fromUtf8("👨‍👩‍👧");
    QString emoji;
    for (int i = 0; i < 85; ++i)
        emoji += family;
    QString expected;
    for (int i = 0; i < 80; ++i)
        expected += family;
    QTest::newRow("graphemes are not split") << emoji << expected;
    QTest::newRow("combining marks stay") << QString(79, QLatin1Char('a')) + QString::fromUtf8("e\u0301x")
                                          << QString(79, QLatin1Char('a')) + QString::fromUtf8("e\u0301");
}

void tst_LibraryLogic::preview()
{
    QFETCH(QString, content);
    QFETCH(QString, expected);
    QCOMPARE(SnippetRowLogic::preview(content), expected);
}

void tst_LibraryLogic::shadowMarkAndUseCount()
{
    const QHash<QString, QString> shadowed{{";addr", ";a"}};
    QCOMPARE(SnippetRowLogic::shadowTooltip(ExpansionMode::instant, shadowed, ";addr"),
             std::optional<QString>("Never expands in instant mode — “;a” fires first. Rename one of them or "
                                    "switch to delimiter mode."));
    QCOMPARE(SnippetRowLogic::shadowTooltip(ExpansionMode::delimiter, shadowed, ";addr"),
             std::optional<QString>());
    QCOMPARE(SnippetRowLogic::shadowTooltip(ExpansionMode::instant, shadowed, ";a"),
             std::optional<QString>());
    QCOMPARE(SnippetRowLogic::useCount(0), std::optional<QString>());
    QCOMPARE(SnippetRowLogic::useCount(12), std::optional<QString>("×12"));
}

void tst_LibraryLogic::groupEditsOneWriteEach()
{
    TestHome home;
    AppState state(home.storeOptions());
    const QUuid id = GroupEdits::addGroup(state);
    SnippetGroup g = *GroupEdits::find(state, id);
    QCOMPARE(g.name, QStringLiteral("New group"));
    QVERIFY(g.enabled && g.triggerPrefix.isEmpty() && g.appMode == AppScopeMode::all && g.appList.isEmpty());

    QSignalSpy writes(&state, &AppState::groupsChanged);
    QVERIFY(GroupEdits::addApp(state, id, " \tfirefox  "));
    QCOMPARE(GroupEdits::find(state, id)->appList, QStringList{"firefox"});
    QVERIFY(!GroupEdits::addApp(state, id, "firefox"));
    QVERIFY(!GroupEdits::addApp(state, id, " \t "));
    QVERIFY(GroupEdits::addApp(state, id, "Firefox"));
    QCOMPARE(writes.size(), 2);
    // A unchanged value is not written again; an unknown group is skipped.
    QVERIFY(!GroupEdits::update(state, id, [](SnippetGroup& g) { g.appMode = AppScopeMode::all; }));
    QVERIFY(!GroupEdits::addApp(state, gone, "code"));
    QCOMPARE(writes.size(), 2);

    GroupEdits::update(state, id, [](SnippetGroup& g) { g.appList.append("firefox"); });
    GroupEdits::removeApp(state, id, "firefox");
    QCOMPARE(GroupEdits::find(state, id)->appList, QStringList{"Firefox"});

    QCOMPARE(GroupEdits::prefixSentence(";"),
             std::optional<QString>("Members expand on ;trigger — the prefix is typed before each trigger."));
    QCOMPARE(GroupEdits::prefixSentence({}), std::optional<QString>());
    QCOMPARE(GroupEdits::memberCount({snip("a", "x", true, id), snip("b")}, id), 1);
}

void tst_LibraryLogic::everyLibrarySymbolIsDrawn()
{
    for (const QString& name : LibraryLook::symbolNames())
        QVERIFY2(SymbolImage::isKnown(name), qPrintable(name));
}

QTEST_MAIN(tst_LibraryLogic)
#include "tst_LibraryLogic.moc"
