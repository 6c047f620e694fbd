#include "engine/ContentRenderer.h"
#include "engine/ExpansionEngine.h"
#include "engine/ExpansionFeedback.h"
#include "engine/FillInController.h"
#include "engine/FillInForm.h"
#include "engine/TypingLearner.h"
#include "model/AppState.h"
#include "ui/PillButton.h"
#include "ui/Theme.h"
#include "ui/ThemedTextField.h"

#include "FakeFrontApp.h"
#include "TestHome.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QTest>

#include <memory>

namespace {

using Literals = FillInController::Literals;
using Values = QHash<QString, QString>;

struct Replacement
{
    int backspaces = 0;
    QString text;
    int cursorBack = 0;
};

struct RecordingFeedback : ExpansionFeedback
{
    QStringList hud, sounds;
    void showHud(const QString& m) override { hud << m; }
    void playSound(const QString& n) override { sounds << n; }
};

struct CountingLearner : TypingLearner
{
    int resets = 0;
    void resetTransientState() override { ++resets; }
};

// "label=default" for a field, "label:a,b" for a menu.
QStringList describe(const QList<FillInController::Field>& fields)
{
    QStringList out;
    for (const auto& f : fields)
        out << (f.options.isEmpty() ? f.label + QLatin1Char('=') + f.defaultValue
                                    : f.label + QLatin1Char(':') + f.options.join(QLatin1Char(',')));
    return out;
}

constexpr quint64 kEditor = 1;
constexpr quint64 kBrowser = 2;

} // namespace

Q_DECLARE_METATYPE(Literals)

class tst_FillIn : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void init();
    void cleanup();

    void parse_data();
    void parse();
    void apply_data();
    void apply();
    void clipboardTextIsNeverAToken_data();
    void clipboardTextIsNeverAToken();

    void formRows();
    void insertTypesIntoTheRememberedWindow_data();
    void insertTypesIntoTheRememberedWindow();
    void keyboard_data();
    void keyboard();
    void cancelAndClose();
    void oneFormAtATime();

  private:
    FillInForm* present(const QString& text, int backspaces = 3, const QString& suffix = QStringLiteral(" "))
    {
        if (!m_fillIn->present(text, {}, backspaces, suffix))
            return nullptr;
        FillInForm* form = m_fillIn->panel();
        // The form took the focus, as it does on a desktop.
        m_front->addWindow(form->winId(), QStringLiteral("quenvil"), true);
        m_front->bringToFront(form->winId());
        m_front->activations.clear();
        return form;
    }

    std::unique_ptr<TestHome> m_home;
    std::unique_ptr<AppState> m_state;
    std::unique_ptr<ContentRenderer> m_renderer;
    std::unique_ptr<ExpansionEngine> m_engine;
    std::unique_ptr<FakeFrontApp> m_front;
    std::unique_ptr<FillInController> m_fillIn;
    RecordingFeedback m_feedback;
    CountingLearner m_learner;
    QList<Replacement> m_replaced;
};

void tst_FillIn::init()
{
    m_home = std::make_unique<TestHome>();
    AppState::Options o = m_home->storeOptions();
    m_state = std::make_unique<AppState>(o);
    m_state->setSnippets({});
    m_state->setSoundEnabled(true);
    m_state->setSoundName(QStringLiteral("Pop"));
    m_renderer = std::make_unique<ContentRenderer>();
    m_replaced.clear();
    auto replace = [this](int b, const QList<Injector::Segment>& segs, int c) {
        Replacement r{b, QString(), c};
        for (const auto& s : segs)
            r.text += s.textValue();
        m_replaced.append(r);
    };
    m_engine = std::make_unique<ExpansionEngine>(*m_state, replace, *m_renderer);
    m_learner = CountingLearner();
    m_feedback = RecordingFeedback();
    m_engine->setCollaborators({&m_learner, nullptr, &m_feedback, nullptr});
    m_front = std::make_unique<FakeFrontApp>();
    m_front->addWindow(kEditor, QStringLiteral("gedit"));
    m_front->addWindow(kBrowser, QStringLiteral("firefox"));
    m_front->bringToFront(kEditor);
    FillInController::Options fo;
    fo.typeDelayMs = 100;
    m_fillIn = std::make_unique<FillInController>(*m_state, *m_engine, *m_front, m_feedback, replace, fo);
}

