// The typing fidelity matrix: the real application, four kinds of target (xterm, a Tk text
// widget, a GTK 3 text view, our Qt target) × five layouts (us, de, fr, ru, us altgr-intl)
// × the texts and triggers below. The "user" types at a person's pace, holds the trigger's
// last key long, and keeps typing right after the trigger. Every case must come out
// exact: the expansion whole and in place, the user's keys neither lost nor doubled nor
// inside it, and the keyboard mapping as it was.
#include "HumanTypist.h"

#include "AppUnderTest.h"
#include "TargetWindow.h"
#include "ToolkitTarget.h"
#include "UserInput.h"
#include "XServerEnvironment.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>

#include <algorithm>
#include <memory>

namespace {

enum class Client
{
    XTerm,
    Tk,
    Gtk,
    Qt
};

// One target of whichever kind, behind one face.
class Target
{
  public:
    explicit Target(Client client) : m_client(client) {}

    bool start()
    {
        switch (m_client) {
        case Client::XTerm:
            m_xterm = std::make_unique<XTermTarget>();
            return m_xterm->start();
        case Client::Tk:
        case Client::Gtk:
            m_toolkit = std::make_unique<ToolkitTarget>();
            return m_toolkit->start(m_client == Client::Tk ? ToolkitTarget::Toolkit::Tk
                                                           : ToolkitTarget::Toolkit::Gtk);
        case Client::Qt:
            m_qt = std::make_unique<TargetWindow>();
            return m_qt->start(QStringLiteral("QuenvilTarget"));
        }
        return false;
    }

    bool isTerminal() const { return m_client == Client::XTerm; }

    // Empties the text (a terminal keeps its bytes: later reads start after them) and
    // leaves the typing engine with an empty buffer.
    bool reset()
    {
        bool ok = true;
        if (m_toolkit)
            ok = m_toolkit->clear();
        if (m_qt) {
            // Keys every layout has: no key code rebound for them.
            ok = m_qt->activate() &&
                 UserInput::key({QStringLiteral("ctrl+Home"), QStringLiteral("ctrl+shift+End"),
                                 QStringLiteral("BackSpace")}) &&
                 m_qt->waitForText(QString());
        }
        if (m_xterm) {
            const qsizetype before = m_xterm->bytes().size();
            const auto arrived = [&] { return m_xterm->bytes().size() > before; };
            ok = UserInput::key({QStringLiteral("Escape")}) && ok;
            // A fresh terminal that the window manager had not yet taken in when it was
            // activated may not have the focus: activated again, it gets the next Escape.
            if (!QTest::qWaitFor(arrived, 5000))
                ok = m_xterm->activate() && UserInput::key({QStringLiteral("Escape")}) &&
                     QTest::qWaitFor(arrived, 5000) && ok;
            m_mark = m_xterm->bytes().size();
        } else {
            ok = UserInput::key({QStringLiteral("Escape")}) && ok;
        }
        QTest::qWait(40);
        return ok;
    }

    // What arrived since reset(): text for editors; for the terminal, its bytes with
    // BackSpace as DEL and the Left arrow in its normal form.
    QByteArray received() const
    {
        if (m_xterm) {
            QByteArray b = m_xterm->bytes().mid(m_mark);
            b.replace('\x08', '\x7f');
            b.replace("\x1bOD", "\x1b[D");
            return b;
        }
        return (m_toolkit ? m_toolkit->text() : m_qt->text()).toUtf8();
    }

    bool waitFor(const QByteArray& expected, int timeoutMs) const
    {
        return QTest::qWaitFor([&] { return received() == expected; }, timeoutMs);
    }

