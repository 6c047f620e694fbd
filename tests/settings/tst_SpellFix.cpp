// The Spell Fix page: the list's order and search, the add row, switching built-ins and
// deleting custom corrections, through the page's logic and through the page itself.
#include "model/AppState.h"
#include "settings/CorrectionList.h"
#include "settings/CorrectionListModel.h"
#include "settings/CorrectionsView.h"
#include "ui/AccentToggle.h"
#include "ui/PillButton.h"
#include "ui/ThemedTextField.h"

#include "TestHome.h"

#include <QApplication>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

CustomCorrection custom(const QString& wrong, const QString& right, bool learned = false)
{
    return CustomCorrection{QUuid::createUuid(), wrong, right, learned};
}

QStringList describe(const QList<CorrectionListRow>& rows)
{
    QStringList out;
    for (const CorrectionListRow& r : rows)
        out.append((r.isCustom ? QStringLiteral("c ") : QStringLiteral("b ")) + r.wrong + QLatin1Char('>') + r.right);
    return out;
}

} // namespace

class tst_SpellFix : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void init();
    void cleanup();

    void builtinsFirstThenCustomInOrder();
    void order_data();
    void order();
    void search_data();
    void search();
    void addRules_data();
    void addRules();

    void addFromThePage();
    void protectedWordMessage();
    void placeholderCountsEveryRow();
    void switchingBuiltinsOffAndOn();
    void customRowsDeleteOnHoverOrKey();
    void storeChangesApplyInPlace();
    void showingThePageWritesNothing();
    void headerSwitchLeavesTheRestUsable();

  private:
    CorrectionsView& page()
    {
        if (!m_page) {
            m_page = std::make_unique<CorrectionsView>(*m_state);
            m_page->resize(900, 700);
            m_page->show();
            QApplication::processEvents();
        }
        return *m_page;
    }
    int rowOf(const QString& id) { return page().model()->indexOf(id); }
    QRect rectOf(int row)
    {
        return page().listView()->visualRect(page().model()->index(row));
    }

    std::unique_ptr<TestHome> m_home;
    std::unique_ptr<AppState> m_state;
    std::unique_ptr<CorrectionsView> m_page;
};

void tst_SpellFix::init()
{
    m_home = std::make_unique<TestHome>();
    AppState::Options o = m_home->storeOptions();
    o.deferSettingsWrites = false;
    m_state = std::make_unique<AppState>(o);
}

void tst_SpellFix::cleanup()
{
    m_page.reset();
    m_state.reset();
    m_home.reset();
}

void tst_SpellFix::builtinsFirstThenCustomInOrder()
{
    const QList<CorrectionListRow> builtins = CorrectionList::allRows({});
    QCOMPARE(builtins.size(), 348);
    for (int i = 1; i < builtins.size(); ++i)
        QVERIFY2(builtins.at(i - 1).wrong < builtins.at(i).wrong, qPrintable(builtins.at(i).wrong));
    QCOMPARE(builtins.first().id, QStringLiteral("b:") + builtins.first().wrong);
    QVERIFY(!builtins.first().customID && !builtins.first().isCustom && !builtins.first().learned);

    const CustomCorrection c = custom(QStringLiteral("teh"), QStringLiteral("THE"), true);
    const QList<CorrectionListRow> rows = CorrectionList::allRows({c});
    QCOMPARE(rows.size(), 349);
    QVERIFY(!rows.first().isCustom);
    const auto it = std::find_if(rows.begin(), rows.end(), [](const CorrectionListRow& r) { return r.isCustom; });
    QVERIFY(it != rows.end());
    QCOMPARE(it->id, QStringLiteral("c:") + c.id.toString(QUuid::WithoutBraces));
    QCOMPARE(it->customID, std::optional<QUuid>(c.id));
    QVERIFY(it->learned);
    // Right after the built-in with the same misspelling.
    QCOMPARE((it - 1)->id, QStringLiteral("b:teh"));
}