void tst_FillIn::cleanup()
{
    m_fillIn.reset();
    m_front.reset();
    m_engine.reset();
    m_renderer.reset();
    m_state.reset();
    m_home.reset();
}

void tst_FillIn::parse_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("fields");

    QTest::newRow("one field") << QStringLiteral("Dear {field:Name},")
                               << QStringList{QStringLiteral("Name=")};
    QTest::newRow("field with default")
        << QStringLiteral("{field:City|Berlin|ignored}") << QStringList{QStringLiteral("City=Berlin")};
    QTest::newRow("menu") << QStringLiteral("{menu:Size|S|M|L}") << QStringList{QStringLiteral("Size:S,M,L")};
    QTest::newRow("menu drops empty options")
        << QStringLiteral("{menu:Size||M|}") << QStringList{QStringLiteral("Size:M")};
    QTest::newRow("menu without options is a text field")
        << QStringLiteral("{menu:Size}") << QStringList{QStringLiteral("Size=")};
    QTest::newRow("same label, one row; first defines it")
        << QStringLiteral("{field:Name|Bob} and {field:Name} {menu:Name|x|y}")
        << QStringList{QStringLiteral("Name=Bob")};
    QTest::newRow("labels are exact")
        << QStringLiteral("{field:name}{field:Name}{field: Name }")
        << QStringList{QStringLiteral("name="), QStringLiteral("Name="), QStringLiteral(" Name =")};
    QTest::newRow("order of first appearance") << QStringLiteral("{menu:B|1}{field:A}{menu:B|2}")
                                               << QStringList{QStringLiteral("B:1"), QStringLiteral("A=")};
    QTest::newRow("empty label has no row") << QStringLiteral("{field:|x}") << QStringList();
    QTest::newRow("empty body is no token") << QStringLiteral("{field:}{menu:}") << QStringList();
    QTest::newRow("other words are not tokens")
        << QStringLiteral("{Field:A}{fields:B}{date}{ai:x}") << QStringList();
    QTest::newRow("colon in the label")
        << QStringLiteral("{field:Time: start|9:00}") << QStringList{QStringLiteral("Time: start=9:00")};
    QTest::newRow("brace inside ends at the first close")
        << QStringLiteral("{field:a{b}c}") << QStringList{QStringLiteral("a{b=")};
    QTest::newRow("unclosed") << QStringLiteral("{field:Name") << QStringList();
}

void tst_FillIn::parse()
{
    QFETCH(QString, text);
    QFETCH(QStringList, fields);
    const auto parsed = FillInController::parse(text);
    QCOMPARE(describe(parsed), fields);
    for (qsizetype i = 0; i < parsed.size(); ++i) {
        QVERIFY(!parsed[i].id.isNull());
        for (qsizetype j = 0; j < i; ++j)
            QVERIFY(parsed[i].id != parsed[j].id);
    }
}

void tst_FillIn::apply_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<Values>("values");
    QTest::addColumn<QString>("result");

    QTest::newRow("value") << QStringLiteral("Dear {field:Name},")
                           << Values{{QStringLiteral("Name"), QStringLiteral("Ann")}}
                           << QStringLiteral("Dear Ann,");
    QTest::newRow("one value, every token of the label")
        << QStringLiteral("{field:Name|Bob} and {field:Name} / {menu:Name|x|y}")
        << Values{{QStringLiteral("Name"), QStringLiteral("Eve")}} << QStringLiteral("Eve and Eve / Eve");
    QTest::newRow("no value: field default, else nothing")
        << QStringLiteral("[{field:A|dflt}][{field:B}][{menu:C|x}]") << Values()
        << QStringLiteral("[dflt][][]");
    QTest::newRow("empty label: second part of a field")
        << QStringLiteral("{field:|x}{menu:|y}{field:N}")
        << Values{{QStringLiteral("N"), QStringLiteral("n")}} << QStringLiteral("xn");
    QTest::newRow("an empty value stays empty")
        << QStringLiteral("{field:A|dflt}") << Values{{QStringLiteral("A"), QString()}} << QString();
    QTest::newRow("values are not tokens again") << QStringLiteral("{field:A}{field:B}")
                                                 << Values{{QStringLiteral("A"), QStringLiteral("{field:B}")},
                                                           {QStringLiteral("B"), QStringLiteral("b")}}
                                                 << QStringLiteral("{field:B}b");
    QTest::newRow("everything else stays")
        << QStringLiteral("{date} {x} {field:}") << Values() << QStringLiteral("{date} {x} {field:}");
}