  private:
    Client m_client;
    std::unique_ptr<XTermTarget> m_xterm;
    std::unique_ptr<ToolkitTarget> m_toolkit;
    std::unique_ptr<TargetWindow> m_qt;
    qsizetype m_mark = 0;
};

// One expansion case: what the user types to fire it, the snippet's content, what the
// target shows (caret marked with kCaret: the user's next keys land there), and what the job
// deletes. `fix` cases are spelling fixes, off in terminals.
struct Case
{
    QString name;
    QString trigger;     // typed by the user, delimiter included
    QString content;     // the snippet's content; empty for a spelling fix
    QString shown;       // what an editor shows after the job, kCaret at the caret
    QString terminalOut; // what a terminal gets from the job: text, "\x7f" deletes, "\x1b[D" lefts
    bool latinOnly = false;
};

constexpr QChar kCaret(0xE000); // where the user's next keys land

QString mixedText()
{
    // More distinct characters off the US layout (27) than the key codes left spare (15
    // on Xvfb), though not more than their two levels hold, with line breaks: 400 characters.
    const QString pool = QStringLiteral("àáâãäåæçèéêëìíîïñòóôõöøùú€→");
    QString text;
    for (int i = 0; text.size() < 399; ++i) {
        text += pool.at(i % pool.size());
        text += QLatin1Char("xyz"[i % 3]);
        if (i % 7 == 6)
            text += QLatin1Char(' ');
        if (i % 40 == 39)
            text += QLatin1Char('\n');
    }
    return text.left(399) + QLatin1Char('0');
}

QString terminalText(QString s)
{
    s.replace(QLatin1Char('\n'), QLatin1Char('\r'));
    return s;
}

QList<Case> cases()
{
    const QString del3 = QStringLiteral("\x7f\x7f\x7f");
    QList<Case> out;
    auto instant = [&](const QString& name, const QString& trigger, const QString& text) {
        out << Case{name, trigger, text, text + kCaret, del3 + terminalText(text)};
    };
    // Each text holds the trigger's last key, which the user is still holding.
    instant(QStringLiteral("ascii symbols"), QStringLiteral(";10"),
            QStringLiteral(" !\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_`"
                           "abcdefghijklmnopqrstuvwxyz{|}~ you@example.com"));
    instant(QStringLiteral("latin accents"), QStringLiteral(";20"),
            QStringLiteral("Çà et là: naïve café, Ærøskøbing, Straße, Ångström, ñandú, œuvre, ÿ 20 €"));
    instant(QStringLiteral("greek"), QStringLiteral(";30"), QStringLiteral("Καλημέρα κόσμε, ψυχή ΩΣ 30"));
    instant(QStringLiteral("cyrillic"), QStringLiteral(";40"),
            QStringLiteral("Съешь же ещё этих мягких французских булок, Ёж 40"));
    instant(QStringLiteral("cjk"), QStringLiteral(";50"), QStringLiteral("中文字符 日本語のテキスト 한국어 50"));
    instant(QStringLiteral("emoji with joiners"), QStringLiteral(";60"),
            QStringLiteral("👩‍👩‍👧 family, 🏳️‍🌈 flag, 👍🏽 ok 60"));
    instant(QStringLiteral("400 mixed"), QStringLiteral(";70"), mixedText());
    out << Case{QStringLiteral("cursor"), QStringLiteral(";80"), QStringLiteral("<b>{cursor}</b> 80"),
                QStringLiteral("<b>") + kCaret + QStringLiteral("</b> 80"), del3 + QStringLiteral("<b></b> 80") + QString(7, QChar(0)) };
    out.last().terminalOut.replace(QString(QChar(0)), QStringLiteral("\x1b[D"));
    out << Case{QStringLiteral("key tab"), QStringLiteral(";90"), QStringLiteral("Name:{key:tab}Value 90"),
                QStringLiteral("Name:\tValue 90") + kCaret, del3 + QStringLiteral("Name:\tValue 90")};
    out << Case{QStringLiteral("delimiter trigger"), QStringLiteral("42 "), QStringLiteral("forty-two 42"),
                QStringLiteral("forty-two 42 ") + kCaret, del3 + QStringLiteral("forty-two 42 ")};
    out << Case{QStringLiteral("spelling fix"), QStringLiteral("teh "), QString(), QStringLiteral("the ") + kCaret,
                QString(), true};
    return out;
}

// Where two texts part, with a little of each around it: Qt Test cuts a long message
// short, so the whole texts of a 400-character case would hide where they differ.
QString difference(const QString& expected, const QString& got)
{
    qsizetype at = 0;
    while (at < expected.size() && at < got.size() && expected.at(at) == got.at(at))
        ++at;
    const qsizetype from = std::max<qsizetype>(0, at - 24);
    auto show = [&](const QString& s) {
        QString part = s.mid(from, at - from + 40);
        part.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
        part.replace(QLatin1Char('\r'), QStringLiteral("\\r"));
        part.replace(QLatin1Char('\x7f'), QStringLiteral("\\x7f"));
        part.replace(QLatin1Char('\x1b'), QStringLiteral("\\e"));
        return part;
    };
    return QStringLiteral("%1 and %2 characters, first difference at %3: expected \"…%4\", got \"…%5\"")
        .arg(expected.size())
        .arg(got.size())
        .arg(at)
        .arg(show(expected), show(got));
}

struct Layout
{
    const char* name;
    QStringList setxkbmap;
    bool latin;
};

const QList<Layout>& layouts()
{
    static const QList<Layout> all{
        {"us", {QStringLiteral("-layout"), QStringLiteral("us")}, true},
        {"de", {QStringLiteral("-layout"), QStringLiteral("de")}, true},
        {"fr", {QStringLiteral("-layout"), QStringLiteral("fr")}, true},
        {"ru", {QStringLiteral("-layout"), QStringLiteral("ru")}, false},
        {"altgr-intl",
         {QStringLiteral("-layout"), QStringLiteral("us"), QStringLiteral("-variant"), QStringLiteral("altgr-intl")},
         true},
    };
    return all;
}

bool setLayout(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral("setxkbmap"), args);
    return p.waitForFinished(15000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

} // namespace

Q_DECLARE_METATYPE(Client)

class tst_TypingFidelity : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void matrix_data();
    void matrix();