void tst_SpellFix::order_data()
{
    QTest::addColumn<QStringList>("customs"); // wrong>right, in store order
    QTest::addColumn<QString>("prefix");      // the rows looked at: "wrong>right" starts with it
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("built-in before custom, customs in store order")
        << QStringList{"teh>thee", "teh>tea"} << "teh>"
        << QStringList{"b teh>the", "c teh>thee", "c teh>tea"};
    QTest::newRow("capitals first")
        << QStringList{"zzb>b", "Zzb>B", "zza>a"} << ""
        << QStringList{"c Zzb>B", "c zza>a", "c zzb>b"};
    // é precomposed and as e + combining accent are one misspelling: store order decides.
    QTest::newRow("canonically equal")
        << QStringList{QString::fromUtf8("qqe\u0301>1"), QString::fromUtf8("qq\u00e9>2"), "qqf>3"} << ""
        << QStringList{"c qqf>3", QString::fromUtf8("c qqe\u0301>1"), QString::fromUtf8("c qq\u00e9>2")};
    // Code points, not UTF-16 units: U+FFFD sorts before U+1F600.
    QTest::newRow("beyond the basic plane")
        << QStringList{QString::fromUtf8("xx\U0001F600>1"), QString::fromUtf8("xx\uFFFD>2")} << ""
        << QStringList{QString::fromUtf8("c xx\uFFFD>2"), QString::fromUtf8("c xx\U0001F600>1")};
}

void tst_SpellFix::order()
{
    QFETCH(QStringList, customs);
    QFETCH(QString, prefix);
    QFETCH(QStringList, expected);
    QList<CustomCorrection> list;
    for (const QString& c : customs)
        list.append(custom(c.section(QLatin1Char('>'), 0, 0), c.section(QLatin1Char('>'), 1)));
    QList<CorrectionListRow> rows;
    for (const CorrectionListRow& r : CorrectionList::allRows(list))
        if (r.isCustom || (!prefix.isEmpty() && (r.wrong + QLatin1Char('>') + r.right).startsWith(prefix)))
            rows.append(r);
    QCOMPARE(describe(rows), expected);
}

void tst_SpellFix::search_data()
{
    QTest::addColumn<QStringList>("customs");
    QTest::addColumn<QString>("search");
    QTest::addColumn<QStringList>("expected");

    const QStringList none;
    QTest::newRow("upper-case query, either side")
        << QStringList{"xyz>Tehran", "Teh>The"} << "TEH"
        << QStringList{"b otehr>other", "b teh>the", "b tehre>there", "b tehy>they", "c xyz>Tehran"};
    QTest::newRow("stored capitals are not lower-cased") << QStringList{"Qwz>x"} << "qwz" << none;
    QTest::newRow("replacement in any case") << QStringList{"abcq>QWZ"} << "qwz" << QStringList{"c abcq>QWZ"};
    QTest::newRow("a single space is a query")
        << QStringList{"a b>c", "x>y z"} << " " << QStringList{"c a b>c", "b thankyou>thank you", "c x>y z"};
    QTest::newRow("untrimmed") << QStringList{} << "teh " << none;
    QTest::newRow("non-Latin") << QStringList{QString::fromUtf8("прывет>привет")} << QString::fromUtf8("ПРИ")
                               << QStringList{QString::fromUtf8("c прывет>привет")};
}

void tst_SpellFix::search()
{
    QFETCH(QStringList, customs);
    QFETCH(QString, search);
    QFETCH(QStringList, expected);
    QList<CustomCorrection> list;
    for (const QString& c : customs)
        list.append(custom(c.section(QLatin1Char('>'), 0, 0), c.section(QLatin1Char('>'), 1)));
    QCOMPARE(describe(CorrectionList::rows(list, search)), expected);

    // The page shows the same rows.
    m_state->setCustomCorrections(list);
    page().searchField()->setText(search);
    QCOMPARE(describe(page().model()->rows()), expected);
}

void tst_SpellFix::addRules_data()
{
    QTest::addColumn<QString>("wrong");
    QTest::addColumn<QString>("right");
    QTest::addColumn<bool>("canAdd");
    QTest::addColumn<bool>("isProtected");
    QTest::addColumn<QString>("storedWrong");
    QTest::addColumn<QString>("storedRight");

    QTest::newRow("trimmed, misspelling lower-cased")
        << " Teh\t" << " The" << true << false << "teh" << "The";
    QTest::newRow("equal ignoring case") << "teh" << "TEH" << false << false << "" << "";
    QTest::newRow("empty misspelling") << "  " << "x" << false << false << "" << "";
    QTest::newRow("empty replacement") << "abc" << "\t" << false << false << "" << "";
    QTest::newRow("protected, any case, spaces") << " DONT " << "don't" << false << true << "" << "";
    QTest::newRow("line break is not trimmed") << "abc\n" << "abd" << true << false << "abc\n" << "abd";
    QTest::newRow("a built-in misspelling again") << "teh" << "ten" << true << false << "teh" << "ten";
}