void tst_FillIn::apply()
{
    QFETCH(QString, text);
    QFETCH(Values, values);
    QFETCH(QString, result);
    QCOMPARE(FillInController::apply(values, text), result);
}

void tst_FillIn::clipboardTextIsNeverAToken_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<Literals>("literals");
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QString>("applied"); // with every row's value "V"

    const auto lit = [](qsizetype s, qsizetype l) { return ContentRenderer::LiteralRange{s, l}; };
    // "{clipboard} {field:Name}" with "{field:X}" copied.
    QTest::newRow("copied token") << QStringLiteral("{field:X} {field:Name}") << Literals{lit(0, 9)}
                                  << QStringList{QStringLiteral("Name=")} << QStringLiteral("{field:X} V");
    // A copied open brace and label do not join the snippet's text into a token.
    QTest::newRow("token begun in the clipboard")
        << QStringLiteral("{field:Evil} {field:Name}") << Literals{lit(0, 7)}
        << QStringList{QStringLiteral("Name=")} << QStringLiteral("{field:Evil} V");
    QTest::newRow("token ended in the clipboard")
        << QStringLiteral("{field:N}") << Literals{lit(8, 1)} << QStringList() << QStringLiteral("{field:N}");
    // Unclosed copied text must not swallow the snippet's own token after it.
    QTest::newRow("copied text runs into a token")
        << QStringLiteral("{field:x{field:Name}") << Literals{lit(0, 8)}
        << QStringList{QStringLiteral("Name=")} << QStringLiteral("{field:xV");
    QTest::newRow("two clipboard texts")
        << QStringLiteral("{menu:A|b}{field:N}{menu:A|b}") << Literals{lit(19, 10), lit(0, 10)}
        << QStringList{QStringLiteral("N=")} << QStringLiteral("{menu:A|b}V{menu:A|b}");
}

void tst_FillIn::clipboardTextIsNeverAToken()
{
    QFETCH(QString, text);
    QFETCH(Literals, literals);
    QFETCH(QStringList, fields);
    QFETCH(QString, applied);
    const auto parsed = FillInController::parse(text, literals);
    QCOMPARE(describe(parsed), fields);
    Values values;
    for (const auto& f : parsed)
        values.insert(f.label, QStringLiteral("V"));
    QCOMPARE(FillInController::apply(values, text, literals), applied);
}