  private:
    void startApp();

    AppUnderTest m_app;
    int m_cases = 0;
    int m_passed = 0;
};

namespace {

struct MatrixRow
{
    QByteArray name;
    Client client;
    int layout;
};

// Every row of the matrix, or those QUENVIL_FIDELITY_ONLY names ("tk", "tk/de",
// "xterm/ru,gtk3/ru": a part of the matrix).
QList<MatrixRow> matrixRows()
{
    const std::pair<Client, const char*> clients[] = {
        {Client::XTerm, "xterm"}, {Client::Tk, "tk"}, {Client::Gtk, "gtk3"}, {Client::Qt, "qt"}};
    const QList<QByteArray> only = qgetenv("QUENVIL_FIDELITY_ONLY").split(',');
    QList<MatrixRow> rows;
    for (const auto& [client, clientName] : clients) {
        for (int l = 0; l < layouts().size(); ++l) {
            const QByteArray row = QByteArray(clientName) + '/' + layouts().at(l).name;
            if (std::any_of(only.begin(), only.end(), [&](const QByteArray& o) { return row.startsWith(o); }))
                rows.append({row, client, l});
        }
    }
    return rows;
}

} // namespace

void tst_TypingFidelity::initTestCase()
{
    QVERIFY(m_app.isValid());
    // With no row to run, Qt Test gives up before cleanupTestCase, which would leave the
    // application running; say so before starting it.
    QVERIFY2(!matrixRows().isEmpty(), "QUENVIL_FIDELITY_ONLY names no row (rows are like tk/de, gtk3/ru)");
    QVERIFY2(ToolkitTarget::available(ToolkitTarget::Toolkit::Tk), "python3-tk is not installed");
    QVERIFY2(ToolkitTarget::available(ToolkitTarget::Toolkit::Gtk), "python3-gi / gir1.2-gtk-3.0 missing");
    QJsonArray snippets;
    for (const Case& c : cases()) {
        if (c.content.isEmpty())
            continue;
        QString trigger = c.trigger.trimmed();
        snippets.append(QJsonObject{{QStringLiteral("trigger"), trigger}, {QStringLiteral("content"), c.content}});
    }
    QVERIFY(m_app.writeFile(QStringLiteral("data/Quenvil/snippets.json"), QJsonDocument(snippets).toJson()));
    QVERIFY(m_app.writeFile(
        QStringLiteral("config/Quenvil/settings.json"),
        R"({"soundEnabled":false,"hudEnabled":false,"expansionMode":"instant","didLaunchBefore":true,"didCompleteOnboarding":true})"));
    startApp();
}