void tst_SpellFix::addRules()
{
    QFETCH(QString, wrong);
    QFETCH(QString, right);
    QFETCH(bool, canAdd);
    QFETCH(bool, isProtected);
    QFETCH(QString, storedWrong);
    QFETCH(QString, storedRight);
    QCOMPARE(CorrectionList::canAdd(wrong, right), canAdd);
    QCOMPARE(CorrectionList::isProtectedAttempt(wrong), isProtected);
    QCOMPARE(CorrectionList::addCustom(*m_state, wrong, right), canAdd);
    if (canAdd) {
        QCOMPARE(m_state->customCorrections().size(), 1);
        const CustomCorrection& c = m_state->customCorrections().first();
        QCOMPARE(c.wrong, storedWrong);
        QCOMPARE(c.right, storedRight);
        QVERIFY(!c.learned);
    } else {
        QVERIFY(m_state->customCorrections().isEmpty());
    }
}

void tst_SpellFix::addFromThePage()
{
    CorrectionsView& p = page();
    QCOMPARE(p.addButton()->opacity(), 0.4);
    // Dimmed but clickable: a click does nothing.
    QVERIFY(p.addButton()->isEnabled());
    QTest::mouseClick(p.addButton(), Qt::LeftButton);
    QVERIFY(m_state->customCorrections().isEmpty());

    QTest::keyClicks(p.wrongField(), QStringLiteral(" Teh "));
    QTest::keyClicks(p.rightField(), QStringLiteral(" The"));
    QCOMPARE(p.addButton()->opacity(), 1.0);
    QSignalSpy inserted(p.model(), &QAbstractItemModel::rowsInserted);
    QTest::mouseClick(p.addButton(), Qt::LeftButton);
    QCOMPARE(m_state->customCorrections().size(), 1);
    QCOMPARE(m_state->customCorrections().first().wrong, QStringLiteral("teh"));
    QCOMPARE(m_state->customCorrections().first().right, QStringLiteral("The"));
    QVERIFY(p.wrongField()->text().isEmpty() && p.rightField()->text().isEmpty());
    QCOMPARE(p.addButton()->opacity(), 0.4);
    QCOMPARE(m_state->correctionIndex().value(QStringLiteral("teh")), QStringLiteral("The"));

    // The same again: a second custom row, right after the first.
    QTest::keyClicks(p.wrongField(), QStringLiteral("teh"));
    QTest::keyClicks(p.rightField(), QStringLiteral("The"));
    QTest::mouseClick(p.addButton(), Qt::LeftButton);
    QCOMPARE(m_state->customCorrections().size(), 2);
    QCOMPARE(inserted.size(), 2);
    const int builtin = rowOf(QStringLiteral("b:teh"));
    QVERIFY(builtin >= 0);
    QVERIFY(p.model()->rowAt(builtin + 1).isCustom && p.model()->rowAt(builtin + 2).isCustom);
    QCOMPARE(p.model()->rowAt(builtin + 1).customID, std::optional<QUuid>(m_state->customCorrections().at(0).id));
}

void tst_SpellFix::protectedWordMessage()
{
    CorrectionsView& p = page();
    QTest::keyClicks(p.wrongField(), QStringLiteral(" DoNt "));
    QTest::keyClicks(p.rightField(), QStringLiteral("do not"));
    QVERIFY(p.protectedLabel()->isVisible());
    QCOMPARE(p.protectedLabel()->text(),
             QString::fromUtf8("\u201C dont \u201D is protected and can\u2019t be auto-corrected."));
    QCOMPARE(p.protectedLabel()->textFormat(), Qt::PlainText);
    QCOMPARE(p.addButton()->opacity(), 0.4);
    QTest::mouseClick(p.addButton(), Qt::LeftButton);
    QVERIFY(m_state->customCorrections().isEmpty());

    // Equal ignoring case is refused without a message.
    p.wrongField()->setText(QStringLiteral("teh"));
    p.rightField()->setText(QStringLiteral("TEH"));
    QVERIFY(!p.protectedLabel()->isVisible());
    QCOMPARE(p.addButton()->opacity(), 0.4);
}