void tst_FillIn::formRows()
{
    FillInForm* form = present(QStringLiteral("{field:Name|Bob} {menu:Size|S|M|L} {menu:Note} {field:Name}"));
    QVERIFY(form);
    QCOMPARE(form->windowTitle(), QStringLiteral("Fill in"));
    QVERIFY(form->windowFlags() & Qt::Tool);
    QVERIFY(form->windowFlags() & Qt::FramelessWindowHint);
    QVERIFY(!form->testAttribute(Qt::WA_ShowWithoutActivating));
    QCOMPARE(form->width(), FillInForm::formWidth);

    // Labels in capitals, in parse order, in the tertiary colour.
    QStringList labels;
    for (QLabel* l : form->findChildren<QLabel*>()) {
        labels << l->text();
        QCOMPARE(l->palette().color(QPalette::WindowText), Theme::textTertiary());
    }
    QCOMPARE(labels, (QStringList{QStringLiteral("NAME"), QStringLiteral("SIZE"), QStringLiteral("NOTE")}));

    auto* name = qobject_cast<ThemedTextField*>(form->editorFor(QStringLiteral("Name")));
    auto* size = qobject_cast<QComboBox*>(form->editorFor(QStringLiteral("Size")));
    auto* note = qobject_cast<ThemedTextField*>(form->editorFor(QStringLiteral("Note")));
    QVERIFY(name && size && note);
    QCOMPARE(name->placeholderText(), QStringLiteral("Name"));
    QVERIFY(!name->isMono());
    QCOMPARE(size->count(), 3);
    // A menu is read by the label above it.
    QCOMPARE(size->accessibleName(), QStringLiteral("Size"));
    QVERIFY(size->maximumWidth() <= FillInForm::menuMaxWidth);
    // Initial values: a field's default, a menu's first option.
    const Values initial{{QStringLiteral("Name"), QStringLiteral("Bob")},
                         {QStringLiteral("Size"), QStringLiteral("S")},
                         {QStringLiteral("Note"), QString()}};
    QCOMPARE(form->values(), initial);

    auto* insert = form->findChild<PillButton*>(QStringLiteral("insert"));
    auto* cancel = form->findChild<PillButton*>(QStringLiteral("cancel"));
    QVERIFY(insert && cancel);
    QVERIFY(insert->isProminent());
    QVERIFY(!cancel->isProminent());
    QVERIFY(cancel->geometry().right() < insert->geometry().left());
    // The first row has the focus, so typing goes straight into it.
    QTRY_COMPARE(QApplication::focusWidget(), name);

    // No field with a label: no form.
    QVERIFY(!m_fillIn->present(QStringLiteral("{field:|x} plain"), {}, 1, {}));
}

void tst_FillIn::insertTypesIntoTheRememberedWindow_data()
{
    QTest::addColumn<bool>("frontChangesAfterInsert");
    QTest::addColumn<bool>("targetKnown");
    QTest::addColumn<bool>("hud");
    QTest::addColumn<bool>("types");

    QTest::newRow("typed into the remembered window") << false << true << true << true;
    QTest::newRow("another window in front by then") << true << true << true << false;
    QTest::newRow("cancel message shown even with the HUD off") << true << true << false << false;
    QTest::newRow("no window was in front") << false << false << true << false;
}

void tst_FillIn::insertTypesIntoTheRememberedWindow()
{
    QFETCH(bool, frontChangesAfterInsert);
    QFETCH(bool, targetKnown);
    QFETCH(bool, hud);
    QFETCH(bool, types);
    m_state->setHudEnabled(hud);
    if (!targetKnown)
        m_front->bringToFront(0);

    FillInForm* form =
        present(QStringLiteral("Dear {field:Name}, {menu:Sign|Best|Cheers}"), 4, QStringLiteral("."));
    QVERIFY(form);
    qobject_cast<ThemedTextField*>(form->editorFor(QStringLiteral("Name")))->setText(QStringLiteral("Ann"));
    qobject_cast<QComboBox*>(form->editorFor(QStringLiteral("Sign")))->setCurrentIndex(1);
    auto* insert = form->findChild<PillButton*>(QStringLiteral("insert"));
    QTest::mouseClick(insert, Qt::LeftButton);

    QVERIFY(!m_fillIn->panel());
    QCOMPARE(m_front->activations, targetKnown ? QList<quint64>{kEditor} : QList<quint64>{});
    if (frontChangesAfterInsert)
        m_front->bringToFront(kBrowser);
    QVERIFY(m_replaced.isEmpty()); // the window gets its moment first
    QTest::qWait(150);

    if (!types) {
        QVERIFY(m_replaced.isEmpty());
        QCOMPARE(m_feedback.hud, QStringList{FillInController::cancelledMessage()});
        QCOMPARE(m_state->statExpansions(), 0);
        return;
    }
    QCOMPARE(m_replaced.size(), 1);
    QCOMPARE(m_replaced[0].backspaces, 4);
    QCOMPARE(m_replaced[0].text, QStringLiteral("Dear Ann, Cheers."));
    QCOMPARE(m_replaced[0].cursorBack, 0);
    QCOMPARE(m_state->statExpansions(), 1);
    QCOMPARE(m_state->statCharsSaved(), 17 - 4);
    QCOMPARE(m_feedback.sounds, QStringList{QStringLiteral("Pop")});
    QCOMPARE(m_feedback.hud, QStringList());
    QCOMPARE(m_learner.resets, 1);
    // A fill-in expansion is not a "last expansion" and counts no usage.
    QVERIFY(!m_state->lastExpansion());
    QVERIFY(m_state->usageBySnippet().isEmpty());
    QVERIFY(m_state->usageByApp().isEmpty());
}