void tst_TypingFidelity::cleanupTestCase()
{
    m_app.stop();
    setLayout(layouts().first().setxkbmap);
    qInfo("fidelity matrix: %d of %d cases exact", m_passed, m_cases);
}

void tst_TypingFidelity::startApp()
{
    // QUENVIL_FIDELITY_WRAPPER runs the application under another program (a debugger).
    AppUnderTest::Options options;
    options.wrapper = QString::fromLocal8Bit(qgetenv("QUENVIL_FIDELITY_WRAPPER"))
                          .split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QVERIFY(m_app.start(options));
    QTest::qWait(1200);
    QCOMPARE(m_app.process()->state(), QProcess::Running);
}

void tst_TypingFidelity::matrix_data()
{
    QTest::addColumn<Client>("client");
    QTest::addColumn<int>("layout");
    for (const MatrixRow& row : matrixRows())
        QTest::newRow(row.name.constData()) << row.client << row.layout;
}

void tst_TypingFidelity::matrix()
{
    QFETCH(Client, client);
    QFETCH(int, layout);
    const Layout& lay = layouts().at(layout);
    QVERIFY(m_app.process() && m_app.process()->state() == QProcess::Running);
    QVERIFY(setLayout(lay.setxkbmap));
    QTest::qWait(300); // the application reads the new layout
    Target target(client);
    QVERIFY(target.start());
    const QByteArray mappingBefore = UserInput::keyboardMapping();

    const unsigned seed = unsigned(qHash(QByteArray(QTest::currentDataTag())));
    HumanTypist user(seed);
    QVERIFY(user.isOpen());
    const QString goOn = lay.latin ? QStringLiteral(" go on") : QStringLiteral(" да ну");
    QStringList failures;
    for (const Case& c : cases()) {
        if (c.latinOnly && !lay.latin)
            continue;
        // A delimiter trigger's own space already ends the word.
        const QString next = c.trigger.endsWith(QLatin1Char(' ')) ? goOn.mid(1) : goOn;
        QVERIFY2(user.canType(c.trigger + next), qPrintable(c.name));
        QVERIFY(target.reset());
        ++m_cases;
        // The trigger's last key (the delimiter, for a delimiter trigger) is held long.
        QVERIFY(user.type(c.trigger + next, int(c.trigger.size()) - 1));
        QByteArray expected;
        if (target.isTerminal()) {
            expected = (c.trigger + c.terminalOut + next).toUtf8();
        } else {
            QString shown = c.shown;
            shown.replace(kCaret, next);
            expected = shown.toUtf8();
        }
        if (target.waitFor(expected, 5000)) {
            ++m_passed;
            continue;
        }
        failures << QStringLiteral("%1 (seed %2): %3").arg(c.name).arg(seed).arg(
                        difference(QString::fromUtf8(expected), QString::fromUtf8(target.received())));
    }
    // The bindings of spare key codes are given back once typing pauses.
    const bool mappingBack =
        QTest::qWaitFor([&] { return UserInput::keyboardMapping() == mappingBefore; }, 5000);
    if (!mappingBack)
        failures << QStringLiteral("the keyboard mapping was not restored");
    QVERIFY2(failures.isEmpty(), qPrintable(failures.join(QLatin1String("\n    "))));
}

QUENVIL_X11_TEST_MAIN(tst_TypingFidelity)
#include "tst_TypingFidelity.moc"