void tst_SpellFix::placeholderCountsEveryRow()
{
    m_state->setCustomCorrections({custom("abc", "abd"), custom("abe", "abf")});
    m_state->setDisabledBuiltins({QStringLiteral("teh"), QStringLiteral("hte")});
    CorrectionsView& p = page();
    QCOMPARE(p.searchField()->placeholderText(), QString::fromUtf8("Search 350 corrections\u2026"));
    QCOMPARE(p.searchField()->accessibleName(), p.searchField()->placeholderText());
    CorrectionList::remove(*m_state, p.model()->rowAt(rowOf(QStringLiteral("c:") +
                                                            m_state->customCorrections().first().id.toString(
                                                                QUuid::WithoutBraces))));
    QCOMPARE(p.searchField()->placeholderText(), QString::fromUtf8("Search 349 corrections\u2026"));
}

void tst_SpellFix::switchingBuiltinsOffAndOn()
{
    CorrectionsView& p = page();
    p.searchField()->setText(QStringLiteral("teh"));
    const int row = rowOf(QStringLiteral("b:teh"));
    QVERIFY(row >= 0);
    const QModelIndex index = p.model()->index(row);
    QCOMPARE(index.data(Qt::CheckStateRole).toInt(), int(Qt::Checked));

    // A click on the check box switches it off; the row stays, drawn as not in force.
    const CorrectionRowGeometry g = CorrectionRowGeometry::compute(rectOf(row).adjusted(0, 0, 0, -4),
                                                                   p.model()->rowAt(row));
    QTest::mouseClick(p.listView()->viewport(), Qt::LeftButton, {}, g.checkBox.center());
    QCOMPARE(m_state->disabledBuiltins(), QSet<QString>{QStringLiteral("teh")});
    QVERIFY(!m_state->correctionIndex().contains(QStringLiteral("teh")));
    QCOMPARE(rowOf(QStringLiteral("b:teh")), row);
    QCOMPARE(index.data(CorrectionListModel::EnabledRole).toBool(), false);
    QCOMPARE(index.data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));

    // Space on the current row switches it on again.
    p.listView()->setFocus();
    p.listView()->setCurrentIndex(index);
    QTest::keyClick(p.listView(), Qt::Key_Space);
    QVERIFY(m_state->disabledBuiltins().isEmpty());
    QCOMPARE(m_state->correctionIndex().value(QStringLiteral("teh")), QStringLiteral("the"));

    // Setting the state a row already has writes nothing.
    QSignalSpy changed(m_state.get(), &AppState::disabledBuiltinsChanged);
    QVERIFY(p.model()->setData(index, Qt::Checked, Qt::CheckStateRole));
    QCOMPARE(changed.size(), 0);
    // Custom rows have no check box.
    m_state->setCustomCorrections({custom("tehh", "the")});
    const QModelIndex customIndex = p.model()->index(rowOf(QStringLiteral("c:") +
                                                           m_state->customCorrections().first().id.toString(
                                                               QUuid::WithoutBraces)));
    QVERIFY(!(customIndex.flags() & Qt::ItemIsUserCheckable));
    QVERIFY(!customIndex.data(Qt::CheckStateRole).isValid());
    QCOMPARE(customIndex.data(CorrectionListModel::EnabledRole).toBool(), true);
}