void tst_FillIn::keyboard_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("fromMenu");
    QTest::addColumn<bool>("types");

    QTest::newRow("Return in the text field inserts") << int(Qt::Key_Return) << false << true;
    QTest::newRow("Enter inserts") << int(Qt::Key_Enter) << false << true;
    QTest::newRow("Return on the menu inserts") << int(Qt::Key_Return) << true << true;
    QTest::newRow("Escape cancels") << int(Qt::Key_Escape) << false << false;
    QTest::newRow("Escape on the menu cancels") << int(Qt::Key_Escape) << true << false;
}

void tst_FillIn::keyboard()
{
    QFETCH(int, key);
    QFETCH(bool, fromMenu);
    QFETCH(bool, types);
    FillInForm* form = present(QStringLiteral("Dear {field:Name}, {menu:Sign|Best}"));
    QVERIFY(form);
    auto* name = form->editorFor(QStringLiteral("Name"));
    QTest::keyClicks(name, QStringLiteral("Ann"));
    QWidget* target = fromMenu ? form->editorFor(QStringLiteral("Sign")) : name;
    target->setFocus();
    QTest::keyClick(target, Qt::Key(key));

    QVERIFY(!m_fillIn->panel());
    QCOMPARE(m_front->activations, QList<quint64>{kEditor});
    QTest::qWait(150);
    QCOMPARE(m_replaced.size(), types ? 1 : 0);
    if (types)
        QCOMPARE(m_replaced[0].text, QStringLiteral("Dear Ann, Best "));
    QCOMPARE(m_feedback.hud, QStringList()); // cancelling says nothing
}

void tst_FillIn::cancelAndClose()
{
    FillInForm* form = present(QStringLiteral("{field:A}"));
    QVERIFY(form);
    QTest::mouseClick(form->findChild<PillButton*>(QStringLiteral("cancel")), Qt::LeftButton);
    QVERIFY(!m_fillIn->panel());
    QCOMPARE(m_front->activations, QList<quint64>{kEditor});

    // Closed by the window manager: it only goes away; the target is not re-activated.
    QPointer<FillInForm> closed = present(QStringLiteral("{field:A}"));
    QVERIFY(closed);
    closed->close();
    QVERIFY(!m_fillIn->panel());
    QTRY_VERIFY(!closed);
    QVERIFY(m_front->activations.isEmpty());
    QTest::qWait(150);
    QVERIFY(m_replaced.isEmpty());
    QCOMPARE(m_feedback.hud, QStringList());
}

void tst_FillIn::oneFormAtATime()
{
    QPointer<FillInForm> first = present(QStringLiteral("{field:A}"));
    QPointer<FillInForm> second = present(QStringLiteral("x{field:B}"), 2, QString());
    QVERIFY(first && second && first != second);
    QVERIFY(!first->isVisible());
    QTRY_VERIFY(!first);
    QCOMPARE(m_fillIn->panel(), second.data());
    QTest::mouseClick(second->findChild<PillButton*>(QStringLiteral("insert")), Qt::LeftButton);
    QTest::qWait(150);
    QCOMPARE(m_replaced.size(), 1);
    QCOMPARE(m_replaced[0].text, QStringLiteral("x"));
    QCOMPARE(m_replaced[0].backspaces, 2);
}

QTEST_MAIN(tst_FillIn)
#include "tst_FillIn.moc"