void tst_SpellFix::customRowsDeleteOnHoverOrKey()
{
    m_state->setCustomCorrections({custom("zzq", "zzr", true), custom("zzs", "zzt")});
    CorrectionsView& p = page();
    p.searchField()->setText(QStringLiteral("zz"));
    QCOMPARE(p.model()->rowCount(), 2);

    const CorrectionRowGeometry g = CorrectionRowGeometry::compute(rectOf(0).adjusted(0, 0, 0, -4),
                                                                   p.model()->rowAt(0));
    QVERIFY(!g.trash.isEmpty() && !g.sparkles.isEmpty() && g.checkBox.isEmpty());
    // Not hovered: the trash is not there, a click on its place does nothing.
    p.listView()->setHoveredId({});
    QTest::mouseClick(p.listView()->viewport(), Qt::LeftButton, {}, g.trash.center());
    QApplication::processEvents();
    QCOMPARE(m_state->customCorrections().size(), 2);

    p.listView()->setHoveredId(p.model()->rowAt(0).id);
    QTest::mouseClick(p.listView()->viewport(), Qt::LeftButton, {}, g.trash.center());
    QTRY_COMPARE(m_state->customCorrections().size(), 1);
    QCOMPARE(m_state->customCorrections().first().wrong, QStringLiteral("zzs"));
    QCOMPARE(p.model()->rowCount(), 1);

    p.listView()->setFocus();
    p.listView()->setCurrentIndex(p.model()->index(0));
    QTest::keyClick(p.listView(), Qt::Key_Delete);
    QVERIFY(m_state->customCorrections().isEmpty());
    QCOMPARE(p.model()->rowCount(), 0);

    // Delete on a built-in does nothing.
    p.searchField()->setText(QStringLiteral("teh"));
    p.listView()->setCurrentIndex(p.model()->index(0));
    QTest::keyClick(p.listView(), Qt::Key_Delete);
    QCOMPARE(p.model()->rowCount(), 4);
}

void tst_SpellFix::storeChangesApplyInPlace()
{
    CorrectionsView& p = page();
    p.listView()->setCurrentIndex(p.model()->index(300));
    const QString currentId = p.model()->rowAt(300).id;
    QSignalSpy reset(p.model(), &QAbstractItemModel::modelReset);
    QSignalSpy inserted(p.model(), &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(p.model(), &QAbstractItemModel::rowsRemoved);

    m_state->setCustomCorrections({custom("aaaa", "b")});
    m_state->setDisabledBuiltins({QStringLiteral("teh")});
    m_state->setCustomCorrections({});
    QCOMPARE(inserted.size(), 1);
    QCOMPARE(removed.size(), 1);
    QCOMPARE(reset.size(), 0);
    QCOMPARE(p.model()->rowAt(p.listView()->currentIndex().row()).id, currentId);
}

void tst_SpellFix::showingThePageWritesNothing()
{
    m_state->setSpellFixEnabled(false);
    m_state->setCustomCorrections({custom("abc", "abd")});
    QSignalSpy spell(m_state.get(), &AppState::spellFixEnabledChanged);
    QSignalSpy doubles(m_state.get(), &AppState::doubleCapitalFixEnabledChanged);
    QSignalSpy customs(m_state.get(), &AppState::customCorrectionsChanged);
    QSignalSpy builtins(m_state.get(), &AppState::disabledBuiltinsChanged);
    CorrectionsView& p = page();
    QVERIFY(!p.spellFixToggle()->isOn());
    QVERIFY(p.doubleCapitalToggle()->isOn());
    QCOMPARE(spell.size() + doubles.size() + customs.size() + builtins.size(), 0);

    // The store changing shows in the switch without being written back.
    m_state->setSpellFixEnabled(true);
    QVERIFY(p.spellFixToggle()->isOn());
    QCOMPARE(spell.size(), 1);
}

void tst_SpellFix::headerSwitchLeavesTheRestUsable()
{
    CorrectionsView& p = page();
    QTest::mouseClick(p.spellFixToggle(), Qt::LeftButton);
    QVERIFY(!m_state->spellFixEnabled());
    QTest::mouseClick(p.doubleCapitalToggle(), Qt::LeftButton);
    QVERIFY(!m_state->doubleCapitalFixEnabled());
    QVERIFY(p.wrongField()->isEnabled() && p.listView()->isEnabled() && p.searchField()->isEnabled());
    QTest::keyClicks(p.wrongField(), QStringLiteral("abc"));
    QTest::keyClicks(p.rightField(), QStringLiteral("abd"));
    QTest::mouseClick(p.addButton(), Qt::LeftButton);
    QCOMPARE(m_state->customCorrections().size(), 1);
    QCOMPARE(p.model()->rowCount(), 349);

    // Stored at once.
    AppState reloaded(m_home->storeOptions());
    QVERIFY(!reloaded.spellFixEnabled());
    QVERIFY(!reloaded.doubleCapitalFixEnabled());
    QCOMPARE(reloaded.customCorrections(), m_state->customCorrections());
}

QTEST_MAIN(tst_SpellFix)
#include "tst_SpellFix.moc"
